#include "report/Pipeline.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <climits>
#include <cmath>

TppField &TppDataPipeline::AddField(const QString &name, TppDataType type, int length)
{
    TppField f;
    f.FieldName = name;
    f.FieldAlias = name;
    f.FieldLength = length;
    f.DataType = type;
    f.Position = Fields.size();
    Fields.append(f);
    return Fields.last();
}

const TppField *TppDataPipeline::FindField(const QString &name) const
{
    for (const TppField &f : Fields)
        if (f.FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

TppDataType TppDataPipeline::FieldDataType(const QString &fieldName) const
{
    const TppField *f = FindField(fieldName);
    return f ? f->DataType : dtString;
}

void TppJITPipeline::Open()
{
    m_active = true;
    First();
}

void TppJITPipeline::Close()
{
    m_active = false;
    m_index = InitialIndex;
    m_bof = m_eof = false;
}

void TppJITPipeline::First()
{
    m_index = InitialIndex;
    m_bof = m_eof = false;
    clamp();
}

void TppJITPipeline::Last()
{
    m_index = LastIndex();
    m_bof = m_eof = false;
    clamp();
}

void TppJITPipeline::MoveBy(int n)
{
    m_bof = m_eof = false;
    // Wide arithmetic: RecordCount may be near INT_MAX.
    const qint64 target = qint64(m_index) + n;
    m_index = int(std::clamp<qint64>(target, INT_MIN, INT_MAX));
    if (target > LastIndex()) {
        m_eof = true;
        m_index = LastIndex();
    }
    clamp();
}

void TppJITPipeline::SetRecordIndex(int index)
{
    m_bof = m_eof = false;
    m_index = index;
    clamp();
}

void TppJITPipeline::clamp()
{
    const qint64 last = qint64(InitialIndex) + RecordCount - 1;
    if (m_index > last) {
        m_eof = true;
        m_index = int(last);
    }
    if (m_index < InitialIndex) {
        m_bof = true;
        m_index = InitialIndex;
    }
    if (RecordCount <= 0) {
        // no record: at once at the beginning and at the end
        m_bof = m_eof = true;
        m_index = InitialIndex;
    }
}

QVariant TppJITPipeline::GetFieldValue(const QString &fieldName)
{
    QVariant v;
    if (OnGetFieldValue)
        v = OnGetFieldValue(fieldName);
    return v;
}

QString TppJITPipeline::GetFieldAsString(const QString &fieldName)
{
    if (OnGetFieldAsString)
        return OnGetFieldAsString(fieldName);
    QVariant v;   // cleared, then filled by the value handler
    if (OnGetFieldValue)
        v = OnGetFieldValue(fieldName);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return VariantToFieldText(v, FieldDataType(fieldName));
}

double TppJITPipeline::GetFieldAsDouble(const QString &fieldName)
{
    if (OnGetFieldAsDouble)
        return OnGetFieldAsDouble(fieldName);
    return 0.0;
}

namespace {
// Day and time of day of a serial date; a fraction that rounds to a whole day is the next day.
void splitSerial(double serial, qint64 &days, qint64 &msecs)
{
    const double whole = std::floor(serial);
    days = qint64(whole);
    msecs = qint64(std::llround(std::fabs(serial - whole) * 86400000.0));
    days += msecs / 86400000;
    msecs %= 86400000;
}
}

QDateTime DateTimeFromSerial(double serial)
{
    // Date and wall-clock time straight from the serial: one local-time conversion, not three.
    qint64 days = 0, msecs = 0;
    splitSerial(serial, days, msecs);
    return QDateTime(QDate(1899, 12, 30).addDays(days), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

QDate DateFromSerial(double serial)
{
    qint64 days = 0, msecs = 0;
    splitSerial(serial, days, msecs);
    return QDate(1899, 12, 30).addDays(days);
}

double SerialFromDateTime(const QDateTime &dt)
{
    const QDate epoch(1899, 12, 30);
    const double days = double(epoch.daysTo(dt.date()));
    return days + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

bool VariantToDateTime(const QVariant &value, TppDataType type, QDateTime &out)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        out = QDateTime(value.toDate(), QTime(0, 0));
        return value.toDate().isValid();
    case QMetaType::QDateTime:
        out = value.toDateTime();
        return out.isValid();
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        if (type != dtDateTime)
            return false;
        out = DateTimeFromSerial(value.toDouble());
        return true;
    default:
        return false;
    }
}

QString VariantToFieldText(const QVariant &value, TppDataType type)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (type) {
    case dtInteger: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (ok)
            return QString::number(n);
        return QString::number(qlonglong(std::llround(value.toDouble())));
    }
    case dtDateTime: {
        QDateTime dt;
        if (!VariantToDateTime(value, dtDateTime, dt))
            return value.toString();
        const QLocale loc = QLocale::system();
        QString text = loc.toString(dt.date(), QLocale::ShortFormat);
        if (dt.time() != QTime(0, 0))
            text += ' ' + loc.toString(dt.time(), QLocale::LongFormat);
        return text;
    }
    case dtDouble:
        return QString::number(value.toDouble(), 'g', 15);
    case dtBoolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case dtString:
    default:
        if (value.typeId() == QMetaType::Double)
            return QString::number(value.toDouble(), 'g', 15);
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        return value.toString();
    }
}
