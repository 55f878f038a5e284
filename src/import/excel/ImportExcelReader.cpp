// Excel 97-2003 (BIFF8) and Excel 5.0/95 (BIFF5/7) workbooks: libgsf opens the OLE2
// container, the BIFF records are read here. Every length and offset comes from a file
// that may be damaged or hostile, so each one is checked before it is used.
//
// The first worksheet's records are read twice. The first pass checks every record, so that a damaged
// workbook is refused before any row is handed on, and notes the last record that touches
// each row; the second pass keeps a row's cells only until its last record has been read.
// Writers that store cells row by row (Excel does) thus cost one row of memory; cells of an
// earlier row arriving after later rows are still put in their place.
#include "import/excel/ImportExcelReader.h"
#include "import/ImportSheetReaders.h"
#include "import/CellText.h"
#include "import/TextCodecs.h"
#include "app/Exceptions.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {
constexpr qint64 MaxStreamBytes = 256LL * 1024 * 1024;
constexpr qsizetype MaxCells = 8'000'000;   // a roster holds far fewer; bounds the memory a file can claim
// The part of the workbook stream held at a time: two records of the largest size fit.
constexpr size_t WindowBytes = 256 * 1024;
constexpr quint32 Untouched = 0xFFFFFFFFu;

// Record types.
enum : quint16 {
    rtFormula = 0x0006,
    rtEof = 0x000A,
    rtDateMode = 0x0022,
    rtFilePass = 0x002F,
    rtContinue = 0x003C,
    rtCodePage = 0x0042,
    rtBoundSheet = 0x0085,
    rtMulRk = 0x00BD,
    rtMulBlank = 0x00BE,
    rtRString = 0x00D6,
    rtXf = 0x00E0,
    rtSst = 0x00FC,
    rtLabelSst = 0x00FD,
    rtBlank = 0x0201,
    rtNumber = 0x0203,
    rtLabel = 0x0204,
    rtBoolErr = 0x0205,
    rtString = 0x0207,
    rtRk = 0x027E,
    rtFormat = 0x041E,
    rtBof = 0x0809,
};

// A message for the caller; the reader turns it into one naming the file.
struct Damaged
{
    QString why;
};

[[noreturn]] void Fail(const char *why)
{
    throw Damaged{QString::fromLatin1(why)};
}

// The second pass met what the first did not: the file was written to meanwhile.
[[noreturn]] void Changed()
{
    throw Damaged{QStringLiteral("changed")};
}

void QuietGsfLog(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer)
{
    // libgsf reports damaged containers on stderr as well as through its GError; the
    // GError becomes the message the user sees.
    // Its warnings carry no domain at all.
    const bool quiet = !domain || std::strncmp(domain, "libgsf", 6) == 0 || std::strncmp(domain, "GLib-GObject", 12) == 0;
    if (quiet && !(level & G_LOG_LEVEL_ERROR))
        return;
    g_log_default_handler(domain, level, message, nullptr);
}

void GsfReady()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_log_set_default_handler(QuietGsfLog, nullptr);
        gsf_init();
    });
}

template <typename T>
struct GObjectPtr
{
    T *p = nullptr;
    GObjectPtr() = default;
    explicit GObjectPtr(T *o) : p(o) {}
    GObjectPtr(const GObjectPtr &) = delete;
    GObjectPtr &operator=(const GObjectPtr &) = delete;
    ~GObjectPtr()
    {
        if (p)
            g_object_unref(p);
    }
};

struct GErrorPtr
{
    GError *e = nullptr;
    ~GErrorPtr()
    {
        if (e)
            g_error_free(e);
    }
};

// One record's body with its CONTINUE records joined; Breaks are the offsets at which a
// CONTINUE body starts (a string's characters restart there with a new option byte).
// The body lives until the next record is read.
struct Record
{
    quint16 Type = 0;
    std::string_view Body;
    std::vector<quint32> Breaks;
    std::string Joined;
};

// The records of the workbook stream, read through a window of it.
class RecordStream
{
public:
    // map: the file's mapping in memory that the container reads, if it is mapped.
    RecordStream(GsfInput *in, size_t size, const uchar *map, size_t mapSize)
        : FIn(in), FSize(size), FMap(map), FMapSize(mapSize)
    {
    }

    // Reads the whole stream once: a stream that cannot be read to its end is refused
    // before any of it is parsed, wherever the damage lies. The container hands on sectors
    // in one piece without copying them, and they are not looked at.
    void CheckReadable()
    {
        for (size_t at = 0; at < FSize;) {
            const size_t n = std::min(WindowBytes, FSize - at);
            Contained(at, n);
            at += n;
        }
        FWindow = nullptr;
        FStart = FLength = 0;
    }

    bool AtEnd() const { return FPos >= FSize; }
    void Seek(size_t pos)
    {
        if (pos >= FSize)
            Fail("a sheet starts past the end of the workbook");
        FPos = pos;
    }

    // The next record; its CONTINUE records are joined when join is set.
    void Next(Record &r, bool join)
    {
        const size_t start = FPos;
        quint16 len = 0;
        Header(start, r.Type, len, start);
        FPos = start + 4 + size_t(len);
        r.Breaks.clear();
        quint16 type = 0, more = 0;
        // The next header is checked even when it is no CONTINUE.
        const bool continued = join && FPos + 4 <= FSize && (Header(FPos, type, more, start), type == rtContinue);
        const char *body = At(start + 4, len, start);
        if (!continued) {
            r.Body = std::string_view(body, len);
            return;
        }
        r.Joined.assign(body, len);
        while (FPos + 4 <= FSize) {
            Header(FPos, type, more, FPos);
            if (type != rtContinue)
                break;
            r.Breaks.push_back(quint32(r.Joined.size()));
            r.Joined.append(At(FPos + 4, more, FPos), more);
            FPos += 4 + size_t(more);
        }
        r.Body = r.Joined;
    }

private:
    void Header(size_t pos, quint16 &type, quint16 &len, size_t keep)
    {
        if (pos + 4 > FSize)
            Fail("a record is cut off");
        const auto *p = reinterpret_cast<const uchar *>(At(pos, 4, keep));
        type = quint16(p[0] | (p[1] << 8));
        len = quint16(p[2] | (p[3] << 8));
        if (pos + 4 + len > FSize)
            Fail("a record runs past the end of the workbook");
    }

    // Bytes pos..pos+n of the stream, which the caller has checked are in it, valid until
    // the window moves. It moves on from keep (the record being read) when it must; n and
    // pos - keep stay within a record and a header each, far less than a window.
    const char *At(size_t pos, size_t n, size_t keep)
    {
        if (pos >= FStart && pos + n <= FStart + FLength)
            return FWindow + (pos - FStart);
        const size_t from = std::min(keep, pos);
        const size_t length = std::min(WindowBytes, FSize - from);
        FWindow = Read(from, length);
        FStart = from;
        FLength = length;
        if (pos + n > FStart + FLength)
            Fail("a record is cut off");
        return FWindow + (pos - FStart);
    }

    // Bytes offset..offset+n as the container has them, valid until its next read.
    const uchar *Contained(size_t offset, size_t n)
    {
        if (FAt != offset && gsf_input_seek(FIn, gsf_off_t(offset), G_SEEK_SET))
            Fail("the workbook stream cannot be read to its end");
        FAt = offset;
        const guint8 *bytes = gsf_input_read(FIn, n, nullptr);
        if (!bytes)
            Fail("the workbook stream cannot be read to its end");
        FAt += n;
        return bytes;
    }

    // Bytes offset..offset+n, valid until the next read. Where they lie in one piece in the
    // mapped file they are the mapping's own: read in place, not copied (a file cut short
    // meanwhile ends the reader with SIGBUS, which the caller reports as a changed file).
    const char *Read(size_t offset, size_t n)
    {
        const uchar *bytes = Contained(offset, n);
#ifdef Q_OS_LINUX
        // The container gathered scattered sectors from the mapping: their pages need not
        // stay in memory (they come back from the file should they be read again).
        const quintptr at = quintptr(bytes), map = quintptr(FMap);
        if (FMap && !(at >= map && n <= FMapSize && at - map <= FMapSize - n))
            madvise(const_cast<uchar *>(FMap), FMapSize, MADV_DONTNEED);
#endif
        return reinterpret_cast<const char *>(bytes);
    }

    GsfInput *FIn;
    size_t FSize;
    const char *FWindow = nullptr;
    size_t FStart = 0;    // stream offset of the window's first byte
    size_t FLength = 0;
    size_t FAt = 0;       // the input's read position
    size_t FPos = 0;
    const uchar *FMap;
    size_t FMapSize;
};

// Reads the fields of one record, never past its end.
class Fields
{
public:
    explicit Fields(const Record &r) : FRec(r), FBody(r.Body) {}

    size_t Left() const { return FBody.size() - FPos; }
    void Need(size_t n) const
    {
        if (n > Left())
            Fail("a record is shorter than its contents");
    }
    void Skip(size_t n)
    {
        Need(n);
        FPos += n;
    }
    quint8 U8()
    {
        Need(1);
        return quint8(FBody[FPos++]);
    }
    quint16 U16()
    {
        Need(2);
        const auto *p = reinterpret_cast<const uchar *>(FBody.data() + FPos);
        FPos += 2;
        return quint16(p[0] | (p[1] << 8));
    }
    quint32 U32()
    {
        const quint32 lo = U16();
        return lo | (quint32(U16()) << 16);
    }
    double F64()
    {
        Need(8);
        quint64 bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | quint8(FBody[FPos + size_t(i)]);
        FPos += 8;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::string_view Bytes(size_t n)
    {
        Need(n);
        const std::string_view v = FBody.substr(FPos, n);
        FPos += n;
        return v;
    }

    // cch characters of a BIFF8 string, one or two bytes each; at a CONTINUE boundary the
    // characters go on after a fresh option byte that may switch the width. Without Build
    // the string is only checked.
    template <bool Build = true>
    QString Chars(quint32 cch, bool wide)
    {
        QString s;
        if constexpr (Build)
            s.reserve(qsizetype(std::min<size_t>(cch, Left())));
        while (cch > 0) {
            const size_t end = SegmentEnd();
            const size_t width = wide ? 2 : 1;
            const size_t fit = (end - FPos) / width;
            if (fit == 0)
                Fail("a string is cut off");
            const quint32 n = quint32(std::min<size_t>(cch, fit));
            if constexpr (Build) {
                const auto *p = reinterpret_cast<const uchar *>(FBody.data() + FPos);
                if (wide) {
                    for (quint32 i = 0; i < n; ++i)
                        s += QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
                } else {
                    const qsizetype at = s.size();
                    s.resize(at + qsizetype(n));
                    QChar *out = s.data() + at;
                    for (quint32 i = 0; i < n; ++i)
                        out[i] = QChar(char16_t(p[i]));
                }
            }
            FPos += n * width;
            cch -= n;
            if (cch > 0) {
                if (FPos != end || end == FBody.size())
                    Fail("a string is cut off");
                wide = U8() & 0x01;
            }
        }
        return s;
    }

private:
    size_t SegmentEnd()
    {
        while (FBreak < FRec.Breaks.size() && FRec.Breaks[FBreak] <= FPos)
            ++FBreak;
        return FBreak < FRec.Breaks.size() ? FRec.Breaks[FBreak] : FBody.size();
    }

    const Record &FRec;
    std::string_view FBody;
    size_t FPos = 0;
    size_t FBreak = 0;
};

// Texts of an Excel 5.0/95 workbook in the code page its CODEPAGE record names.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(int codePage) : FCodePage(codePage)
    {
        switch (codePage) {
        case 367: case 20127: case 437: case 1252: case 32769:
            return;
        default:
            break;
        }
        FDecoder = QStringDecoder(codePage == 10000 || codePage == 32768
                                      ? QByteArray("macintosh")
                                      : "windows-" + QByteArray::number(codePage));
        if (!FDecoder.isValid())
            FDecoder = QStringDecoder(QByteArray("cp" + QByteArray::number(codePage)));
    }

    QString operator()(std::string_view bytes)
    {
        switch (FCodePage) {
        case 367:
        case 20127:
            return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
        case 437:
            return F437.Decode(bytes.data(), qsizetype(bytes.size()));
        default:
            break;
        }
        if (!FDecoder.isValid())
            return DecodeWindows1252(bytes);
        FDecoder.resetState();
        return FDecoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }

private:
    int FCodePage;
    QStringDecoder FDecoder;
    TCodePageDecoder F437{437};
};

double RkValue(quint32 rk)
{
    double d;
    if (rk & 0x02) {
        d = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, sizeof d);
    }
    return (rk & 0x01) ? d / 100.0 : d;
}

// One cell's stored value; text is converted only for the cells a row hands on.
struct Cell
{
    enum Kind : quint8 { Empty, Number, Shared, Own, Boolean, Error };
    Kind kind = Empty;
    quint8 code = 0;      // Boolean: 0/1, Error: the error code
    quint16 xf = 0;
    quint32 text = 0;     // Shared: index into the shared strings; Own: into the row's texts
    double number = 0;
};

// A row whose records have not all been read yet.
struct PendingRow
{
    std::vector<Cell> Cells;   // up to the last column stored
    QStringList Texts;         // texts stored in the row's cells
};

// Where a pass over the worksheet's records stands.
struct SheetCursor
{
    quint32 Records = 0;   // read so far, counted alike by both passes
    int Depth = 0;         // charts embedded in the sheet bring their own BOF..EOF
    bool Pending = false;  // a formula's string result is in the STRING record that follows
    quint32 PendingRow = 0, PendingCol = 0;
};

// The first pass: checks the bounds the cells claim and notes each row's last record.
struct ScanSink
{
    static constexpr bool BuildsText = false;
    std::vector<quint32> &Last;
    std::vector<quint16> Width;   // the columns a row would be stored with
    qsizetype Slots = 0;

    void Touch(quint32 record, quint32 row)
    {
        if (row >= Last.size())
            Last.resize(size_t(row) + 1, Untouched);
        Last[row] = record;
    }
    void Put(quint32 record, quint32 row, quint32 col)
    {
        Touch(record, row);
        if (row >= Width.size())
            Width.resize(size_t(row) + 1, 0);
        if (col >= Width[row]) {
            Slots += qsizetype(col + 1 - Width[row]);
            if (Slots > MaxCells)
                Fail("the worksheet holds more cells than can be read");
            Width[row] = quint16(col + 1);
        }
    }
    void Value(quint32 record, quint32 row, quint32 col, const Cell &) { Put(record, row, col); }
    void Text(quint32 record, quint32 row, quint32 col, quint16, QString &&) { Put(record, row, col); }
    void FormulaText(quint32 record, quint32 row, quint32, QString &&) { Touch(record, row); }
    void Erase(quint32 record, quint32 row, quint32) { Touch(record, row); }
};
} // namespace

struct TExcelBook
{
    // The container, kept open while the sheet is read; released in reverse order.
    QFile Mapped;
    const uchar *Map = nullptr;
    qint64 MapSize = 0;
    GObjectPtr<GsfInput> File;
    GObjectPtr<GsfInfile> Ole;
    GObjectPtr<GsfInput> Stream;
    std::optional<RecordStream> In;

    bool Biff8 = true;
    bool Date1904 = false;
    int CodePage = 1252;
    std::optional<CodePageDecoder> Decoder;
    int MaxRows = 65536;
    std::vector<quint16> XfFormats;        // number format id of every XF, in file order
    QHash<int, TNumberFormat> Formats;     // by format id, from the FORMAT records
    std::vector<std::optional<TNumberFormat>> XfFormatCache;
    QStringList Strings;                   // the shared strings
    // The texts of dates met, by day: a slot each, the last date of that slot kept. A roster's
    // dates (birthdays, report dates) lie within a few decades, and repeat.
    struct DateText
    {
        double Value = 0;
        QString Text;
    };
    std::vector<DateText> DateTexts;
    size_t SheetOffset = 0;

    // From the first pass: the last record touching each row, Untouched for rows without any.
    std::vector<quint32> Last;
    // The second pass.
    Record Rec;
    SheetCursor Cursor;
    quint32 NextRow = 0;                   // 0-based; the rows above are handed on
    std::map<quint32, PendingRow> Pending;
    std::map<quint32, PendingRow>::node_type Spare;   // a row handed on, its room kept for the next
    quint32 CurrentIndex = 0;
    PendingRow *Current = nullptr;         // the row of the last cell stored
    qsizetype Buffered = 0;                // cells held by the pending rows
    size_t LastWidth = 16;

    const TNumberFormat &Format(quint16 xf)
    {
        static const TNumberFormat general;
        if (xf >= XfFormats.size())
            return general;
        if (XfFormatCache.size() <= xf)
            XfFormatCache.resize(size_t(xf) + 1);
        std::optional<TNumberFormat> &format = XfFormatCache[xf];
        if (!format) {
            const int id = XfFormats[xf];
            const auto custom = Formats.constFind(id);
            format = custom != Formats.cend() ? *custom : NumberFormatOf(id, {});
        }
        return *format;
    }

    QString Text(const Cell &c, const PendingRow &row)
    {
        switch (c.kind) {
        case Cell::Empty:
            return QString();
        case Cell::Number: {
            const TNumberFormat &format = Format(c.xf);
            if (!format.Date)
                return CellFormattedText(c.number, format, Date1904);
            // formatting one is dear
            if (DateTexts.empty())
                DateTexts.resize(16384);
            const double day = c.number;   // from the file: any double, NaN too
            DateText &slot = DateTexts[day >= 0 && day < 4e9 ? size_t(quint32(day)) & 16383 : 0];
            if (slot.Text.isNull() || slot.Value != c.number) {
                slot.Value = c.number;
                slot.Text = CellDateText(c.number, Date1904);
            }
            return slot.Text;
        }
        case Cell::Shared:
            return Strings.value(qsizetype(c.text));
        case Cell::Own:
            return row.Texts.value(qsizetype(c.text));
        case Cell::Boolean:
            return CellBooleanText(c.code != 0);
        case Cell::Error:
            return CellErrorText(c.code);
        }
        return QString();
    }

    // A byte string (BIFF5) or a BIFF8 string whose length field is lenBytes wide; only
    // checked without Build.
    template <bool Build = true>
    QString ReadString(Fields &f, int lenBytes)
    {
        const quint32 cch = lenBytes == 1 ? f.U8() : f.U16();
        if (!Biff8) {
            const std::string_view bytes = f.Bytes(cch);
            if constexpr (!Build)
                return QString();
            if (!Decoder)
                Decoder.emplace(CodePage);
            return (*Decoder)(bytes);
        }
        const quint8 grbit = f.U8();
        return f.Chars<Build>(cch, grbit & 0x01);
    }

    void ReadSst(const Record &r)
    {
        Fields f(r);
        // The counts are not trusted: the strings are read until the record ends, and
        // room is made for no more than it can hold (three bytes a string at least).
        f.Skip(4);
        const quint32 unique = f.U32();
        Strings.reserve(qsizetype(std::min<size_t>(unique, f.Left() / 3)));
        while (f.Left() > 0) {
            const quint32 cch = f.U16();
            const quint8 grbit = f.U8();
            quint32 runs = 0, ext = 0;
            if (grbit & 0x08)
                runs = f.U16();
            if (grbit & 0x04)
                ext = f.U32();
            Strings.append(f.Chars(cch, grbit & 0x01));
            f.Skip(size_t(runs) * 4);
            f.Skip(ext);
        }
    }

    // The stream's size checked, its globals read: formats, shared strings, the first worksheet.
    void Begin(qint64 fileSize)
    {
        const gsf_off_t size = gsf_input_size(Stream.p);
        if (size < 0 || size > fileSize)
            Fail("the workbook stream is larger than the file");
        if (size > MaxStreamBytes)
            throw Damaged{QStringLiteral("too large")};
        In.emplace(Stream.p, size_t(size), Map, size_t(MapSize));
        In->CheckReadable();
        ReadGlobals();
    }

    void ReadGlobals()
    {
        RecordStream &in = *In;
        Record r;
        in.Next(r, false);
        {
            Fields f(r);
            if (r.Type != rtBof)
                Fail("it does not start with a workbook header");
            const quint16 version = f.U16();
            const quint16 kind = f.U16();
            if (kind != 0x0005)
                Fail("it does not start with a workbook header");
            Biff8 = version == 0x0600;
            if (!Biff8 && version != 0x0500)
                Fail("its version is unknown");
            MaxRows = Biff8 ? 65536 : 16384;
        }
        bool found = false;
        bool seenSst = false;
        for (;;) {
            if (in.AtEnd())
                Fail("the workbook globals have no end");
            in.Next(r, true);
            Fields f(r);
            switch (r.Type) {
            case rtEof:
                if (!found)
                    throw Damaged{QStringLiteral("no worksheet")};
                return;
            case rtFilePass:
                throw Damaged{QStringLiteral("password")};
            case rtCodePage:
                CodePage = f.U16();
                Decoder.reset();
                break;
            case rtDateMode:
                Date1904 = f.U16() == 1;
                break;
            case rtFormat: {
                const int id = f.U16();
                if (Formats.size() < 65536)
                    Formats.insert(id, NumberFormatOf(id, ReadString(f, Biff8 ? 2 : 1)));
                break;
            }
            case rtXf:
                f.Skip(2);
                if (XfFormats.size() < 65536)
                    XfFormats.push_back(f.U16());
                break;
            case rtSst:
                if (Biff8 && !seenSst)
                    ReadSst(r);
                seenSst = true;
                break;
            case rtBoundSheet: {
                const quint32 offset = f.U32();
                f.Skip(1);
                const quint8 type = f.U8();
                if (!found && type == 0x00) {
                    found = true;
                    SheetOffset = offset;
                }
                break;
            }
            default:
                break;
            }
        }
    }

    // To the first worksheet's header, for a pass over its records.
    void StartSheet(Record &r, SheetCursor &cursor)
    {
        cursor = SheetCursor();
        In->Seek(SheetOffset);
        In->Next(r, false);
        Fields f(r);
        f.Skip(2);
        if (r.Type != rtBof || f.U16() != 0x0010)
            Fail("the first worksheet has no header");
    }

    // The first pass, over every record of the sheet: a damaged sheet is refused here.
    void Scan()
    {
        Record r;
        SheetCursor cursor;
        StartSheet(r, cursor);
        ScanSink sink{Last, {}, 0};
        while (Step(r, cursor, sink)) {
        }
    }

    // Reads the sheet's next record and hands what it stores to the sink; false at the
    // sheet's end.
    template <typename Sink>
    bool Step(Record &r, SheetCursor &cursor, Sink &sink)
    {
        RecordStream &in = *In;
        if (in.AtEnd())
            Fail("the first worksheet has no end");
        in.Next(r, true);
        const quint32 record = cursor.Records++;
        if (r.Type == rtBof) {
            ++cursor.Depth;
            return true;
        }
        if (r.Type == rtEof) {
            return cursor.Depth-- != 0;
        }
        if (cursor.Depth > 0)
            return true;
        Fields f(r);
        switch (r.Type) {
        case rtString:
            if (cursor.Pending) {
                cursor.Pending = false;
                sink.FormulaText(record, cursor.PendingRow, cursor.PendingCol, ReadString<Sink::BuildsText>(f, 2));
            }
            return true;
        case rtLabelSst:
        case rtLabel:
        case rtRString:
        case rtNumber:
        case rtRk:
        case rtMulRk:
        case rtBoolErr:
        case rtBlank:
        case rtMulBlank:
        case rtFormula:
            cursor.Pending = false;
            break;
        default:
            return true;
        }
        const quint16 row = f.U16();
        const quint16 col = f.U16();
        const auto inSheet = [&](quint32 c) {
            if (row >= quint32(MaxRows) || c > 255)
                Fail("a cell lies outside the sheet");
        };
        // A record of one cell a column from col on, each `each` bytes, then the last column.
        const auto columns = [&](size_t each, const char *wrongLength) {
            if (f.Left() < 2 || (f.Left() - 2) % each != 0)
                Fail(wrongLength);
            return (f.Left() - 2) / each;
        };
        const auto number = [&](quint32 c, quint16 xf, double value) {
            inSheet(c);
            Cell cell;
            cell.kind = Cell::Number;
            cell.xf = xf;
            cell.number = value;
            sink.Value(record, row, c, cell);
        };
        switch (r.Type) {
        case rtLabelSst: {
            const quint16 xf = f.U16();
            const quint32 index = f.U32();
            if (!Biff8 || index >= quint32(Strings.size()))
                Fail("a cell refers to a shared string that does not exist");
            inSheet(col);
            Cell c;
            c.kind = Cell::Shared;
            c.xf = xf;
            c.text = index;
            sink.Value(record, row, col, c);
            break;
        }
        case rtLabel:
        case rtRString: {
            const quint16 xf = f.U16();
            QString text = ReadString<Sink::BuildsText>(f, 2);
            inSheet(col);
            sink.Text(record, row, col, xf, std::move(text));
            break;
        }
        case rtNumber: {
            const quint16 xf = f.U16();
            number(col, xf, f.F64());
            break;
        }
        case rtRk: {
            const quint16 xf = f.U16();
            number(col, xf, RkValue(f.U32()));
            break;
        }
        case rtMulRk: {
            const size_t n = columns(6, "a row of numbers has a wrong length");
            for (size_t i = 0; i < n; ++i) {
                const quint16 xf = f.U16();
                number(quint32(col + i), xf, RkValue(f.U32()));
            }
            break;
        }
        case rtBoolErr: {
            const quint16 xf = f.U16();
            Cell c;
            c.xf = xf;
            c.code = f.U8();
            c.kind = f.U8() ? Cell::Error : Cell::Boolean;
            inSheet(col);
            sink.Value(record, row, col, c);
            break;
        }
        case rtBlank:
            inSheet(col);
            sink.Erase(record, row, col);
            break;
        case rtMulBlank: {
            const size_t n = columns(2, "a row of blank cells has a wrong length");
            for (size_t i = 0; i < n; ++i) {
                inSheet(quint32(col + i));
                sink.Erase(record, row, quint32(col + i));
            }
            break;
        }
        case rtFormula: {
            const quint16 xf = f.U16();
            const std::string_view value = f.Bytes(8);
            const auto *v = reinterpret_cast<const uchar *>(value.data());
            Cell c;
            c.xf = xf;
            if (v[6] == 0xFF && v[7] == 0xFF) {
                switch (v[0]) {
                case 0:   // a string, stored in the STRING record that follows
                    inSheet(col);
                    sink.Text(record, row, col, xf, QString());
                    cursor.Pending = true;
                    cursor.PendingRow = row;
                    cursor.PendingCol = col;
                    return true;
                case 1:
                    c.kind = Cell::Boolean;
                    c.code = v[2] != 0;
                    break;
                case 2:
                    c.kind = Cell::Error;
                    c.code = v[2];
                    break;
                default:  // 3: an empty string
                    inSheet(col);
                    sink.Text(record, row, col, xf, QString());
                    return true;
                }
                inSheet(col);
                sink.Value(record, row, col, c);
            } else {
                Fields n(r);
                n.Skip(6);
                number(col, xf, n.F64());
            }
            break;
        }
        default:
            break;
        }
        return true;
    }

    // The second pass's side: the cells of rows whose records are not all read yet.

    static constexpr bool BuildsText = true;

    // The pending row a record stores into; the first pass counted that record for it.
    PendingRow &Row(quint32 record, quint32 row)
    {
        if (row >= Last.size() || Last[row] == Untouched || Last[row] < record)
            Changed();
        if (Current && CurrentIndex == row)
            return *Current;
        auto it = Pending.lower_bound(row);
        if (it == Pending.end() || it->first != row) {
            if (Spare) {
                Spare.key() = row;
                it = Pending.insert(it, std::move(Spare));
            } else {
                it = Pending.emplace_hint(it, row, PendingRow());
            }
        }
        PendingRow &p = it->second;
        if (p.Cells.capacity() == 0)   // rows are mostly alike: as wide as the last one
            p.Cells.reserve(LastWidth);
        CurrentIndex = row;
        Current = &p;
        return p;
    }

    Cell &Slot(PendingRow &p, quint32 col)
    {
        if (col >= p.Cells.size()) {
            Buffered += qsizetype(col + 1 - p.Cells.size());
            if (Buffered > MaxCells)
                Fail("the worksheet holds more cells than can be read");
            p.Cells.resize(size_t(col) + 1);
            LastWidth = std::max<size_t>(LastWidth, p.Cells.size());
        }
        return p.Cells[col];
    }

    // A cell's text goes with its value.
    static void Release(PendingRow &p, const Cell &c)
    {
        if (c.kind == Cell::Own && c.text < quint32(p.Texts.size()))
            p.Texts[qsizetype(c.text)] = QString();
    }

    void Value(quint32 record, quint32 row, quint32 col, const Cell &cell)
    {
        PendingRow &p = Row(record, row);
        Cell &c = Slot(p, col);
        Release(p, c);
        c = cell;
    }

    void Text(quint32 record, quint32 row, quint32 col, quint16 xf, QString &&text)
    {
        PendingRow &p = Row(record, row);
        Cell &c = Slot(p, col);
        if (c.kind != Cell::Own) {   // a cell written again reuses its text's place
            c.kind = Cell::Own;
            c.text = quint32(p.Texts.size());
            p.Texts.append(QString());
        }
        c.xf = xf;
        p.Texts[qsizetype(c.text)] = std::move(text);
    }

    void FormulaText(quint32 record, quint32 row, quint32 col, QString &&text)
    {
        PendingRow &p = Row(record, row);
        if (col >= p.Cells.size() || p.Cells[col].kind != Cell::Own)
            Changed();
        p.Texts[qsizetype(p.Cells[col].text)] = std::move(text);
    }

    void Erase(quint32 record, quint32 row, quint32 col)
    {
        if (row >= Last.size() || Last[row] == Untouched || Last[row] < record)
            Changed();
        PendingRow *p = Current && CurrentIndex == row ? Current : nullptr;
        if (!p) {
            const auto it = Pending.find(row);
            if (it == Pending.end())
                return;   // nothing stored there
            p = &it->second;
        }
        if (col < p->Cells.size()) {
            Release(*p, p->Cells[col]);
            p->Cells[col] = Cell();
        }
    }

    // The next row present, once its last record has been read: the cells from column A
    // on, up to keep of them, or up to the first empty one when untilEmpty.
    bool Next(TSheetRow &out, int keep, bool untilEmpty)
    {
        for (;;) {
            while (NextRow < Last.size() && Last[NextRow] == Untouched)
                ++NextRow;
            if (NextRow >= Last.size())
                return false;
            if (Last[NextRow] >= Cursor.Records) {
                if (!Step(Rec, Cursor, *this))
                    Changed();   // the sheet ended before a row's last record
                continue;
            }
            const quint32 index = NextRow++;
            const auto it = Pending.begin();
            if (it != Pending.end() && it->first < index)
                Changed();   // Row() refuses the records of rows handed on
            if (it == Pending.end() || it->first != index)
                continue;   // only blanked, never stored
            if (Current == &it->second)
                Current = nullptr;
            const PendingRow &p = it->second;
            Buffered -= qsizetype(p.Cells.size());
            out.Index = int(index) + 1;
            out.Cells.clear();
            out.Valueless.clear();
            const qsizetype n = std::min<qsizetype>(qsizetype(p.Cells.size()), keep);
            for (qsizetype c = 0; c < n; ++c) {
                QString text = Text(p.Cells[size_t(c)], p);
                if (untilEmpty && text.isEmpty())
                    break;
                out.Cells.append(std::move(text));
            }
            Spare = Pending.extract(it);
            Spare.mapped().Cells.clear();
            Spare.mapped().Texts.clear();
            return true;
        }
    }
};

TImportExcelReader::TImportExcelReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : TImportSheetReader(std::move(onRecord), std::move(onFieldCount))
{
}

TImportExcelReader::~TImportExcelReader() = default;

namespace {
Exception Refusal(const QString &fileName, const QString &why)
{
    return Exception(QStringLiteral("Cannot read '%1': %2.").arg(fileName, why));
}

Exception Refusal(const QString &fileName, const Damaged &d)
{
    if (d.why == QLatin1String("password"))
        return Refusal(fileName, QStringLiteral("the workbook is password protected"));
    if (d.why == QLatin1String("too large"))
        return Refusal(fileName, QStringLiteral("the workbook is too large (over %1 MB of data)").arg(MaxStreamBytes >> 20));
    if (d.why == QLatin1String("no worksheet"))
        return Refusal(fileName, QStringLiteral("the workbook holds no worksheet"));
    if (d.why == QLatin1String("changed"))
        return Refusal(fileName, QStringLiteral("the file changed while it was being read; read it again"));
    return Refusal(fileName, QStringLiteral("the workbook is damaged (%1)").arg(d.why));
}
} // namespace

bool TImportExcelReader::Open(const QString &fileName)
{
    QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    FFileName = fileName;
    FBook.reset();
    ResetRows();
    auto refuse = [&](const QString &why) { return Refusal(fileName, why); };

    GsfReady();
    auto book = std::make_unique<TExcelBook>();
    GErrorPtr error;
    // Mapped, the workbook is read without a system call per sector; stdio when it cannot be.
    book->Mapped.setFileName(fileName);
    if (book->Mapped.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && book->Mapped.size() > 0) {
        book->MapSize = book->Mapped.size();
        book->Map = book->Mapped.map(0, book->MapSize);
        if (book->Map)
            book->File.p = gsf_input_memory_new(book->Map, gsf_off_t(book->MapSize), FALSE);
    }
    if (!book->File.p)
        book->File.p = gsf_input_stdio_new(QFile::encodeName(fileName).constData(), &error.e);
    if (!book->File.p)
        throw refuse(QStringLiteral("the file cannot be opened"));
    book->Ole.p = gsf_infile_msole_new(book->File.p, &error.e);
    if (!book->Ole.p) {
        // Tell the formats a user is likely to have apart from plain damage.
        QFile f(fileName);
        QByteArray head;
        if (f.open(QIODevice::ReadOnly))
            head = f.read(8);
        const auto b = [&](int i) { return i < head.size() ? quint8(head[i]) : 0; };
        if (head == QByteArray::fromHex("d0cf11e0a1b11ae1")) {
            const QString why = error.e && error.e->message ? QString::fromUtf8(error.e->message)
                                                            : QStringLiteral("its container cannot be read");
            throw refuse(QStringLiteral("the workbook is damaged (%1)").arg(why));
        }
        if (head.startsWith("PK\x03\x04"))
            throw refuse(QStringLiteral("it is an Excel 2007 or later workbook, not an Excel 97-2003 workbook"));
        if (b(0) == 0x09 && (b(1) == 0x00 || b(1) == 0x02 || b(1) == 0x04) && b(2) >= 4 && b(2) <= 16)
            throw refuse(QStringLiteral("it is an Excel 2.x, 3.0 or 4.0 worksheet, which cannot be read; "
                                        "save it as an Excel 97-2003 workbook"));
        const QString unreadable = UnreadableSpreadsheetReason(fileName);
        if (!unreadable.isEmpty())
            throw refuse(unreadable);
        if (head.isEmpty())
            throw refuse(QStringLiteral("it is not a readable workbook (the file is empty)"));
        // Named as a newer workbook but no zip package: no use speaking of 97-2003.
        static const QStringList newer = {QStringLiteral("xlsx"), QStringLiteral("xlsm"), QStringLiteral("xlsb"),
                                          QStringLiteral("xltx"), QStringLiteral("xltm")};
        if (newer.contains(info.suffix().toLower()))
            throw refuse(QStringLiteral("it is not a readable workbook (it is no zip package; damaged or of another kind)"));
        throw refuse(QStringLiteral("it is not an Excel 97-2003 workbook"));
    }
    for (const char *name : {"Workbook", "Book"}) {
        const int n = gsf_infile_num_children(book->Ole.p);
        for (int i = 0; i < n && !book->Stream.p; ++i) {
            const char *child = gsf_infile_name_by_index(book->Ole.p, i);
            if (child && g_ascii_strcasecmp(child, name) == 0)
                book->Stream.p = gsf_infile_child_by_index(book->Ole.p, i);
        }
        if (book->Stream.p)
            break;
    }
    if (!book->Stream.p)
        throw refuse(QStringLiteral("it holds no Excel workbook"));

    try {
        book->Begin(info.size());
        book->Scan();
        book->StartSheet(book->Rec, book->Cursor);
    } catch (const Damaged &d) {
        throw Refusal(fileName, d);
    } catch (const std::bad_alloc &) {
        throw refuse(QStringLiteral("there is not enough memory"));
    }
    FBook = std::move(book);
    return true;
}

void TImportExcelReader::Close()
{
    FBook.reset();
}

bool TImportExcelReader::NextRow(TSheetRow &row)
{
    if (!FBook)
        return false;
    try {
        return FBook->Next(row, KeepColumns(), KeepUntilEmpty());
    } catch (const Damaged &d) {
        throw Refusal(FFileName, d);
    } catch (const std::bad_alloc &) {
        throw Refusal(FFileName, QStringLiteral("there is not enough memory"));
    }
}
