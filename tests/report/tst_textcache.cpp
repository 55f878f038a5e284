#include "testmain.h"
#include "reporttest.h"
#include "products/RotatedLabel.h"
#include "report/Engine.h"
#include "report/TextCache.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>

// Texts drawn from shapes kept between pages look exactly as QPainter draws them, whatever
// font, size, alignment, resolution or text came before; measurements kept between pages
// answer for the font they were taken with.
class TestTextCache : public QObject
{
    Q_OBJECT

    static QImage blank(double dpi)
    {
        return WhiteImage(int(std::ceil(60000 * dpi / 25400.0)), int(std::ceil(30000 * dpi / 25400.0)), dpi);
    }

    static QImage drawn(const TppDrawText &cmd, double dpi)
    {
        QImage img = blank(dpi);
        QPainter p(&img);
        TppRenderContext ctx;
        ctx.DpiX = ctx.DpiY = dpi;
        cmd.Draw(p, ctx);
        return img;
    }

    // QPainter's own text drawing of the command: the box clips a fixed single-line text sideways.
    static QImage reference(const TppDrawText &cmd, double dpi)
    {
        QImage img = blank(dpi);
        QPainter p(&img);
        TppRenderContext ctx;
        ctx.DpiX = ctx.DpiY = dpi;
        const QRectF box = ctx.Rect(cmd.mmLeft, cmd.mmTop, cmd.mmWidth, cmd.mmHeight);
        p.setFont(cmd.Font.ToQFont());
        p.setPen(cmd.Font.Color);
        const QStringList lines = cmd.Lines.isEmpty() ? QStringList{cmd.Text} : cmd.Lines;
        const double lh = cmd.mmLineHeight > 0 ? ctx.Y(cmd.mmLineHeight) : p.fontMetrics().height();
        int flags = Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine;
        flags |= cmd.Alignment == taCentered         ? Qt::AlignHCenter
                 : cmd.Alignment == taRightJustified ? Qt::AlignRight
                                                     : Qt::AlignLeft;
        if (!cmd.AutoSize && !cmd.WordWrap) {
            const double room = std::max(box.height(), lh) * 2;
            p.setClipRect(QRectF(box.left(), box.top() - room, box.width(), box.height() + 2 * room));
        }
        for (int i = 0; i < lines.size(); ++i)
            p.drawText(QRectF(box.left(), box.top() + i * lh, box.width(), lh), flags, lines[i]);
        return img;
    }

    static TppDrawText text(const QString &s, const TppFont &font, TppTextAlignment align, int width = 40000)
    {
        TppDrawText cmd;
        cmd.Text = s;
        cmd.Font = font;
        cmd.Alignment = align;
        cmd.mmLeft = 5000;
        cmd.mmTop = 5000;
        cmd.mmWidth = width;
        cmd.mmHeight = 6000;
        return cmd;
    }

    static int inkRight(const QImage &img)
    {
        for (int x = img.width() - 1; x >= 0; --x)
            for (int y = 0; y < img.height(); ++y)
                if (img.pixel(x, y) != qRgb(255, 255, 255))
                    return x;
        return -1;
    }

private slots:
    void drawnAsQPainterDrawsIt()
    {
        // the same text again in another face, size, style, alignment or resolution must not
        // come back in the shape of the one before
        const QList<TppFont> fonts = {ppFont("Arial", 10), ppFont("Arial", 14), ppFont("Arial", 14, fsBold),
                                      ppFont("Arial", 10, fsItalic), ppFont("Courier New", 9),
                                      ppFont("Arial", 10, fsUnderline, Qt::darkBlue)};
        const QList<TppTextAlignment> aligns = {taLeftJustified, taCentered, taRightJustified};
        for (double dpi : {96.0, 300.0, 96.0}) {
            for (const TppFont &font : fonts) {
                for (TppTextAlignment align : aligns) {
                    for (const QString &s : {QStringLiteral("Specimen 001"), QStringLiteral("Specimen 002"),
                                             QStringLiteral("tab\there"), QStringLiteral("cr\rhere"),
                                             QStringLiteral("lf\nhere")}) {
                        const TppDrawText cmd = text(s, font, align);
                        QVERIFY2(drawn(cmd, dpi) == reference(cmd, dpi),
                                 qPrintable(QStringLiteral("'%1' %2 %3pt style %4 align %5 at %6 dpi")
                                                .arg(s, font.Name).arg(font.Size).arg(font.Style)
                                                .arg(int(align)).arg(dpi)));
                    }
                }
            }
        }
        // several lines of one command, and a fixed line height
        TppDrawText lines = text(QString(), ppFont("Arial", 11), taCentered);
        lines.Lines = {"FIRST LINE", "", "third"};
        QVERIFY(drawn(lines, 300) == reference(lines, 300));
        lines.mmLineHeight = 3000;
        QVERIFY(drawn(lines, 300) == reference(lines, 300));
    }

    void textWiderThanItsBoxIsStillCut()
    {
        const QString s = QStringLiteral("A text far wider than the narrow box it was given");
        for (TppTextAlignment align : {taLeftJustified, taCentered, taRightJustified}) {
            const TppDrawText cmd = text(s, ppFont("Arial", 12), align, 12000);
            const QImage img = drawn(cmd, 300);
            QVERIFY(img == reference(cmd, 300));
            QVERIFY(inkRight(img) < int(std::ceil((5000 + 12000) * 300 / 25400.0)));
            // with room enough the same text is whole again
            const TppDrawText wide = text(s, ppFont("Arial", 12), align, 54000);
            QVERIFY(inkRight(drawn(wide, 300)) > inkRight(img));
        }
    }

    void wrappedCaptionKeptOnlyWhenOneLine()
    {
        QImage img = blank(300);
        const QFont small(QFont(QStringLiteral("Arial"), 10), &img);
        const QFont large(QFont(QStringLiteral("Arial"), 20), &img);
        const QString caption = QStringLiteral("Bottle 0001");
        const TppShapedLine *a = ppShapedWrappedText(small, &img, Qt::LeftToRight, caption, 2000);
        const TppShapedLine *b = ppShapedWrappedText(large, &img, Qt::LeftToRight, caption, 2000);
        QVERIFY(a && b);
        QCOMPARE(a->Advance, QFontMetricsF(small).horizontalAdvance(caption));
        QCOMPARE(b->Advance, QFontMetricsF(large).horizontalAdvance(caption));
        // too narrow for one line, a line break or tab stops: QPainter draws those itself
        QVERIFY(!ppShapedWrappedText(small, &img, Qt::LeftToRight, caption, 20));
        QVERIFY(!ppShapedWrappedText(small, &img, Qt::LeftToRight, "two\nlines", 2000));
        QVERIFY(!ppShapedWrappedText(small, &img, Qt::LeftToRight, "a\ttab", 2000));
        // a kept line takes the room QFontMetrics measures for the word-wrapped text, also when
        // laid out in a painter's direction (left to right unless the text says otherwise)
        for (const QFont &f : {small, large}) {
            for (const QString &s : {caption, QStringLiteral("900-00-0001"), QStringLiteral("IU   0001   001 "),
                                     QStringLiteral("cr\rhere")}) {
                const TppShapedLine *line = ppShapedWrappedText(f, &img, Qt::LeftToRight, s, 2000);
                const TppShapedLine *automatic = ppShapedWrappedText(f, &img, Qt::LayoutDirectionAuto, s, 2000);
                QVERIFY(line && automatic);
                QCOMPARE(automatic->NaturalWidth, line->NaturalWidth);
                QCOMPARE(automatic->Height, line->Height);
                const QRect block = QFontMetrics(f, &img).boundingRect(
                    QRect(0, 0, 2000, 1 << 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, s);
                QCOMPARE(QSize(int(std::ceil(line->NaturalWidth)), int(std::ceil(line->Height))), block.size());
            }
        }

        // turned and drawn, it looks as QPainter's word-wrapped drawing of it
        auto turned = [&](bool cached) {
            QImage out = blank(300);
            QPainter p(&out);
            p.setFont(large);
            p.translate(200, 300);
            p.rotate(-90);
            const QRect box(0, 0, 2000, 1 << 20);
            if (cached)
                ppShapedWrappedText(p.font(), p.device(), p.layoutDirection(), caption, box.width())
                    ->Layout.lineAt(0)
                    .draw(&p, QPointF(0, 0));
            else
                p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, caption);
            return out;
        };
        QVERIFY(turned(true) == turned(false));
    }

    void measurementsAnswerForTheirFont()
    {
        QImage img = blank(96);
        const QString caption = QStringLiteral("Specimen Custody");
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
        for (int px : {12, 24, 12}) {
            QFont f(QStringLiteral("Arial"));
            f.setPixelSize(px);
            const QRect got = TRotatedLabel::MeasureText(f, caption, &img, 1280);
            const QRect direct = QFontMetrics(f, &img).boundingRect(QRect(0, 0, 1280, 1 << 20), flags, caption);
            QCOMPARE(got, QRect(0, 0, direct.width(), direct.height()));
        }
        // layout measurements: a bold face is wider, and asking again gives the same width
        const TppFont plain = ppFont("Arial", 10), bold = ppFont("Arial", 10, fsBold);
        const double w1 = TppPrintContext::TextWidth(plain, caption);
        const double w2 = TppPrintContext::TextWidth(bold, caption);
        QVERIFY(w2 > w1);
        QCOMPARE(TppPrintContext::TextWidth(plain, caption), w1);
    }

    void cacheStaysBoundedAndKeepsWhatIsUsed()
    {
        TppTwoGenerationCache<int, int> cache(100);
        cache.Insert(-1, std::make_unique<int>(-1));
        for (int i = 0; i < 1000; ++i) {
            if (!cache.Find(i))
                cache.Insert(i, std::make_unique<int>(i));
            QVERIFY(cache.Size() <= 200);
            // a text on every page stays
            QVERIFY(cache.Find(-1) && *cache.Find(-1) == -1);
        }
        QVERIFY(!cache.Find(5));   // long gone
        QCOMPARE(*cache.Find(999), 999);
    }
};

CORVANE_TEST(TestTextCache)
#include "tst_textcache.moc"
