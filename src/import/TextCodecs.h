#pragma once
#include <QString>
#include <memory>
#include <string_view>

// Byte decoding shared by the roster readers.
bool IsValidUtf8(const char *data, qsizetype size);
QString DecodeWindows1252(const char *data, qsizetype size);
inline QString DecodeWindows1252(std::string_view s) { return DecodeWindows1252(s.data(), qsizetype(s.size())); }

// Text in one DOS or Windows code page (437, 850, 1251, ...), converted by the system's
// converter. A code page it does not know is read as Windows-1252; a byte a single-byte code
// page leaves undefined keeps its own code, as Windows-1252's five undefined bytes do.
class TCodePageDecoder
{
public:
    explicit TCodePageDecoder(int codePage = 1252);
    ~TCodePageDecoder();
    TCodePageDecoder(const TCodePageDecoder &) = delete;
    TCodePageDecoder &operator=(const TCodePageDecoder &) = delete;

    int CodePage() const { return FCodePage; }   // the one actually used
    QString Decode(const char *data, qsizetype size) const;

private:
    int FCodePage = 1252;
    bool FTable = false;             // single-byte: decoded through FHigh
    char16_t FHigh[128] = {};        // bytes 0x80-0xFF
    struct MultiByte;
    std::unique_ptr<MultiByte> FMulti;   // double-byte Asian code pages
};
