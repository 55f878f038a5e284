#pragma once
#include <QString>
#include <QStringDecoder>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

// A small pull tokenizer for the XML parts of a workbook, read from a device in chunks.
// It keeps no tree and copies nothing it does not have to: names, attribute values and text
// are views into its buffer, valid until the next call to Next(). Text is UTF-8; a part in
// another encoding the XML declaration or a byte order mark names is converted on the fly.
// Well-formedness is checked: nesting, names (non-ASCII name characters are let through),
// quoting, references, encoding, characters XML does not allow, namespace prefixes.
// A document type declaration is refused, so no entity but the five predefined ones exists.
class TXmlPull
{
public:
    enum TToken { Invalid, StartElement, EndElement, Characters, EndDocument };
    enum TError {
        NoError,
        Malformed,    // not well-formed XML (ErrorString says how)
        ReadFailed,   // the device failed
        TooDeep,      // more open elements than the depth limit
        TooLong,      // one tag, comment or CDATA section longer than the markup limit
        DocType       // a document type declaration
    };

    // Reads chunkSize bytes at a time (tests feed it tiny chunks).
    explicit TXmlPull(QIODevice *device, int maxDepth = 256, qsizetype maxMarkup = 1 << 20,
                      qsizetype chunkSize = 64 * 1024);

    // The next token. A self-closing element gives StartElement then EndElement. Comments,
    // processing instructions, the XML declaration and blanks outside the root are skipped.
    // Character data may come as several Characters tokens in a row (CDATA sections apart,
    // a long run of text in pieces); a piece never splits a character. After Invalid or
    // EndDocument the same token comes back.
    TToken Next();
    TToken Token() const { return FToken; }

    // Element name without its namespace prefix; the prefix alone.
    std::string_view Name() const { return FName; }
    std::string_view Prefix() const { return FPrefix; }
    // The namespace of the current start or end element (the default one without a prefix).
    std::string_view NamespaceUri() const { return NamespaceOf(FPrefix); }
    // Decoded character data of a Characters token.
    std::string_view Text() const { return FText; }
    // Open elements, the current start element included.
    int Depth() const { return int(FOpen.size()); }

    // The value of the current start element's attribute of this name that has no prefix,
    // references decoded and blanks normalized (into scratch when it has to be rewritten).
    // Nullopt when the element has none.
    std::optional<std::string_view> Attribute(std::string_view name, std::string &scratch) const;
    // The same for a prefixed attribute, by the namespace its prefix stands for.
    std::optional<std::string_view> Attribute(std::string_view namespaceUri, std::string_view name,
                                              std::string &scratch) const;

    TError Error() const { return FError; }
    QString ErrorString() const { return FErrorString; }
    qint64 LineNumber() const;

private:
    enum TStep { Done, NeedMore, Failed };
    struct TAttr
    {
        qsizetype Name, NameSize, Value, ValueSize;
        int Colon;        // offset of the colon in the name, -1 without prefix
        bool Plain;       // no reference and no blank to rewrite
    };
    struct TNamespace
    {
        std::string Prefix, Uri;
        int Depth;
    };

    bool More();
    qsizetype ReadSource(char *to, qsizetype max);
    bool Sniff();
    bool Convert(QByteArrayView raw, bool last);
    bool Validate();
    TToken Fail(TError error, const QString &why = QString());
    TStep FailStep(const QString &why) { Fail(Malformed, why); return Failed; }

    TStep Markup();
    TStep CharData();
    TStep StartTag();
    TStep EndTag();
    TStep Comment();
    TStep ProcessingInstruction();
    TStep CData();
    TStep CheckNamespaces(qsizetype nameAt, int colon);
    std::string_view NamespaceOf(std::string_view prefix) const;
    // An attribute's value with its references resolved (into scratch when it has any).
    std::string_view AttrValue(const TAttr &a, std::string &scratch) const;

    // A reference at text[at] ('&'): its length and the UTF-8 of its character; 0 when it is
    // incomplete, -1 when it is damaged (with the error set).
    int Reference(const char *at, const char *end, char out[4], int &outSize);
    bool DecodeText(const char *begin, const char *end, bool attribute, std::string &out);

    QIODevice *FDevice;
    const int FMaxDepth;
    const qsizetype FMaxMarkup;
    const qsizetype FChunk;

    std::string FBuf;
    qsizetype FPos = 0;      // next byte to tokenize
    qsizetype FValid = 0;    // end of the bytes checked as UTF-8 and XML characters
    qsizetype FEnd = 0;      // end of the bytes read
    qint64 FLines = 0;       // line breaks in the bytes already dropped from the buffer
    bool FEof = false;
    bool FSniffed = false;
    std::optional<QStringDecoder> FDecoder;   // a part not in UTF-8
    QByteArray FPending;                      // bytes read or converted, not yet in FBuf
    QString FCarry;                           // half a surrogate pair, converted

    TToken FToken = Invalid;
    bool FStarted = false;   // the first token was asked for
    bool FSeenRoot = false;
    bool FPendingEnd = false;
    bool FPopScopes = false; // the last element ended: its namespaces go before the next token
    bool FAnyMarkup = false; // something besides the byte order mark came before
    std::string_view FName, FPrefix, FText;
    std::string FTextBuf;
    std::vector<TAttr> FAttrs;
    std::string FOpenNames;  // qualified names of the open elements, end to end
    std::vector<qsizetype> FOpen;
    std::vector<TNamespace> FNamespaces;

    TError FError = NoError;
    QString FErrorString;
};
