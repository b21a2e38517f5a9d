#include "shell/BasCommn.h"
#include "shell/Cp932.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

class TestCommn : public QObject {
    Q_OBJECT
private slots:
    void errorReportHasFourExactLines()
    {
        CurrentFormName = QStringLiteral("  Form1 ");
        const QString text = errorReportText(QStringLiteral(" Pf_TextRead\u3000"), 53);
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("プログラム名\u3000\u3000(Form1)"));
        QCOMPARE(lines[1], QStringLiteral("ルーチン名\u3000\u3000\u3000(Pf_TextRead)"));
        QCOMPARE(lines[2], QStringLiteral("エラー内容  \u3000\u3000(53 ") + errorDescription(53) + u')');
        QCOMPARE(lines[3], QStringLiteral("エラーが発生しました。内容を確認後、システム管理者に連絡して下さい"));
        QVERIFY(!text.endsWith(QStringLiteral("\r\n")));
        QVERIFY(errorReportText(QStringLiteral("Main"), -1).contains(QStringLiteral("(-1 ")));
    }

    void everyFileErrorHasItsOwnDescription()
    {
        // Every number that can reach the user, the grid's 381 included.
        const QList<int> numbers = {7, 53, 57, 61, 62, 70, 75, 76, 381, 1001, 1002, 1003, 1004};
        QSet<QString> seen;
        for (int n : numbers)
            seen.insert(errorDescription(n));
        seen.insert(errorDescription(-1)); // the unexpected one
        QCOMPARE(seen.size(), numbers.size() + 1);
    }

    void blankToSpace_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << QStringLiteral(" ");
        QTest::newRow("one blank") << QStringLiteral(" ") << QStringLiteral(" ");
        QTest::newRow("three blanks") << QStringLiteral("   ") << QStringLiteral(" ");
        QTest::newRow("full-width blank") << QStringLiteral("\u3000") << QStringLiteral(" ");
        QTest::newRow("letter kept untrimmed") << QStringLiteral(" a ") << QStringLiteral(" a ");
    }
    void blankToSpace()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(BlankToSpace(value), expected);
    }

    void fieldTooLong_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("name at max") << 0 << 11 << false;
        QTest::newRow("name over") << 0 << 12 << true;
        QTest::newRow("appeal at max") << 7 << 100 << false;
        QTest::newRow("appeal over") << 7 << 101 << true;
        QTest::newRow("reading over") << 9 << 23 << true;
        QTest::newRow("comment at max") << 19 << 33 << false;
        QTest::newRow("no such field") << 20 << 1000 << false;
        QTest::newRow("negative field") << -1 << 1000 << false;
    }
    void fieldTooLong()
    {
        QFETCH(int, field);
        QFETCH(int, length);
        QFETCH(bool, tooLong);
        QCOMPARE(FieldTooLong(field, length), tooLong);
    }

    void textContains_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sought");
        QTest::addColumn<bool>("found");
        QTest::newRow("blank inside the text") << QStringLiteral("山田 太郎") << QStringLiteral("田太") << true;
        QTest::newRow("full-width blank inside") << QStringLiteral("山田\u3000太郎") << QStringLiteral("田 太") << true;
        QTest::newRow("case") << QStringLiteral("ABC") << QStringLiteral("b") << true;
        QTest::newRow("full-width letters") << QStringLiteral("ＡＢＣ商事") << QStringLiteral("abc") << true;
        QTest::newRow("hiragana finds katakana") << QStringLiteral("ヤマダ") << QStringLiteral("やまだ") << true;
        QTest::newRow("hiragana finds half-width kana") << QStringLiteral("ﾔﾏﾀﾞ ﾀﾛｳ") << QStringLiteral("やまだ") << true;
        QTest::newRow("katakana finds hiragana") << QStringLiteral("やまだ") << QStringLiteral("ヤマ") << true;
        QTest::newRow("full-width digits") << QStringLiteral("０３-１２３４") << QStringLiteral("03-12") << true;
        QTest::newRow("voiced mark matters") << QStringLiteral("ヤマタ") << QStringLiteral("やまだ") << false;
        QTest::newRow("not there") << QStringLiteral("佐藤") << QStringLiteral("山田") << false;
        QTest::newRow("blank search in text") << QStringLiteral("abc") << QStringLiteral("  ") << true;
        QTest::newRow("full-width blank search") << QStringLiteral("abc") << QStringLiteral("\u3000") << true;
        QTest::newRow("blank cell never matches") << QStringLiteral("   ") << QStringLiteral("\u3000") << false;
        QTest::newRow("empty cell never matches") << QString() << QStringLiteral("a") << false;
        QTest::newRow("German sharp s folds") << QStringLiteral("STRASSE") << QStringLiteral("straße") << true;
    }
    void textContains()
    {
        QFETCH(QString, text);
        QFETCH(QString, sought);
        QFETCH(bool, found);
        QCOMPARE(TextContains(text, sought), found);
    }

    // The search folds character by character where it can; it must give
    // what folding the whole text at once gives.
    void foldingByCharacterEqualsFoldingTheWholeText()
    {
        const auto reference = [](QString text) {
            text.remove(u' ').remove(u'\u3000');
            QString norm = text.normalized(QString::NormalizationForm_KC);
            for (QChar &c : norm)
                if (c.unicode() >= 0x3041 && c.unicode() <= 0x3096)
                    c = QChar(char16_t(c.unicode() + 0x60));
            norm = norm.toCaseFolded().replace(QChar(0xDF), QStringLiteral("ss"));
            return norm.remove(u' ').remove(u'\u3000');
        };
        QStringList samples = {QStringLiteral("ｶﾞｷﾞｸﾞｹﾞｺﾞ ﾊﾟﾋﾟﾌﾟ ｳﾞ ｱﾞ ﾞｶ ﾟ"), QStringLiteral("か\u3099は\u309Aう\u3099"),
                               QStringLiteral("e\u0301 A \u0301 Ａ\u0301"), QStringLiteral("㈱北斗①②⑳ ㍻ ﬀ ſt"),
                               QStringLiteral("한국 ᄀ\u1161 가\u11A8"), QStringLiteral("ＳＴＲＡẞＥ Straße İ"),
                               QStringLiteral("ゝゞヽヾ・ｰー〜～"), QString::fromUcs4(U"𠮷野家😀 a\u00A0b")};
        for (char16_t a = 0xFF61; a <= 0xFF9F; ++a)
            for (char16_t b : {u'\uFF9E', u'\uFF9F', u'\u3099', u'\u309A', u'ｱ'})
                samples << QString(QChar(a)) + QChar(b);
        for (const QString &sample : samples)
            QCOMPARE(foldForSearch(sample), reference(sample));
    }

    void trimRemovesBothBlankWidthsAtTheEndsOnly()
    {
        QCOMPARE(trimBlanks(QStringLiteral("\u3000 山田 太郎 \u3000")), QStringLiteral("山田 太郎"));
        QCOMPARE(trimBlanks(QStringLiteral("\u3000")), QString());
    }

    void jisTwinsBecomeStorable_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("wave dash") << QStringLiteral("\u301C") << QByteArray("\x81\x60");
        QTest::newRow("double vertical line") << QStringLiteral("\u2016") << QByteArray("\x81\x61");
        QTest::newRow("minus") << QStringLiteral("\u2212") << QByteArray("\x81\x7C");
        QTest::newRow("em dash") << QStringLiteral("\u2014") << QByteArray("\x81\x5C");
        QTest::newRow("cent") << QStringLiteral("\u00A2") << QByteArray("\x81\x91");
        QTest::newRow("pound") << QStringLiteral("\u00A3") << QByteArray("\x81\x92");
        QTest::newRow("not") << QStringLiteral("\u00AC") << QByteArray("\x81\xCA");
        QTest::newRow("yen") << QStringLiteral("\u00A5") << QByteArray("\x81\x8F");
        QTest::newRow("overline") << QStringLiteral("\u203E") << QByteArray("\x81\x50");
    }
    void jisTwinsBecomeStorable()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        QVERIFY(!Cp932::representable(typed));
        const std::optional<QByteArray> bytes = Cp932::encode(Cp932::foldJisTwins(typed));
        QVERIFY(bytes.has_value());
        QCOMPARE(*bytes, stored);
    }

    // The per-character tables against ICU's converter asked about each
    // code alone: every byte, every pair after a first byte, every BMP
    // character, and random texts mixing them (one and two bytes a step).
    // Bytes 0x01 to 0x7F are ASCII as in the code page's own table (ICU's
    // windows-31j swaps three control characters).
    void codecAgreesWithIcuOnEveryCode()
    {
        const auto icuChar = [](QByteArrayView bytes) -> std::optional<char16_t> {
            if (bytes.size() == 1 && bytes[0] > 0)
                return char16_t(bytes[0]);
            QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
            const QString text = decoder(bytes);
            if (decoder.hasError() || text.size() != 1 || text[0] == QChar(0) || text[0].unicode() >= 0xFFFE)
                return std::nullopt;
            return text[0].unicode();
        };
        struct Code { QByteArray bytes; char16_t c; };
        QList<Code> valid;
        for (int b0 = 0; b0 < 256; ++b0) {
            const bool lead = (b0 >= 0x81 && b0 <= 0x9F) || (b0 >= 0xE0 && b0 <= 0xFC);
            for (int b1 = 0; b1 < (lead ? 256 : 1); ++b1) {
                QByteArray bytes(1, char(b0));
                if (lead)
                    bytes += char(b1);
                const std::optional<char16_t> expected = icuChar(bytes);
                const std::optional<QString> got = Cp932::decode(bytes);
                QVERIFY2(got.has_value() == expected.has_value(), bytes.toHex().constData());
                if (expected) {
                    QCOMPARE(got->size(), 1);
                    QCOMPARE(got->at(0).unicode(), *expected);
                    valid.append({bytes, *expected});
                }
            }
            if (lead) // a first byte of two at the very end
                QVERIFY(!Cp932::decode(QByteArray(1, char(b0))).has_value());
        }

        QHash<char16_t, QByteArray> written;
        for (int c = 0; c < 0x10000; ++c) {
            const QChar qc{char16_t(c)};
            QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
            const QByteArray icuBytes = c < 0x80 ? QByteArray(1, char(c)) : encoder(QStringView(&qc, 1));
            const bool storable = c != 0 && !qc.isSurrogate() && !encoder.hasError() && !icuBytes.isEmpty()
                && icuBytes.size() <= 2 && icuChar(icuBytes) == char16_t(c);
            const std::optional<QByteArray> got = Cp932::encode(QStringView(&qc, 1));
            QVERIFY2(got.has_value() == storable, QByteArray::number(c, 16).constData());
            if (storable) {
                QCOMPARE(*got, icuBytes);
                written.insert(char16_t(c), icuBytes);
            }
        }

        QRandomGenerator random(932);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes;
            QString text;
            std::optional<QByteArray> rewritten = QByteArray();
            const int length = random.bounded(1, 40);
            for (int i = 0; i < length; ++i) {
                const Code &code = valid[random.bounded(valid.size())];
                bytes += code.bytes;
                text += QChar(code.c);
                if (rewritten && written.contains(code.c))
                    *rewritten += written.value(code.c);
                else
                    rewritten.reset();
            }
            QCOMPARE(Cp932::decode(bytes), std::optional<QString>(text));
            QCOMPARE(Cp932::encode(text), rewritten);
        }
    }

    // Runs of ASCII are encoded and checked four UTF-16 units at a time: a
    // NUL, a line break or a character past ASCII at any place of a run
    // gives what encoding the characters one by one gives.
    void asciiRunsAreTakenAsOneByOne_data()
    {
        QTest::addColumn<QString>("text");
        // Runs are taken eight and four units at a time: each place of two
        // eights and of the tail after them.
        const QString plain = QStringLiteral("abcdefghijklmnopqrst");
        for (int at = 0; at < plain.size(); ++at) {
            for (const char16_t odd : {u'\0', u'\r', u'\n', char16_t(0x7F), char16_t(0x80), u'ア', char16_t(0xD83D)}) {
                QString text = plain;
                text[at] = QChar(odd);
                QTest::addRow("U+%04X at %d", unsigned(odd), at) << text;
            }
        }
    }
    void asciiRunsAreTakenAsOneByOne()
    {
        QFETCH(QString, text);
        for (const Cp932::LineBreaks breaks : {Cp932::LineBreaks::Kept, Cp932::LineBreaks::AsBlanks}) {
            std::optional<QByteArray> expected = QByteArray();
            for (const QChar c : text) {
                QByteArray one(2, '\0');
                const qsizetype n = Cp932::encodeInto(QStringView(&c, 1), one.data(), breaks);
                if (n < 0 || !expected) {
                    expected.reset();
                    continue;
                }
                *expected += one.left(n);
            }
            QByteArray bytes(text.size() * 2, '\0');
            const qsizetype n = Cp932::encodeInto(text, bytes.data(), breaks);
            QCOMPARE(n < 0 ? std::nullopt : std::optional(bytes.left(n)), expected);
            QCOMPARE(Cp932::representable(text), expected.has_value());
        }
    }

    void unrepresentableTextIsRefusedNotSubstituted()
    {
        QVERIFY(!Cp932::encode(QString::fromUcs4(U"笑😀")).has_value());
        QVERIFY(!Cp932::encode(QString::fromUcs4(U"𠮷野家")).has_value());
        QVERIFY(!Cp932::encode(QStringLiteral("한국")).has_value());
        QVERIFY(Cp932::encode(QStringLiteral("髙橋①㈱ｱｲｳ")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestCommn)
#include "test_commn.moc"
