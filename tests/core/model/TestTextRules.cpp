#include "TestEnvironment.h"

#include "model/TextRules.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

// Trimming decides what reaches the store and what comes back from it.
class TestTextRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cutTrailingWhiteSpace_data()
    {
        test::Columns<QString, QString>("text", "cut");
        QTest::addRow("trailing blanks are cut") << u"ANN   "_s << u"ANN"_s;
        QTest::addRow("trailing tab, CR and LF are cut") << u"ANN\t\r\n\v\f"_s << u"ANN"_s;
        QTest::addRow("leading blanks stay") << u"  ANN"_s << u"  ANN"_s;
        QTest::addRow("blanks inside stay") << u"A  B"_s << u"A  B"_s;
        QTest::addRow("white space before a quote is kept") << u"O' "_s << u"O'"_s;
        QTest::addRow("a quote is plain text") << u"it's"_s << u"it's"_s;
        QTest::addRow("empty") << QString() << QString();
        QTest::addRow("blanks only") << u"   "_s << QString();
        QTest::addRow("non-ASCII letters are kept")
            << u"Grüße, O'Neil — ½"_s << u"Grüße, O'Neil — ½"_s;
        QTest::addRow("no-break space is not white space") << u"A\u00a0"_s << u"A\u00a0"_s;
        QTest::addRow("a percent sign is plain text") << u"100% %1"_s << u"100% %1"_s;
    }

    void cutTrailingWhiteSpace()
    {
        QFETCH(QString, text);
        QFETCH(QString, cut);
        QCOMPARE(CutTrailingWhiteSpace(text), cut);
    }

    void cutTrailingWhiteSpaceStopsAtTheLastOtherCharacter()
    {
        QCOMPARE(CutTrailingWhiteSpace(u" \tA \t\r\n"), u" \tA"_s);
        QCOMPARE(CutTrailingWhiteSpace(u"\x01 "), u"\x01"_s); // code 1 is not white space
        QCOMPARE(CutTrailingWhiteSpace(u""), QString());
    }

    void trimTrailingBlanks_data()
    {
        test::Columns<QByteArray, QByteArray>("buffer", "trimmed");
        QTest::addRow("name and three blanks") << QByteArray("Ann   ") << QByteArray("Ann");
        QTest::addRow("blanks only") << QByteArray("     ") << QByteArray();
        QTest::addRow("empty") << QByteArray() << QByteArray();
        QTest::addRow("control codes and NULs count as blanks")
            << QByteArray("Ann\t\x01\0 ", 7) << QByteArray("Ann");
        QTest::addRow("accented last letter is kept")
            << QByteArray("Jos\xc3\xa9  ") << QByteArray("Jos\xc3\xa9");
        QTest::addRow("leading blanks stay") << QByteArray("  Ann") << QByteArray("  Ann");
    }

    void trimTrailingBlanks()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QByteArray, trimmed);
        // Text read back is cut by the same rule.
        QString text = QString::fromUtf8(buffer);
        TrimTrailingBlanks(text);
        QCOMPARE(text, QString::fromUtf8(trimmed));
        QCOMPARE(TrimTrailingBlanks(buffer), int(trimmed.size()));
        QCOMPARE(buffer, trimmed);
    }

    void unseenCharactersAreSpeltOut_data()
    {
        test::Columns<QString, QString, QString>("name", "seen", "unseen");
        QTest::addRow("letters, umlauts, quotes and blanks are seen")
            << u"JÖRG O'NEIL"_s << u"JÖRG O'NEIL"_s << QString();
        QTest::addRow("a zero-width space") << u"BOB\u200b"_s << u"BOB<U+200B>"_s << u"U+200B"_s;
        QTest::addRow("a direction override and mark, each named once")
            << u"\u202eANN\u200f\u202e"_s << u"<U+202E>ANN<U+200F><U+202E>"_s
            << u"U+202E, U+200F"_s;
        QTest::addRow("joiners, byte order mark, soft hyphen")
            << u"A\u200dB\ufeffC\u00ad"_s << u"A<U+200D>B<U+FEFF>C<U+00AD>"_s
            << u"U+200D, U+FEFF, U+00AD"_s;
        QTest::addRow("a no-break space and a tab")
            << u"ANN\u00a0\tX"_s << u"ANN<U+00A0><U+0009>X"_s << u"U+00A0, U+0009"_s;
        QTest::addRow("a filler and a variation selector")
            << u"\u3164BOB\ufe0f"_s << u"<U+3164>BOB<U+FE0F>"_s << u"U+3164, U+FE0F"_s;
        QTest::addRow("a tag outside the first plane")
            << u"BOB\U000E0041"_s << u"BOB<U+E0041>"_s << u"U+E0041"_s;
    }

    void unseenCharactersAreSpeltOut()
    {
        QFETCH(QString, name);
        QFETCH(QString, seen);
        QFETCH(QString, unseen);
        QCOMPARE(SeenName(name), seen);
        QCOMPARE(UnseenCharacters(name), unseen);
    }

    void atoI_data()
    {
        test::Columns<QString, int>("text", "value");
        QTest::addRow("plain") << u"18"_s << 18;
        QTest::addRow("empty gives 0") << QString() << 0;
        QTest::addRow("letters give 0") << u"abc"_s << 0;
        QTest::addRow("leading white space skipped") << u" \t\n42"_s << 42;
        QTest::addRow("stops at the first other character") << u"12ab3"_s << 12;
        QTest::addRow("trailing blanks ignored") << u"7   "_s << 7;
        QTest::addRow("minus sign") << u"-5"_s << -5;
        QTest::addRow("plus sign") << u"+5"_s << 5;
        QTest::addRow("sign without digits") << u"-"_s << 0;
        QTest::addRow("blank after the sign ends it") << u"- 5"_s << 0;
        QTest::addRow("decimal point ends it") << u"3.9"_s << 3;
        QTest::addRow("largest int") << u"2147483647"_s << 2147483647;
        QTest::addRow("smallest int") << u"-2147483648"_s << int(-2147483647 - 1);
        QTest::addRow("too large is held at the top") << u"99999999999999999999"_s << 2147483647;
        QTest::addRow("too small is held at the bottom")
            << u"-99999999999999999999"_s << int(-2147483647 - 1);
    }

    void atoI()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(AtoI(text), value);
    }
};

VIMO_TEST_MAIN(TestTextRules, QCoreApplication)
#include "TestTextRules.moc"
