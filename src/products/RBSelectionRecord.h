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

// The selection record as a page: the draw's fields as a two-column table, the selected
// members with their numbers, and the corvane-batch command that repeats the draw.
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
        QChar Kind;        // 'F' field, 'H' heading, 'C' column captions, 'M' member, 'N' note, 'X' command
        QStringList Texts;
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
    TppDBMemo *dbmemoCommand = nullptr;
    TppSystemVariable *varPageNo = nullptr;

private:
    QList<TLine> m_lines;
    void dbRecordBeforePrint();
};
