#pragma once
#include "products/DD2624BackLines.h"
#include "report/Pipeline.h"

#include <QString>
#include <QVariant>
#include <memory>

class TppReport;
class TppImage;
class TppGroup;
class TppDBText;
class TppDBMemo;

// The back of the specimen custody document: the chain of custody, with the given
// custody lines on every sheet's page. Answers a pipeline of its own.
class Trpt2624Back
{
public:
    Trpt2624Back();
    ~Trpt2624Back();
    Trpt2624Back(const Trpt2624Back &) = delete;
    Trpt2624Back &operator=(const Trpt2624Back &) = delete;

    // Prints one page per sheet; the lines are read, not kept, after the call.
    void Print(int sheetCount, const TDD2624BackLines &lines);

    std::unique_ptr<TppReport> pprpt2624Back;
    TppJITPipeline JITPipeline;
    TppImage *Image = nullptr;
    TppGroup *Group1 = nullptr;
    TppDBText *txtDate = nullptr;
    TppDBMemo *mmReleased = nullptr;
    TppDBMemo *mmReceived = nullptr;
    TppDBMemo *mmRemarks = nullptr;

    QVariant JITPipelineGetFieldValue(const QString &fieldName);
    QString JITPipelineGetFieldAsString(const QString &fieldName);
    void pprpt2624BackPreviewFormCreate();

    // The custody line's date as the back prints it, 'yymmdd'; empty for no date.
    static QString CustodyDateText(const QDateTime &date);

private:
    const TDD2624BackLines *m_lines = nullptr;
};
