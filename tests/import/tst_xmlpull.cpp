// libgsf's headers before Qt's: glib uses "signals" as a name, which Qt defines as a macro.
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include "testmain.h"
#include "zipwriter.h"
#include "app/Exceptions.h"
#include "import/CellText.h"
#include "roster/ImportTable.h"
#include "import/SheetXml.h"
#include "import/XmlPull.h"
#include "import/ZipPackage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const char *const kTraceAttrs[] = {"r", "t", "s", "a", "b"};

QString Utf8(std::string_view v) { return QString::fromUtf8(v.data(), qsizetype(v.size())); }

// The tokens of a document in one line: <name r=..>, [text] (pieces joined), </name>; a
// trailing "!" when the tokenizer gave up.
struct TPullResult
{
    QString Trace;
    TXmlPull::TError Error = TXmlPull::NoError;
    QString Message;
    qint64 Line = 0;
    int Pieces = 0;   // Characters tokens
};

TPullResult Pull(const QByteArray &xml, qsizetype chunk = 64 * 1024, int maxDepth = 256,
                 qsizetype maxMarkup = 1 << 20)
{
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    TXmlPull x(&buffer, maxDepth, maxMarkup, chunk);
    TPullResult result;
    QByteArray text;
    std::string scratch;
    const auto flush = [&] {
        if (!text.isEmpty())
            result.Trace += '[' + QString::fromUtf8(text) + ']';
        text.clear();
    };
    for (;;) {
        switch (x.Next()) {
        case TXmlPull::Characters:
            ++result.Pieces;
            if (x.Text().empty())
                result.Trace += "(empty piece)";
            text.append(x.Text().data(), qsizetype(x.Text().size()));
            break;
        case TXmlPull::StartElement:
            flush();
            result.Trace += '<' + Utf8(x.Name());
            for (const char *name : kTraceAttrs)
                if (const auto v = x.Attribute(name, scratch))
                    result.Trace += QStringLiteral(" %1=%2").arg(name, Utf8(*v));
            result.Trace += '>';
            break;
        case TXmlPull::EndElement:
            flush();
            result.Trace += "</" + Utf8(x.Name()) + '>';
            break;
        case TXmlPull::EndDocument:
            flush();
            if (x.Next() != TXmlPull::EndDocument)   // stays at the end
                result.Trace += "(not at the end)";
            return result;
        case TXmlPull::Invalid:
            flush();
            result.Trace += '!';
            result.Error = x.Error();
            result.Message = x.ErrorString();
            result.Line = x.LineNumber();
            return result;
        }
    }
}

// The same trace from Qt's reader; a document type declaration counts as a failure, as the
// workbook readers refuse it.
QString QtTrace(QXmlStreamReader &x, bool namespaces = false)
{
    QString trace, text;
    const auto flush = [&] {
        if (!text.isEmpty())
            trace += '[' + text + ']';
        text.clear();
    };
    while (!x.atEnd()) {
        switch (x.readNext()) {
        case QXmlStreamReader::Characters:
            if (!x.isWhitespace() || !trace.isEmpty())
                text += x.text();
            break;
        case QXmlStreamReader::StartElement:
            flush();
            trace += '<' + x.name().toString();
            if (namespaces)
                trace += '{' + x.namespaceUri().toString() + '}';
            for (const char *name : kTraceAttrs)
                for (const QXmlStreamAttribute &a : x.attributes())
                    if (a.name() == QLatin1String(name) && a.namespaceUri().isEmpty())
                        trace += QStringLiteral(" %1=%2").arg(name, a.value());
            trace += '>';
            break;
        case QXmlStreamReader::EndElement:
            flush();
            trace += "</" + x.name().toString();
            if (namespaces)
                trace += '{' + x.namespaceUri().toString() + '}';
            trace += '>';
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::DTD: flush(); return trace + '!';
        default: break;
        }
    }
    flush();
    return trace;
}

QString QtTrace(const QByteArray &xml)
{
    QXmlStreamReader x(xml);
    return QtTrace(x);
}

// Every file part of a zip package, by path.
void ListParts(GsfInfile *dir, const QString &prefix, QStringList &out)
{
    const int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        const QString name = prefix + QString::fromUtf8(gsf_infile_name_by_index(dir, i));
        GsfInput *child = gsf_infile_child_by_index(dir, i);
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0)
            ListParts(GSF_INFILE(child), name + '/', out);
        else
            out << name;
        g_object_unref(child);
    }
}

QStringList PartsOf(const QString &path)
{
    gsf_init();
    QStringList parts;
    GError *error = nullptr;
    GsfInput *file = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
    if (!file)
        return parts;
    if (GsfInfile *zip = gsf_infile_zip_new(file, &error)) {
        ListParts(zip, QString(), parts);
        g_object_unref(zip);
    }
    g_object_unref(file);
    return parts;
}


const qsizetype kChunks[] = {1, 2, 3, 5, 7, 13, 64, 4096, 65536};

} // namespace

class TestXmlPull : public QObject
{
    Q_OBJECT

    QTemporaryDir FTemp;

    // Same trace whatever the read size; returns it.
    static TPullResult PullAllChunks(const QByteArray &xml)
    {
        // A damaged document may give up a few tokens earlier or later: the checks run on
        // what has been read.
        const TPullResult whole = Pull(xml);
        for (qsizetype chunk : kChunks) {
            const TPullResult r = Pull(xml, chunk);
            const bool same = r.Error == whole.Error && (whole.Error != TXmlPull::NoError || r.Trace == whole.Trace);
            if (!same)
                qWarning("chunk %lld: %s", chunk, qPrintable(r.Trace));
            [&] { QVERIFY(same); }();
        }
        return whole;
    }

private slots:
    void initTestCase() { QVERIFY(FTemp.isValid()); }

    void wellFormed_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("trace");
        QTest::newRow("predefined entities") << QByteArray("<a>&lt;&gt;&amp;&quot;&apos;</a>") << "<a>[<>&\"']</a>";
        QTest::newRow("character references")
            << QByteArray("<a>&#65;&#x42;&#x43;&#x20AC;&#128512;&#9;&#xD;&#10;</a>")
            << QString::fromUtf8("<a>[ABC\xE2\x82\xAC\xF0\x9F\x98\x80\t\r\n]</a>");
        QTest::newRow("leading zeros") << QByteArray("<a>&#0065;&#x0041;</a>") << "<a>[AA]</a>";
        QTest::newRow("line ends normalized") << QByteArray("<a>1\r\n2\r3\n4</a>") << "<a>[1\n2\n3\n4]</a>";
        QTest::newRow("CDATA")
            << QByteArray("<a>x<![CDATA[<b>&amp;]]]]>y<![CDATA[]]></a>") << "<a>[x<b>&amp;]]y]</a>";
        QTest::newRow("CDATA line ends") << QByteArray("<a><![CDATA[1\r\n2]]></a>") << "<a>[1\n2]</a>";
        QTest::newRow("comments and PIs between cells")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<!-- head -->"
                          "<row><!-- c --><c r=\"A1\"/><?mso-application progid=\"x\"?><c r=\"B1\">"
                          "<v>1<!--in-->2</v></c></row><!-- tail -->\n")
            << "<row><c r=A1></c><c r=B1><v>[12]</v></c></row>";
        QTest::newRow("self-closing") << QByteArray("<row><c r=\"A1\" t=\"s\"/><c/></row>")
                                      << "<row><c r=A1 t=s></c><c></c></row>";
        QTest::newRow("namespace prefixes")
            << QByteArray("<x:worksheet xmlns:x=\"urn:m\" xmlns=\"urn:d\"><x:c x:r=\"A1\" r=\"B2\"/><c r=\"C3\"/>"
                          "</x:worksheet>")
            << "<worksheet><c r=B2></c><c r=C3></c></worksheet>";
        QTest::newRow("quotes and entities in attributes")
            << QByteArray("<c a='say \"hi\"' b=\"it's\" r='&lt;&amp;&#65;&apos;' t = \"&quot;\" s='&#9;x'/>")
            << "<c r=<&A' t=\" s=\tx a=say \"hi\" b=it's></c>";
        QTest::newRow("attribute blanks") << QByteArray("<c r=\"1\t2\n3\r\n4\r5\"/>") << "<c r=1 2 3 4 5></c>";
        QTest::newRow("blanks in tags") << QByteArray("<a\n r = 'x'\t></a\n>") << "<a r=x></a>";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF<a>x</a>") << "<a>[x]</a>";
        QTest::newRow("UTF-8 text")
            << QByteArray("<a>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x7F\xC2\x80</a>")
            << QString::fromUtf8("<a>[\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x7F\xC2\x80]</a>");
        QTest::newRow("greater-than in text and attributes") << QByteArray("<a b='>'>x>y]]</a>") << "<a b=>>[x>y]]]</a>";
        QTest::newRow("names with dots, dashes, digits")
            << QByteArray("<a.b-c_1><x:d.e xmlns:x='u'/></a.b-c_1>") << "<a.b-c_1><d.e></d.e></a.b-c_1>";
    }
    void wellFormed()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, trace);
        const TPullResult r = PullAllChunks(xml);
        QCOMPARE(r.Trace, trace);
        // Qt's reader sees the same document.
        QCOMPARE(QtTrace(xml), trace);
    }

    void malformed_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("error");
        const int bad = TXmlPull::Malformed;
        QTest::newRow("mismatched end") << QByteArray("<a><b></a></b>") << bad;
        QTest::newRow("unclosed") << QByteArray("<a><b></b>") << bad;
        QTest::newRow("unclosed tag") << QByteArray("<a><b r='1'") << bad;
        QTest::newRow("unclosed value") << QByteArray("<a><b r='1></b></a>") << bad;
        QTest::newRow("unclosed comment") << QByteArray("<a><!-- x </a>") << bad;
        QTest::newRow("unclosed CDATA") << QByteArray("<a><![CDATA[x</a>") << bad;
        QTest::newRow("empty") << QByteArray() << bad;
        QTest::newRow("blanks only") << QByteArray(" \n ") << bad;
        QTest::newRow("text before the root") << QByteArray("x<a/>") << bad;
        QTest::newRow("junk after the root") << QByteArray("<a/>junk") << bad;
        QTest::newRow("two roots") << QByteArray("<a/><b/>") << bad;
        QTest::newRow("end tag first") << QByteArray("</a>") << bad;
        QTest::newRow("attribute twice") << QByteArray("<a r='1' r='2'/>") << bad;
        QTest::newRow("unquoted value") << QByteArray("<a b=1/>") << bad;
        QTest::newRow("no blank between attributes") << QByteArray("<a b='1'c='2'/>") << bad;
        QTest::newRow("< in a value") << QByteArray("<a b='<'/>") << bad;
        QTest::newRow("name starts with a digit") << QByteArray("<1a/>") << bad;
        QTest::newRow("two colons") << QByteArray("<a:b:c xmlns:a='u'/>") << bad;
        QTest::newRow("undeclared prefix") << QByteArray("<x:a/>") << bad;
        QTest::newRow("undeclared attribute prefix") << QByteArray("<a x:r='1'/>") << bad;
        QTest::newRow("prefix out of scope") << QByteArray("<a><b xmlns:x='u'/><x:c/></a>") << bad;
        QTest::newRow("empty namespace for a prefix") << QByteArray("<a xmlns:x=''/>") << bad;
        QTest::newRow("]]> in text") << QByteArray("<a>x]]>y</a>") << bad;
        QTest::newRow("-- in a comment") << QByteArray("<a><!-- a -- b --></a>") << bad;
        QTest::newRow("XML declaration later") << QByteArray("<a/><?xml version='1.0'?>") << bad;
        QTest::newRow("XML declaration inside") << QByteArray("<a><?xml version='1.0'?></a>") << bad;
        QTest::newRow("unknown entity") << QByteArray("<a>&nbsp;</a>") << bad;
        QTest::newRow("unknown entity in a value") << QByteArray("<a b='&nbsp;'/>") << bad;
        QTest::newRow("reference without ;") << QByteArray("<a>&amp</a>") << bad;
        QTest::newRow("bare &") << QByteArray("<a>fish & chips</a>") << bad;
        QTest::newRow("reference to NUL") << QByteArray("<a>&#0;</a>") << bad;
        QTest::newRow("reference to a control") << QByteArray("<a>&#1;</a>") << bad;
        QTest::newRow("reference to a surrogate") << QByteArray("<a>&#xD800;</a>") << bad;
        QTest::newRow("reference to FFFE") << QByteArray("<a>&#xFFFE;</a>") << bad;
        QTest::newRow("reference past Unicode") << QByteArray("<a>&#x110000;</a>") << bad;
        QTest::newRow("huge reference") << QByteArray("<a>&#99999999999999999999;</a>") << bad;
        QTest::newRow("empty reference") << QByteArray("<a>&#;</a>") << bad;
        QTest::newRow("empty hex reference") << QByteArray("<a>&#x;</a>") << bad;
        QTest::newRow("letters in a reference") << QByteArray("<a>&#12a;</a>") << bad;
        QTest::newRow("bad reference in a value") << QByteArray("<a b='&#1;'/>") << bad;
        QTest::newRow("control character") << QByteArray("<a>x\x01y</a>") << bad;
        QTest::newRow("control character in a tag") << QByteArray("<a b='\x02'/>") << bad;
        QTest::newRow("invalid UTF-8") << QByteArray("<a>\xC3\x28</a>") << bad;
        QTest::newRow("overlong UTF-8") << QByteArray("<a>\xC0\x80</a>") << bad;
        QTest::newRow("UTF-8 surrogate") << QByteArray("<a>\xED\xA0\x80</a>") << bad;
        QTest::newRow("raw FFFE") << QByteArray("<a>\xEF\xBF\xBE</a>") << bad;
        QTest::newRow("cut UTF-8 at the end") << QByteArray("<a>\xE2\x82") << bad;
        QTest::newRow("hex reference with X") << QByteArray("<a>&#X41;</a>") << bad;
        // "version" later in the document does not make up for a declaration without it
        QTest::newRow("declaration without version")
            << QByteArray("<?xml versitable.0\" encoding=\"UTF-8\"?><a b='version'>version</a>") << bad;
        QTest::newRow("unsupported encoding") << QByteArray("<?xml version='1.0' encoding='bogus'?><a/>") << bad;
        QTest::newRow("CDATA outside the root") << QByteArray("<![CDATA[x]]><a/>") << bad;
        QTest::newRow("document type")
            << QByteArray("<?xml version='1.0'?><!DOCTYPE a [<!ENTITY e 'eeee'>]><a>&e;</a>") << int(TXmlPull::DocType);
        QTest::newRow("document type inside") << QByteArray("<a><!DOCTYPE a></a>") << int(TXmlPull::DocType);
    }
    void malformed()
    {
        QFETCH(QByteArray, xml);
        QFETCH(int, error);
        const TPullResult r = PullAllChunks(xml);
        QVERIFY2(r.Trace.endsWith('!'), qPrintable(r.Trace));
        QCOMPARE(int(r.Error), error);
        if (error == TXmlPull::Malformed)
            QVERIFY(!r.Message.isEmpty());
        // Qt's reader refuses it too.
        QVERIFY2(QtTrace(xml).endsWith('!'), qPrintable(QtTrace(xml)));
    }

    void namespaces()
    {
        // Element namespaces as Qt resolves them: prefixes, default namespaces declared and
        // undeclared, scopes ending with their element (self-closing ones too).
        const QByteArray xml =
            "<r xmlns='urn:d' xmlns:p='urn:p'><a/><p:b xmlns:p='urn:q'><p:c/></p:b><p:d/>"
            "<e xmlns=''><f/></e><g xmlns='urn:g'/><h/><p:i xmlns:p='urn:i'/><p:j/></r>";
        QBuffer buffer;
        buffer.setData(xml);
        buffer.open(QIODevice::ReadOnly);
        TXmlPull x(&buffer, 256, 1 << 20, 3);
        QString trace;
        while (x.Next() == TXmlPull::StartElement || x.Token() == TXmlPull::EndElement)
            trace += (x.Token() == TXmlPull::StartElement ? "<" : "</") + Utf8(x.Name()) + '{'
                     + Utf8(x.NamespaceUri()) + '}';
        QCOMPARE(x.Token(), TXmlPull::EndDocument);
        QXmlStreamReader qt(xml);
        QString expected;
        while (!qt.atEnd()) {
            qt.readNext();
            if (qt.isStartElement() || qt.isEndElement())
                expected += (qt.isStartElement() ? "<" : "</") + qt.name().toString() + '{'
                            + qt.namespaceUri().toString() + '}';
        }
        QVERIFY(!qt.hasError());
        QCOMPARE(trace, expected);
        QVERIFY(trace.contains("<c{urn:q}</c{urn:q}</b{urn:q}<d{urn:p}"));
        QVERIFY(trace.contains("<f{}</f{}</e{}<g{urn:g}</g{urn:g}<h{urn:d}"));
        QVERIFY(trace.contains("<i{urn:i}</i{urn:i}<j{urn:p}"));
    }

    void errorsGiveTheLine()
    {
        const TPullResult r = Pull("<a>\n<b>\n\n</c></a>", 3);
        QCOMPARE(r.Error, TXmlPull::Malformed);
        QCOMPARE(r.Line, 4);
        QCOMPARE(r.Message, QString("Opening and ending tag mismatch."));
        QCOMPARE(Pull("<a>&bogus;</a>").Message, QString("Entity 'bogus' not declared."));
    }

    void depthLimit()
    {
        const auto nested = [](int n) { return QByteArray("<d>").repeated(n) + QByteArray("</d>").repeated(n); };
        TPullResult r = Pull(nested(256));
        QCOMPARE(r.Error, TXmlPull::NoError);
        QCOMPARE(r.Trace.count("<d>"), 256);
        r = Pull(nested(257));
        QCOMPARE(r.Error, TXmlPull::TooDeep);
        QCOMPARE(r.Trace.count("<d>"), 256);
        QCOMPARE(Pull(nested(5), 7, 4).Error, TXmlPull::TooDeep);
        // Self-closing elements count while they are open.
        QCOMPARE(Pull("<d><d><d><d/></d></d></d>", 7, 3).Error, TXmlPull::TooDeep);
        QCOMPARE(Pull("<d><d><d/></d></d>", 7, 3).Error, TXmlPull::NoError);
    }

    void markupLimit()
    {
        // Tags, comments and CDATA must fit; text of any length comes in pieces.
        const QByteArray big(5000, 'x');
        QCOMPARE(Pull("<a b='" + big + "'/>", 64, 256, 4096).Error, TXmlPull::TooLong);
        QCOMPARE(Pull("<a><!--" + big + "--></a>", 64, 256, 4096).Error, TXmlPull::TooLong);
        QCOMPARE(Pull("<a><![CDATA[" + big + "]]></a>", 64, 256, 4096).Error, TXmlPull::TooLong);
        QCOMPARE(Pull("<a b='" + big + "'/>", 64, 256, 8192).Error, TXmlPull::NoError);
        const QByteArray text = QByteArray("<a>") + QByteArray(300000, 'y') + "</a>";
        const TPullResult r = Pull(text, 4096, 256, 4096);
        QCOMPARE(r.Error, TXmlPull::NoError);
        QCOMPARE(r.Trace.size(), 300000 + 9);
        QVERIFY(r.Pieces > 1);
    }

    void longTextInPieces()
    {
        // A text far longer than a read, with references, CR LF pairs, "]]" and characters of
        // every length lying across the places where it is cut.
        QByteArray xml = "<a>";
        QByteArray expected;
        const QByteArray unit = "ab&amp;\r\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80]]&#x41;&lt;";
        const QByteArray unitText = "ab&\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80]]A<";
        for (int i = 0; i < 9000; ++i) {
            xml += unit;
            expected += unitText;
            if (i % 7 == 0) {   // shift the next unit against the cut
                xml += 'z';
                expected += 'z';
            }
        }
        xml += "</a>";
        for (qsizetype chunk : {qsizetype(1), qsizetype(3), qsizetype(1000), qsizetype(4096), qsizetype(65536)}) {
            QBuffer buffer;
            buffer.setData(xml);
            buffer.open(QIODevice::ReadOnly);
            TXmlPull x(&buffer, 256, 1 << 20, chunk);
            QCOMPARE(x.Next(), TXmlPull::StartElement);
            QByteArray got;
            int pieces = 0;
            while (x.Next() == TXmlPull::Characters) {
                const QByteArray piece(x.Text().data(), qsizetype(x.Text().size()));
                QVERIFY(!piece.isEmpty());
                // Each piece is whole UTF-8 on its own.
                QVERIFY2(QString::fromUtf8(piece).toUtf8() == piece, qPrintable(QString::number(pieces)));
                got += piece;
                ++pieces;
            }
            QCOMPARE(x.Token(), TXmlPull::EndElement);
            QCOMPARE(x.Next(), TXmlPull::EndDocument);
            QVERIFY(pieces > 1);
            QCOMPARE(got.size(), expected.size());
            QVERIFY(got == expected);
        }
    }

    void cutsAtEveryPlace()
    {
        // With a small markup limit text comes in pieces of a few hundred bytes: move a CR LF
        // pair, references, "]]" and long characters across every place a piece can end.
        const QByteArray tail = "\r\n&amp;&#x20AC;]]\xC3\xA9\xF0\x9F\x98\x80\r";
        const QByteArray tailText = "\n&\xE2\x82\xAC]]\xC3\xA9\xF0\x9F\x98\x80\n";
        for (int k = 0; k < 300; ++k) {
            const QByteArray xml = "<a>" + QByteArray(k, 'x') + tail + QByteArray(400, 'y') + tail + "</a>";
            const QString expected = "<a>[" + QString::fromUtf8(QByteArray(k, 'x') + tailText + QByteArray(400, 'y') + tailText)
                                     + "]</a>";
            for (qsizetype chunk : {qsizetype(1), qsizetype(5), qsizetype(64)}) {
                const TPullResult r = Pull(xml, chunk, 256, 256);
                if (r.Trace != expected)
                    QFAIL(qPrintable(QStringLiteral("offset %1, chunk %2: %3").arg(k).arg(chunk).arg(r.Trace)));
                // "]]>" is refused wherever it falls.
                const QByteArray bad = "<a>" + QByteArray(k, 'x') + "]]]>" + QByteArray(400, 'y') + "</a>";
                if (Pull(bad, chunk, 256, 256).Error != TXmlPull::Malformed)
                    QFAIL(qPrintable(QStringLiteral("]]> at offset %1, chunk %2 was read").arg(k).arg(chunk)));
            }
        }
    }

    void attributes()
    {
        QBuffer buffer;
        buffer.setData("<r xmlns:x='urn:one' xmlns:y='urn:two'><c x:r='A1' y:r='B1' r='C1' t='&amp;s'/><d/></r>");
        buffer.open(QIODevice::ReadOnly);
        TXmlPull x(&buffer, 256, 1 << 20, 5);
        std::string s1, s2;
        QCOMPARE(x.Next(), TXmlPull::StartElement);
        QVERIFY(!x.Attribute("r", s1));
        QCOMPARE(x.Next(), TXmlPull::StartElement);
        QCOMPARE(Utf8(x.Name()), QString("c"));
        QCOMPARE(Utf8(*x.Attribute("r", s1)), QString("C1"));
        QCOMPARE(Utf8(*x.Attribute("urn:one", "r", s1)), QString("A1"));
        QCOMPARE(Utf8(*x.Attribute("urn:two", "r", s2)), QString("B1"));
        QVERIFY(!x.Attribute("urn:three", "r", s1));
        // Two decoded values at once, each in its own scratch.
        const auto t = x.Attribute("t", s1);
        const auto r = x.Attribute("r", s2);
        QCOMPARE(Utf8(*t), QString("&s"));
        QCOMPARE(Utf8(*r), QString("C1"));
        QVERIFY(!x.Attribute("s", s1));
        QCOMPARE(x.Next(), TXmlPull::EndElement);
        QVERIFY(!x.Attribute("r", s1));   // only while the start element is current
        QCOMPARE(x.Next(), TXmlPull::StartElement);
        QVERIFY(!x.Attribute("r", s1));
        QCOMPARE(x.Next(), TXmlPull::EndElement);
        QCOMPARE(x.Next(), TXmlPull::EndElement);
        QCOMPARE(x.Next(), TXmlPull::EndDocument);
    }

    void otherEncodings()
    {
        const QString text = QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a b=\"\xC3\xA9\">"
                                               "x\xE2\x82\xAC\xF0\x9F\x98\x80</a>");
        const QString expected = QString::fromUtf8("<a b=\xC3\xA9>[x\xE2\x82\xAC\xF0\x9F\x98\x80]</a>");
        for (auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
            QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
            const QByteArray bytes = encoder(text);
            QCOMPARE(PullAllChunks(bytes).Trace, expected);
            QCOMPARE(QtTrace(bytes), expected);
        }
        const QByteArray latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>";
        QCOMPARE(PullAllChunks(latin1).Trace, QString::fromUtf8("<a>[caf\xC3\xA9]</a>"));
        const QByteArray cp1252 = "<?xml version='1.0' encoding='windows-1252'?><a>\x80</a>";
        QCOMPARE(PullAllChunks(cp1252).Trace, QtTrace(cp1252));
        const QByteArray utf8 = "<?xml version='1.0' encoding='utf-8'?><a>caf\xC3\xA9</a>";
        QCOMPARE(PullAllChunks(utf8).Trace, QString::fromUtf8("<a>[caf\xC3\xA9]</a>"));
    }

    void sameTokensAsQtOnTheFixtures()
    {
        // Every XML part of every spreadsheet file in the test data, through both parsers.
        const QDir data(testing_registry::dataPath(QString()));
        int compared = 0;
        for (const QString &name : data.entryList({"*.xlsx", "*.ods"}, QDir::Files)) {
            const QString path = data.filePath(name);
            TZipPackage package(path);
            for (const QString &part : PartsOf(path)) {
                if (!part.endsWith(".xml") && !part.endsWith(".rels"))
                    continue;
                TXmlPart old(package.OpenPart(part, 256 << 20), path);
                const QString expected = QtTrace(old.Xml(), true);
                auto device = package.OpenPart(part, 256 << 20);
                QVERIFY(device);
                TXmlPull x(device.get());
                QString trace;
                QByteArray text;
                std::string scratch;
                for (bool done = false; !done;) {
                    switch (x.Next()) {
                    case TXmlPull::Characters: text.append(x.Text().data(), qsizetype(x.Text().size())); break;
                    case TXmlPull::StartElement:
                    case TXmlPull::EndElement:
                        if (!text.isEmpty())
                            trace += '[' + QString::fromUtf8(text) + ']';
                        text.clear();
                        trace += (x.Token() == TXmlPull::StartElement ? "<" : "</") + Utf8(x.Name()) + '{'
                                 + Utf8(x.NamespaceUri()) + '}';
                        if (x.Token() == TXmlPull::StartElement)
                            for (const char *a : kTraceAttrs)
                                if (const auto v = x.Attribute(a, scratch))
                                    trace += QStringLiteral(" %1=%2").arg(a, Utf8(*v));
                        trace += '>';
                        break;
                    default: done = true; break;
                    }
                }
                QCOMPARE(x.Token(), TXmlPull::EndDocument);
                QCOMPARE(trace, expected);
                ++compared;
            }
        }
        QVERIFY2(compared >= 30, qPrintable(QString::number(compared)));
    }

    void workbookThroughTheReader()
    {
        // A worksheet with prefixes, comments, CDATA, references and a self-closing cell; and
        // shared strings with references.
        const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
        const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
        const QByteArray sheet =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<x:worksheet xmlns:x=\"" + main
            + "\"><x:sheetData><!-- rows -->"
              "<x:row r='1'><x:c r='A1' t='s'><x:v>0</x:v></x:c><?pi?><x:c r=\"B1\" t=\"inlineStr\">"
              "<x:is><x:t><![CDATA[<FIRST>]]></x:t></x:is></x:c><x:c r='C1' t='s'><x:v> 1 </x:v></x:c></x:row>"
              "<x:row r=' 2 '><x:c r='A2' t='inlineStr'><x:is><x:r><x:t>O&apos;</x:t></x:r><x:r><x:t "
              "xml:space='preserve'>BRIEN&#x2013;</x:t></x:r></x:is></x:c><x:c r='B2'/>"
              "<x:c r='C2'><x:v>&#49;2.5</x:v></x:c></x:row></x:sheetData></x:worksheet>";
        const QByteArray strings = "<sst xmlns=\"" + main + "\"><si><t>LAST &amp; NAME</t></si>"
                                                            "<si><r><t>R</t></r><r><t>ANK</t></r><rPh><t>x</t></rPh></si></sst>";
        const auto book = [&](const QString &path, const QByteArray &sheetPart, const QByteArray &stringsPart) {
            WriteZip(path, {{"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel
                                                    + "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
                            {"xl/_rels/workbook.xml.rels",
                             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                             "<Relationship Id=\"rId1\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                             "<Relationship Id=\"rId2\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
                             "</Relationships>"},
                            {"xl/worksheets/sheet1.xml", sheetPart},
                            {"xl/sharedStrings.xml", stringsPart}});
        };
        const auto expectError = [](const QString &path, const QString &why) {
            try {
                TImportTable b;
                b.LoadFromFile(path, iftExcel);
                QFAIL(qPrintable("read without an error: " + path));
            } catch (const Exception &e) {
                QVERIFY2(e.message().contains(path), qPrintable(e.message()));
                QVERIFY2(e.message().contains(why), qPrintable(e.message()));
            }
        };

        const QString path = FTemp.filePath("prefixed.xlsx");
        book(path, sheet, strings);
        TImportTable t;
        QVERIFY(t.LoadFromFile(path, iftExcel));
        QCOMPARE(t.FieldCount(), 3);
        QCOMPARE(t.RowCount(), 2);
        QCOMPARE(t.GetCell(0, 0), QString("LAST & NAME"));
        QCOMPARE(t.GetCell(0, 1), QString("<FIRST>"));
        QCOMPARE(t.GetCell(0, 2), QString("RANK"));
        QCOMPARE(t.GetCell(1, 0), QString::fromUtf8("O'BRIEN\xE2\x80\x93"));
        QCOMPARE(t.GetCell(1, 1), QString());
        QCOMPARE(t.GetCell(1, 2), CellNumberText(12.5));

        // The same sheet in UTF-16, and in UTF-8 behind a byte order mark, reads the same.
        QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        const QByteArray sheet16 = encoder(QString::fromUtf8(sheet).replace("UTF-8", "UTF-16"));
        for (const QByteArray &other : {sheet16, "\xEF\xBB\xBF" + sheet}) {
            const QString path2 = FTemp.filePath("encoded.xlsx");
            book(path2, other, strings);
            TImportTable t2;
            QVERIFY(t2.LoadFromFile(path2, iftExcel));
            QCOMPARE(t2.RowCount(), 2);
            for (int r = 0; r < 2; ++r)
                for (int c = 0; c < 3; ++c)
                    QCOMPARE(t2.GetCell(r, c), t.GetCell(r, c));
        }

        // Damage in either part is named with the part.
        const QString broken = FTemp.filePath("broken-strings.xlsx");
        book(broken, sheet, "<sst><si><t>A</si></sst>");
        expectError(broken, "\"xl/sharedStrings.xml\" is damaged: Opening and ending tag mismatch. (line 1)");
        const QString deep = FTemp.filePath("deep-sheet.xlsx");
        book(deep, "<worksheet><sheetData><row><c r='A1'>" + QByteArray("<x>").repeated(300000) + "</c></row></sheetData></worksheet>",
             strings);
        expectError(deep, "\"xl/worksheets/sheet1.xml\" nests its elements more than 256 deep");
        const QString stuffed = FTemp.filePath("stuffed-strings.xlsx");
        book(stuffed, sheet, "<sst><si><t>" + QByteArray("&#x20AC;").repeated(32768) + "</t></si></sst>");
        expectError(stuffed, "\"xl/sharedStrings.xml\" has a cell of more than 32,767 characters");
        // The limit counts characters as a string does, not bytes: three-byte and four-byte
        // characters up to it are read.
        const QString full = FTemp.filePath("full-strings.xlsx");
        book(full, "<worksheet><sheetData><row><c r='A1' t='s'><v>0</v></c><c r='B1' t='s'><v>1</v></c></row>"
                   "</sheetData></worksheet>",
             "<sst><si><t>" + QByteArray("\xE2\x82\xAC").repeated(32767) + "</t></si><si><t>a"
                 + QByteArray("\xF0\x9F\x98\x80").repeated(16383) + "</t></si></sst>");
        TImportTable f;
        QVERIFY(f.LoadFromFile(full, iftExcel));
        QCOMPARE(f.GetCell(0, 0), QString(32767, QChar(0x20AC)));
        QCOMPARE(f.GetCell(0, 1).size(), 32767);
        const QString cut = FTemp.filePath("cut-sheet.xlsx");
        book(cut, sheet.left(sheet.size() - 20), strings);
        expectError(cut, "\"xl/worksheets/sheet1.xml\" is damaged: Premature end of document.");
    }
};

CORVANE_TEST(TestXmlPull)
#include "tst_xmlpull.moc"
