#include "import/dbase/DBaseFormat.h"
#include "app/Exceptions.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {
quint16 Le16(const char *p) { return quint16(quint8(p[0]) | (quint8(p[1]) << 8)); }
quint32 Le32(const char *p) { return quint32(Le16(p)) | (quint32(Le16(p + 2)) << 16); }
quint32 Be32(const char *p)
{
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8)
           | quint32(quint8(p[3]));
}

[[noreturn]] void Refuse(const QString &fileName, const QString &why)
{
    throw Exception(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, why));
}

QString NotDBase() { return QStringLiteral("it is not a dBase table."); }
QString Damaged() { return QStringLiteral("the dBase table's header is damaged or cut off."); }

bool IsReadVersion(quint8 v)
{
    switch (v) {
    case 0x03:   // dBase III, IV, FoxPro, without memo
    case 0x43:   // dBase IV SQL table
    case 0x63:   // dBase IV SQL system table
    case 0x83:   // dBase III with memo
    case 0x8B:   // dBase IV with memo
    case 0xCB:   // dBase IV SQL table with memo
    case 0xF5:   // FoxPro 2 with memo
    case 0xFB:   // FoxBASE
        return true;
    default:
        return false;
    }
}
} // namespace

bool TDBaseHeader::HasMemoFields() const
{
    return std::any_of(Fields.begin(), Fields.end(), [](const TDBaseField &f) { return f.Type == 'M'; });
}

TDBaseHeader ReadDBaseHeader(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open '%1': %2.").arg(fileName, f.errorString()));
    const qint64 size = f.size();
    const QByteArray head = f.read(32);
    if (head.size() < 32)
        Refuse(fileName, NotDBase());
    const char *b = head.constData();
    TDBaseHeader h;
    h.Version = quint8(b[0]);
    h.Records = Le32(b + 4);
    h.HeaderLength = Le16(b + 8);
    h.RecordLength = Le16(b + 10);
    h.LanguageDriver = quint8(b[29]);
    const int month = quint8(b[2]), day = quint8(b[3]);
    const bool plausible = month <= 12 && day <= 31 && h.RecordLength > 1 && h.HeaderLength <= size;

    // Later formats the table library would read as garbage: say what they are.
    if ((h.Version == 0x04 || h.Version == 0x8C) && plausible && h.HeaderLength >= 68 + 48 + 1
        && (h.HeaderLength - 69) % 48 == 0)
        Refuse(fileName, QStringLiteral("it is a dBase 7 table, which cannot be read here. "
                                        "Save it as a dBase IV table and choose that file."));
    if (h.Version >= 0x30 && h.Version <= 0x32 && plausible && h.HeaderLength >= 32 + 32 + 1 + 263)
        Refuse(fileName, QStringLiteral("it is a Visual FoxPro table, which cannot be read here. "
                                        "Save it as a FoxPro 2 or dBase IV table and choose that file."));
    if (!IsReadVersion(h.Version) || month > 12 || day > 31)
        Refuse(fileName, NotDBase());
    if (h.HeaderLength < 32 + 32 + 1 || h.RecordLength < 2)
        Refuse(fileName, NotDBase());
    if (h.HeaderLength > size)
        Refuse(fileName, Damaged());

    const QByteArray rest = f.read(h.HeaderLength - 32);
    if (rest.size() != h.HeaderLength - 32)
        Refuse(fileName, Damaged());
    const QByteArray all = head + rest;
    int pos = 32;
    int width = 1;   // the deletion flag
    for (; pos + 32 <= h.HeaderLength && all[pos] != '\x0D'; pos += 32) {
        const char *d = all.constData() + pos;
        const char type = d[11];
        const bool typeOk = (type >= 'A' && type <= 'Z') || type == '@' || type == '+';
        if (quint8(d[0]) <= 32 || !typeOk || quint8(d[16]) == 0)
            Refuse(fileName, NotDBase());
        TDBaseField field;
        field.Type = type;
        field.Width = quint8(d[16]);
        width += field.Width;
        h.Fields.append(field);
    }
    if (pos >= h.HeaderLength || all[pos] != '\x0D' || h.Fields.isEmpty() || width != h.RecordLength)
        Refuse(fileName, NotDBase());
    return h;
}

int DBaseCodePage(quint8 ldid)
{
    switch (ldid) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18:
    case 0x19: case 0x1B:
        return 437;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A:
    case 0x1D: case 0x25: case 0x37:
        return 850;
    case 0x03: case 0x57: case 0x58: case 0x59:
        return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x13: case 0x7B: return 932;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;
    case 0x4D: case 0x7A: return 936;
    case 0x4E: case 0x79: return 949;
    case 0x4F: case 0x78: return 950;
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
    }
}

void TDBaseMemoFile::Open(const QString &tableName, quint8 version)
{
    FTableName = tableName;
    const QFileInfo table(tableName);
    const QString base = table.path() + QLatin1Char('/') + table.completeBaseName();
    const bool fox = version == 0xF5 || version == 0xFB;
    const QStringList tried = fox ? QStringList{".fpt", ".FPT", ".dbt", ".DBT"} : QStringList{".dbt", ".DBT", ".fpt", ".FPT"};
    QString found;
    for (const QString &ext : tried) {
        if (QFileInfo::exists(base + ext)) {
            found = base + ext;
            break;
        }
    }
    if (found.isEmpty())
        throw Exception(QStringLiteral("Cannot read \"%1\": its memo file \"%2\" is missing.")
                            .arg(tableName, base + tried.first()));
    FFile.setFileName(found);
    const QFileInfo info(found);
    if (info.isDir() || !FFile.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open '%1': %2.")
                            .arg(found, info.isDir() ? QStringLiteral("it is a folder") : FFile.errorString()));
    FSize = FFile.size();
    const QByteArray head = FFile.read(512);
    const auto damaged = [&] {
        throw Exception(QStringLiteral("Cannot read \"%1\": its memo file \"%2\" is damaged.").arg(tableName, found));
    };
    if (found.endsWith(QLatin1String(".fpt"), Qt::CaseInsensitive)) {
        FKind = FoxPro;
        if (head.size() < 8)
            damaged();
        FBlockSize = (quint8(head[6]) << 8) | quint8(head[7]);
        if (FBlockSize == 0)
            damaged();
    } else if (version == 0x8B || version == 0xCB) {
        FKind = DBase4;
        if (head.size() < 22)
            damaged();
        // the block length at 20; some writers leave it 0 and use the one at 4
        FBlockSize = Le16(head.constData() + 20);
        const quint32 at4 = Le32(head.constData() + 4);
        if (FBlockSize == 0)
            FBlockSize = at4 > 0 && at4 <= 65536 ? at4 : 512;
    } else {
        FKind = DBase3;
        FBlockSize = 512;
    }
}

QByteArray TDBaseMemoFile::Read(qint64 block, int record)
{
    if (block <= 0)
        return {};
    const auto damaged = [&] {
        throw Exception(QStringLiteral("Cannot read record %1 of \"%2\": its memo file \"%3\" is damaged.")
                            .arg(record + 1)
                            .arg(FTableName, FFile.fileName()));
    };
    if (block > FSize / FBlockSize)
        damaged();
    const qint64 offset = block * FBlockSize;
    if (offset >= FSize || !FFile.seek(offset))
        damaged();
    const qint64 left = FSize - offset;
    if (FKind == FoxPro) {
        const QByteArray head = FFile.read(8);
        if (head.size() < 8)
            damaged();
        const quint32 type = Be32(head.constData());
        const qint64 length = std::min<qint64>({qint64(Be32(head.constData() + 4)), left - 8, MaxMemoBytes});
        if (type != 1)   // pictures and objects have no text
            return {};
        return FFile.read(length);
    }
    QByteArray first = FFile.read(std::min<qint64>(8, left));
    if (first.size() == 8 && first.startsWith(QByteArray("\xFF\xFF\x08\x00", 4))) {
        // dBase IV: the length counts the eight bytes before the text
        const qint64 length = std::min<qint64>({qint64(Le32(first.constData() + 4)) - 8, left - 8, MaxMemoBytes});
        return length > 0 ? FFile.read(length) : QByteArray();
    }
    // dBase III: the text runs to the first end-of-file mark
    QByteArray text = first;
    qsizetype scanned = 0;
    for (;;) {
        const qsizetype end = text.indexOf('\x1A', scanned);
        if (end >= 0) {
            text.truncate(end);
            break;
        }
        scanned = text.size();
        if (text.size() >= MaxMemoBytes || FFile.atEnd())
            break;
        const QByteArray more = FFile.read(std::min<qint64>(FBlockSize, MaxMemoBytes - text.size()));
        if (more.isEmpty())
            break;
        text += more;
    }
    if (text.size() > MaxMemoBytes)
        text.truncate(MaxMemoBytes);
    return text;
}
