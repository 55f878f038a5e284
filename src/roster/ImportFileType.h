#pragma once
// The few types the roster table and the import process share, so that the process needs
// nothing of the table's.
#include <QList>

// The format a roster file is read as; picks the reader.
enum TImportFileType : quint8 {
    iftNone = 0,
    iftFixedText = 1,
    iftTabText = 2,
    iftCommaText = 3,
    iftAccess = 4,
    iftExcel = 5,
    iftDBase = 6,
    iftOds = 7,
};

using TIntArray = QList<int>;

// Whether CreateImportReader has a reader for the type.
inline bool HasImportReader(TImportFileType fileType)
{
    switch (fileType) {
    case iftFixedText:
    case iftTabText:
    case iftCommaText:
    case iftAccess:
    case iftExcel:
    case iftDBase:
    case iftOds: return true;
    default: return false;
    }
}
