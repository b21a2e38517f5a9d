#include "contacts/ContactPrint.h"
#include "interchange/FieldMap.h"
#include "readings/Kana.h"

#include <QElapsedTimer>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Readings that start in every row, in each way a reading may be written:
// katakana, half-width, voiced, small kana, letters.
const QStringList ReadingStarts = {
    u"あいかわ"_qs, u"ウエノ"_qs, u"ぉの"_qs, u"ゔぃら"_qs, u"かとう"_qs, u"ごとう"_qs, u"ｶﾞﾓｳ"_qs, u"さとう"_qs,
    u"ジン"_qs, u"たなか"_qs, u"どい"_qs, u"っぽ"_qs, u"なかむら"_qs, u"ノグチ"_qs, u"はやし"_qs, u"ぱく"_qs,
    u"ﾌﾞﾝ"_qs, u"まつもと"_qs, u"やまだ"_qs, u"ゆうき"_qs, u"ょこ"_qs, u"りん"_qs, u"ロペス"_qs, u"わたなべ"_qs,
    u"をの"_qs, u"んどう"_qs, u"Smith"_qs, u"１ばん"_qs,
};

ContactRecord printed(int n, const QString &name, const QString &reading)
{
    ContactRecord r = emptyContact();
    r[NameField] = name;
    r[ReadingField] = reading;
    r[Tel1Field] = QStringLiteral("090-%1-%2").arg(n % 10000, 4, 10, QChar(u'0')).arg((n * 7) % 10000, 4, 10, QChar(u'0'));
    r[FieldMap::Mail1Field] = QStringLiteral("contact%1@example.co.jp").arg(n);
    r[FieldMap::Affiliation1Field] = QStringLiteral("株式会社テッサライン技術研究所 第%1開発部").arg(n % 9 + 1);
    return r;
}

// The PDF's text, folded with NFKC: Qt's PDF writer maps a glyph back to
// the lowest code point the font gives it, and Noto Sans CJK draws the
// Kangxi radical ⾏ U+2F8F and the kanji 行 U+884C with one glyph, so the
// text layer holds the radical, which NFKC folds back.
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

QStringList headings()
{
    QStringList h;
    for (int r = 0; r <= int(GojuonRow::Other); ++r)
        h.append(gojuonRowHeading(GojuonRow(r)));
    return h;
}

} // namespace

class TestContactPrint : public QObject
{
    Q_OBJECT
private slots:
    // Every contact of a long list is printed once, under the heading of its
    // reading's row, and the headings come in the syllabary's order.
    void tenThousandUnderTheirHeadings()
    {
        QList<ContactRecord> contacts;
        for (int n = 0; n < 10000; ++n) {
            const QString reading = ReadingStarts[n % ReadingStarts.size()] + u' ' + ReadingStarts[(n / 7) % ReadingStarts.size()];
            contacts.append(printed(n, QStringLiteral("連絡先%1").arg(n, 5, 10, QChar(u'0')), reading));
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        int pages = 0;
        QElapsedTimer timer;
        {
            QPdfWriter writer(pdf);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
            timer.start();
            pages = printContacts(contacts, writer, QDate(2026, 12, 9));
        }
        qInfo("10000 contacts printed to PDF in %lld ms, %d pages", timer.elapsed(), pages);
        QVERIFY(pages > 100);

        const QString text = pdfText(pdf);
        QVERIFY2(!text.isEmpty(), "pdftotext failed");
        const QStringList allHeadings = headings();
        const QRegularExpression nameRe(QStringLiteral("連絡先(\\d{5})"));
        QStringList seenHeadings;
        QString current;
        QList<int> printedUnder(contacts.size(), -1);
        int pageFooters = 0;
        for (const QString &rawLine : text.split(u'\n')) {
            const QString line = rawLine.trimmed();
            if (allHeadings.contains(line)) {
                current = line;
                seenHeadings.append(line);
                continue;
            }
            if (line.contains(QStringLiteral("2026/12/09")) && line.contains(QRegularExpression(QStringLiteral("\\d ?/ ?%1\\b").arg(pages))))
                ++pageFooters;
            const QRegularExpressionMatch m = nameRe.match(line);
            if (!m.hasMatch())
                continue;
            const int n = m.captured(1).toInt();
            QVERIFY2(printedUnder[n] == -1, qPrintable(u"printed twice: "_qs + line));
            printedUnder[n] = int(allHeadings.indexOf(current));
        }
        QCOMPARE(seenHeadings, allHeadings); // each row once, in order
        QCOMPARE(pageFooters, pages);
        for (int n = 0; n < contacts.size(); ++n) {
            const int want = int(gojuonRow(contacts[n][ReadingField]));
            QVERIFY2(printedUnder[n] == want,
                     qPrintable(QStringLiteral("contact %1 (%2) under %3").arg(n).arg(contacts[n][ReadingField]).arg(printedUnder[n])));
        }
    }

    // A short list on one page, with the font embedded; written to
    // $TESSALINE_PRINT_SAMPLE when set, to be looked at.
    void shortListOnOnePage()
    {
        const QString people = u"佐藤 翔太/さとう しょうた,高橋 美咲/たかはし みさき,渡辺 結衣/わたなべ ゆい,伊藤 大輔/いとう だいすけ,"
                               u"山本 陽菜/やまもと ひな,中村 悠真/なかむら ゆうま,小林 さくら/こばやし さくら,加藤 蓮/かとう れん,"
                               u"吉田 優奈/よしだ ゆうな,山田 太郎/やまだ たろう,斎藤 健/さいとう けん,松本 七海/まつもと ななみ,"
                               u"井上 翼/いのうえ つばさ,木村 拓哉/きむら たくや,林 亮/はやし りょう,清水 愛/しみず あい,"
                               u"山口 颯太/やまぐち そうた,森 葵/もり あおい,池田 湊/いけだ みなと,橋本 陽翔/はしもと はると,"
                               u"阿部 凛/あべ りん,石川 悠人/いしかわ ゆうと,前田 結菜/まえだ ゆいな,藤田 大和/ふじた やまと,"
                               u"小川 芽依/おがわ めい,岡田 樹/おかだ いつき,後藤 美桜/ごとう みお,長谷川 陸/はせがわ りく,"
                               u"John Smith/John Smith,近藤 蒼/こんどう あおい"_qs;
        QList<ContactRecord> contacts;
        for (const QString &person : people.split(u','))
            contacts.append(printed(int(contacts.size()) + 1, person.section(u'/', 0, 0), person.section(u'/', 1, 1)));
        std::stable_sort(contacts.begin(), contacts.end(), [](const ContactRecord &a, const ContactRecord &b) {
            return compareSortForms(a[ReadingField], b[ReadingField]) < 0;
        });

        QTemporaryDir dir;
        const QString pdf = qEnvironmentVariableIsSet("TESSALINE_PRINT_SAMPLE") ? qEnvironmentVariable("TESSALINE_PRINT_SAMPLE")
                                                                                 : dir.filePath(QStringLiteral("short.pdf"));
        {
            QPdfWriter writer(pdf);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
            QCOMPARE(printContacts(contacts, writer, QDate(2026, 12, 9)), 1);
        }
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("NotoSansCJK")); // the font is embedded
        const QString text = pdfText(pdf);
        QVERIFY(text.contains(u"John Smith"_qs));
        QVERIFY(text.contains(u"contact28@example.co.jp"_qs));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\b1 ?/ ?1\\b"))));
    }
};

QTEST_MAIN(TestContactPrint)
#include "test_contactprint.moc"
