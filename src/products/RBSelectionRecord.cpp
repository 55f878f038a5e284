#include "products/RBSelectionRecord.h"
#include "products/ReportForms.h"

#include "report/Pipeline.h"
#include "report/ReportModel.h"

namespace {
const QString Arial = QStringLiteral("Arial");
}

QList<TrptSelectionRecord::TLine> TrptSelectionRecord::LinesOf(const TSelectionRecord &record)
{
    QList<TLine> lines;
    for (const auto &field : record.Fields())
        lines.append(TLine{QLatin1Char('F'), {field.first, field.second}});
    lines.append(TLine{QLatin1Char('H'), {QStringLiteral("Selected members")}});
    if (record.Members.isEmpty()) {
        lines.append(TLine{QLatin1Char('N'), {QString(), QStringLiteral("No members were selected.")}});
    } else {
        if (!record.Numbered)
            lines.append(TLine{QLatin1Char('N'), {QString(), QStringLiteral("Batch and specimen numbers are given "
                                                                             "when the products are numbered.")}});
        lines.append(TLine{QLatin1Char('C'), {QStringLiteral("No."), QStringLiteral("Batch"),
                                              QStringLiteral("Specimen"), QStringLiteral("Name")}});
        for (int i = 0; i < record.Members.size(); ++i) {
            const TRecordMember &m = record.Members.at(i);
            lines.append(TLine{QLatin1Char('M'), {QString::number(i + 1), m.BatchNumber, m.SpecimenNumber, m.Name}});
        }
    }
    if (record.AlternatesAsked > 0) {
        lines.append(TLine{QLatin1Char('H'), {QStringLiteral("Alternates, in the order they are to be used")}});
        const int drawn = int(record.Alternates.size());
        if (drawn < record.AlternatesAsked)
            lines.append(TLine{QLatin1Char('N'),
                               {QString(), drawn == 0 ? QStringLiteral("%1 alternates were asked for, but every member "
                                                                       "was selected: there are none.")
                                                            .arg(record.AlternatesAsked)
                                                      : QStringLiteral("%1 alternates were asked for, but only %2 "
                                                                       "members were not selected: all of them are "
                                                                       "alternates.")
                                                            .arg(record.AlternatesAsked)
                                                            .arg(drawn)}});
        if (drawn > 0)
            lines.append(TLine{QLatin1Char('Q'), {QStringLiteral("No."), QStringLiteral("Row"), QStringLiteral("Name"),
                                                  QStringLiteral("Rank"), QStringLiteral("Organization"), QString()}});
        for (int i = 0; i < drawn; ++i) {
            const TPoolMember &m = record.Alternates.at(i);
            lines.append(TLine{QLatin1Char('A'), {QString::number(i + 1), QString::number(m.Row), m.Name, m.Rank,
                                                  m.Organization, QString()}});
        }
    }
    lines.append(TLine{QLatin1Char('H'), {QStringLiteral("To repeat this draw from the same roster file")}});
    lines.append(TLine{QLatin1Char('X'), {record.BatchCommand()}});
    if (!record.Pool.isEmpty()) {
        const int n = int(record.Pool.size());
        lines.append(TLine{QLatin1Char('H'),
                           {n == 1 ? QStringLiteral("The pool: 1 member") : QStringLiteral("The pool: %1 members").arg(n)},
                           2});
        lines.append(TLine{QLatin1Char('N'),
                           {QString(), QStringLiteral("Every member the draw was made from, in display order at the "
                                                      "draw. Row is the member's data row in the roster file (1 is "
                                                      "the first row after a header).")},
                           2});
        lines.append(TLine{QLatin1Char('Q'), {QStringLiteral("No."), QStringLiteral("Row"), QStringLiteral("Name"),
                                              QStringLiteral("Rank"), QStringLiteral("Organization"),
                                              QStringLiteral("Selected")},
                           2});
        for (int i = 0; i < n; ++i) {
            const TPoolMember &m = record.Pool.at(i);
            lines.append(TLine{QLatin1Char('P'), {QString::number(i + 1), QString::number(m.Row), m.Name, m.Rank,
                                                  m.Organization, m.Selected ? QStringLiteral("Yes") : QStringLiteral("No")},
                               2});
        }
    }
    return lines;
}

TrptSelectionRecord::TrptSelectionRecord()
    : pprptSelectionRecord(std::make_unique<TppReport>()),
      ppRecordLines(std::make_unique<TppJITPipeline>(QStringLiteral("ppRecordLines")))
{
    TppReport *r = pprptSelectionRecord.get();
    r->UserName = QStringLiteral("pprptSelectionRecord");
    r->PrinterSetup = LetterSetup(poPortrait);
    r->PrinterSetup.DocumentName = QStringLiteral("Selection Record");
    r->AllowPrintToFile = true;
    r->OnPreviewFormCreate = [this] { PreviewMaximizedAt100(*pprptSelectionRecord); };

    TppBand *h = r->Header();
    h->mmHeight = 17000;
    lblProgram = addLabel(h, QStringLiteral("lblProgram"), 0, 1323, 80000, 4233, QString(), ppFont(Arial, 9));
    lblReportTitle = addLabel(h, QStringLiteral("lblReportTitle"), 61600, 6000, 80000, 6350,
                              QStringLiteral("Selection Record"), ppFont(Arial, 14, fsBold), taCentered);
    addLine(h, QStringLiteral("ppLine1"), 0, 14500, 203200, 1000, lpTop, 0.75);

    TppBand *d = r->Detail();
    d->UserName = QStringLiteral("dbRecord");
    d->mmHeight = 6000;
    d->PrintHeight = phDynamic;
    d->BeforePrint = [this] { dbRecordBeforePrint(); };
    const TppFont f10 = ppFont(Arial, 10);
    dbtxtCaption = addDBText(d, QStringLiteral("dbtxtCaption"), 0, 800, 55000, 4498, QStringLiteral("Caption"),
                             ppFont(Arial, 10, fsBold));
    dbmemoValue = addDBMemo(d, QStringLiteral("dbmemoValue"), 58000, 800, 145200, 4498, QStringLiteral("Value"), f10);
    dbmemoValue->CharWrap = true;   // paths and hashes have no spaces to break at
    dbtxtNo = addDBText(d, QStringLiteral("dbtxtNo"), 0, 800, 12000, 4498, QStringLiteral("No"), f10,
                        taRightJustified);
    dbtxtBatch = addDBText(d, QStringLiteral("dbtxtBatch"), 16000, 800, 22000, 4498, QStringLiteral("Batch"), f10);
    dbtxtSpecimen = addDBText(d, QStringLiteral("dbtxtSpecimen"), 40000, 800, 30000, 4498,
                              QStringLiteral("Specimen"), f10);
    dbtxtName = addDBText(d, QStringLiteral("dbtxtName"), 72000, 800, 131200, 4498, QStringLiteral("Name"), f10);
    dbtxtName->ShrinkToFit = true;
    lnColumns = addLine(d, QStringLiteral("lnColumns"), 0, 5600, 203200, 400, lpTop, 0.5);
    dbtxtPoolNo = addDBText(d, QStringLiteral("dbtxtPoolNo"), 0, 800, 12000, 4498, QStringLiteral("PoolNo"), f10,
                            taRightJustified);
    dbtxtPoolRow = addDBText(d, QStringLiteral("dbtxtPoolRow"), 14000, 800, 14000, 4498, QStringLiteral("PoolRow"), f10,
                             taRightJustified);
    dbtxtPoolName = addDBText(d, QStringLiteral("dbtxtPoolName"), 32000, 800, 86000, 4498, QStringLiteral("PoolName"),
                              f10);
    dbtxtPoolName->ShrinkToFit = true;
    dbtxtPoolRank = addDBText(d, QStringLiteral("dbtxtPoolRank"), 120000, 800, 20000, 4498, QStringLiteral("PoolRank"),
                              f10);
    dbtxtPoolRank->ShrinkToFit = true;
    dbtxtPoolOrganization = addDBText(d, QStringLiteral("dbtxtPoolOrganization"), 142000, 800, 44000, 4498,
                                      QStringLiteral("PoolOrganization"), f10);
    dbtxtPoolOrganization->ShrinkToFit = true;
    dbtxtPoolSelected = addDBText(d, QStringLiteral("dbtxtPoolSelected"), 188000, 800, 15200, 4498,
                                  QStringLiteral("PoolSelected"), f10);
    dbmemoCommand = addDBMemo(d, QStringLiteral("dbmemoCommand"), 0, 800, 203200, 4233, QStringLiteral("Command"),
                              ppFont(QStringLiteral("Courier New"), 9));
    // broken between arguments only, so that it can be typed again as printed

    // The pool starts a page of its own: a list an inspector looks names up in.
    r->AddGroup(QStringLiteral("grpPart"), QStringLiteral("Part"), btDataField, true);

    TppBand *f = r->Footer();
    f->mmHeight = 6000;
    varPageNo = addSystemVariable(f, QStringLiteral("varPageNo"), 163200, 1000, 40000, 4233, vtPageNoDesc,
                                  QString(), ppFont(Arial, 9));
    varPageNo->TextAlignment = taRightJustified;

    ppRecordLines->OnGetFieldValue = [this](const QString &fieldName) -> QVariant {
        const int i = ppRecordLines->RecordIndex();
        if (i < 0 || i >= m_lines.size())
            return QString();
        const TLine &line = m_lines.at(i);
        const QString f = fieldName.toUpper();
        auto text = [&line](int n) { return n >= 0 && n < line.Texts.size() ? line.Texts.at(n) : QString(); };
        if (f == QLatin1String("PART"))
            return QString::number(line.Part);
        if (line.Kind == QLatin1Char('Q') || line.Kind == QLatin1Char('A') || line.Kind == QLatin1Char('P')) {
            static const QStringList columns = {QStringLiteral("POOLNO"), QStringLiteral("POOLROW"),
                                                QStringLiteral("POOLNAME"), QStringLiteral("POOLRANK"),
                                                QStringLiteral("POOLORGANIZATION"), QStringLiteral("POOLSELECTED")};
            return text(int(columns.indexOf(f)));
        }
        if (line.Kind == QLatin1Char('C') || line.Kind == QLatin1Char('M')) {
            static const QStringList columns = {QStringLiteral("NO"), QStringLiteral("BATCH"),
                                                QStringLiteral("SPECIMEN"), QStringLiteral("NAME")};
            return text(int(columns.indexOf(f)));
        }
        if (f == QLatin1String("CAPTION"))
            return text(0);
        if (f == QLatin1String("VALUE"))
            return text(1);
        if (f == QLatin1String("COMMAND"))
            return text(0);
        return QString();
    };
}

TrptSelectionRecord::~TrptSelectionRecord() = default;

void TrptSelectionRecord::dbRecordBeforePrint()
{
    const int i = ppRecordLines->RecordIndex();
    const QChar kind = i >= 0 && i < m_lines.size() ? m_lines.at(i).Kind : QChar();
    const bool member = kind == QLatin1Char('C') || kind == QLatin1Char('M');
    dbtxtCaption->Visible = kind == QLatin1Char('F') || kind == QLatin1Char('H');
    dbmemoValue->Visible = kind == QLatin1Char('F') || kind == QLatin1Char('N');
    dbmemoValue->CharWrap = kind == QLatin1Char('F');   // notes are sentences: broken between words
    for (TppDBText *t : {dbtxtNo, dbtxtBatch, dbtxtSpecimen, dbtxtName})
        t->Visible = member;
    const bool pool = kind == QLatin1Char('Q') || kind == QLatin1Char('A') || kind == QLatin1Char('P');
    for (TppDBText *t : {dbtxtPoolNo, dbtxtPoolRow, dbtxtPoolName, dbtxtPoolRank, dbtxtPoolOrganization,
                         dbtxtPoolSelected})
        t->Visible = pool;
    lnColumns->Visible = kind == QLatin1Char('C') || kind == QLatin1Char('Q');
    dbmemoCommand->Visible = kind == QLatin1Char('X');
    // headings stand apart from what comes before them
    dbtxtCaption->mmTop = kind == QLatin1Char('H') ? 4000 : 800;
    dbtxtCaption->mmWidth = kind == QLatin1Char('H') ? 203200 : 55000;
    pprptSelectionRecord->Detail()->mmHeight = kind == QLatin1Char('H') ? 9500 : 6000;
}

void TrptSelectionRecord::Print(const TSelectionRecord &record)
{
    m_lines = LinesOf(record);
    lblProgram->Caption = record.Program;
    ppRecordLines->RecordCount = int(m_lines.size());
    pprptSelectionRecord->SetDataPipeline(ppRecordLines.get());
    pprptSelectionRecord->Print();
}
