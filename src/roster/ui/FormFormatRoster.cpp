#include "FormFormatRoster.h"

#include "ImportGrid.h"
#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/Dialogs.h"
#include "app/ui/FormWaiting.h"
#include "roster/FormatRoster.h"
#include "roster/ImportHooks.h"
#include "roster/ImportProcess.h"
#include "selection/TestMembers.h"

#include <QApplication>
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFormatRoster *frmFormatRoster = nullptr;

namespace {

constexpr TImportFileType EntryFileTypes[] = {iftExcel, iftCommaText, iftTabText, iftAccess, iftDBase, iftOds};
constexpr TImportFieldKind EntryKinds[] = {fkDoNotImport, fkFirstName, fkLastName, fkInitial,
                                           fkSSN, fkRank, fkGender, fkOrganization};

TRosterChoiceSource g_rosterChoice;

} // namespace

void SetRosterChoiceSource(TRosterChoiceSource source) { g_rosterChoice = std::move(source); }

TImportFileType TfrmFormatRoster::FileTypeOfEntry(int index)
{
    return index >= 0 && index < int(std::size(EntryFileTypes)) ? EntryFileTypes[index] : iftNone;
}

TImportFieldKind TfrmFormatRoster::KindOfEntry(int index)
{
    return index >= 0 && index < int(std::size(EntryKinds)) ? EntryKinds[index] : fkDoNotImport;
}

int TfrmFormatRoster::EntryOfExtension(const QString &path)
{
    return EntryOfFileType(FileTypeOfExtension(path));
}

int TfrmFormatRoster::EntryOfFileType(TImportFileType type)
{
    for (int i = 0; i < int(std::size(EntryFileTypes)); ++i)
        if (EntryFileTypes[i] == type)
            return i;
    return -1;
}

TfrmFormatRoster::TfrmFormatRoster(QWidget *parent)
    : TfrmWizTemplate(parent), FTable(std::make_unique<TImportTable>()),
      FGridModel(new TImportGridModel(this))
{
    setObjectName(QStringLiteral("frmFormatRoster"));
    lblTitle->setText(QStringLiteral("Format Roster"));
    lblDescription->setText(QStringLiteral(
        "First check the \"File Type\" value and make sure that it accurately reflects the format of "
        "your roster.  Next click on the column titles and identify information required by Corvane "
        "Lite (Name, SSN, Rank, and Gender).  If your roster file contained header information, it "
        "must be removed by checking the \"Ignore Header\" checkbox."));
    FitThreeLineDescription();

    auto *layout = new QVBoxLayout(pnlClient);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    auto *strip = new QHBoxLayout;
    strip->setSpacing(8);
    lblFileType = new QLabel(QStringLiteral("File Type"), pnlClient);
    lblFileType->setObjectName(QStringLiteral("lblFileType"));
    cbFileType = new QComboBox(pnlClient);
    cbFileType->setObjectName(QStringLiteral("cbFileType"));
    cbFileType->addItems({QStringLiteral("MS Excel"), QStringLiteral("Comma Delimited"),
                          QStringLiteral("Tab Delimeted"), QStringLiteral("MS Access"),
                          QStringLiteral("DBase"), QStringLiteral("OpenDocument Spreadsheet")});
    cbFileType->setCurrentIndex(0);
    cbFileType->setFixedWidth(137);
    // The box keeps its width; its list shows the longest entry whole.
    cbFileType->view()->setMinimumWidth(
        cbFileType->fontMetrics().horizontalAdvance(QStringLiteral("OpenDocument Spreadsheet")) + 24);
    lblFileType->setBuddy(cbFileType);
    cbIgnoreHeader = new QCheckBox(QStringLiteral("Ignore Header"), pnlClient);
    cbIgnoreHeader->setObjectName(QStringLiteral("cbIgnoreHeader"));
    cbIgnoreHeader->setLayoutDirection(Qt::RightToLeft);   // text left of the box
    strip->addWidget(lblFileType);
    strip->addWidget(cbFileType);
    strip->addStretch(1);
    strip->addWidget(cbIgnoreHeader);
    layout->addLayout(strip);

    dgImportTable = new TImportGrid(pnlClient);
    dgImportTable->setObjectName(QStringLiteral("dgImportTable"));
    FGridModel->SetTable(FTable.get());
    dgImportTable->setModel(FGridModel);
    layout->addWidget(dgImportTable, 1);
    dgImportTable->DrawCell = [this](QPainter *p, const QRect &r, int c, int row) {
        dgImportTableDrawCell(p, r, c, row);
    };
    dgImportTable->MouseDown = [this](const QPoint &pos) {
        RunAction([&] { dgImportTableMouseDown(pos); }, this);
    };
    dgImportTable->MouseUp = [this](const QPoint &pos) {
        RunAction([&] { dgImportTableMouseUp(pos); }, this);
    };
    dgImportTable->OpenColumn = [this](int col) {
        RunAction([&] { dgImportTableOpenColumn(col); }, this);
    };
    dgImportTable->setAccessibleName(QStringLiteral("Roster columns"));

    lbFields = new QListWidget(pnlClient);
    lbFields->setObjectName(QStringLiteral("lbFields"));
    lbFields->addItems({QStringLiteral("Do Not Import"), QStringLiteral("FirstName"),
                        QStringLiteral("LastName"), QStringLiteral("Initial"), QStringLiteral("SSN"),
                        QStringLiteral("Rank"), QStringLiteral("Gender"), QStringLiteral("Organization")});
    lbFields->setFixedSize(121, 132);
    lbFields->setFrameShape(QFrame::Box);
    lbFields->hide();
    lbFields->installEventFilter(this);
    lbFields->setAccessibleName(QStringLiteral("What the column holds"));
    lblFileType->setAccessibleName(lblFileType->text());
    cbFileType->setAccessibleName(lblFileType->text());

    // the page's own controls first, then the frame's buttons
    setTabOrder(cbFileType, cbIgnoreHeader);
    setTabOrder(cbIgnoreHeader, dgImportTable);
    setTabOrder(dgImportTable, btnPrevious);

    pnlStatus->setText(QStringLiteral("Format Roster"));
    btnNext->setEnabled(false);
    btnFinish->setEnabled(false);

    // activated: only the user's choice runs the handler; FormShow runs it itself.
    connect(cbFileType, &QComboBox::activated, this, [this] { RunAction([this] { cbFileTypeChange(); }, this); });
    connect(cbIgnoreHeader, &QCheckBox::clicked, this, [this] { RunAction([this] { cbIgnoreHeaderClick(); }, this); });
    connect(lbFields, &QListWidget::itemClicked, this, [this] { RunAction([this] { lbFieldsClick(); }, this); });
}

TfrmFormatRoster::~TfrmFormatRoster()
{
    FGridModel->SetTable(nullptr);
}

void TfrmFormatRoster::showEvent(QShowEvent *event)
{
    TfrmWizTemplate::showEvent(event);
    if (!event->spontaneous()) {
        RunAction([this] { FormShow(); }, this);
        // the mapping starts in the grid; Previous is never where Enter lands by chance
        dgImportTable->setFocus(Qt::OtherFocusReason);
    }
}

void TfrmFormatRoster::FormShow()
{
    QString folder, fileName;
    const bool page1 = g_rosterChoice && g_rosterChoice(folder, fileName);
    FRosterFileName = page1 ? folder + fileName : QString();
    if (!page1 || fileName.isEmpty())
        return;   // no file chosen: nothing to read (a folder is not a roster)
    if (FFileType != iftNone) {
        if (FRosterFileName == FLoadedFileName)
            return;
        // Another file was chosen on page 1: read it afresh rather than hand on the old one.
        FTable = std::make_unique<TImportTable>();
        FGridModel->SetTable(FTable.get());
        FFileType = iftNone;
        dgImportTable->SetFocusColumn(0);   // another file: the keys start at its first column
    }
    const int entry = EntryOfExtension(FRosterFileName);
    if (entry >= 0)
        cbFileType->setCurrentIndex(entry);
    cbFileTypeChange();
}

void TfrmFormatRoster::cbFileTypeChange()
{
    const TImportFileType type = FileTypeOfEntry(cbFileType->currentIndex());
    if (type == FFileType)
        return;
    const TImportFileType previousType = FFileType;
    const QString previousFile = FLoadedFileName;
    FFileType = type;
    FLoadedFileName = FRosterFileName;
    if (frmWaiting)
        frmWaiting->ShowWaitMessage(QStringLiteral("Loading Roster File. . ."));
    SetImportProgress([](int rows) {
        if (frmWaiting)
            frmWaiting->ShowProgress(QStringLiteral("%L1 rows read").arg(rows));
    });
    const auto finish = [this] {
        SetImportProgress({});
        FGridModel->SetTable(FTable.get());
        dgImportTable->MeasureCells(FTable.get());
        if (frmWaiting)
            frmWaiting->close();
        CheckRequiredColumns();
        RefreshGrid();
    };
    try {
        const QString templ = FTable->GetTemplate();
        // Read into a table of its own: when the reading fails the page keeps the roster
        // it shows, and the grid never sees rows half replaced.
        auto table = std::make_unique<TImportTable>();
        table->IgnoreHeader = FTable->IgnoreHeader;
        table->SetFixedColumns(FTable->FixedColumns());
        try {
            table->LoadFromFile(FRosterFileName, type);
            if (table->Notes.RowsAfterEnd()) {
                // Asked once, after the reading: the rows below a spacer are members too, often.
                if (frmWaiting)
                    frmWaiting->close();
                const bool one = table->Notes.FirstRowAfter == table->Notes.LastRowAfter;
                const QString question = table->Notes.RowsAfterEndText()
                                         + (one ? QStringLiteral(" Read it too?") : QStringLiteral(" Read them too?"));
                if (MessageDlg(question, mtConfirmation, mbYesNo, this) == mrYes) {
                    if (frmWaiting)
                        frmWaiting->ShowWaitMessage(QStringLiteral("Loading Roster File. . ."));
                    table->SkipBlankRows = true;
                    table->LoadFromFile(FRosterFileName, type);
                }
            }
            const QString dropped = table->Notes.RowsWithoutFirstValueText();
            if (!dropped.isEmpty()) {
                if (frmWaiting)
                    frmWaiting->close();
                MessageDlg(dropped + QLatin1Char('.'), mtWarning, mbOK, this);
            }
        } catch (...) {
            FFileType = previousType;   // nothing of the new type was loaded: it can be retried
            FLoadedFileName = previousFile;
            if (previousType != iftNone)
                cbFileType->setCurrentIndex(EntryOfFileType(previousType));
            throw;
        }
        FGridModel->SetTable(nullptr);
        FTable = std::move(table);
        FTable->ApplyTemplate(templ);
        cbIgnoreHeader->setChecked(FTable->IgnoreHeader);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TfrmFormatRoster::cbIgnoreHeaderClick()
{
    FTable->IgnoreHeader = cbIgnoreHeader->isChecked();
    dgImportTable->MeasureCells(FTable.get());   // the header row joins or leaves the cells
    RefreshGrid();
    CheckRequiredColumns();   // the header row's SSN cell joins or leaves the count
}

void TfrmFormatRoster::RefreshGrid()
{
    FGridModel->Refresh();
    for (int c = 0; c < FTable->FieldCount(); ++c) {
        const QString title = FTable->GetFieldTitle(c);   // a column is at least as wide as its title
        // 7 pixels a character at least; wider where the font needs it (upper-case Arial)
        dgImportTable->setColumnWidth(c, dgImportTable->FittingWidth(c, title, FTable->GetFieldWidth(c) * 7));
    }
    dgImportTable->viewport()->update();
    dgImportTable->horizontalHeader()->viewport()->update();
}

void TfrmFormatRoster::dgImportTableDrawCell(QPainter *painter, const QRect &rect, int col, int row)
{
    QFont font = dgImportTable->font();
    const QPalette pal = QApplication::palette();
    if (row == 0) {
        painter->fillRect(rect, pal.color(QPalette::Button));
        painter->setPen(pal.color(QPalette::Light));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.topLeft(), rect.bottomLeft());
        painter->setPen(pal.color(QPalette::Dark));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomRight());
        if (col < FTable->FieldCount()) {
            font.setBold(FTable->GetFieldKind(col) == fkDoNotImport);
            painter->setFont(font);
            // black on the default palette; a high-contrast one keeps its own pair
            painter->setPen(pal.color(QPalette::ButtonText));
            painter->setClipRect(rect);
            painter->drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                              FTable->GetFieldTitle(col));
        }
        return;
    }
    if (row > FTable->RowCount() || col >= FTable->FieldCount())
        return;
    QColor back;
    QColor text;
    if (col == FMapColumn) {
        back = QColor(0, 0, 128);
        text = Qt::white;
    } else if (FTable->GetFieldKind(col) != fkDoNotImport) {
        back = pal.color(QPalette::Base);
        text = pal.color(QPalette::Text);
    } else {
        back = QColor(128, 128, 128);
        text = Qt::white;
    }
    painter->fillRect(rect, back);
    font.setBold(false);
    painter->setFont(font);
    painter->setPen(text);
    painter->setClipRect(rect);
    painter->drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, FTable->GetCell(row - 1, col));
}

void TfrmFormatRoster::dgImportTableMouseDown(const QPoint &pos)
{
    FClickColumn = pos.y() < dgImportTable->TitleBottom() ? dgImportTable->ColumnAt(pos.x()) : -1;
}

void TfrmFormatRoster::dgImportTableMouseUp(const QPoint &pos)
{
    const int c = dgImportTable->ColumnAt(pos.x());
    const int clicked = FClickColumn;
    FClickColumn = -1;
    if (clicked == -1 || c != clicked || c >= FTable->FieldCount())
        return;
    lbFields->clearSelection();
    lbFields->setCurrentRow(-1);
    OpenFieldList(c, pos);
}

void TfrmFormatRoster::dgImportTableOpenColumn(int col)
{
    if (col < 0 || col >= FTable->FieldCount())
        return;
    // From the keyboard the list opens under the column's title, on the column's kind, so
    // the arrow keys start from what the column holds now.
    const QPoint title = dgImportTable->TitlePoint(col);
    const int left = title.x() - dgImportTable->columnWidth(col) / 2;
    int entry = 0;
    for (int i = 0; i < lbFields->count(); ++i)
        if (KindOfEntry(i) == FTable->GetFieldKind(col))
            entry = i;
    lbFields->setCurrentRow(entry);
    OpenFieldList(col, QPoint(std::max(0, left), dgImportTable->TitleBottom()));
}

void TfrmFormatRoster::OpenFieldList(int c, const QPoint &pos)
{
    const QRect grid = dgImportTable->geometry();
    const int left = std::max(grid.left(), std::min(grid.left() + pos.x(), grid.right() + 1 - lbFields->width()));
    const int top = std::min(grid.top() + pos.y(), std::max(grid.top(), grid.bottom() + 1 - lbFields->height()));
    lbFields->move(left, top);
    FMapColumn = c;
    dgImportTable->SetFocusColumn(c);
    lbFields->show();
    lbFields->raise();
    lbFields->setFocus();
    dgImportTable->viewport()->update();
}

void TfrmFormatRoster::lbFieldsClick()
{
    const int entry = lbFields->currentRow();
    if (entry < 0 || FMapColumn < 0)
        return;
    FTable->SetFieldKind(FMapColumn, KindOfEntry(entry));
    if (lbFields->hasFocus())
        dgImportTable->setFocus(Qt::OtherFocusReason);
    lbFields->hide();
    CheckRequiredColumns();
    lbFieldsExit();
}

void TfrmFormatRoster::lbFieldsExit()
{
    // The choice made (or the list left with Escape), the keyboard goes back to the column;
    // a list left with Tab or by a click elsewhere leaves the focus where it went.
    if (lbFields->hasFocus())
        dgImportTable->setFocus(Qt::OtherFocusReason);
    lbFields->hide();
    FMapColumn = -1;
    // Titles change with the kind (and may need a wider column).
    RefreshGrid();
}

void TfrmFormatRoster::CheckRequiredColumns()
{
    const QString missing = MissingColumnsText(*FTable, ServiceUtils);
    QPalette pal = pnlStatus->palette();
    btnNext->setEnabled(missing.isEmpty());
    if (missing.isEmpty()) {
        // Seen before the draw, not only when printing: a member without an SSN prints without one.
        const QList<int> rows = RowsWithoutValidSSN(*FTable);
        QString status = QStringLiteral("All necessary fields have been identified.");
        QStringList listed;
        if (!rows.isEmpty()) {
            status += QStringLiteral(" ") + NoValidSSNText(int(rows.size())) + QLatin1Char('.');
            for (qsizetype i = 0; i < std::min<qsizetype>(rows.size(), 20); ++i)
                listed << QString::number(rows[i] + 1);
        }
        pnlStatus->setText(status);
        pnlStatus->setToolTip(rows.isEmpty() ? QString()
                                             : QStringLiteral("Rows without a valid SSN: %1%2")
                                                   .arg(listed.join(QStringLiteral(", ")),
                                                        rows.size() > listed.size() ? QStringLiteral(", …") : QString()));
        pal.setColor(QPalette::WindowText, rows.isEmpty() ? QApplication::palette().color(QPalette::WindowText)   // black by default
                                                           : QColor(160, 0, 0));
    } else {
        pnlStatus->setToolTip(QString());
        pnlStatus->setText(missing);
        pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
    }
    pnlStatus->setPalette(pal);
}

void TfrmFormatRoster::btnNextClick()
{
    const QString valueless = ValuelessFormulasText(*FTable);
    if (!valueless.isEmpty())
        throw Exception(valueless);
    // Handed over first: when building the member list fails the page stays.
    TTestMembers *members = TestMembers();
    members->LoadRoster(*FTable);
    members->SetRosterSource(
        RosterSourceOf(FRosterFileName, FFileType, *FTable, FFileType == iftAccess ? LastChosenImportTable() : QString()));
    TfrmWizTemplate::btnNextClick();
    ShowPage(TWizPage::SelectionParameters);
}

void TfrmFormatRoster::btnPreviousClick()
{
    TfrmWizTemplate::btnPreviousClick();
    ShowPage(TWizPage::ChooseRosterFile);
}

bool TfrmFormatRoster::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lbFields) {
        if (event->type() == QEvent::FocusOut && lbFields->isVisible()) {
            RunAction([this] { lbFieldsExit(); }, this);
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Escape) {
                RunAction([this] { lbFieldsExit(); }, this);
                return true;
            }
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                RunAction([this] { lbFieldsClick(); }, this);
                return true;
            }
        }
    }
    return TfrmWizTemplate::eventFilter(watched, event);
}
