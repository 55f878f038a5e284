#include "import/XmlPull.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

inline bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// Name characters as far as a workbook needs them: ASCII letters, digits and ._-: plus any
// non-ASCII character (already checked as UTF-8).
inline bool IsNameStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
inline bool IsNameChar(unsigned char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':';
}

// Offset of the colon of a qualified name, -1 without one, -2 when it is no qualified name.
int ColonOf(std::string_view name)
{
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return -1;
    if (colon == 0 || colon + 1 == name.size() || name.find(':', colon + 1) != std::string_view::npos
        || !IsNameStart(static_cast<unsigned char>(name[colon + 1])))
        return -2;
    return int(colon);
}

// A character XML allows.
inline bool IsXmlChar(uint32_t u)
{
    return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) || (u >= 0xE000 && u <= 0xFFFD)
           || (u >= 0x10000 && u <= 0x10FFFF);
}

int EncodeUtf8(uint32_t u, char out[4])
{
    if (u < 0x80) {
        out[0] = char(u);
        return 1;
    }
    if (u < 0x800) {
        out[0] = char(0xC0 | (u >> 6));
        out[1] = char(0x80 | (u & 0x3F));
        return 2;
    }
    if (u < 0x10000) {
        out[0] = char(0xE0 | (u >> 12));
        out[1] = char(0x80 | ((u >> 6) & 0x3F));
        out[2] = char(0x80 | (u & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (u >> 18));
    out[1] = char(0x80 | ((u >> 12) & 0x3F));
    out[2] = char(0x80 | ((u >> 6) & 0x3F));
    out[3] = char(0x80 | (u & 0x3F));
    return 4;
}

// What is there is the start of what (more bytes may complete it).
inline bool CouldStartWith(const char *p, const char *end, std::string_view what)
{
    const size_t n = std::min(size_t(end - p), what.size());
    return memcmp(p, what.data(), n) == 0;
}

QString Quoted(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(std::min<size_t>(s.size(), 40)));
}
} // namespace

TXmlPull::TXmlPull(QIODevice *device, int maxDepth, qsizetype maxMarkup, qsizetype chunkSize)
    : FDevice(device), FMaxDepth(maxDepth), FMaxMarkup(std::max<qsizetype>(maxMarkup, 256)),
      FChunk(std::max<qsizetype>(chunkSize, 1))
{
    FBuf.resize(size_t(std::max<qsizetype>(FChunk, 4096)));
}

qint64 TXmlPull::LineNumber() const
{
    return FLines + std::count(FBuf.data(), FBuf.data() + std::min(FPos, FEnd), '\n') + 1;
}

TXmlPull::TToken TXmlPull::Fail(TError error, const QString &why)
{
    if (FError == NoError) {
        FError = error;
        FErrorString = why;
    }
    FToken = Invalid;
    return Invalid;
}

// Bytes of the part, converted to UTF-8 when it is in another encoding: -1 on failure.
qsizetype TXmlPull::ReadSource(char *to, qsizetype max)
{
    if (FPending.isEmpty() && !FDecoder) {
        // UTF-8 straight into the buffer
        const qint64 n = FDevice->read(to, max);
        if (n < 0)
            Fail(ReadFailed, FDevice->errorString());
        return qsizetype(n);
    }
    while (FPending.isEmpty()) {
        QByteArray raw(FChunk, Qt::Uninitialized);
        const qint64 n = FDevice->read(raw.data(), FChunk);
        if (n < 0) {
            Fail(ReadFailed, FDevice->errorString());
            return -1;
        }
        if (n == 0) {
            if (FDecoder) {
                if (!Convert(QByteArrayView(), true))
                    return -1;
                FDecoder.reset();   // the remainder is flushed
                if (!FPending.isEmpty())
                    break;
            }
            return 0;
        }
        raw.truncate(n);
        if (FDecoder) {
            if (!Convert(raw, false))
                return -1;
        } else {
            FPending = std::move(raw);
        }
    }
    const qsizetype n = std::min(max, FPending.size());
    memcpy(to, FPending.constData(), size_t(n));
    FPending.remove(0, n);
    return n;
}

// Looks at the start of the part for the encoding: a byte order mark or a pattern of '<', or
// the XML declaration's encoding. Parts in UTF-8 are read as they are; others are converted.
bool TXmlPull::Sniff()
{
    FSniffed = true;
    QByteArray head;
    // Enough for the declaration: up to its "?>", within reason.
    while (head.size() < 4096 && !head.contains("?>") && (head.size() < 5 || head.startsWith("<?xml")
                                                          || head.startsWith("\xEF\xBB\xBF<?xml")
                                                          || head.size() < 8)) {
        QByteArray raw(FChunk, Qt::Uninitialized);
        const qint64 n = FDevice->read(raw.data(), FChunk);
        if (n < 0) {
            Fail(ReadFailed, FDevice->errorString());
            return false;
        }
        if (n == 0)
            break;
        head.append(raw.constData(), n);
    }
    FPending = head;
    const auto found = QStringConverter::encodingForData(head, u'<');
    if (found && *found != QStringConverter::Utf8) {
        FDecoder.emplace(*found);
    } else {
        qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        if (head.mid(at, 5) == "<?xml" && head.size() > at + 5 && IsBlank(head[at + 5])) {
            const qsizetype close = head.indexOf("?>", at);
            const QByteArray decl = head.mid(at, close < 0 ? head.size() - at : close - at);
            const qsizetype key = decl.indexOf("encoding");
            if (key >= 0) {
                qsizetype p = key + 8;
                while (p < decl.size() && IsBlank(decl[p]))
                    ++p;
                if (p < decl.size() && decl[p] == '=') {
                    ++p;
                    while (p < decl.size() && IsBlank(decl[p]))
                        ++p;
                    const char quote = p < decl.size() ? decl[p] : 0;
                    const qsizetype end = quote == '"' || quote == '\'' ? decl.indexOf(quote, p + 1) : -1;
                    if (end > p) {
                        const QByteArray name = decl.mid(p + 1, end - p - 1);
                        const auto named = QStringConverter::encodingForName(name.constData());
                        if (!named || *named != QStringConverter::Utf8) {
                            QStringDecoder decoder(name.constData());
                            if (!decoder.isValid()) {
                                Fail(Malformed, QStringLiteral("Encoding %1 is unsupported").arg(Quoted(name.toStdString())));
                                return false;
                            }
                            FDecoder.emplace(std::move(decoder));
                        }
                    }
                }
            }
        }
    }
    if (FDecoder) {
        const QByteArray raw = std::move(FPending);
        FPending.clear();
        return Convert(raw, false);
    }
    if (FPending.startsWith("\xEF\xBB\xBF"))
        FPending.remove(0, 3);   // the byte order mark of UTF-8
    return true;
}

// Bytes in the part's encoding to UTF-8 in FPending; a surrogate pair cut in two by the read
// waits for its second half.
bool TXmlPull::Convert(QByteArrayView raw, bool last)
{
    QString text = FCarry + (*FDecoder)(raw);
    FCarry.clear();
    if (FDecoder->hasError()) {
        Fail(Malformed, QStringLiteral("Encountered incorrectly encoded content."));
        return false;
    }
    if (!last && !text.isEmpty() && text.back().isHighSurrogate()) {
        FCarry = text.back();
        text.chop(1);
    }
    FPending = text.toUtf8();
    return true;
}

// Reads more of the part into the buffer, dropping what has been tokenized; false when nothing
// more came (at the end, on failure, or when one construct would outgrow the markup limit).
bool TXmlPull::More()
{
    if (FError != NoError)
        return false;
    if (!FSniffed && !Sniff())
        return false;
    if (FPos > 0) {
        FLines += std::count(FBuf.data(), FBuf.data() + FPos, '\n');
        memmove(FBuf.data(), FBuf.data() + FPos, size_t(FEnd - FPos));
        FEnd -= FPos;
        FValid -= FPos;
        FPos = 0;
    }
    if (FEof)
        return false;
    if (FEnd == qsizetype(FBuf.size())) {
        if (FEnd >= FMaxMarkup + 16)
            return false;
        FBuf.resize(std::min<size_t>(FBuf.size() * 2, size_t(FMaxMarkup + 16 + FChunk)));
    }
    // At least as much again as is waiting, so that a construct read in small steps is not
    // scanned over and over.
    const qsizetype want = std::max<qsizetype>(FEnd - FPos, 1);
    qsizetype added = 0;
    while (added < want && FEnd < qsizetype(FBuf.size())) {
        const qsizetype n = ReadSource(FBuf.data() + FEnd, std::min<qsizetype>(FChunk, qsizetype(FBuf.size()) - FEnd));
        if (n < 0)
            return false;
        if (n == 0) {
            FEof = true;
            break;
        }
        FEnd += n;
        added += n;
    }
    if (!Validate())
        return false;
    return added > 0 || FValid > FPos;
}

// Checks the new bytes as UTF-8 of characters XML allows; a character cut off by the end of
// what was read waits for the rest.
bool TXmlPull::Validate()
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(FBuf.data()) + FValid;
    const unsigned char *end = reinterpret_cast<const unsigned char *>(FBuf.data()) + FEnd;
    constexpr uint64_t kHigh = 0x8080808080808080ULL, kOnes = 0x0101010101010101ULL;
    while (p < end) {
        if (end - p >= 8) {
            uint64_t w;
            memcpy(&w, p, 8);
            // all ASCII and none below 0x20
            if (((w | ((w - kOnes * 0x20) & ~w)) & kHigh) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                FValid = p - reinterpret_cast<const unsigned char *>(FBuf.data());
                Fail(Malformed, QStringLiteral("Invalid XML character."));
                return false;
            }
            ++p;
            continue;
        }
        int len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;   // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        }
        bool ok = len > 0;
        if (ok && end - p < len) {
            // cut off: fine unless nothing more will come
            for (const unsigned char *q = p + 1; ok && q < end; ++q)
                ok = *q >= (q == p + 1 ? lo : 0x80) && *q <= (q == p + 1 ? hi : 0xBF);
            if (ok && !FEof)
                break;
            ok = false;
        }
        for (int i = 1; ok && i < len; ++i)
            ok = p[i] >= (i == 1 ? lo : 0x80) && p[i] <= (i == 1 ? hi : 0xBF);
        if (ok && len == 3 && c == 0xEF && p[1] == 0xBF && p[2] >= 0xBE) {
            FValid = p - reinterpret_cast<const unsigned char *>(FBuf.data());
            Fail(Malformed, QStringLiteral("Invalid XML character."));   // U+FFFE, U+FFFF
            return false;
        }
        if (!ok) {
            FValid = p - reinterpret_cast<const unsigned char *>(FBuf.data());
            Fail(Malformed, QStringLiteral("Encountered incorrectly encoded content."));
            return false;
        }
        p += len;
    }
    FValid = p - reinterpret_cast<const unsigned char *>(FBuf.data());
    return true;
}

TXmlPull::TToken TXmlPull::Next()
{
    if (FToken == EndDocument || FError != NoError)
        return FError != NoError ? Invalid : EndDocument;
    if (FPopScopes) {
        // The namespaces of the element that ended, kept while it was the current token.
        FPopScopes = false;
        while (!FNamespaces.empty() && FNamespaces.back().Depth > Depth())
            FNamespaces.pop_back();
    }
    if (FPendingEnd) {
        FPendingEnd = false;
        FOpenNames.resize(size_t(FOpen.back()));
        FOpen.pop_back();
        FPopScopes = true;
        FAttrs.clear();
        return FToken = EndElement;
    }
    if (!FStarted) {
        FStarted = true;
        if (!More() && FError != NoError)
            return Invalid;
    }
    FAttrs.clear();
    for (;;) {
        if (FPos >= FValid && !More()) {
            if (FError != NoError)
                return Invalid;
            if (FPos < FValid)
                continue;
            if (!FEof)
                return Fail(TooLong);
            if (!FSeenRoot || !FOpen.empty())
                return Fail(Malformed, QStringLiteral("Premature end of document."));
            return FToken = EndDocument;
        }
        const char c = FBuf[size_t(FPos)];
        TStep step;
        if (c == '<') {
            step = Markup();
        } else if (FOpen.empty()) {
            // Outside the root only blanks.
            const char *p = FBuf.data() + FPos;
            const char *end = FBuf.data() + FValid;
            while (p < end && IsBlank(*p))
                ++p;
            FPos = p - FBuf.data();
            if (p < end && *p != '<')
                return Fail(Malformed, FSeenRoot ? QStringLiteral("Extra content at end of document.")
                                                 : QStringLiteral("Start tag expected."));
            FAnyMarkup = true;
            continue;
        } else {
            step = CharData();
        }
        if (step == Failed)
            return Invalid;
        if (step == NeedMore) {
            if (!More()) {
                if (FError != NoError)
                    return Invalid;
                if (!FEof)
                    return Fail(TooLong);
                return Fail(Malformed, QStringLiteral("Premature end of document."));
            }
            continue;
        }
        FAnyMarkup = true;
        if (FToken != Invalid)
            return FToken;
    }
}

// Character data up to the next '<', or a long run of it in pieces.
TXmlPull::TStep TXmlPull::CharData()
{
    const char *begin = FBuf.data() + FPos;
    const char *end = FBuf.data() + FValid;
    // One pass to the next '<', noting what needs rewriting (cell texts are short).
    const char *lt = begin;
    bool plain = true;
    while (lt < end && *lt != '<') {
        const char ch = *lt++;
        if (ch == '&' || ch == '\r' || ch == ']')
            plain = false;
    }
    if (lt == end)
        lt = nullptr;
    const char *stop = lt ? lt : end;
    if (!lt && !FEof) {
        const qsizetype piece = std::min<qsizetype>(32 * 1024, FMaxMarkup / 2);
        if (end - begin < piece)
            return NeedMore;
        // Never split a reference or a CR LF pair.
        for (qsizetype back = 1; back <= 40 && back <= end - begin; ++back) {
            if (end[-back] == ';')
                break;
            if (end[-back] == '&') {
                stop = end - back;
                break;
            }
        }
        if (stop > begin && stop[-1] == '\r')
            --stop;
        if (stop > begin && stop[-1] == ']')   // a "]]>" cut in two
            while (stop > begin && stop[-1] == ']')
                --stop;
        if (stop == begin)
            return NeedMore;
    }
    if (plain) {
        FText = std::string_view(begin, size_t(stop - begin));
    } else {
        FTextBuf.clear();
        if (!DecodeText(begin, stop, false, FTextBuf))
            return Failed;
        FText = FTextBuf;
    }
    FPos = stop - FBuf.data();
    FToken = Characters;
    return Done;
}

int TXmlPull::Reference(const char *at, const char *end, char out[4], int &outSize)
{
    const char *semi = static_cast<const char *>(memchr(at, ';', size_t(std::min<qsizetype>(end - at, 40))));
    if (!semi) {
        if (end - at < 40)
            return 0;
        Fail(Malformed, QStringLiteral("Expected ';' after a reference."));
        return -1;
    }
    const std::string_view name(at + 1, size_t(semi - at - 1));
    if (!name.empty() && name[0] == '#') {
        uint32_t value = 0;
        const bool hex = name.size() > 1 && name[1] == 'x';
        const size_t from = hex ? 2 : 1;
        bool ok = name.size() > from;
        for (size_t i = from; ok && i < name.size(); ++i) {
            const char ch = name[i];
            int d = -1;
            if (ch >= '0' && ch <= '9')
                d = ch - '0';
            else if (hex && ch >= 'a' && ch <= 'f')
                d = ch - 'a' + 10;
            else if (hex && ch >= 'A' && ch <= 'F')
                d = ch - 'A' + 10;
            ok = d >= 0;
            if (ok)
                value = std::min<uint32_t>(value * (hex ? 16 : 10) + uint32_t(d), 0x110000);
        }
        if (!ok || !IsXmlChar(value)) {
            Fail(Malformed, QStringLiteral("Invalid character reference."));
            return -1;
        }
        outSize = EncodeUtf8(value, out);
    } else if (name == "amp") {
        out[0] = '&', outSize = 1;
    } else if (name == "lt") {
        out[0] = '<', outSize = 1;
    } else if (name == "gt") {
        out[0] = '>', outSize = 1;
    } else if (name == "quot") {
        out[0] = '"', outSize = 1;
    } else if (name == "apos") {
        out[0] = '\'', outSize = 1;
    } else {
        Fail(Malformed, QStringLiteral("Entity '%1' not declared.").arg(Quoted(name)));
        return -1;
    }
    return int(semi - at + 1);
}

// Character data or an attribute value with its references replaced and its line ends
// normalized (in an attribute every blank becomes a space).
bool TXmlPull::DecodeText(const char *begin, const char *end, bool attribute, std::string &out)
{
    out.reserve(size_t(end - begin));
    const char *p = begin;
    while (p < end) {
        const char c = *p;
        if (c == '&') {
            char ch[4];
            int size = 0;
            const int n = Reference(p, end, ch, size);
            if (n <= 0) {
                if (n == 0)
                    Fail(Malformed, QStringLiteral("Expected ';' after a reference."));
                return false;
            }
            out.append(ch, size_t(size));
            p += n;
        } else if (c == '\r') {
            out += attribute ? ' ' : '\n';
            p += (p + 1 < end && p[1] == '\n') ? 2 : 1;
        } else if (attribute && (c == '\n' || c == '\t')) {
            out += ' ';
            ++p;
        } else if (!attribute && c == ']' && end - p >= 3 && p[1] == ']' && p[2] == '>') {
            Fail(Malformed, QStringLiteral("Sequence ']]>' not allowed in content."));
            return false;
        } else {
            out += c;
            ++p;
        }
    }
    return true;
}

TXmlPull::TStep TXmlPull::Markup()
{
    const char *p = FBuf.data() + FPos;
    const char *end = FBuf.data() + FValid;
    if (end - p < 2)
        return NeedMore;
    switch (p[1]) {
    case '/': return EndTag();
    case '?': return ProcessingInstruction();
    case '!':
        if (CouldStartWith(p, end, "<!--"))
            return end - p < 4 ? NeedMore : Comment();
        if (CouldStartWith(p, end, "<![CDATA["))
            return end - p < 9 ? NeedMore : CData();
        if (CouldStartWith(p, end, "<!DOCTYPE")) {
            if (end - p < 9)
                return NeedMore;
            Fail(DocType, QStringLiteral("A document type declaration."));
            return Failed;
        }
        return FailStep(QStringLiteral("Unexpected '<!'."));
    default: return StartTag();
    }
}

TXmlPull::TStep TXmlPull::StartTag()
{
    const char *const base = FBuf.data();
    const char *const start = base + FPos;
    const char *const end = base + FValid;
    const char *p = start + 1;
    if (!IsNameStart(static_cast<unsigned char>(*p)))
        return FailStep(QStringLiteral("Expected a name after '<'."));
    while (p < end && IsNameChar(static_cast<unsigned char>(*p)))
        ++p;
    if (p == end)
        return NeedMore;
    const qsizetype nameAt = start + 1 - base;
    const qsizetype nameSize = p - start - 1;
    FAttrs.clear();
    bool selfClosing = false;
    for (;;) {
        const char *blank = p;
        while (p < end && IsBlank(*p))
            ++p;
        if (p == end)
            return NeedMore;
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '/') {
            if (p + 1 == end)
                return NeedMore;
            if (p[1] != '>')
                return FailStep(QStringLiteral("Expected '>' after '/'."));
            p += 2;
            selfClosing = true;
            break;
        }
        if (p == blank || !IsNameStart(static_cast<unsigned char>(*p)))
            return FailStep(QStringLiteral("Expected '>', '/' or an attribute."));
        TAttr a;
        a.Name = p - base;
        while (p < end && IsNameChar(static_cast<unsigned char>(*p)))
            ++p;
        a.NameSize = p - base - a.Name;
        while (p < end && IsBlank(*p))
            ++p;
        if (p == end)
            return NeedMore;
        if (*p != '=')
            return FailStep(QStringLiteral("Expected '=' after an attribute name."));
        ++p;
        while (p < end && IsBlank(*p))
            ++p;
        if (p == end)
            return NeedMore;
        const char quote = *p;
        if (quote != '"' && quote != '\'')
            return FailStep(QStringLiteral("Expected ''' or '\"' to open an attribute value."));
        // One pass to the closing quote: values are short, and most need no rewriting.
        const char *value = p + 1;
        const char *close = value;
        bool plain = true, lt = false;
        while (close < end && *close != quote) {
            const char ch = *close++;
            if (ch == '&' || ch == '\t' || ch == '\n' || ch == '\r')
                plain = false;
            else if (ch == '<')
                lt = true;
        }
        if (close == end)
            return (end - start) > FMaxMarkup ? (Fail(TooLong), Failed) : NeedMore;
        if (lt)
            return FailStep(QStringLiteral("Unexpected '<' in an attribute value."));
        a.Value = value - base;
        a.ValueSize = close - value;
        a.Plain = plain;
        for (const char *q = plain ? close : value; q < close; ++q) {
            if (*q != '&')
                continue;
            char out[4];
            int size = 0;
            const int n = Reference(q, close, out, size);
            if (n <= 0) {
                if (n == 0)
                    Fail(Malformed, QStringLiteral("Expected ';' after a reference."));
                return Failed;
            }
            q += n - 1;
        }
        a.Colon = ColonOf(std::string_view(base + a.Name, size_t(a.NameSize)));
        if (a.Colon == -2)
            return FailStep(QStringLiteral("Invalid attribute name."));
        FAttrs.push_back(a);
        p = close + 1;
    }
    if (p - start > FMaxMarkup) {
        Fail(TooLong);
        return Failed;
    }
    // Twice the same attribute.
    const auto nameOf = [&](const TAttr &a) { return std::string_view(base + a.Name, size_t(a.NameSize)); };
    if (FAttrs.size() > 1) {
        bool twice = false;
        if (FAttrs.size() <= 16) {
            for (size_t i = 0; i < FAttrs.size() && !twice; ++i)
                for (size_t j = i + 1; j < FAttrs.size() && !twice; ++j)
                    twice = nameOf(FAttrs[i]) == nameOf(FAttrs[j]);
        } else {
            std::vector<std::string_view> names;
            names.reserve(FAttrs.size());
            for (const TAttr &a : FAttrs)
                names.push_back(nameOf(a));
            std::sort(names.begin(), names.end());
            twice = std::adjacent_find(names.begin(), names.end()) != names.end();
        }
        if (twice)
            return FailStep(QStringLiteral("Attribute redefined."));
    }
    if (FOpen.empty() && FSeenRoot)
        return FailStep(QStringLiteral("Extra content at end of document."));
    if (Depth() >= FMaxDepth) {
        Fail(TooDeep);
        return Failed;
    }
    const std::string_view qname(base + nameAt, size_t(nameSize));
    const int colon = ColonOf(qname);
    if (colon == -2)
        return FailStep(QStringLiteral("Invalid element name."));
    FOpen.push_back(qsizetype(FOpenNames.size()));
    FOpenNames.append(qname);
    if (CheckNamespaces(nameAt, colon) == Failed)
        return Failed;
    FSeenRoot = true;
    FPos = p - base;
    FName = colon < 0 ? qname : qname.substr(size_t(colon) + 1);
    FPrefix = colon < 0 ? std::string_view() : qname.substr(0, size_t(colon));
    FPendingEnd = selfClosing;
    FToken = StartElement;
    return Done;
}

// Takes in the namespace declarations of the new element and checks that every prefix it
// uses has been declared.
TXmlPull::TStep TXmlPull::CheckNamespaces(qsizetype nameAt, int colon)
{
    const char *base = FBuf.data();
    bool prefixed = colon >= 0;
    for (const TAttr &a : FAttrs) {
        const bool isDefault = a.Colon < 0 && std::string_view(base + a.Name, size_t(a.NameSize)) == "xmlns";
        if (a.Colon < 0 && !isDefault)
            continue;
        prefixed = prefixed || !isDefault;
        if (!isDefault && std::string_view(base + a.Name, size_t(a.Colon)) != "xmlns")
            continue;
        std::string scratch;
        const std::string_view raw(base + a.Value, size_t(a.ValueSize));
        std::string_view uri = raw;
        if (!a.Plain) {
            if (!DecodeText(raw.data(), raw.data() + raw.size(), true, scratch))
                return Failed;
            uri = scratch;
        }
        if (isDefault) {
            FNamespaces.push_back({std::string(), std::string(uri), Depth()});
            continue;
        }
        const std::string_view declared(base + a.Name + a.Colon + 1, size_t(a.NameSize - a.Colon - 1));
        if (uri.empty() || declared == "xmlns" || (declared == "xml") != (uri == kXmlNamespace))
            return FailStep(QStringLiteral("Illegal namespace declaration."));
        FNamespaces.push_back({std::string(declared), std::string(uri), Depth()});
    }
    if (!prefixed)
        return Done;
    const auto check = [&](std::string_view prefix) {
        if (prefix == "xml" || prefix == "xmlns" || !NamespaceOf(prefix).empty())
            return true;
        FailStep(QStringLiteral("Namespace prefix '%1' not declared").arg(Quoted(prefix)));
        return false;
    };
    if (colon >= 0 && !check(std::string_view(base + nameAt, size_t(colon))))
        return Failed;
    for (const TAttr &a : FAttrs)
        if (a.Colon >= 0 && !check(std::string_view(base + a.Name, size_t(a.Colon))))
            return Failed;
    return Done;
}

std::string_view TXmlPull::NamespaceOf(std::string_view prefix) const
{
    if (prefix == "xml")
        return kXmlNamespace;
    for (auto it = FNamespaces.rbegin(); it != FNamespaces.rend(); ++it)
        if (it->Prefix == prefix)
            return it->Uri;
    return {};
}

TXmlPull::TStep TXmlPull::EndTag()
{
    const char *const base = FBuf.data();
    const char *const start = base + FPos;
    const char *const end = base + FValid;
    const char *p = start + 2;
    if (p == end)
        return NeedMore;
    if (!IsNameStart(static_cast<unsigned char>(*p)))
        return FailStep(QStringLiteral("Expected a name after '</'."));
    while (p < end && IsNameChar(static_cast<unsigned char>(*p)))
        ++p;
    const std::string_view qname(start + 2, size_t(p - start - 2));
    while (p < end && IsBlank(*p))
        ++p;
    if (p == end)
        return (end - start) > FMaxMarkup ? (Fail(TooLong), Failed) : NeedMore;
    if (*p != '>')
        return FailStep(QStringLiteral("Expected '>' to close an end tag."));
    if (FOpen.empty())
        return FailStep(QStringLiteral("Unexpected end tag."));
    if (std::string_view(FOpenNames).substr(size_t(FOpen.back())) != qname)
        return FailStep(QStringLiteral("Opening and ending tag mismatch."));
    FOpenNames.resize(size_t(FOpen.back()));
    FOpen.pop_back();
    FPopScopes = true;
    const size_t colon = qname.find(':');
    FName = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    FPrefix = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    FPos = p + 1 - base;
    FToken = EndElement;
    return Done;
}

TXmlPull::TStep TXmlPull::Comment()
{
    const std::string_view rest(FBuf.data() + FPos + 4, size_t(FValid - FPos - 4));
    const size_t dashes = rest.find("--");
    if (dashes == std::string_view::npos || dashes + 2 >= rest.size())
        return FValid - FPos > FMaxMarkup ? (Fail(TooLong), Failed) : NeedMore;
    if (rest[dashes + 2] != '>')
        return FailStep(QStringLiteral("Expected '>' after '--' in a comment."));
    FPos += 4 + qsizetype(dashes) + 3;
    FToken = Invalid;   // nothing to report
    return Done;
}

TXmlPull::TStep TXmlPull::ProcessingInstruction()
{
    const char *const start = FBuf.data() + FPos;
    const std::string_view rest(start + 2, size_t(FValid - FPos - 2));
    const size_t close = rest.find("?>");
    if (close == std::string_view::npos)
        return FValid - FPos > FMaxMarkup ? (Fail(TooLong), Failed) : NeedMore;
    size_t n = 0;
    while (n < close && IsNameChar(static_cast<unsigned char>(rest[n])))
        ++n;
    if (n == 0 || !IsNameStart(static_cast<unsigned char>(rest[0])) || (n < close && !IsBlank(rest[n])))
        return FailStep(QStringLiteral("Invalid processing instruction."));
    const std::string_view target = rest.substr(0, n);
    if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l') {
        if (FAnyMarkup || target != "xml")
            return FailStep(QStringLiteral("XML declaration not at start of document."));
        if (rest.substr(n, close - n).find("version") == std::string_view::npos)   // within the declaration
            return FailStep(QStringLiteral("Expected 'version' in the XML declaration."));
    }
    FPos += 2 + qsizetype(close) + 2;
    FToken = Invalid;
    return Done;
}

TXmlPull::TStep TXmlPull::CData()
{
    if (FOpen.empty())
        return FailStep(QStringLiteral("A CDATA section outside the root element."));
    const char *const begin = FBuf.data() + FPos + 9;
    const std::string_view rest(begin, size_t(FValid - FPos - 9));
    const size_t close = rest.find("]]>");
    if (close == std::string_view::npos)
        return FValid - FPos > FMaxMarkup ? (Fail(TooLong), Failed) : NeedMore;
    const std::string_view body = rest.substr(0, close);
    FPos += 9 + qsizetype(close) + 3;
    if (body.empty()) {
        FToken = Invalid;   // nothing to report
        return Done;
    }
    if (body.find('\r') == std::string_view::npos) {
        FText = body;
    } else {
        FTextBuf.clear();
        for (size_t i = 0; i < body.size(); ++i) {
            if (body[i] == '\r') {
                FTextBuf += '\n';
                if (i + 1 < body.size() && body[i + 1] == '\n')
                    ++i;
            } else {
                FTextBuf += body[i];
            }
        }
        FText = FTextBuf;
    }
    FToken = Characters;
    return Done;
}

std::optional<std::string_view> TXmlPull::Attribute(std::string_view name, std::string &scratch) const
{
    if (FToken != StartElement)
        return std::nullopt;
    const char *base = FBuf.data();
    for (const TAttr &a : FAttrs) {
        if (a.Colon >= 0 || std::string_view(base + a.Name, size_t(a.NameSize)) != name)
            continue;
        return AttrValue(a, scratch);
    }
    return std::nullopt;
}

std::optional<std::string_view> TXmlPull::Attribute(std::string_view namespaceUri, std::string_view name,
                                                     std::string &scratch) const
{
    if (FToken != StartElement)
        return std::nullopt;
    const char *base = FBuf.data();
    for (const TAttr &a : FAttrs) {
        if (a.Colon < 0)
            continue;
        const std::string_view local(base + a.Name + a.Colon + 1, size_t(a.NameSize - a.Colon - 1));
        if (local != name || NamespaceOf(std::string_view(base + a.Name, size_t(a.Colon))) != namespaceUri)
            continue;
        return AttrValue(a, scratch);
    }
    return std::nullopt;
}

std::string_view TXmlPull::AttrValue(const TAttr &a, std::string &scratch) const
{
    const std::string_view raw(FBuf.data() + a.Value, size_t(a.ValueSize));
    if (a.Plain)
        return raw;
    scratch.clear();
    // Checked when the tag was read: cannot fail.
    const_cast<TXmlPull *>(this)->DecodeText(raw.data(), raw.data() + raw.size(), true, scratch);
    return std::string_view(scratch);
}
