// Excel 97-2003 (BIFF8) and Excel 5.0/95 (BIFF5/7) workbooks: libgsf opens the OLE2
// container, the BIFF records are read here. Every length and offset comes from a file
// that may be damaged or hostile, so each one is checked before it is used.
#include "import/ImportFileReader.h"
#include "import/ImportSheetReaders.h"
#include "import/CellText.h"
#include "import/TextCodecs.h"
#include "app/Exceptions.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {
constexpr qint64 MaxStreamBytes = 256LL * 1024 * 1024;
constexpr qsizetype MaxCells = 8'000'000;   // a roster holds far fewer; bounds the memory a file can claim

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

// A message for the caller; Open turns it into one naming the file.
struct Damaged
{
    QString why;
};

[[noreturn]] void Fail(const char *why)
{
    throw Damaged{QString::fromLatin1(why)};
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
struct Record
{
    quint16 Type = 0;
    std::string_view Body;
    std::vector<quint32> Breaks;
    std::string Joined;
};

class RecordStream
{
public:
    explicit RecordStream(const QByteArray &data) : FData(data.constData()), FSize(size_t(data.size())) {}

    bool AtEnd() const { return FPos >= FSize; }
    size_t Pos() const { return FPos; }
    void Seek(size_t pos)
    {
        if (pos >= FSize)
            Fail("a sheet starts past the end of the workbook");
        FPos = pos;
    }

    // The next record; its CONTINUE records are joined when join is set.
    void Next(Record &r, bool join)
    {
        quint16 len = 0;
        Header(FPos, r.Type, len);
        r.Body = std::string_view(FData + FPos + 4, len);
        r.Breaks.clear();
        FPos += 4 + size_t(len);
        if (!join)
            return;
        quint16 type = 0, more = 0;
        if (FPos + 4 > FSize || (Header(FPos, type, more), type != rtContinue))
            return;
        r.Joined.assign(r.Body);
        while (FPos + 4 <= FSize) {
            Header(FPos, type, more);
            if (type != rtContinue)
                break;
            r.Breaks.push_back(quint32(r.Joined.size()));
            r.Joined.append(FData + FPos + 4, more);
            FPos += 4 + size_t(more);
        }
        r.Body = r.Joined;
    }

private:
    void Header(size_t pos, quint16 &type, quint16 &len) const
    {
        if (pos + 4 > FSize)
            Fail("a record is cut off");
        const auto *p = reinterpret_cast<const uchar *>(FData + pos);
        type = quint16(p[0] | (p[1] << 8));
        len = quint16(p[2] | (p[3] << 8));
        if (pos + 4 + len > FSize)
            Fail("a record runs past the end of the workbook");
    }

    const char *FData;
    size_t FSize;
    size_t FPos = 0;
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
    // characters go on after a fresh option byte that may switch the width.
    QString Chars(quint32 cch, bool wide)
    {
        QString s;
        s.reserve(qsizetype(std::min<size_t>(cch, Left())));
        while (cch > 0) {
            const size_t end = SegmentEnd();
            const size_t width = wide ? 2 : 1;
            const size_t fit = (end - FPos) / width;
            if (fit == 0)
                Fail("a string is cut off");
            const quint32 n = quint32(std::min<size_t>(cch, fit));
            const auto *p = reinterpret_cast<const uchar *>(FBody.data() + FPos);
            if (wide) {
                for (quint32 i = 0; i < n; ++i)
                    s += QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
            } else {
                for (quint32 i = 0; i < n; ++i)
                    s += QChar(char16_t(p[i]));
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

// Reads a whole OLE2 stream, never more than the file itself holds.
QByteArray ReadStream(GsfInput *stream, qint64 fileSize)
{
    const gsf_off_t size = gsf_input_size(stream);
    if (size < 0 || size > fileSize)
        Fail("the workbook stream is larger than the file");
    if (size > MaxStreamBytes)
        throw Damaged{QStringLiteral("too large")};
    QByteArray data;
    data.resize(qsizetype(size));
    gsf_off_t done = 0;
    while (done < size) {
        const gsf_off_t n = std::min<gsf_off_t>(size - done, 65536);
        if (!gsf_input_read(stream, size_t(n), reinterpret_cast<guint8 *>(data.data() + done)))
            Fail("the workbook stream cannot be read to its end");
        done += n;
    }
    return data;
}
} // namespace

// One cell's stored value; text is converted only for the cells the import asks for.
struct TExcelCell
{
    enum Kind : quint8 { Empty, Number, Text, Boolean, Error };
    Kind kind = Empty;
    quint8 code = 0;      // Boolean: 0/1, Error: the error code
    quint16 xf = 0;
    quint32 text = 0;     // index into TExcelSheet::Strings
    double number = 0;
};

struct TExcelSheet
{
    bool Biff8 = true;
    bool Date1904 = false;
    int CodePage = 1252;
    std::optional<CodePageDecoder> Decoder;
    int MaxRows = 65536;
    std::vector<quint16> XfFormats;        // number format id of every XF, in file order
    QHash<int, TNumberFormat> Formats;     // by format id, from the FORMAT records
    QStringList Strings;                   // the shared strings, then texts stored in cells
    qsizetype SharedStrings = 0;
    mutable QHash<double, QString> DateTexts;
    std::vector<std::vector<TExcelCell>> Rows;   // each row up to its last stored column
    qsizetype Slots = 0;                         // cells held by all rows together
    size_t LastWidth = 16;                       // columns of the row stored last

    TNumberFormat Format(quint16 xf) const
    {
        if (xf >= XfFormats.size())
            return {};
        const int id = XfFormats[xf];
        const auto custom = Formats.constFind(id);
        return custom != Formats.cend() ? *custom : NumberFormatOf(id, {});
    }

    QString Text(int row, int col) const
    {
        if (row < 0 || col < 0 || row >= MaxRows || col > 255)
            return QString();
        if (size_t(row) >= Rows.size() || size_t(col) >= Rows[size_t(row)].size())
            return QString();
        const TExcelCell &c = Rows[size_t(row)][size_t(col)];
        switch (c.kind) {
        case TExcelCell::Empty:
            return QString();
        case TExcelCell::Number: {
            const TNumberFormat format = Format(c.xf);
            if (!format.Date)
                return CellFormattedText(c.number, format, Date1904);
            if (DateTexts.size() > 100000)
                DateTexts.clear();
            {
                // a roster repeats its dates (birthdays, report dates); formatting one is dear
                QString &text = DateTexts[c.number];
                if (text.isNull())
                    text = CellDateText(c.number, Date1904);
                return text;
            }
        }
        case TExcelCell::Text:
            return Strings.value(qsizetype(c.text));
        case TExcelCell::Boolean:
            return CellBooleanText(c.code != 0);
        case TExcelCell::Error:
            return CellErrorText(c.code);
        }
        return QString();
    }

    // A byte string (BIFF5) or a BIFF8 string whose length field is lenBytes wide.
    QString ReadString(Fields &f, int lenBytes)
    {
        const quint32 cch = lenBytes == 1 ? f.U8() : f.U16();
        if (!Biff8) {
            if (!Decoder)
                Decoder.emplace(CodePage);
            return (*Decoder)(f.Bytes(cch));
        }
        const quint8 grbit = f.U8();
        return f.Chars(cch, grbit & 0x01);
    }

    void ReadSst(const Record &r)
    {
        Fields f(r);
        f.Skip(8);   // the counts are not trusted: the strings are read until the record ends
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
        SharedStrings = Strings.size();
    }

    // The cell's slot, made when missing; never more slots than MaxCells in all.
    TExcelCell &Cell(quint32 row, quint32 col)
    {
        if (row >= Rows.size())
            Rows.resize(size_t(row) + 1);
        std::vector<TExcelCell> &cells = Rows[row];
        if (col >= cells.size()) {
            Slots += qsizetype(col + 1 - cells.size());
            if (Slots > MaxCells)
                Fail("the worksheet holds more cells than can be read");
            if (cells.capacity() == 0)   // rows are mostly alike: as wide as the last one
                cells.reserve(std::max<size_t>(size_t(col) + 1, LastWidth));
            LastWidth = std::max<size_t>(size_t(col) + 1, 4);
            cells.resize(size_t(col) + 1);
        }
        return cells[col];
    }

    void Put(quint32 row, quint32 col, quint16 xf, TExcelCell cell)
    {
        if (row >= quint32(MaxRows) || col > 255)
            Fail("a cell lies outside the sheet");
        cell.xf = xf;
        Cell(row, col) = cell;
    }

    void PutText(quint32 row, quint32 col, quint16 xf, const QString &text)
    {
        TExcelCell c;
        c.kind = TExcelCell::Text;
        c.text = quint32(Strings.size());
        Strings.append(text);
        Put(row, col, xf, c);
    }

    void PutNumber(quint32 row, quint32 col, quint16 xf, double value)
    {
        TExcelCell c;
        c.kind = TExcelCell::Number;
        c.number = value;
        Put(row, col, xf, c);
    }

    void Erase(quint32 row, quint32 col)
    {
        if (row >= quint32(MaxRows) || col > 255)
            Fail("a cell lies outside the sheet");
        if (row < Rows.size() && col < Rows[row].size())
            Rows[row][col] = TExcelCell();
    }

    static double RkValue(quint32 rk)
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

    void ReadGlobals(RecordStream &in, size_t &sheetOffset)
    {
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
                    sheetOffset = offset;
                }
                break;
            }
            default:
                break;
            }
        }
    }

    void ReadSheet(RecordStream &in, size_t offset)
    {
        in.Seek(offset);
        Record r;
        in.Next(r, false);
        {
            Fields f(r);
            f.Skip(2);
            if (r.Type != rtBof || f.U16() != 0x0010)
                Fail("the first worksheet has no header");
        }
        int depth = 0;               // charts embedded in the sheet bring their own BOF..EOF
        TExcelCell *pendingFormula = nullptr;   // the cell whose string result the next STRING record holds
        for (;;) {
            if (in.AtEnd())
                Fail("the first worksheet has no end");
            in.Next(r, true);
            if (r.Type == rtBof) {
                ++depth;
                continue;
            }
            if (r.Type == rtEof) {
                if (depth-- == 0)
                    return;
                continue;
            }
            if (depth > 0)
                continue;
            Fields f(r);
            switch (r.Type) {
            case rtString:
                if (pendingFormula) {
                    pendingFormula->text = quint32(Strings.size());
                    Strings.append(ReadString(f, 2));
                    pendingFormula = nullptr;
                }
                continue;
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
                pendingFormula = nullptr;
                break;
            default:
                continue;
            }
            const quint16 row = f.U16();
            const quint16 col = f.U16();
            switch (r.Type) {
            case rtLabelSst: {
                const quint16 xf = f.U16();
                const quint32 index = f.U32();
                if (!Biff8 || index >= quint32(SharedStrings))
                    Fail("a cell refers to a shared string that does not exist");
                TExcelCell c;
                c.kind = TExcelCell::Text;
                c.text = index;
                Put(row, col, xf, c);
                break;
            }
            case rtLabel:
            case rtRString: {
                const quint16 xf = f.U16();
                PutText(row, col, xf, ReadString(f, 2));
                break;
            }
            case rtNumber: {
                const quint16 xf = f.U16();
                PutNumber(row, col, xf, f.F64());
                break;
            }
            case rtRk: {
                const quint16 xf = f.U16();
                PutNumber(row, col, xf, RkValue(f.U32()));
                break;
            }
            case rtMulRk: {
                if (f.Left() < 2 || (f.Left() - 2) % 6 != 0)
                    Fail("a row of numbers has a wrong length");
                const size_t n = (f.Left() - 2) / 6;
                for (size_t i = 0; i < n; ++i) {
                    const quint16 xf = f.U16();
                    PutNumber(row, quint32(col + i), xf, RkValue(f.U32()));
                }
                break;
            }
            case rtBoolErr: {
                const quint16 xf = f.U16();
                TExcelCell c;
                c.code = f.U8();
                c.kind = f.U8() ? TExcelCell::Error : TExcelCell::Boolean;
                Put(row, col, xf, c);
                break;
            }
            case rtBlank:
                Erase(row, col);
                break;
            case rtMulBlank: {
                if (f.Left() < 2 || (f.Left() - 2) % 2 != 0)
                    Fail("a row of blank cells has a wrong length");
                const size_t n = (f.Left() - 2) / 2;
                for (size_t i = 0; i < n; ++i)
                    Erase(row, quint32(col + i));
                break;
            }
            case rtFormula: {
                const quint16 xf = f.U16();
                const std::string_view value = f.Bytes(8);
                const auto *v = reinterpret_cast<const uchar *>(value.data());
                TExcelCell c;
                if (v[6] == 0xFF && v[7] == 0xFF) {
                    switch (v[0]) {
                    case 0:   // a string, stored in the STRING record that follows
                        PutText(row, col, xf, QString());
                        pendingFormula = &Cell(row, col);
                        continue;
                    case 1:
                        c.kind = TExcelCell::Boolean;
                        c.code = v[2] != 0;
                        break;
                    case 2:
                        c.kind = TExcelCell::Error;
                        c.code = v[2];
                        break;
                    default:  // 3: an empty string
                        PutText(row, col, xf, QString());
                        continue;
                    }
                    Put(row, col, xf, c);
                } else {
                    Fields n(r);
                    n.Skip(6);
                    PutNumber(row, col, xf, n.F64());
                }
                break;
            }
            default:
                break;
            }
        }
    }
};

void TExcelSheetDeleter::operator()(TExcelSheet *sheet) const
{
    delete sheet;
}

TImportExcelReader::~TImportExcelReader() = default;

bool TImportExcelReader::Open(const QString &fileName)
{
    QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    FFileName = fileName;
    CurrentRow = 1;
    ColumnCount = 0;
    FLastDataRow = -1;
    Notes = TImportNotes();
    auto refuse = [&](const QString &why) {
        return Exception(QStringLiteral("Cannot read '%1': %2.").arg(fileName, why));
    };

    GsfReady();
    GErrorPtr error;
    // Mapped, the workbook is read without a system call per sector; stdio when it cannot be.
    GObjectPtr<GsfInput> file(gsf_input_mmap_new(QFile::encodeName(fileName).constData(), nullptr));
    if (!file.p)
        file.p = gsf_input_stdio_new(QFile::encodeName(fileName).constData(), &error.e);
    if (!file.p)
        throw refuse(QStringLiteral("the file cannot be opened"));
    GObjectPtr<GsfInfile> ole(gsf_infile_msole_new(file.p, &error.e));
    if (!ole.p) {
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
    GObjectPtr<GsfInput> stream;
    for (const char *name : {"Workbook", "Book"}) {
        const int n = gsf_infile_num_children(ole.p);
        for (int i = 0; i < n && !stream.p; ++i) {
            const char *child = gsf_infile_name_by_index(ole.p, i);
            if (child && g_ascii_strcasecmp(child, name) == 0)
                stream.p = gsf_infile_child_by_index(ole.p, i);
        }
        if (stream.p)
            break;
    }
    if (!stream.p)
        throw refuse(QStringLiteral("it holds no Excel workbook"));

    std::unique_ptr<TExcelSheet, TExcelSheetDeleter> sheet(new TExcelSheet);
    try {
        const QByteArray data = ReadStream(stream.p, info.size());
        RecordStream in(data);
        size_t offset = 0;
        sheet->ReadGlobals(in, offset);
        sheet->ReadSheet(in, offset);
    } catch (const Damaged &d) {
        if (d.why == QLatin1String("password"))
            throw refuse(QStringLiteral("the workbook is password protected"));
        if (d.why == QLatin1String("too large"))
            throw refuse(QStringLiteral("the workbook is too large (over %1 MB of data)").arg(MaxStreamBytes >> 20));
        if (d.why == QLatin1String("no worksheet"))
            throw refuse(QStringLiteral("the workbook holds no worksheet"));
        throw refuse(QStringLiteral("the workbook is damaged (%1)").arg(d.why));
    } catch (const std::bad_alloc &) {
        throw refuse(QStringLiteral("there is not enough memory"));
    }
    FSheet = std::move(sheet);
    return true;
}

void TImportExcelReader::Close()
{
    FSheet.reset();
}

QString TImportExcelReader::CellText(int row, int col) const
{
    return FSheet ? FSheet->Text(row - 1, col - 1) : QString();
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
    while (c <= 256 && !CellText(1, c).isEmpty())
        ++c;
    ColumnCount = c - 1;
    return ColumnCount;
}

bool TImportExcelReader::Eof()
{
    const int rows = FSheet ? int(FSheet->Rows.size()) : 0;   // the last row with a cell stored
    auto hasData = [&](int row) {
        for (int c = 1; c <= std::max(ColumnCount, 1); ++c)
            if (!Trimmed(CellText(row, c)).isEmpty())
                return true;
        return false;
    };
    if (SkipBlankRows) {
        // Rows up to the last with data; the empty ones make empty records, which the table
        // leaves out, so that the records keep the sheet's row numbers.
        if (FLastDataRow < 0) {
            FLastDataRow = rows;
            while (FLastDataRow >= 1 && !hasData(FLastDataRow))
                --FLastDataRow;
        }
        return CurrentRow > FLastDataRow;
    }
    if (!CellText(CurrentRow, 1).isEmpty())
        return false;
    if (Notes.EndRow == 0 && CurrentRow <= rows) {
        // The data ends here; rows with data further down are noted, not lost in silence.
        Notes.EndRow = CurrentRow;
        for (int r = CurrentRow; r <= rows; ++r) {   // the end row itself may hold data beside column A
            if (hasData(r)) {
                Notes.FirstRowAfter = Notes.FirstRowAfter ? Notes.FirstRowAfter : r;
                Notes.LastRowAfter = r;
            }
        }
    }
    return true;
}

void TImportExcelReader::ReadRecord(QStringList &values)
{
    values.reserve(ColumnCount);
    for (int c = 1; c <= ColumnCount; ++c)
        values.append(Trimmed(CellText(CurrentRow, c)));
    ++CurrentRow;
}
