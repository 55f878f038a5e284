#include "BatchManager.h"

#include "app/VORNUtils.h"

#include <QStringList>

namespace {

[[noreturn]] void Reject(const QString &quoted, const char *literal)
{
    throw BatchValidationException(QLatin1Char('"') + quoted + QLatin1Char('"')
                                   + QLatin1String(literal));
}

bool IsPrefixChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

} // namespace

void TBatchManager::SetBatchNumber(const QString &text)
{
    if (text.isEmpty()) {
        Batch = MinBatch;
        return;
    }
    QString number = text;
    QChar prefix;
    if (UsePrefix) {
        if (text.size() < 2)
            Reject(text, " is not a valid batch number");
        prefix = text.at(0);
        if (!IsPrefixChar(prefix))
            Reject(QString(prefix), " is not a valid character");
        number = text.mid(1);
    }
    int value = 0;
    if (!TryStrToInt(number, value))
        Reject(text, " is not a valid number");
    // Too large is checked first, so an inverted range reports "too large".
    if (value > MaxBatch)
        Reject(text, " is too large a batch number");
    if (value < MinBatch)
        Reject(text, " is too small a batch number");
    Batch = value;
    if (UsePrefix)
        Prefix = prefix;
}

void TBatchManager::SetSpecimenNumber(const QString &text)
{
    if (text.isEmpty()) {
        Specimen = 0;
        return;
    }
    int value = 0;
    if (!TryStrToInt(text, value))
        Reject(text, " is not a valid specimen number");
    Specimen = value;
}

void TBatchManager::SetNumbers(const QString &batchText, const QString &specimenText)
{
    SetBatchNumber(batchText);
    SetSpecimenNumber(specimenText);
}

QString TBatchManager::GetBatchNumber() const
{
    if (Batch == 0)
        return QString();
    const QString digits = PadLeft(QString::number(Batch), QLatin1Char('0'), 4);
    // No prefix accepted yet (NUL): print the digits alone rather than a NUL character.
    return UsePrefix && !Prefix.isNull() ? QString(Prefix) + digits : digits;
}

QString TBatchManager::GetSpecimenNumber() const
{
    if (Specimen == 0)
        return QString();
    // Every member gets one: the 999 texts are made once and shared.
    static const QStringList texts = [] {
        QStringList t;
        t.reserve(MaxSpecimen + 1);
        for (int n = 0; n <= MaxSpecimen; ++n)
            t << PadLeft(QString::number(n), QLatin1Char('0'), 3);
        return t;
    }();
    if (Specimen > 0 && Specimen <= MaxSpecimen)
        return texts.at(Specimen);
    return PadLeft(QString::number(Specimen), QLatin1Char('0'), 3);
}

void TBatchManager::SetMinBatch(int n)
{
    MinBatch = n;
    if (n > Batch)
        Batch = n;
}

void TBatchManager::SetMaxBatch(int n)
{
    MaxBatch = n;
    if (n < Batch)
        Batch = MinBatch;
}

QString TBatchManager::NextBatchNumber()
{
    if (Specimen != 0) {
        if (Batch >= MaxBatch || Batch < MinBatch)
            Batch = MinBatch;
        else
            ++Batch;
        Specimen = 0;
    } else if (Batch == 0) {
        Batch = MinBatch;
    }
    return GetBatchNumber();
}

QString TBatchManager::NextSpecimenNumber()
{
    // A specimen number stored from outside may already be past the limit; it rolls over
    // as well instead of counting on towards overflow.
    if (Specimen >= MaxSpecimen)
        NextBatchNumber();
    ++Specimen;
    return GetSpecimenNumber();
}
