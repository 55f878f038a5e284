#include "roster/ImportFileReader.h"
#include "app/Exceptions.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <freexl.h>

#include <cmath>

namespace {
QString FreeXLError(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return QStringLiteral("the file cannot be opened");
    case FREEXL_INSUFFICIENT_MEMORY: return QStringLiteral("not enough memory");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE: return QStringLiteral("it is not an Excel 97-2003 workbook");
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR: return QStringLiteral("the file is truncated");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return QStringLiteral("it holds no workbook");
    case FREEXL_BIFF_ILLEGAL_SHEET_INDEX: return QStringLiteral("it holds no worksheet");
    default: return QStringLiteral("the file is damaged (error %1)").arg(code);
    }
}

// Whole numbers print without a decimal point, like Excel shows them in a General cell.
QString NumberText(double d)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(static_cast<qint64>(d));
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(d, 'g', QLocale::FloatingPointShortest);
}
} // namespace

TImportExcelReader::~TImportExcelReader()
{
    if (Workbook)
        freexl_close(Workbook);
}

bool TImportExcelReader::Open(const QString &fileName)
{
    QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    FFileName = fileName;
    const void *handle = nullptr;
    int rc = freexl_open(QFile::encodeName(fileName).constData(), &handle);
    if (rc != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        throw Exception(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, FreeXLError(rc)));
    }
    Workbook = handle;
    unsigned int password = 0;
    if (freexl_get_info(Workbook, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password == FREEXL_BIFF_OBFUSCATED)
        rc = FREEXL_BIFF_OBFUSCATED;
    else
        rc = freexl_select_active_worksheet(Workbook, 0);
    if (rc == FREEXL_OK)
        rc = freexl_worksheet_dimensions(Workbook, &FRows, &FColumns);
    if (rc != FREEXL_OK) {
        freexl_close(Workbook);
        Workbook = nullptr;
        const QString why = rc == FREEXL_BIFF_OBFUSCATED ? QStringLiteral("the workbook is password protected")
                                                         : FreeXLError(rc);
        throw Exception(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, why));
    }
    CurrentRow = 1;
    ColumnCount = 0;
    return true;
}

void TImportExcelReader::Close()
{
    if (Workbook)
        freexl_close(Workbook);
    Workbook = nullptr;
}

QString TImportExcelReader::CellText(int row, int col) const
{
    if (!Workbook || row < 1 || col < 1 || unsigned(row) > FRows || unsigned(col) > FColumns || col > 65535)
        return QString();
    FreeXL_CellValue cell;
    if (freexl_get_cell_value(Workbook, unsigned(row - 1), static_cast<unsigned short>(col - 1), &cell) != FREEXL_OK)
        return QString();
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return NumberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return cell.value.text_value ? QString::fromUtf8(cell.value.text_value) : QString();
    case FREEXL_CELL_DATE: {
        const QString text = QString::fromLatin1(cell.value.text_value);
        const QDate date = QDate::fromString(text, Qt::ISODate);
        return date.isValid() ? QLocale::system().toString(date, QLocale::ShortFormat) : text;
    }
    case FREEXL_CELL_DATETIME: {
        const QString text = QString::fromLatin1(cell.value.text_value);
        const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            return text;
        const QLocale locale = QLocale::system();
        return locale.toString(dt.date(), QLocale::ShortFormat) + QLatin1Char(' ')
               + locale.toString(dt.time(), QLocale::LongFormat);
    }
    case FREEXL_CELL_TIME: {
        const QString text = QString::fromLatin1(cell.value.text_value);
        const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
        return time.isValid() ? QLocale::system().toString(time, QLocale::LongFormat) : text;
    }
    default:
        return QString();
    }
}

static QString Trimmed(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

int TImportExcelReader::FieldCount()
{
    int c = 1;
    while (!CellText(1, c).isEmpty())
        ++c;
    ColumnCount = c - 1;
    return ColumnCount;
}

bool TImportExcelReader::Eof()
{
    return CellText(CurrentRow, 1).isEmpty();
}

void TImportExcelReader::ReadRecord(QStringList &values)
{
    values.reserve(ColumnCount);
    for (int c = 1; c <= ColumnCount; ++c)
        values.append(Trimmed(CellText(CurrentRow, c)));
    ++CurrentRow;
}
