#pragma once
#include <QString>
#include <string_view>

// Byte decoding shared by the roster readers.
bool IsValidUtf8(const char *data, qsizetype size);
QString DecodeWindows1252(const char *data, qsizetype size);
inline QString DecodeWindows1252(std::string_view s) { return DecodeWindows1252(s.data(), qsizetype(s.size())); }
// Code page 437 (the original PC character set), which old dBase tables declare.
QString DecodeCodePage437(const char *data, qsizetype size);
