#include "products/ui/FormPrintProducts.h"
#include "app/ui/Help.h"

#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/Dialogs.h"
#include "app/ui/WizTemplate.h"
#include "products/BatchManager.h"
#include "selection/TestMembers.h"
#include "selection/ui/MemberListModel.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValidator>

TfrmPrintProducts *frmPrintProducts = nullptr;

namespace {
// Tab leaves the date as it leaves every other field: Qt's date box would spend it on its
// month, day and year, and a coordinator typing down the page puts the batch into the year.
// The arrow keys still move between the three.
class TDateField : public QDateEdit
{
public:
    using QDateEdit::QDateEdit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

constexpr int ListKindSelected = 2;
constexpr int MemoMaxLength = 255;
constexpr int RightColumnWidth = 303;

// The selected members as page 3 holds them.
class TPageSelection : public TSelectedMembers
{
public:
    int SelectedCount() const override
    {
        return TestMembers() ? TestMembers()->SelectedCount() : 0;
    }
    const TRosterRec &GetSelectedMember(int n) const override
    {
        return TestMembers()->GetSelectedMember(n);
    }
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) override
    {
        TestMembers()->SetMemberPrintInfo(n, formIndex, specimenNumber);
    }
    QString PremiseCode() const override
    {
        return TestMembers() ? TestMembers()->PremiseCode() : QString();
    }
    QString LocationCode() const override
    {
        return TestMembers() ? TestMembers()->LocationCode() : QString();
    }
    int SelectedMemberRow(int n) const override
    {
        return TestMembers() ? TestMembers()->MemberIndex(lkSelected, n) + 1 : 0;
    }
};

// Takes only characters that a barcode carries alike to every scanner (the BAC and UIC go
// into the custody document's sheet barcode); the BAC entry also upper-cases while typing.
class TBarcodeTextValidator : public QValidator
{
public:
    TBarcodeTextValidator(bool upperCase, QObject *parent) : QValidator(parent), m_upperCase(upperCase) {}
    State validate(QString &input, int &) const override
    {
        if (!TPrintProducts::IsBarcodeText(input))
            return Invalid;
        if (m_upperCase)
            input = input.toUpper();
        return Acceptable;
    }

private:
    bool m_upperCase;
};

// Members named in the SSN warning before the list is cut short.
constexpr int SsnWarningNames = 15;

} // namespace

// The list of selected members: rows are produced by page 3 when the view asks.
class TSelectedListModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRowCount(int rows)
    {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }
    void Redraw()
    {
        if (m_rows > 0)
            emit dataChanged(index(0, 0), index(m_rows - 1, 2));
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 3;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        switch (section) {
        case 0: return QStringLiteral("Name");
        case 1: return QStringLiteral("SSN");
        case 2: return QStringLiteral("Rank");
        }
        return QVariant();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || !TestMembers())
            return QVariant();
        if (role != Qt::DisplayRole && !(role == Qt::DecorationRole && index.column() == 0))
            return QVariant();
        TMemberRow row;
        const int member = TestMembers()->MemberIndex(ListKindSelected, index.row());
        if (!TestMembers()->FillListItem(member, row))
            return QVariant();
        if (role == Qt::DecorationRole)
            return m_images.value(row.ImageIndex);
        switch (index.column()) {
        case 0: return row.Caption;
        case 1: return row.SSN;
        case 2: return row.Rank;
        }
        return QVariant();
    }

private:
    int m_rows = 0;
    const QList<QIcon> m_images = MakeSmallImages();   // the pictures page 3 shows
};

TfrmPrintProducts::TfrmPrintProducts(QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_members(std::make_unique<TPageSelection>())
{
    setObjectName(QStringLiteral("frmPrintProducts"));
    setWindowTitle(QStringLiteral("Corvane Lite"));
    InstallHelpKey(this);
    setFont(ArialPixels(13));
    Printers = DefaultProductPrinters();
    m_products = std::make_unique<TPrintProducts>(*m_members, *ServiceUtils);
    buildControls();
    resize(704, 540);
    CentreOnScreen(this);
}

TfrmPrintProducts::~TfrmPrintProducts()
{
    if (frmPrintProducts == this)
        frmPrintProducts = nullptr;
}

QAbstractTableModel *TfrmPrintProducts::SelectedModel() const { return m_model; }

void TfrmPrintProducts::buildControls()
{
    auto *form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);

    // Description band
    pnlDescription = new QFrame(this);
    pnlDescription->setObjectName(QStringLiteral("pnlDescription"));
    lblTitle = new QLabel(QStringLiteral("Print Products"), pnlDescription);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    Label3 = new QLabel(
        QStringLiteral("The members below have been selected for testing.  Fill out the appropriate "
                       "information to be printed on your products, select the products you wish "
                       "to print, and click the <Print> button."),
        pnlDescription);
    Label3->setObjectName(QStringLiteral("Label3"));
    setAccessibleName(lblTitle->text());   // the page as a screen reader announces it
    setAccessibleDescription(Label3->text());
    Label3->setTextFormat(Qt::PlainText);
    BuildDescriptionBand(pnlDescription, lblTitle, Label3);
    form->addWidget(pnlDescription);

    auto *work = new QWidget(this);
    auto *workLayout = new QHBoxLayout(work);
    workLayout->setContentsMargins(6, 6, 6, 6);
    workLayout->setSpacing(8);

    // Member list
    lvSelected = new QTreeView(work);
    lvSelected->setObjectName(QStringLiteral("lvSelected"));
    lvSelected->setAccessibleName(QStringLiteral("Members selected for testing"));
    lvSelected->setProperty("tag", ListKindSelected);
    m_model = new TSelectedListModel(lvSelected);
    lvSelected->setModel(m_model);
    lvSelected->setRootIsDecorated(false);
    lvSelected->setUniformRowHeights(true);
    lvSelected->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSelected->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvSelected->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSelected->setIconSize(QSize(16, 16));
    lvSelected->header()->setSectionsClickable(true);
    lvSelected->header()->setSortIndicatorShown(false);
    lvSelected->header()->setStretchLastSection(false);
    lvSelected->setColumnWidth(0, 236);
    lvSelected->setColumnWidth(1, 88);
    lvSelected->setColumnWidth(2, 45);
    connect(lvSelected->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { RunAction([this, column] { lvSelectedColumnClick(column); }, this); });
    workLayout->addWidget(lvSelected, 1);

    // Right column: the input panel, then the product boxes
    auto *right = new QWidget(work);
    right->setFixedWidth(RightColumnWidth);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(4);

    pnlInput = new QWidget(right);
    pnlInput->setObjectName(QStringLiteral("pnlInput"));
    auto *input = new QVBoxLayout(pnlInput);
    input->setContentsMargins(0, 0, 0, 0);
    input->setSpacing(2);

    auto *idRow = new QHBoxLayout;
    idRow->setSpacing(6);
    lblBac = new QLabel(QStringLiteral("BAC"), pnlInput);
    lblBac->setObjectName(QStringLiteral("lblBac"));
    edtBAC = new QLineEdit(pnlInput);
    edtBAC->setObjectName(QStringLiteral("edtBAC"));
    lblBac->setBuddy(edtBAC);
    edtBAC->setMaxLength(4);
    edtBAC->setValidator(new TBarcodeTextValidator(true, edtBAC));
    edtBAC->setFixedWidth(56);
    lblServiceDesignator = new QLabel(pnlInput);
    lblServiceDesignator->setObjectName(QStringLiteral("lblServiceDesignator"));
    lblUIC = new QLabel(QStringLiteral("UIC"), pnlInput);
    lblUIC->setObjectName(QStringLiteral("lblUIC"));
    edtUIC = new QLineEdit(pnlInput);
    edtUIC->setObjectName(QStringLiteral("edtUIC"));
    lblUIC->setBuddy(edtUIC);
    edtUIC->setMaxLength(5);
    edtUIC->setValidator(new TBarcodeTextValidator(false, edtUIC));
    edtUIC->setFixedWidth(66);
    idRow->addWidget(lblBac);
    idRow->addWidget(edtBAC);
    idRow->addWidget(lblServiceDesignator);
    idRow->addSpacing(6);
    idRow->addWidget(lblUIC);
    idRow->addWidget(edtUIC);
    idRow->addStretch(1);
    input->addLayout(idRow);

    Label11 = new QLabel(QStringLiteral("DD Form 2624 Block 1:"), pnlInput);
    Label11->setObjectName(QStringLiteral("Label11"));
    mmBlock1 = new QPlainTextEdit(pnlInput);
    mmBlock1->setObjectName(QStringLiteral("mmBlock1"));
    Label11->setBuddy(mmBlock1);
    mmBlock1->setAccessibleName(QStringLiteral("DD Form 2624 Block 1"));
    mmBlock1->setTabChangesFocus(true);   // Tab leaves the block rather than typing a tab
    Label10 = new QLabel(QStringLiteral("DD Form 2624 Block 2:"), pnlInput);
    Label10->setObjectName(QStringLiteral("Label10"));
    mmBlock2 = new QPlainTextEdit(pnlInput);
    mmBlock2->setObjectName(QStringLiteral("mmBlock2"));
    Label10->setBuddy(mmBlock2);
    mmBlock2->setAccessibleName(QStringLiteral("DD Form 2624 Block 2"));
    mmBlock2->setTabChangesFocus(true);
    for (QPlainTextEdit *memo : {mmBlock1, mmBlock2}) {
        memo->setFixedHeight(46);
        memo->setTabChangesFocus(true);
        limitMemo(memo);
    }
    input->addWidget(Label11);
    input->addWidget(mmBlock1);
    input->addWidget(Label10);
    input->addWidget(mmBlock2);

    auto *dateRow = new QHBoxLayout;
    dateRow->setSpacing(6);
    auto *dateCol = new QVBoxLayout;
    dateCol->setSpacing(2);
    Label1 = new QLabel(QStringLiteral("Collection Date"), pnlInput);
    Label1->setObjectName(QStringLiteral("Label1"));
    dtpCollectionDate = new TDateField(QDate::currentDate(), pnlInput);
    dtpCollectionDate->setObjectName(QStringLiteral("dtpCollectionDate"));
    Label1->setBuddy(dtpCollectionDate);
    dtpCollectionDate->setCalendarPopup(true);
    // as the products print it (two-digit month and day), so the box and the paper agree
    dtpCollectionDate->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    dateCol->addWidget(Label1);
    dateCol->addWidget(dtpCollectionDate);
    auto *batchCol = new QVBoxLayout;
    batchCol->setSpacing(2);
    Label2 = new QLabel(QStringLiteral("Starting Batch"), pnlInput);
    Label2->setObjectName(QStringLiteral("Label2"));
    edtBatchNumber = new QLineEdit(QStringLiteral("0001"), pnlInput);
    edtBatchNumber->setObjectName(QStringLiteral("edtBatchNumber"));
    Label2->setBuddy(edtBatchNumber);
    batchCol->addWidget(Label2);
    batchCol->addWidget(edtBatchNumber);
    dateRow->addLayout(dateCol, 1);
    dateRow->addLayout(batchCol, 1);
    input->addLayout(dateRow);

    cbGroupByGender = new QCheckBox(QStringLiteral("Group By Gender"), pnlInput);
    cbGroupByGender->setObjectName(QStringLiteral("cbGroupByGender"));
    connect(cbGroupByGender, &QCheckBox::clicked, this,
            [this] { RunAction([this] { cbGroupByGenderClick(); }, this); });
    input->addWidget(cbGroupByGender, 0, Qt::AlignLeft);

    // Below this line the panel is cut off unless the service numbers batches in a range.
    pnlBatchRange = new QWidget(pnlInput);
    pnlBatchRange->setObjectName(QStringLiteral("pnlBatchRange"));
    auto *rangeRow = new QHBoxLayout(pnlBatchRange);
    rangeRow->setContentsMargins(0, 0, 0, 0);
    rangeRow->setSpacing(6);
    lblBatchRange = new QLabel(QStringLiteral("Batch Range"), pnlBatchRange);
    lblBatchRange->setObjectName(QStringLiteral("lblBatchRange"));
    edtBatchStart = new QLineEdit(QStringLiteral("0001"), pnlBatchRange);
    edtBatchStart->setObjectName(QStringLiteral("edtBatchStart"));
    lblBatchRange->setBuddy(edtBatchStart);
    edtBatchStart->setAccessibleName(QStringLiteral("Batch Range start"));
    Label5 = new QLabel(QStringLiteral("to"), pnlBatchRange);
    Label5->setObjectName(QStringLiteral("Label5"));
    edtBatchEnd = new QLineEdit(QStringLiteral("9999"), pnlBatchRange);
    edtBatchEnd->setObjectName(QStringLiteral("edtBatchEnd"));
    edtBatchEnd->setAccessibleName(QStringLiteral("Batch Range end"));
    rangeRow->addWidget(lblBatchRange);
    rangeRow->addWidget(edtBatchStart, 1);
    rangeRow->addWidget(Label5);
    rangeRow->addWidget(edtBatchEnd, 1);
    pnlBatchRange->setVisible(false);
    input->addWidget(pnlBatchRange);
    rightLayout->addWidget(pnlInput);

    GroupBox = new QGroupBox(QStringLiteral("Available Printouts"), right);
    GroupBox->setObjectName(QStringLiteral("GroupBox"));
    GroupBox->setMinimumHeight(150);
    GroupBox->installEventFilter(this);
    const struct { const char *name; const char *caption; } boxes[] = {
        {"cbNotificationCopy", "Personnel To Be Tested (Notification Copy)"},
        {"cbWorkingCopy", "Personnel To Be Tested (Working Copy)"},
        {"cbTestingRegister", "Testing Register"},
        {"cb2624Front", "DD Form 2624"},
        {"cb2624Back", "DD Form 2624 (Back Side)"},
        {"cbBottleLabels", "Bottle Labels"},
        {"cbSelectionRecord", "Selection Record"},
    };
    for (const auto &b : boxes) {
        auto *box = new QCheckBox(QString::fromLatin1(b.caption), GroupBox);
        box->setObjectName(QLatin1String(b.name));
        connect(box, &QCheckBox::clicked, this,
                [this] { RunAction([this] { cbBottleLabelsClick(); }, this); });
        m_productBoxes.append(box);
    }
    cbNotificationCopy = m_productBoxes[0];
    cbWorkingCopy = m_productBoxes[1];
    cbTestingRegister = m_productBoxes[2];
    cb2624Front = m_productBoxes[3];
    cb2624Back = m_productBoxes[4];
    cbBottleLabels = m_productBoxes[5];
    cbSelectionRecord = m_productBoxes[6];
    rightLayout->addWidget(GroupBox, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    btnPrint = new QPushButton(QStringLiteral("&Print"), right);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setFixedSize(91, 25);
    btnPrint->setDefault(true);
    btnPrint->setEnabled(false);
    btnClose = new QPushButton(QStringLiteral("&Close"), right);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setFixedSize(91, 25);
    btnClose->setAutoDefault(false);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnClose);
    rightLayout->addLayout(buttons);
    connect(btnPrint, &QPushButton::clicked, this,
            [this] { RunAction([this] { btnPrintClick(); }, this); });
    connect(btnClose, &QPushButton::clicked, this,
            [this] { RunAction([this] { btnCloseClick(); }, this); });

    workLayout->addWidget(right);
    form->addWidget(work, 1);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(24);
    StatusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel1 = new QLabel(StatusBar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    StatusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1, 1);
    form->addWidget(StatusBar);

    setTabOrder(edtBAC, edtUIC);
    setTabOrder(edtUIC, mmBlock1);
    setTabOrder(mmBlock1, mmBlock2);
    setTabOrder(mmBlock2, dtpCollectionDate);
    setTabOrder(dtpCollectionDate, edtBatchNumber);
    setTabOrder(edtBatchNumber, cbGroupByGender);
}

// A memo keeps at most 255 characters, counting each line break as the two characters
// it is printed with.
void TfrmPrintProducts::limitMemo(QPlainTextEdit *memo)
{
    connect(memo, &QPlainTextEdit::textChanged, memo, [memo] {
        const QString text = memo->toPlainText();
        const int breaks = int(text.count(QLatin1Char('\n')));
        if (text.size() + breaks <= MemoMaxLength)
            return;
        QString kept;
        int length = 0;
        for (QChar c : text) {
            const int cost = c == QLatin1Char('\n') ? 2 : 1;
            if (length + cost > MemoMaxLength)
                break;
            kept.append(c);
            length += cost;
        }
        const QSignalBlocker block(memo);
        memo->setPlainText(kept);
        QTextCursor cursor = memo->textCursor();
        cursor.movePosition(QTextCursor::End);
        memo->setTextCursor(cursor);
    });
}

TPrintInputs TfrmPrintProducts::ReadInputs() const
{
    TPrintInputs in;
    in.BAC = edtBAC->text();
    in.UIC = edtUIC->text();
    in.Block1 = mmBlock1->toPlainText();
    in.Block2 = mmBlock2->toPlainText();
    in.CollectionDate = dtpCollectionDate->date();
    in.StartingBatch = edtBatchNumber->text();
    in.BatchStart = edtBatchStart->text();
    in.BatchEnd = edtBatchEnd->text();
    in.GroupByGender = cbGroupByGender->isChecked();
    in.NotificationCopy = cbNotificationCopy->isChecked();
    in.WorkingCopy = cbWorkingCopy->isChecked();
    in.TestingRegister = cbTestingRegister->isChecked();
    in.Front2624 = cb2624Front->isChecked();
    in.Back2624 = cb2624Back->isChecked();
    in.BottleLabels = cbBottleLabels->isChecked();
    in.SelectionRecord = cbSelectionRecord->isChecked();
    return in;
}

void TfrmPrintProducts::FormShow()
{
    EditionSuffix = QStringLiteral("L");

    lblBac->setText(ServiceUtils->BacCaption);
    lblUIC->setText(ServiceUtils->UicCaption);
    lblServiceDesignator->setText(ServiceUtils->ServiceDesignator);
    lblServiceDesignator->setVisible(ServiceUtils->ShowServiceDesignator);
    lblUIC->setVisible(ServiceUtils->ShowUicField);
    edtUIC->setVisible(ServiceUtils->ShowUicField);

    pnlBatchRange->setVisible(ServiceUtils->ServiceCode == 4);

    edtBatchStart->setText(QString::number(ServiceUtils->BatchManager->MinBatch));
    edtBatchEnd->setText(QString::number(ServiceUtils->BatchManager->MaxBatch));

    dtpCollectionDate->setDisplayFormat(ServiceUtils->DateFormat);
    dtpCollectionDate->setDate(QDate::currentDate());

    const int selected = m_members->SelectedCount();
    m_model->SetRowCount(selected);

    StatusPanel0->setText(m_members->PremiseCode());
    StatusPanel1->setText(QStringLiteral("Members Selected For Testing: %1").arg(selected));

    if (selected == 0)
        MessageDlg(QStringLiteral("No members selected, products may not be printed."), mtError,
                   mbOK, this);
}

void TfrmPrintProducts::cbBottleLabelsClick()
{
    bool anyTicked = false;
    for (QCheckBox *box : std::as_const(m_productBoxes))
        anyTicked = anyTicked || box->isChecked();
    btnPrint->setEnabled(m_members->SelectedCount() > 0 && anyTicked);
}

void TfrmPrintProducts::btnPrintClick()
{
    m_products->Inputs = ReadInputs();
    m_products->CheckInputs();
    const TPrintInputs &in = m_products->Inputs;
    const bool printsSsn = in.NotificationCopy || in.WorkingCopy || in.TestingRegister || in.Front2624
                           || in.BottleLabels;
    if (printsSsn) {
        const QStringList names = m_products->MembersWithoutValidSsn();
        if (!names.isEmpty() && MessageDlg(SsnWarning(names), mtWarning, mbYesNo, this, mrNo) != mrYes)
            return;
    }
    m_products->Print(Printers);
}

QString TfrmPrintProducts::SsnWarning(const QStringList &names)
{
    QStringList shown = names.mid(0, SsnWarningNames);
    if (names.size() > SsnWarningNames)
        shown.append(QStringLiteral("and %1 more").arg(names.size() - SsnWarningNames));
    return QStringLiteral("%1 without a valid SSN (nine letters or digits). Their products and barcodes "
                          "would print without one:\n\n%2\n\nPrint anyway?")
        .arg(names.size() == 1 ? QStringLiteral("This member is") : QStringLiteral("These %1 members are").arg(names.size()),
             shown.join(QLatin1Char('\n')));
}

void TfrmPrintProducts::btnCloseClick()
{
    if (MessageDlg(CloseQuestion, mtConfirmation, mbYesNo, this) == mrYes)
        close();
}

void TfrmPrintProducts::FormClose()
{
    CloseMainForm(this);
}

void TfrmPrintProducts::lvSelectedColumnClick(int column)
{
    TestMembers()->SortByColumn(column);
    m_model->Redraw();
}

void TfrmPrintProducts::cbGroupByGenderClick()
{
    TestMembers()->SetGroupByGender(cbGroupByGender->isChecked());
    m_model->Redraw();
}

void TfrmPrintProducts::FormResize()
{
    const QList<int> tops = ProductBoxTops(GroupBox->height(), int(m_productBoxes.size()));
    const int available = GroupBox->width() - 16;
    for (int i = 0; i < m_productBoxes.size(); ++i) {
        QCheckBox *box = m_productBoxes[i];
        const QSize hint = box->sizeHint();
        // No wider than its caption: a click beside the caption must not tick the box.
        box->setGeometry(8, tops[i], qMax(0, qMin(available, hint.width())), hint.height());
    }
}

void TfrmPrintProducts::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        RunAction([this] { FormShow(); }, this);
}

void TfrmPrintProducts::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    RunAction([this] { FormClose(); }, this);
}

bool TfrmPrintProducts::eventFilter(QObject *watched, QEvent *event)
{
    // The product boxes follow the group box, whose size follows the page's.
    if (watched == GroupBox && event->type() == QEvent::Resize)
        RunAction([this] { FormResize(); }, this);
    return QWidget::eventFilter(watched, event);
}

void TfrmPrintProducts::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is the one Enter presses (Close must not print).
        if (auto *focused = qobject_cast<QPushButton *>(focusWidget()); focused && focused != btnPrint) {
            if (focused->isEnabled())
                focused->click();
            return;
        }
        if (btnPrint->isEnabled() && btnPrint->isVisible()) {
            btnPrint->click();
            return;
        }
        break;
    case Qt::Key_Escape:
        btnClose->click();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}
