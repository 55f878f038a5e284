#include "FormSplashUSA.h"
#include "WizTemplate.h"

#include "Dialogs.h"
#include "WizTemplate.h"
#include "app/ServiceUtilsUnit.h"

#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QTimer>
#include <QVBoxLayout>

TfrmSplash *frmSplash = nullptr;

TfrmSplash::TfrmSplash(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Corvane Lite"));
    setFixedSize(312, 403);
    setFont(ArialPixels(13));
    setAutoFillBackground(true);
    QPalette page = palette();
    page.setColor(QPalette::Window, Qt::white);
    setPalette(page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(4);

    pnlHeader = new QLabel(QStringLiteral("Service Header"), this);   // replaced when shown
    pnlHeader->setObjectName(QStringLiteral("pnlHeader"));
    pnlHeader->setFixedHeight(41);
    pnlHeader->setAlignment(Qt::AlignCenter);
    pnlHeader->setFont(ArialPixels(16, true));
    pnlHeader->setFrameStyle(QFrame::Panel | QFrame::Raised);
    layout->addWidget(pnlHeader);

    ImgUSA = new QLabel(this);
    ImgUSA->setObjectName(QStringLiteral("ImgUSA"));
    ImgUSA->setFixedSize(225, 225);
    ImgUSA->setAttribute(Qt::WA_TranslucentBackground);
    {
        const qreal ratio = devicePixelRatioF();
        QPixmap emblem(QSize(225, 225) * ratio);
        emblem.fill(Qt::transparent);
        QPainter painter(&emblem);
        painter.setRenderHint(QPainter::Antialiasing);
        QSvgRenderer(QStringLiteral(":/app/ui/resources/emblem.svg")).render(&painter);
        painter.end();
        emblem.setDevicePixelRatio(ratio);
        ImgUSA->setPixmap(emblem);
    }
    layout->addWidget(ImgUSA, 0, Qt::AlignHCenter);

    Label1 = new QLabel(QStringLiteral("Urinalysis test selection and paperwork for unit "
                                       "drug-testing coordinators.\nBuilt by the Corvane Lite team."),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMargin(6);
    Label1->setAutoFillBackground(true);
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::Window, QColor(0, 0, 128));
    navy.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(navy);
    layout->addWidget(Label1, 1);

    lblVersion = new QLabel(QStringLiteral("Version 5.3.3 Lite"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignCenter);
    layout->addWidget(lblVersion);

    tmrClose = new QTimer(this);
    tmrClose->setObjectName(QStringLiteral("tmrClose"));
    tmrClose->setInterval(5000);
    connect(tmrClose, &QTimer::timeout, this, [this] { RunAction([this] { tmrCloseTimer(); }, this); });
    tmrClose->start();

    CentreOnScreen(this);
}

void TfrmSplash::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RunAction([this] { FormShow(); }, this);
}

void TfrmSplash::FormShow()
{
    if (ServiceUtils)
        pnlHeader->setText(ServiceUtils->HeaderText);
}

void TfrmSplash::tmrCloseTimer()
{
    // Only the first firing matters; the splash stays alive (hidden) until the end.
    tmrClose->stop();
    close();
}
