#pragma once
// The two ends of corvane-import's pipe (see ImportProtocol.h): the roster bounds both keep,
// and the parent's decoding of the frames. A reader may have been taken over by a hostile
// file, so the parent trusts nothing the child sends.
#include "roster/ImportNotes.h"
#include "import/protocol/ImportProtocol.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <functional>

enum class TRosterBound : quint8 { Rows, Columns, CellChars, TotalChars };

// The plain reason, e.g. "it holds more text than any roster: over 64 million characters".
QString RosterBoundReason(TRosterBound bound);

struct TRosterBoundExceeded
{
    TRosterBound bound;
};

// Counts a roster as it is read; raises TRosterBoundExceeded at the first row, column or
// character past a bound.
class TRosterBounds
{
public:
    // A cell of a spreadsheet holds at most Excel's 32,767 characters; a line of a text file
    // is read however long it is, and a database value too: for those the whole roster's
    // text is the bound.
    void SetSpreadsheet(bool spreadsheet) { m_cellChars = spreadsheet ? ImportProtocol::MaxCellChars : ImportProtocol::MaxRosterChars; }
    void Fields(quint64 count);
    void Record(quint64 valueCount);   // then Value() for each of its values
    void Value(quint64 chars);
    quint64 CharsLeft() const { return ImportProtocol::MaxRosterChars - m_chars; }

private:
    quint64 m_rows = 0;
    quint64 m_chars = 0;
    quint64 m_cellChars = ImportProtocol::MaxCellChars;
};

// The child's reply broke the protocol.
struct TFrameGarbled
{
};

// The parent's side: takes the child's bytes as they arrive and hands on every whole frame.
// Raises TFrameGarbled on bytes that break the protocol, and TRosterBoundExceeded when a
// frame would take the roster past a bound; a frame is judged by its header, before its
// bytes are buffered, so what this holds stays in proportion to the roster accepted.
class TImportFrameDecoder
{
public:
    std::function<void(const QStringView *values, qsizetype count)> onRecord;
    std::function<void(int count)> onFieldCount;
    std::function<void(const QString &name)> onTable;
    // What the reading noted (rows after the end, formulas without values).
    TImportNotes notes;

    // Room for the next bytes; Received() then says how many were put there.
    char *Space(qsizetype &room);
    void Received(qsizetype n);
    void Feed(const char *data, qsizetype n);   // copies, then as Received
    void SetSpreadsheet(bool spreadsheet) { m_bounds.SetSpreadsheet(spreadsheet); }
    // One whole frame's payload, as the parsing hands it on.
    void Frame(char tag, const char *p, quint32 n);

    bool Done() const { return m_done; }
    char Last() const { return m_last; }        // the tag of the last frame
    const QString &Message() const { return m_message; }
    int Rows() const { return m_rows; }

private:
    void Parse();
    void Record(char tag, const char *p, quint32 n);

    QByteArray m_buffer;
    qsizetype m_begin = 0, m_end = 0;   // the bytes of m_buffer not handled yet
    QVarLengthArray<QStringView, 32> m_values;
    QString m_units;
    QString m_message;
    TRosterBounds m_bounds;
    int m_rows = 0;
    bool m_magic = false;
    bool m_done = false;
    char m_last = 0;
};
