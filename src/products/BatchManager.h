#pragma once
#include "app/Exceptions.h"

#include <QChar>
#include <QString>

// Common base of numbering errors; never raised itself.
class BatchException : public Exception
{
public:
    using Exception::Exception;
};

// A batch or specimen number text that cannot be used; the message quotes the text.
class BatchValidationException : public BatchException
{
public:
    using BatchException::BatchException;
};

// Issues batch numbers (one per custody-document sheet) and specimen numbers (one per member
// within a batch), wraps batches inside [MinBatch, MaxBatch] and gives their printed forms.
class TBatchManager
{
public:
    int Batch = 0;           // current batch; 0: none yet
    int Specimen = 0;        // last specimen issued in the current batch; 0: none yet
    int MaxBatch = 999;
    int MinBatch = 1;
    bool UsePrefix = false;  // batch numbers carry a one-character prefix
    QChar Prefix;            // NUL until a prefixed batch text is accepted

    // Validates and stores the starting batch; nothing changes when it raises.
    void SetBatchNumber(const QString &text);
    // Stores the specimen number unchecked (empty text: none yet).
    void SetSpecimenNumber(const QString &text);
    void SetNumbers(const QString &batchText, const QString &specimenText);

    QString GetBatchNumber() const;
    QString GetSpecimenNumber() const;

    void SetMinBatch(int n);
    void SetMaxBatch(int n);

    QString NextBatchNumber();
    QString NextSpecimenNumber();

    // A specimen number never goes beyond this within one batch.
    static constexpr int MaxSpecimen = 999;
};
