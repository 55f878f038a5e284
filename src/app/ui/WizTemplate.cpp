#include "WizTemplate.h"
#include "app/ui/Help.h"

#include "Dialogs.h"
#include "roster/ImportProcess.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {

QWidget *g_mainForm = nullptr;
std::function<void()> g_mainFormClosed;
std::function<void(TWizPage)> g_showPage;

// Button pictures are drawn from SVG so they stay sharp at any device pixel ratio.
QIcon ButtonPicture(const QString &name, qreal ratio)
{
    QSvgRenderer renderer(QStringLiteral(":/app/ui/resources/%1.svg").arg(name));
    QPixmap pixmap(QSize(16, 16) * ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    return QIcon(pixmap);
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(91, 25);
    button->setAutoDefault(false);
    return button;
}

} // namespace

QWidget *MainForm() { return g_mainForm; }
void SetMainForm(QWidget *form) { g_mainForm = form; }

void SetMainFormClosedHandler(std::function<void()> handler)
{
    g_mainFormClosed = std::move(handler);
}

void MainFormClosed()
{
    CancelImportProcess();   // a roster being read when the program closes is dropped
    if (g_mainFormClosed)
        g_mainFormClosed();
    else
        QCoreApplication::quit();
}

void SetShowPageHandler(std::function<void(TWizPage)> handler) { g_showPage = std::move(handler); }

void ShowPage(TWizPage page)
{
    if (g_showPage)
        g_showPage(page);
}

QFont ArialPixels(int pixels, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void BuildDescriptionBand(QFrame *band, QLabel *title, QLabel *description)
{
    band->setFixedHeight(73);
    band->setAutoFillBackground(true);
    QPalette palette = band->palette();
    palette.setColor(QPalette::Window, QColor(128, 128, 128));
    palette.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(palette);
    auto *layout = new QVBoxLayout(band);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(4);
    title->setFont(ArialPixels(16, true));
    description->setFont(ArialPixels(13));
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(title);
    layout->addWidget(description, 1);
}

TfrmWizTemplate::TfrmWizTemplate(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmWizTemplate"));
    setWindowTitle(QStringLiteral("Corvane Lite"));
    setFont(ArialPixels(13));
    setFixedSize(ClientWidth, ClientHeight);
    InstallHelpKey(this);

    auto *formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);

    pnlDescription = new QFrame(this);
    pnlDescription->setObjectName(QStringLiteral("pnlDescription"));
    lblTitle = new QLabel(pnlDescription);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblDescription = new QLabel(pnlDescription);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    BuildDescriptionBand(pnlDescription, lblTitle, lblDescription);
    formLayout->addWidget(pnlDescription);

    pnlMain = new QFrame(this);
    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    pnlMain->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *mainLayout = new QVBoxLayout(pnlMain);
    mainLayout->setContentsMargins(1, 1, 1, 1);
    mainLayout->setSpacing(0);
    pnlClient = new QWidget(pnlMain);
    pnlClient->setObjectName(QStringLiteral("pnlClient"));
    mainLayout->addWidget(pnlClient, 1);

    pnlButtons = new QFrame(pnlMain);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    pnlButtons->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlButtons->setFixedHeight(39);
    auto *buttonLayout = new QHBoxLayout(pnlButtons);
    buttonLayout->setContentsMargins(6, 6, 8, 6);
    buttonLayout->setSpacing(6);
    buttonLayout->addStretch(1);
    btnPrevious = MakeButton(pnlButtons, "btnPrevious", QStringLiteral("Previous"));
    btnNext = MakeButton(pnlButtons, "btnNext", QStringLiteral("Next"));
    btnFinish = MakeButton(pnlButtons, "btnFinish", QStringLiteral("Finish"));
    btnCancel = MakeButton(pnlButtons, "btnCancel", QStringLiteral("Cancel"));
    const qreal ratio = devicePixelRatioF();
    btnPrevious->setIcon(ButtonPicture(QStringLiteral("previous"), ratio));
    btnNext->setIcon(ButtonPicture(QStringLiteral("next"), ratio));
    btnNext->setLayoutDirection(Qt::RightToLeft);   // the arrow follows the text
    btnFinish->setIcon(ButtonPicture(QStringLiteral("finish"), ratio));
    for (QPushButton *button : {btnPrevious, btnNext, btnFinish, btnCancel})
        buttonLayout->addWidget(button);
    // Next is the page's default button (Finish where Next is not enabled): Enter goes on.
    btnNext->setDefault(true);
    for (QPushButton *button : {btnNext, btnFinish})
        button->installEventFilter(this);
    setTabOrder(btnPrevious, btnNext);
    setTabOrder(btnNext, btnFinish);
    setTabOrder(btnFinish, btnCancel);
    mainLayout->addWidget(pnlButtons);

    pnlStatus = new QLabel(pnlMain);
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    pnlStatus->setFixedHeight(16);
    pnlStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnlStatus->setIndent(3);
    QFont statusFont(QStringLiteral("Tahoma"));
    statusFont.setPixelSize(11);
    pnlStatus->setFont(statusFont);
    mainLayout->addWidget(pnlStatus);
    formLayout->addWidget(pnlMain, 1);

    connect(btnPrevious, &QPushButton::clicked, this, [this] { RunAction([this] { btnPreviousClick(); }, this); });
    connect(btnNext, &QPushButton::clicked, this, [this] { RunAction([this] { btnNextClick(); }, this); });
    connect(btnFinish, &QPushButton::clicked, this, [this] { RunAction([this] { btnFinishClick(); }, this); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { RunAction([this] { btnCancelClick(); }, this); });

    CentreOnScreen(this);
}

void TfrmWizTemplate::showEvent(QShowEvent *event)
{
    // A screen reader announces the page by its title and reads its description.
    setAccessibleName(lblTitle->text());
    setAccessibleDescription(lblDescription->text());
    pnlDescription->setAccessibleName(lblTitle->text());
    QWidget::showEvent(event);
    if (!FTabOrderSet) {
        // The page's own controls come first in the Tab order, then the frame's buttons,
        // as they are seen: the buttons were made before the page's controls.
        FTabOrderSet = true;
        QWidget *lastClient = nullptr;
        for (QWidget *w = pnlClient->nextInFocusChain(); w && w != pnlClient; w = w->nextInFocusChain())
            if (pnlClient->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus))
                lastClient = w;
        if (lastClient) {
            setTabOrder(lastClient, btnPrevious);
            setTabOrder(btnPrevious, btnNext);
            setTabOrder(btnNext, btnFinish);
            setTabOrder(btnFinish, btnCancel);
        }
    }
    // The keyboard starts in the page's work, never on a frame button (Enter there would go
    // back, or ask to close).
    QWidget *focused = focusWidget();
    if (!focused || focused == btnPrevious || focused == btnNext || focused == btnFinish || focused == btnCancel) {
        for (QWidget *w = pnlClient->nextInFocusChain(); w && w != pnlClient; w = w->nextInFocusChain()) {
            if (pnlClient->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(this) &&
                w->isEnabled()) {
                w->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
}

void TfrmWizTemplate::FitThreeLineDescription()
{
    if (auto *band = qobject_cast<QBoxLayout *>(pnlDescription->layout())) {
        band->setContentsMargins(12, 4, 12, 2);
        band->setSpacing(1);
    }
}

void TfrmWizTemplate::btnPreviousClick() { hide(); }
void TfrmWizTemplate::btnNextClick() { hide(); }
void TfrmWizTemplate::btnFinishClick() { hide(); }

void TfrmWizTemplate::btnCancelClick()
{
    AskCloseApplication(this);
}

void TfrmWizTemplate::FormClose()
{
    CloseMainForm(this);
}

void TfrmWizTemplate::closeEvent(QCloseEvent *event)
{
    RunAction([this] { FormClose(); }, this);
    event->accept();
    if (this == MainForm())
        MainFormClosed();
}

void TfrmWizTemplate::keyPressEvent(QKeyEvent *event)
{
    // Cancel is the page's cancel button: Escape presses it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (btnCancel->isEnabled())
            btnCancel->click();
        event->accept();
        return;
    }
    // Enter presses the focused button, as Space does; elsewhere the default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget());
            button && button->window() == this && button->isEnabled()) {
            button->click();
            event->accept();
            return;
        }
        if (QPushButton *button = DefaultButton()) {
            button->click();
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

QPushButton *TfrmWizTemplate::DefaultButton() const
{
    for (QPushButton *button : {btnNext, btnFinish})
        if (button->isEnabled() && button->isVisibleTo(const_cast<TfrmWizTemplate *>(this)))
            return button;
    return nullptr;
}

bool TfrmWizTemplate::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == btnNext || watched == btnFinish) &&
        (event->type() == QEvent::EnabledChange || event->type() == QEvent::ShowToParent ||
         event->type() == QEvent::HideToParent)) {
        // the frame of the default button follows the button Enter presses
        QPushButton *target = DefaultButton();
        btnNext->setDefault(target == btnNext || !target);
        btnFinish->setDefault(target == btnFinish);
    }
    return QWidget::eventFilter(watched, event);
}

void AskCloseApplication(QWidget *parent)
{
    if (MessageDlg(CloseQuestion, mtConfirmation, mbYesNo, parent) == mrYes) {
        if (QWidget *main = MainForm())
            main->close();
    }
}

void CloseMainForm(QWidget *closingForm)
{
    QWidget *main = MainForm();
    if (main && main != closingForm)
        main->close();
}

void CentreOnScreen(QWidget *form)
{
    const QScreen *screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
}
