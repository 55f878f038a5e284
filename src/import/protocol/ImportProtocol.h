#pragma once
#include <QtGlobal>

// What corvane-import writes on its standard output: the magic, then frames of one tag
// byte, a 4-byte length (host order: both ends run on the same machine) and the payload.
//   'T' a table name (UTF-8)          'F' the field count (4 bytes)
//   'R' a record: value count, then per value its length in UTF-16 units and the units
//   'L' the same for a record whose characters all lie below 256: a byte per character
//   'A' rows with data after the end of a sheet's data: end row, first and last row (3 × 4 bytes)
//   'V' formulas stored without their value: per column, its index and the count (2 × 4 bytes each)
//   'Z' read to the end   'N' not opened   'E' an error message (UTF-8)   'M' out of memory
namespace ImportProtocol {
constexpr char Magic[4] = {'C', 'V', 'I', '1'};
constexpr char TagTable = 'T';
constexpr char TagFields = 'F';
constexpr char TagRecord = 'R';
constexpr char TagLatin1Record = 'L';
constexpr char TagRowsAfterEnd = 'A';
constexpr char TagValuelessFormulas = 'V';
constexpr char TagEnd = 'Z';
constexpr char TagNotOpened = 'N';
constexpr char TagError = 'E';
constexpr char TagOutOfMemory = 'M';
constexpr quint32 MaxFrame = 256u << 20;    // a 5 MB line is a legal record; this is not
constexpr quint32 MaxFields = 1u << 22;
constexpr quint32 MaxSmallFrame = 1u << 20;   // a table name, a message

// Bounds on a whole roster, kept by corvane-import and checked again by the reading parent,
// so that neither a file that amplifies (one long string repeated in every row) nor a
// compromised reader makes either side hold more than a roster ever needs. Excel's own
// limits for rows, columns and one cell; all cells together at most 64 million characters
// (128 MB as UTF-16), some hundred times the text of the largest unit roster.
constexpr quint32 MaxRosterRows = 1048576;
constexpr quint32 MaxRosterColumns = 16384;
constexpr quint32 MaxCellChars = 32767;      // a spreadsheet's cell; a text line or a
                                              // database value is bounded by the whole
constexpr quint64 MaxRosterChars = 64'000'000;
} // namespace ImportProtocol
