// The XML tokenizer of the workbook readers on raw bytes. The first byte picks the read size;
// the document is tokenized again in one large read and both must agree: the same tokens for
// a sound document, a refusal either way for a damaged one. Every text, name and value must
// be whole UTF-8.
#include "import/XmlPull.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

namespace {
void CheckUtf8(std::string_view v)
{
    // A leading U+FEFF is a character here, not a byte order mark to drop.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(QByteArrayView(v.data(), qsizetype(v.size())));
    if (decoder.hasError() || text.toUtf8() != QByteArrayView(v.data(), qsizetype(v.size())))
        abort();
}

// The tokens as one string; false when the document was refused.
bool Tokens(const QByteArray &xml, qsizetype chunk, QByteArray &out)
{
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    TXmlPull x(&buffer, 64, 4096, chunk);
    std::string s1, s2;
    for (;;) {
        switch (x.Next()) {
        case TXmlPull::StartElement: {
            if (x.Name().empty() || x.Depth() < 1 || x.Depth() > 64)
                abort();
            CheckUtf8(x.Name());
            out += '<';
            out.append(x.Name().data(), qsizetype(x.Name().size()));
            for (const char *name : {"r", "t", "s", "id"}) {
                if (const auto v = x.Attribute(name, s1)) {
                    CheckUtf8(*v);
                    out += ' ';
                    out.append(v->data(), qsizetype(v->size()));
                }
            }
            if (const auto v = x.Attribute("urn:r", "id", s2))
                CheckUtf8(*v);
            out += '>';
            break;
        }
        case TXmlPull::EndElement:
            CheckUtf8(x.Name());
            out += "</";
            out.append(x.Name().data(), qsizetype(x.Name().size()));
            out += '>';
            break;
        case TXmlPull::Characters:
            if (x.Text().empty() || x.Depth() < 1)
                abort();
            CheckUtf8(x.Text());
            out.append(x.Text().data(), qsizetype(x.Text().size()));
            break;
        case TXmlPull::EndDocument:
            if (x.Depth() != 0 || x.Next() != TXmlPull::EndDocument)
                abort();
            return true;
        case TXmlPull::Invalid:
            if (x.Error() == TXmlPull::NoError || x.Next() != TXmlPull::Invalid)
                abort();
            return false;
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype chunk = data[0] % 61 + 1;
    const QByteArray xml(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QByteArray small, whole;
    const bool a = Tokens(xml, chunk, small);
    const bool b = Tokens(xml, 1 << 16, whole);
    if (a != b || (a && small != whole))
        abort();
    return 0;
}
