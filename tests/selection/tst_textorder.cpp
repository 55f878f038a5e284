#include "testmain.h"
#include "members.h"
#include "selection/SelectionParameters.h"
#include "selection/TextOrder.h"

#include <QTest>
#include <algorithm>

namespace {
QStringList NamesInDisplayOrder(const TMemberList &list)
{
    QStringList out;
    for (int p = 0; p < list.MemberCount(); ++p)
        out << list.Members[list.DisplayOrder[p]].Name;
    return out;
}
} // namespace

// Names sort by the Windows-1252 byte of each letter, the code page rosters are written in:
// Š Œ Ž Ÿ (0x8A-0x9F) before É and Ö (0xC9, 0xD6); letters outside it after all of them.
class TestTextOrder : public QObject
{
    Q_OBJECT
private slots:
    void sortsByTheCodePageByte()
    {
        // Ascending, as the weights order them; longer than the sort's four-character
        // prefix where they share one, so both halves of the comparison are used.
        const QStringList expected = {
            QStringLiteral("ZULU"),
            QStringLiteral("ZULU\u0160"),        // ZULUŠ
            QStringLiteral("ZULU\u00C9"),        // ZULUÉ
            QStringLiteral("zeta"),
            QStringLiteral("\u0160IMEK"),        // Š 0x8A
            QStringLiteral("\u0152UVRE"),        // Œ 0x8C
            QStringLiteral("\u017DUPAN"),        // Ž 0x8E
            QStringLiteral("\u0178VES"),         // Ÿ 0x9F
            QStringLiteral("\u00C9CLAIR"),       // É 0xC9
            QStringLiteral("\u00D6ZIL"),         // Ö 0xD6
            QStringLiteral("\u00FF"),            // ÿ 0xFF, the last byte
            QStringLiteral("\u0100DAM"),         // Ā: not in the code page
            QStringLiteral("\u0141UKASZ"),       // Ł
            QStringLiteral("\uFFFD"),
            QStringLiteral("\U0001D49CBC"),      // beyond the BMP: after every BMP character
        };
        QStringList shuffled = expected;
        std::reverse(shuffled.begin(), shuffled.end());
        std::swap(shuffled[2], shuffled[9]);
        std::swap(shuffled[0], shuffled[5]);
        TRosterRecs members;
        for (const QString &n : shuffled)
            members << MakeMember(n, "000000000", "M", "SGT");
        TMemberList list;
        list.LoadMembers(members);
        QCOMPARE(NamesInDisplayOrder(list), expected);
        list.SortByColumn(0);   // the same header again: descending
        QStringList reversed = expected;
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(NamesInDisplayOrder(list), reversed);

        // The plain comparison agrees with the sort's, pair by pair.
        list.SortByColumn(0);
        for (int i = 0; i < expected.size(); ++i)
            for (int j = 0; j < expected.size(); ++j) {
                const int c = CompareSortText(expected[i], expected[j]);
                QVERIFY2(i < j ? c < 0 : i > j ? c > 0 : c == 0,
                         qPrintable(expected[i] + " / " + expected[j]));
                QCOMPARE(list.MemberBefore(MakeMember(expected[i]), MakeMember(expected[j])), i < j);
            }
    }

    // The sort compares a prefix of byte-sized weights before the texts; characters that do
    // not fit a byte (ÿ and everything outside the code page) must not upset the order.
    void prefixAgreesWithTheFullComparison()
    {
        // The first four make long shared beginnings; þ weighs 254, the last that fits.
        const QList<QChar> alphabet = {u'A', u'\u00FF', u'\u0100', u'B', u'\u00FE', u'\u0141', u'\u0160', QChar(0)};
        quint32 state = 12345;
        auto next = [&state](quint32 n) {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) % n;
        };
        QStringList texts;
        for (int i = 0; i < 3000; ++i) {
            QString t;
            const int length = int(next(12));
            for (int k = 0; k < length; ++k)
                t += alphabet.at(int(next(k < 6 ? 4 : quint32(alphabet.size()))));
            texts << t;
        }
        TRosterRecs members;
        for (const QString &t : texts)
            members << MakeMember(t);
        TMemberList list;
        list.LoadMembers(members);
        const QStringList sorted = NamesInDisplayOrder(list);
        for (int i = 1; i < sorted.size(); ++i)
            QVERIFY2(CompareSortText(sorted[i - 1], sorted[i]) <= 0,
                     qPrintable(QString::number(i) + ": " + sorted[i - 1].toUtf8().toHex() + " / " +
                                sorted[i].toUtf8().toHex()));
        list.SortByColumn(0);
        const QStringList descending = NamesInDisplayOrder(list);
        for (int i = 1; i < descending.size(); ++i)
            QVERIFY(CompareSortText(descending[i - 1], descending[i]) >= 0);
    }

    void theTaskExampleAndOtherColumns()
    {
        TMemberList list;
        list.LoadMembers({MakeMember(QStringLiteral("\u00D6ZIL"), QStringLiteral("\u00C9"), "M", QStringLiteral("\u00D6")),
                          MakeMember(QStringLiteral("\u00C9CLAIR"), QStringLiteral("\u0160"), "M", QStringLiteral("Z")),
                          MakeMember(QStringLiteral("ZULU"), QStringLiteral("\u0178"), "M", QStringLiteral("\u0152")),
                          MakeMember(QStringLiteral("\u0160IMEK"), QStringLiteral("Z"), "M", QStringLiteral("\u00C9"))});
        QCOMPARE(NamesInDisplayOrder(list),
                 QStringList({"ZULU", "\u0160IMEK", "\u00C9CLAIR", "\u00D6ZIL"}));
        list.SortByColumn(1);   // SSN: Z, Š, Ÿ, É
        QCOMPARE(NamesInDisplayOrder(list),
                 QStringList({"\u0160IMEK", "\u00C9CLAIR", "ZULU", "\u00D6ZIL"}));
        list.SortByColumn(2);   // Rank: Z, Œ, É, Ö
        QCOMPARE(NamesInDisplayOrder(list),
                 QStringList({"\u00C9CLAIR", "ZULU", "\u0160IMEK", "\u00D6ZIL"}));
    }

    void everyUnitHasItsOwnWeight()
    {
        // 65,536 units on 65,536 weights: the code page's 256 characters take 0..255.
        QList<bool> seen(0x10000, false);
        for (int u = 0; u < 0x10000; ++u) {
            const quint16 w = TextOrder::Weight(char16_t(u));
            QVERIFY2(!seen[w], qPrintable(QString::number(u, 16)));
            seen[w] = true;
        }
        QCOMPARE(TextOrder::Weight(u'A'), quint16(0x41));
        QCOMPARE(TextOrder::Weight(u'\u20AC'), quint16(0x80));   // €
        QCOMPARE(TextOrder::Weight(u'\u0081'), quint16(0x81));   // undefined byte keeps its code
        QCOMPARE(TextOrder::Weight(u'\u0178'), quint16(0x9F));
        QCOMPARE(TextOrder::Weight(u'\u00A0'), quint16(0xA0));
        QVERIFY(TextOrder::Weight(u'\u0080') > 0xFF);            // a C1 control is no code-page character
        QVERIFY(TextOrder::Weight(u'\u0080') < TextOrder::Weight(u'\u0100'));
        QVERIFY(TextOrder::Weight(u'\uFFFF') < TextOrder::Weight(u'\xD800'));
    }
};

CORVANE_TEST(TestTextOrder)
#include "tst_textorder.moc"
