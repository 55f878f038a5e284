#pragma once
#include "selection/SelectionRecord.h"

#include <QString>
#include <QStringList>
#include <memory>

class TppReport;
class TppJITPipeline;
class TppLabel;
class TppDBText;
class TppDBMemo;
class TppLine;
class TppSystemVariable;

// The selection record as pages: the draw's fields as a two-column table, the selected
// members with their numbers, the alternates, the corvane-batch command that repeats the
// draw, and from a new page the whole pool the draw was made from.
class TrptSelectionRecord
{
public:
    TrptSelectionRecord();
    ~TrptSelectionRecord();
    TrptSelectionRecord(const TrptSelectionRecord &) = delete;
    TrptSelectionRecord &operator=(const TrptSelectionRecord &) = delete;

    void Print(const TSelectionRecord &record);
    // The rows of the report for a record (kind, then the kind's texts).
    struct TLine
    {
        QChar Kind;        // 'F' field, 'H' heading, 'C' column captions, 'M' member, 'N' note, 'X' command,
                           // 'Q' captions of the alternates and the pool, 'A' alternate, 'P' pool member
        QStringList Texts;
        int Part = 1;      // the pool is part 2: it starts a new page
    };
    static QList<TLine> LinesOf(const TSelectionRecord &record);

    std::unique_ptr<TppReport> pprptSelectionRecord;
    std::unique_ptr<TppJITPipeline> ppRecordLines;
    TppLabel *lblProgram = nullptr;
    TppLabel *lblReportTitle = nullptr;
    TppDBText *dbtxtCaption = nullptr;
    TppDBMemo *dbmemoValue = nullptr;
    TppDBText *dbtxtNo = nullptr;
    TppDBText *dbtxtBatch = nullptr;
    TppDBText *dbtxtSpecimen = nullptr;
    TppDBText *dbtxtName = nullptr;
    TppLine *lnColumns = nullptr;
    // No., Row, Name, Rank, Organization, Selected of the alternates and the pool
    TppDBText *dbtxtPoolNo = nullptr;
    TppDBText *dbtxtPoolRow = nullptr;
    TppDBText *dbtxtPoolName = nullptr;
    TppDBText *dbtxtPoolRank = nullptr;
    TppDBText *dbtxtPoolOrganization = nullptr;
    TppDBText *dbtxtPoolSelected = nullptr;
    TppDBMemo *dbmemoCommand = nullptr;
    TppSystemVariable *varPageNo = nullptr;

private:
    QList<TLine> m_lines;
    void dbRecordBeforePrint();
};
