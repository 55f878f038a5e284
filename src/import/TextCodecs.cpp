#include "import/TextCodecs.h"
#include <cerrno>
#include <cstring>
#include <vector>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define CORVANE_HAVE_ICONV 1
#endif

bool IsValidUtf8(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const auto *end = p + size;
    while (p < end) {
        // ASCII runs, eight bytes at a time
        while (end - p >= 8) {
            quint64 w;
            memcpy(&w, p, 8);
            if (w & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int n;
        unsigned min;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) { n = 1; min = 0x80; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { n = 2; min = 0x800; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { n = 3; min = 0x10000; cp = c & 0x07; }
        else return false;
        if (end - p <= n)
            return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += n + 1;
    }
    return true;
}

// 0x80-0x9F of Windows-1252; the five undefined bytes keep their code, as Windows does.
static const char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString DecodeWindows1252(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        d[i] = (c >= 0x80 && c < 0xA0) ? Cp1252High[c - 0x80] : char16_t(c);
    }
    return out;
}

#ifdef CORVANE_HAVE_ICONV
namespace {
QByteArray IconvName(int codePage)
{
    if (codePage == 10000)
        return "MACINTOSH";
    return "CP" + QByteArray::number(codePage);
}

bool IsDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}
} // namespace

struct TCodePageDecoder::MultiByte
{
    iconv_t cd = iconv_t(-1);
    ~MultiByte()
    {
        if (cd != iconv_t(-1))
            iconv_close(cd);
    }
};
#else
struct TCodePageDecoder::MultiByte
{
};
#endif

TCodePageDecoder::TCodePageDecoder(int codePage)
{
#ifdef CORVANE_HAVE_ICONV
    if (codePage == 1252 || codePage <= 0)
        return;
    iconv_t cd = iconv_open("UTF-16LE", IconvName(codePage).constData());
    if (cd == iconv_t(-1))
        return;   // unknown here: Windows-1252
    if (IsDoubleByte(codePage)) {
        FMulti = std::make_unique<MultiByte>();
        FMulti->cd = cd;
        FCodePage = codePage;
        return;
    }
    // A single-byte code page: one conversion per byte gives the table.
    for (int b = 0x80; b <= 0xFF; ++b) {
        char in = char(b);
        char out[8] = {};
        char *ip = &in, *op = out;
        size_t il = 1, ol = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(cd, &ip, &il, &op, &ol);
        if (r != size_t(-1) && il == 0 && sizeof out - ol == 2)
            FHigh[b - 0x80] = char16_t(quint8(out[0]) | (quint8(out[1]) << 8));
        else
            FHigh[b - 0x80] = char16_t(b);
    }
    iconv_close(cd);
    FTable = true;
    FCodePage = codePage;
#else
    Q_UNUSED(codePage);
#endif
}

TCodePageDecoder::~TCodePageDecoder() = default;

QString TCodePageDecoder::Decode(const char *data, qsizetype size) const
{
    if (FTable) {
        QString out(size, Qt::Uninitialized);
        char16_t *d = reinterpret_cast<char16_t *>(out.data());
        for (qsizetype i = 0; i < size; ++i) {
            const unsigned char c = static_cast<unsigned char>(data[i]);
            d[i] = c < 0x80 ? char16_t(c) : FHigh[c - 0x80];
        }
        return out;
    }
#ifdef CORVANE_HAVE_ICONV
    if (FMulti) {
        // At most one UTF-16 unit per input byte; a byte that does not decode is read as
        // Windows-1252 and the conversion goes on after it.
        std::vector<char16_t> units(size_t(size) + 1);
        qsizetype used = 0;
        char *ip = const_cast<char *>(data);
        size_t il = size_t(size);
        iconv(FMulti->cd, nullptr, nullptr, nullptr, nullptr);
        while (il > 0) {
            char *op = reinterpret_cast<char *>(units.data() + used);
            size_t ol = (units.size() - size_t(used)) * 2;
            const size_t before = ol;
            const size_t r = iconv(FMulti->cd, &ip, &il, &op, &ol);
            used += qsizetype((before - ol) / 2);
            if (r != size_t(-1))
                break;
            if (errno == E2BIG || il == 0)
                break;
            units[size_t(used++)] = DecodeWindows1252(ip, 1).at(0).unicode();
            ++ip;
            --il;
            iconv(FMulti->cd, nullptr, nullptr, nullptr, nullptr);
        }
        return QString(reinterpret_cast<const QChar *>(units.data()), used);
    }
#endif
    return DecodeWindows1252(data, size);
}
