#include "import/protocol/ImportFrames.h"

#include <QLocale>

#include <algorithm>
#include <cstring>

using namespace ImportProtocol;

namespace {
// 1,048,576. Not the readers' Thousands(): calling it would link the readers into the programs.
QString Thousands(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}
} // namespace

QString RosterBoundReason(TRosterBound bound)
{
    switch (bound) {
    case TRosterBound::Rows:
        return QStringLiteral("it has more than %1 rows").arg(Thousands(MaxRosterRows));
    case TRosterBound::Columns:
        return QStringLiteral("it has more than %1 columns").arg(Thousands(MaxRosterColumns));
    case TRosterBound::CellChars:
        return QStringLiteral("it has a cell of more than %1 characters").arg(Thousands(MaxCellChars));
    case TRosterBound::TotalChars:
        break;
    }
    return QStringLiteral("it holds more text than any roster: over %1 million characters")
        .arg(MaxRosterChars / 1'000'000);
}

void TRosterBounds::Fields(quint64 count)
{
    if (count > MaxRosterColumns)
        throw TRosterBoundExceeded{TRosterBound::Columns};
}

void TRosterBounds::Record(quint64 valueCount)
{
    if (valueCount > MaxRosterColumns)
        throw TRosterBoundExceeded{TRosterBound::Columns};
    if (++m_rows > MaxRosterRows)
        throw TRosterBoundExceeded{TRosterBound::Rows};
}

void TRosterBounds::Value(quint64 chars)
{
    if (chars > m_cellChars)
        throw TRosterBoundExceeded{TRosterBound::CellChars};
    if (chars > CharsLeft())
        throw TRosterBoundExceeded{TRosterBound::TotalChars};
    m_chars += chars;
}

namespace {
quint32 Get32(const char *p)
{
    quint32 v;
    memcpy(&v, p, 4);
    return v;
}
} // namespace

char *TImportFrameDecoder::Space(qsizetype &room)
{
    if (m_end == m_buffer.size()) {
        if (m_begin > 0) {
            memmove(m_buffer.data(), m_buffer.constData() + m_begin, size_t(m_end - m_begin));
            m_end -= m_begin;
            m_begin = 0;
        } else {
            // Room for the frame under way (its header has passed the bounds), else a step.
            qsizetype want = std::max<qsizetype>(m_buffer.size() * 2, 1 << 20);
            if (m_magic && m_end >= 5)
                want = std::max<qsizetype>(5 + qsizetype(Get32(m_buffer.constData() + 1)), 1 << 20);
            m_buffer.resize(want);
        }
    }
    room = m_buffer.size() - m_end;
    return m_buffer.data() + m_end;
}

void TImportFrameDecoder::Received(qsizetype n)
{
    m_end += n;
    Parse();
}

void TImportFrameDecoder::Feed(const char *data, qsizetype n)
{
    while (n > 0 && !m_done) {
        qsizetype room = 0;
        char *at = Space(room);
        const qsizetype take = std::min(room, n);
        memcpy(at, data, size_t(take));
        data += take;
        n -= take;
        Received(take);
    }
}

void TImportFrameDecoder::Parse()
{
    const char *data = m_buffer.constData();
    if (!m_magic) {
        if (m_end - m_begin < qsizetype(sizeof Magic))
            return;
        if (memcmp(data + m_begin, Magic, sizeof Magic) != 0)
            throw TFrameGarbled{};
        m_magic = true;
        m_begin += sizeof Magic;
    }
    while (!m_done && m_end - m_begin >= 5) {
        const char tag = data[m_begin];
        const quint32 n = Get32(data + m_begin + 1);
        if (tag == TagRecord || tag == TagLatin1Record) {
            // The smallest text such a frame can carry, with every value's length field.
            const quint64 unitBytes = tag == TagRecord ? 2 : 1;
            const quint64 framing = 4 + 4 * quint64(MaxRosterColumns);
            if (n > MaxFrame)
                throw TFrameGarbled{};
            if (n > framing && (n - framing) / unitBytes > m_bounds.CharsLeft())
                throw TRosterBoundExceeded{TRosterBound::TotalChars};
        } else if (n > MaxSmallFrame) {
            throw TFrameGarbled{};
        }
        if (m_end - m_begin - 5 < qsizetype(n))
            break;
        Frame(tag, data + m_begin + 5, n);
        m_begin += 5 + qsizetype(n);
    }
    if (m_begin == m_end)
        m_begin = m_end = 0;
}

void TImportFrameDecoder::Record(char tag, const char *p, quint32 n)
{
    if (n < 4)
        throw TFrameGarbled{};
    const quint32 count = Get32(p);
    // Every value takes at least its 4-byte length: a count the frame cannot hold is
    // refused before anything is sized by it.
    if (count > (n - 4) / 4)
        throw TFrameGarbled{};
    m_bounds.Record(count);
    // The values' units go back to back into one aligned buffer; the row is handed on as
    // views into it, with no string made per value.
    const quint32 unitBytes = tag == TagRecord ? 2 : 1;
    m_values.resize(count);
    m_units.resize(qsizetype(n));
    char16_t *units = reinterpret_cast<char16_t *>(m_units.data());
    qsizetype used = 0;
    quint32 at = 4;
    for (quint32 i = 0; i < count; ++i) {
        if (n - at < 4)
            throw TFrameGarbled{};
        const quint32 len = Get32(p + at);
        at += 4;
        if ((n - at) / unitBytes < len)   // past the frame's end
            throw TFrameGarbled{};
        m_bounds.Value(len);
        if (unitBytes == 2) {
            memcpy(units + used, p + at, size_t(len) * 2);
        } else {
            const uchar *bytes = reinterpret_cast<const uchar *>(p + at);
            for (quint32 k = 0; k < len; ++k)
                units[used + k] = bytes[k];
        }
        m_values[i] = QStringView(units + used, qsizetype(len));
        used += len;
        at += len * unitBytes;
    }
    if (at != n)
        throw TFrameGarbled{};
    ++m_rows;
    if (onRecord)
        onRecord(m_values.constData(), m_values.size());
}

void TImportFrameDecoder::Frame(char tag, const char *p, quint32 n)
{
    switch (tag) {
    case TagRecord:
    case TagLatin1Record:
        Record(tag, p, n);
        break;
    case TagFields: {
        if (n != 4 || Get32(p) > MaxFields)
            throw TFrameGarbled{};
        m_bounds.Fields(Get32(p));
        if (onFieldCount)
            onFieldCount(int(Get32(p)));
        break;
    }
    case TagTable:
        if (onTable)
            onTable(QString::fromUtf8(p, qsizetype(n)));
        break;
    case TagRowsAfterEnd: {
        if (n != 12)
            throw TFrameGarbled{};
        const quint32 end = Get32(p), first = Get32(p + 4), last = Get32(p + 8);
        if (end < 1 || first < end || last < first || last > MaxRosterRows)
            throw TFrameGarbled{};
        notes.EndRow = int(end);
        notes.FirstRowAfter = int(first);
        notes.LastRowAfter = int(last);
        break;
    }
    case TagValuelessFormulas:
        if (n % 8 != 0)
            throw TFrameGarbled{};
        for (quint32 at = 0; at < n; at += 8) {
            const quint32 column = Get32(p + at), count = Get32(p + at + 4);
            if (column >= MaxFields || count > MaxRosterRows)
                throw TFrameGarbled{};
            notes.ValuelessFormulas[int(column)] = int(count);
        }
        break;
    case TagError:
        m_message = QString::fromUtf8(p, qsizetype(n));
        if (m_message.isEmpty())
            throw TFrameGarbled{};
        m_done = true;
        break;
    case TagEnd:
    case TagNotOpened:
    case TagOutOfMemory:
        if (n != 0)
            throw TFrameGarbled{};
        m_done = true;
        break;
    default:
        throw TFrameGarbled{};
    }
    m_last = tag;
}
