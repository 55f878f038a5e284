#include "selection/ui/FormSelectionParameters.h"

#include "app/ServiceUtilsUnit.h"
#include "app/ui/Dialogs.h"
#include "roster/FormatRoster.h"
#include "roster/ImportTable.h"
#include "selection/ui/MemberListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfrmSelectionParameters *frmSelectionParameters = nullptr;

const QString TfrmSelectionParameters::HelpDeskEmail = QStringLiteral("corvane-help@example.mil");

QString TfrmSelectionParameters::TemporaryLocationText()
{
    return QStringLiteral("A value of \"ZZ OTHER\" can be used as a Temporary solution. \r\n"
                          "Please contact the Corvane Help Desk to add your Collection Location.\r\n"
                          "\r\n"
                          "Email : ") + HelpDeskEmail;
}

namespace {
template <typename W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Shows an entry of the location list without the blanks that pad it: the padding would
// otherwise be cut off with an ellipsis at the list's edge.
class TTrimmedEntryDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = TrimmedText(option->text);
    }
};

// The location list: the entries are padded to 100 characters, which would open the list
// 750 pixels wide and, in styles that show every entry, as tall as the screen. It opens as
// wide as its longest trimmed entry and about twenty rows tall.
class TLocationComboBox : public QComboBox
{
public:
    static constexpr int VisibleRows = 20;
    using QComboBox::QComboBox;

    void showPopup() override
    {
        if (count() > 0) {
            QAbstractItemView *list = view();
            const QFontMetrics metrics(list->font());
            int text = 0;
            for (int i = 0; i < count(); ++i)
                text = std::max(text, metrics.horizontalAdvance(TrimmedText(itemText(i))));
            const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
            // item padding and the list's frame
            const int width = std::max(this->width(), text + scrollBar + 4 * metrics.averageCharWidth() + 2 * list->frameWidth());
            const int row = std::max(list->sizeHintForRow(0), metrics.height());
            list->setMinimumWidth(width);
            if (QWidget *frame = list->parentWidget()) {
                frame->setMaximumWidth(width + 8);
                frame->setMaximumHeight(VisibleRows * row + 2 * list->frameWidth() + 8);
            }
            setMaxVisibleItems(VisibleRows);
        }
        QComboBox::showPopup();
    }

protected:
    // The box takes the focus when the page shows, not by a key: the style would then leave
    // out the focus frame, and the user would not see where typing goes.
    void initStyleOption(QStyleOptionComboBox *option) const override
    {
        QComboBox::initStyleOption(option);
        if (hasFocus())
            option->state |= QStyle::State_KeyboardFocusChange;
    }
};
} // namespace

TfrmSelectionParameters::TfrmSelectionParameters(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmSelectionParameters"));
    lblTitle->setText(QStringLiteral("Choose Testing Parameters"));
    lblDescription->setText(QStringLiteral(
        "Below is the roster from which your test will be generated.  Select the Premise and "
        "other values to specify how members will be selected for testing."));

    FSmallImages = MakeSmallImages();

    auto *layout = new QHBoxLayout(pnlClient);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(16);

    lvRoster = Named(new TMemberListView(pnlClient), "lvRoster");
    lvRoster->setAccessibleName(QStringLiteral("Roster"));
    lvRoster->Tag = lkAll;
    FRosterModel = new TMemberListModel(&FMembers, lkAll, FSmallImages, this);
    lvRoster->setModel(FRosterModel);
    lvRoster->setFixedWidth(376);
    lvRoster->SetColumnWidths(230, 83, 42);
    layout->addWidget(lvRoster);

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    lblLocationCode = Named(new QLabel(QStringLiteral("Location Code"), pnlClient), "lblLocationCode");
    cbLocationCode = Named(new TLocationComboBox(pnlClient), "cbLocationCode");
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(12);
    cbLocationCode->setFont(fixed);
    cbLocationCode->setEditable(false);
    cbLocationCode->addItems(LocationEntries());
    cbLocationCode->setCurrentIndex(-1);
    cbLocationCode->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbLocationCode->setMinimumContentsLength(20);
    cbLocationCode->installEventFilter(this);
    cbLocationCode->view()->setItemDelegate(new TTrimmedEntryDelegate(cbLocationCode));
    lblLocationCode->setBuddy(cbLocationCode);
    right->addWidget(lblLocationCode);
    right->addWidget(cbLocationCode);
    right->addSpacing(10);

    lblPremise = Named(new QLabel(QStringLiteral("Testing Premise"), pnlClient), "lblPremise");
    cmbxPremise = Named(new QComboBox(pnlClient), "cmbxPremise");
    cmbxPremise->setEditable(false);
    cmbxPremise->addItems(PremiseEntries());
    lblPremise->setBuddy(cmbxPremise);
    right->addWidget(lblPremise);
    right->addWidget(cmbxPremise);
    right->addSpacing(10);

    lblRandomizationMethod = Named(new QLabel(QStringLiteral("Selection Method"), pnlClient), "lblRandomizationMethod");
    rbPercentage = Named(new QRadioButton(QStringLiteral("Probability"), pnlClient), "rbPercentage");
    rbTotalNumber = Named(new QRadioButton(QStringLiteral("Total Number"), pnlClient), "rbTotalNumber");
    rbPercentage->setChecked(true);
    right->addWidget(lblRandomizationMethod);
    right->addWidget(rbPercentage);
    right->addWidget(rbTotalNumber);
    right->addSpacing(10);

    lblSelectionMethod = Named(new QLabel(QStringLiteral("Testing Probability"), pnlClient), "lblSelectionMethod");
    edtCount = Named(new QLineEdit(pnlClient), "edtCount");
    edtCount->setMaxLength(4);
    edtCount->setFixedWidth(56);
    edtCount->installEventFilter(this);
    lblSelectionMethod->setBuddy(edtCount);
    right->addWidget(lblSelectionMethod);
    right->addWidget(edtCount);
    right->addSpacing(10);

    lblAlternates = Named(new QLabel(QStringLiteral("Alternates"), pnlClient), "lblAlternates");
    edtAlternates = Named(new QSpinBox(pnlClient), "edtAlternates");
    edtAlternates->setRange(0, MaxAlternates);
    edtAlternates->setValue(0);
    edtAlternates->setFixedWidth(56);
    edtAlternates->setAccessibleName(QStringLiteral("Alternates"));
    edtAlternates->setAccessibleDescription(QStringLiteral(
        "Members drawn after the selection, to be tested in this order when a selected member is not available"));
    edtAlternates->setToolTip(edtAlternates->accessibleDescription());
    lblAlternates->setBuddy(edtAlternates);
    right->addWidget(lblAlternates);
    right->addWidget(edtAlternates);
    right->addStretch(1);
    layout->addLayout(right, 1);

    // Tab follows the layout: the roster, then the parameters top to bottom, then the buttons.
    setTabOrder(lvRoster, cbLocationCode);
    setTabOrder(cbLocationCode, cmbxPremise);
    setTabOrder(cmbxPremise, rbPercentage);
    setTabOrder(rbPercentage, rbTotalNumber);
    setTabOrder(rbTotalNumber, edtCount);
    setTabOrder(edtCount, edtAlternates);
    // The Alternates box is the last control made: after it the chain goes round to the
    // buttons. Moving them behind it would take the spin box's own editor out of order.

    connect(lvRoster, &TMemberListView::ColumnClicked, this,
            [this](int column) { RunAction([this, column] { SortByColumn(column); }, this); });
    connect(cmbxPremise, &QComboBox::currentIndexChanged, this,
            [this] { RunAction([this] { cmbxPremiseChange(); }, this); });
    connect(rbPercentage, &QRadioButton::toggled, this,
            [this] { RunAction([this] { rbPercentageClick(); }, this); });
    connect(cbLocationCode, &QComboBox::currentIndexChanged, this,
            [this] { RunAction([this] { cbLocationCodeChange(); }, this); });

    // Creation: the premise box starts on random testing, the count box on the profile's value.
    btnFinish->setEnabled(false);
    cmbxPremise->setCurrentIndex(0);
    cmbxPremiseChange();
    edtCount->setText(QString::number(ServiceUtils ? ServiceUtils->DefaultTestValue : 10));
    const bool useLocation = !ServiceUtils || ServiceUtils->UseLocationCode;
    cbLocationCode->setVisible(useLocation);
    lblLocationCode->setVisible(useLocation);
    ZZWarningShown = false;
}

void TfrmSelectionParameters::LoadRoster(const TImportTable &table)
{
    LoadMembers(BuildRosterRecs(table));
}

void TfrmSelectionParameters::LoadMembers(const TRosterRecs &members)
{
    FMembers.LoadMembers(members);
    QString status = QStringLiteral("Roster Count = %1").arg(FMembers.MemberCount());
    QStringList names;
    const QList<int> noSsn = MembersWithoutValidSSN(members);
    if (!noSsn.isEmpty()) {
        // Blank SSNs sort first, so the list itself shows who.
        status += QStringLiteral("    %1 (sort by SSN to list them first)").arg(NoValidSSNText(int(noSsn.size())));
        for (qsizetype i = 0; i < std::min<qsizetype>(noSsn.size(), 20); ++i)
            names << members[noSsn[i]].Name;
        if (noSsn.size() > names.size())
            names << QStringLiteral("and %1 more").arg(noSsn.size() - names.size());
    }
    pnlStatus->setText(status);
    pnlStatus->setToolTip(names.join(QLatin1Char('\n')));
    RefreshRoster();
}

void TfrmSelectionParameters::RefreshRoster()
{
    FRosterModel->SetRowCount(FMembers.MemberCount());
}

void TfrmSelectionParameters::SortByColumn(int column)
{
    FMembers.SortByColumn(column);
    FRosterModel->Repaint();
}

void TfrmSelectionParameters::SetGroupByGender(bool value)
{
    FMembers.SetGroupByGender(value);
    FRosterModel->Repaint();
}

QString TfrmSelectionParameters::PremiseCode() const
{
    return PremiseCodeOf(cmbxPremise->currentText());
}

QString TfrmSelectionParameters::LocationCode() const
{
    return LocationCodeOf(cbLocationCode->currentText());
}

void TfrmSelectionParameters::showEvent(QShowEvent *event)
{
    TfrmWizTemplate::showEvent(event);
    RunAction([this] { FormShow(); }, this);
}

void TfrmSelectionParameters::FormShow()
{
    rbTotalNumber->setEnabled(!ServiceUtils || ServiceUtils->AllowTotalNumber);
    if (!cbLocationCode->isHidden())
        cbLocationCode->setFocus();
    else
        cmbxPremise->setFocus();
}

void TfrmSelectionParameters::cmbxPremiseChange()
{
    const bool random = cmbxPremise->currentIndex() == 0;
    edtCount->setEnabled(random);
    lblSelectionMethod->setEnabled(random);
    lblRandomizationMethod->setEnabled(random);
    rbPercentage->setEnabled(random);
    rbTotalNumber->setEnabled(random && (!ServiceUtils || ServiceUtils->AllowTotalNumber));
    lblAlternates->setEnabled(random);
    edtAlternates->setEnabled(random);
    UpdateButtons();
}

void TfrmSelectionParameters::rbPercentageClick()
{
    lblSelectionMethod->setText(rbPercentage->isChecked() ? QStringLiteral("Testing Probability")
                                                          : QStringLiteral("Testing Count"));
}

void TfrmSelectionParameters::UpdateButtons()
{
    const int premise = cmbxPremise->currentIndex();
    const bool drawsItself = premise == 0 || premise == 1;
    const bool byHand = premise >= 2;
    if (!ServiceUtils || ServiceUtils->LocationCodeRequired) {
        const bool located = cbLocationCode->currentIndex() >= 0;
        btnFinish->setEnabled(drawsItself && located);
        btnNext->setEnabled(located && byHand);
    } else {
        btnFinish->setEnabled(drawsItself);
        btnNext->setEnabled(byHand);
    }
}

void TfrmSelectionParameters::cbLocationCodeChange()
{
    ZZWarningShown = false;
    if (LocationCode() == QLatin1String("ZZ"))
        WarnTemporaryLocation();
    UpdateButtons();
}

void TfrmSelectionParameters::WarnTemporaryLocation()
{
    MessageDlg(TemporaryLocationText(), mtWarning, mbOK, this);
    ZZWarningShown = true;
}

void TfrmSelectionParameters::cbLocationCodeExit()
{
    if (ServiceUtils && !ServiceUtils->LocationCodeRequired)
        return;
    if (cbLocationCode->currentIndex() >= 0)
        return;
    // The message box itself takes the focus; do not report that as leaving again.
    FInLocationExit = true;
    MessageDlg(QStringLiteral("A collection location is REQUIRED.\r\n") + TemporaryLocationText(),
               mtError, mbOK, this);
    FInLocationExit = false;
    if (isVisible())
        cbLocationCode->setFocus();
}

bool TfrmSelectionParameters::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtCount && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (text.size() == 1) {
            const char16_t c = text.at(0).unicode();
            if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
                return true;   // letters are discarded
        }
    } else if (watched == cbLocationCode && event->type() == QEvent::FocusOut && !FInLocationExit) {
        // Opening the box's own list, or another window taking the focus, is not leaving.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && isVisible())
            ScheduleLocationCheck();
    }
    return TfrmWizTemplate::eventFilter(watched, event);
}

void TfrmSelectionParameters::ScheduleLocationCheck()
{
    if (FLocationCheckPending)
        return;
    FLocationCheckPending = true;
    QTimer::singleShot(0, this, &TfrmSelectionParameters::LocationCheckDue);
}

void TfrmSelectionParameters::LocationCheckDue()
{
    // Checked once the click that moved the focus has ended, so that the click itself is not
    // lost; and not while a list is open or a question is being asked.
    if (QApplication::mouseButtons() != Qt::NoButton || QApplication::activePopupWidget()
        || QApplication::activeModalWidget()) {
        QTimer::singleShot(50, this, &TfrmSelectionParameters::LocationCheckDue);
        return;
    }
    FLocationCheckPending = false;
    if (LeftLocationForward())
        RunAction([this] { cbLocationCodeExit(); }, this);
}

bool TfrmSelectionParameters::LeftLocationForward() const
{
    // Previous, Cancel and closing took the page away or leave it: nothing to check then.
    if (!isVisible() || cbLocationCode->isHidden())
        return false;
    QWidget *to = QApplication::focusWidget();
    if (!to || to->window() != this || to == cbLocationCode)
        return false;
    // Going back, giving up, or reading the roster does not need a location.
    if (to == btnPrevious || to == btnCancel || to == lvRoster || lvRoster->isAncestorOf(to))
        return false;
    return true;
}

void TfrmSelectionParameters::btnPreviousClick()
{
    TfrmWizTemplate::btnPreviousClick();
    ShowPage(TWizPage::FormatRoster);
}

void TfrmSelectionParameters::btnNextClick()
{
    TfrmWizTemplate::btnNextClick();
    ShowPage(TWizPage::SelectMembers);
}

void TfrmSelectionParameters::RecordSelection(TDrawMethod method, const QList<int> &alternates, int alternatesAsked)
{
    SetCurrentSelectionRecord(MakeSelectionRecord(RosterSource, FMembers, PremiseCode(), LocationCode(), method,
                                                  edtCount->text(), alternates, alternatesAsked));
}

void TfrmSelectionParameters::btnFinishClick()
{
    if (LocationCode() == QLatin1String("ZZ") && !ZZWarningShown)
        WarnTemporaryLocation();
    if (MessageDlg(QStringLiteral("You have finished specifying testing parameters; the test is about "
                                  "to be created.  Are you sure you wish to continue?"),
                   mtConfirmation, mbYesNo, this) != mrYes)
        return;
    FMembers.ClearSelection();
    const int premise = cmbxPremise->currentIndex();
    QList<int> alternates;
    int alternatesAsked = 0;
    if (premise == 0) {
        if (rbPercentage->isChecked())
            SelectByProbability(FMembers, edtCount->text(), RankProbabilityOf(ServiceUtils));
        else
            SelectByCount(FMembers, edtCount->text());
        // straight after the selection: the random source goes on from where it stopped
        alternatesAsked = edtAlternates->value();
        alternates = DrawAlternates(FMembers, alternatesAsked);
    } else if (premise == 1) {
        FMembers.SelectAll();
    }
    RecordSelection(premise == 0 ? (rbPercentage->isChecked() ? dmProbability : dmCount)
                                 : premise == 1 ? dmUnitSweep : dmByHand,
                    alternates, alternatesAsked);
    // Hidden only once the draw has succeeded: on a bad value the page stays.
    TfrmWizTemplate::btnFinishClick();
    ShowPage(TWizPage::PrintProducts);
}
