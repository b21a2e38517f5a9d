// The quick query must answer exactly as the full one, or leave the answer
// to it: each list and sought text is asked both ways. Both fold with the
// tables made at build time, so the mails found are checked against the
// list's own search too, which folds without them.
#include "ScratchData.h"

#include "cli/CommandLine.h"
#include "contacts/ContactRecord.h"
#include "quick/Cp932Tables.h"
#include "quick/QuickQuery.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"
#include "shell/RecordFile.h"

#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

struct Answer {
    bool given;
    int exitCode;
    QByteArray text;
};

QList<QByteArray> queryArgs(const QString &sought)
{
    return {"tessaline", "query", sought.toUtf8()};
}

Answer quickAnswer(QList<QByteArray> args)
{
    QList<char *> argv;
    for (QByteArray &a : args)
        argv << a.data();
    QuickQuery::Answer answer;
    if (!QuickQuery::answer(int(argv.size()), argv.data(), answer))
        return {false, 0, {}};
    const Answer a{true, answer.exitCode, QByteArray(answer.text, qsizetype(answer.size))};
    std::free(answer.text);
    return a;
}

// The full command in this process, its standard output caught in a file.
Answer fullAnswer(QList<QByteArray> args)
{
    QList<char *> argv;
    for (QByteArray &a : args)
        argv << a.data();
    QTemporaryFile out;
    if (!out.open())
        return {false, -1, {}};
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(out.handle(), STDOUT_FILENO);
    const int code = runCommandLine(int(argv.size()), argv.data());
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    out.seek(0);
    return {true, code, out.readAll()};
}

QByteArray listOf(const QList<QStringList> &values)
{
    QList<QStringList> records;
    for (const QStringList &v : values) {
        QStringList r = emptyContact();
        for (qsizetype i = 0; i + 1 < v.size(); i += 2)
            r[v[i].toInt()] = v[i + 1];
        records << r;
    }
    return recordBytes(records);
}

// Every character of the code page but the blanks and those that fold to
// more than four, a hundred to a name; "z" between two that the search
// folds in their run, which the quick query leaves to the full one.
QByteArray everyCharacter()
{
    QString all;
    const auto add = [&all](const std::optional<QString> &c) {
        if (!c || *c == u"\u3000" || foldForSearch(*c).size() > 4)
            return;
        if (!all.isEmpty() && foldOfCharacter(all.back().unicode()) == FoldsInItsRun
            && foldOfCharacter(c->front().unicode()) == FoldsInItsRun)
            all += u'z';
        all += *c;
    };
    for (int b = 0x21; b < 256; ++b) {
        const char byte = char(b);
        add(Cp932::decode(QByteArrayView(&byte, 1)));
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!Cp932Tables::isLeadByte(uchar(lead)))
            continue;
        for (int second = 0x40; second <= 0xFC; ++second) {
            const char pair[] = {char(lead), char(second)};
            add(Cp932::decode(QByteArrayView(pair, 2)));
        }
    }
    QList<QStringList> values;
    for (qsizetype i = 0; i < all.size(); i += 100)
        values << QStringList{u"0"_qs, all.mid(i, 100), u"2"_qs, u"m%1@x"_qs.arg(i)};
    return listOf(values);
}

QByteArray japaneseList()
{
    return listOf({
        {u"0"_qs, u"山田　ﾀﾛｳ"_qs, u"9"_qs, u"がっこう"_qs, u"2"_qs, u"taro@x.jp"_qs, u"11"_qs, u"\tＴＡＲＯ@X.JP "_qs},
        {u"3"_qs, u"ｶﾌﾞｼｷｶﾞｲｼｬ ﾐﾗｲ"_qs, u"4"_qs, u"㈱北斗"_qs, u"2"_qs, u"kabu@x"_qs},
        {u"9"_qs, u"ﾊﾟﾝ"_qs, u"0"_qs, u"ﾞあ"_qs, u"2"_qs, u"pan@x"_qs},
        {u"0"_qs, u"ｶ ﾞｷ　ﾟ"_qs, u"2"_qs, u"blank@x"_qs, u"12"_qs, u"03 555"_qs},
        {u"0"_qs, u"Ⅷ世　ヘ㍻"_qs, u"3"_qs, u"№１ ℡a ㏍"_qs, u"2"_qs, u"roman@x"_qs},
        {u"0"_qs, u"か゛x ㌢y…"_qs, u"2"_qs, u"marks@x"_qs, u"10"_qs, u"０９０－１２３４"_qs},
        {u"19"_qs, u"abc 株 ア"_qs, u"2"_qs, u"note@x"_qs}, // the note is not searched
    });
}

// The first column of each line after the status line.
QStringList mailsIn(const QByteArray &answer)
{
    QStringList mails;
    for (const QString &line : QString::fromUtf8(answer).split(u'\n', Qt::SkipEmptyParts).mid(1))
        mails << line.section(u'\t', 0, 0);
    return mails;
}

// The mails, as columns, of the contacts in whose name, reading, mails,
// phones or affiliations the list's search finds sought.
QStringList mailsTheSearchFinds(const QString &list, const QString &sought)
{
    constexpr int searched[] = {NameField, ReadingField, 2, 11, Tel1Field, Tel2Field, 12, 3, 4};
    const auto column = [](QString value) {
        value.replace(u'\t', u' ');
        while (!value.isEmpty() && (isBlank(value.front()) || value.front() == u' '))
            value.remove(0, 1);
        while (!value.isEmpty() && isBlank(value.back()))
            value.chop(1);
        return value;
    };
    QStringList mails;
    for (const QStringList &r : readRecords(list, FieldCount))
        if (std::any_of(std::begin(searched), std::end(searched), [&](int f) { return TextContains(r[f], sought); }))
            for (const int mail : {2, 11})
                if (!column(r[mail]).isEmpty())
                    mails << column(r[mail]);
    return mails;
}

} // namespace

class TestQuickQuery : public QObject {
    Q_OBJECT
private slots:
    void answersAsTheFullQuery_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("soughts");
        QTest::addColumn<bool>("quick"); // whether the quick query answers every one
        const QStringList japanese{u"ｶﾞｲｼｬ"_qs, u"がいしゃ"_qs, u"(株)"_qs, u"株"_qs, u"ぱん"_qs, u"ガ"_qs,
                                   u"ﾞ"_qs, u"ｶﾞｷﾟ"_qs, u"VIII"_qs, u"平成"_qs, u"k.k."_qs, u"№1"_qs,
                                   u"tel"_qs, u"センチy..."_qs, u"taro"_qs, u"ﾀﾛ"_qs, u"03555"_qs, u"０９０"_qs,
                                   u"x"_qs, u"abc"_qs, u"すずき"_qs, u"　a"_qs};
        QTest::newRow("Japanese values") << japaneseList() << japanese << true;
        QTest::newRow("two in a run, left to the full query")
            << listOf({{u"0"_qs, u"ｱﾞﾞ"_qs, u"2"_qs, u"a@x"_qs}}) << QStringList{u"ア"_qs} << false;
        QTest::newRow("after an expansion but for blanks, left to the full query")
            << listOf({{u"3"_qs, u"㈱ ﾞ"_qs, u"2"_qs, u"a@x"_qs}}) << QStringList{u"株"_qs} << false;
        QTest::newRow("a fold longer than four, left to the full query")
            << listOf({{u"4"_qs, u"㌶"_qs, u"2"_qs, u"a@x"_qs}}) << QStringList{u"ヘクタール"_qs} << false;
        QTest::newRow("sought texts the quick query leaves")
            << japaneseList() << QStringList{u"𠮷"_qs, u"é"_qs, u"ｱﾞﾞ"_qs, u"　"_qs} << false;
        QTest::newRow("an empty list") << QByteArray() << QStringList{u"a"_qs} << true;
        QTest::newRow("a record cut short") << QByteArray("a\r\nb\r\n") << QStringList{u"a"_qs} << false;
        QTest::newRow("a NUL byte") << listOf({{u"0"_qs, u"a"_qs}}).replace("a", QByteArray("a\0", 2))
                                   << QStringList{u"a"_qs} << false;
        QTest::newRow("bytes that are no character")
            << listOf({{u"0"_qs, u"a"_qs, u"2"_qs, u"a@x"_qs}}).replace("a@x", "\x81\x7F")
            << QStringList{u"a"_qs} << false;
        QTest::newRow("lone line ends, no last line end")
            << listOf({{u"0"_qs, u"ab"_qs, u"2"_qs, u"ab@x"_qs}}).replace("\r\n", "\n").chopped(1)
                   + QByteArray("\r") + listOf({{u"0"_qs, u"abc"_qs, u"2"_qs, u"c@x"_qs}}).replace("\r\n", "\r")
            << QStringList{u"ab"_qs} << true;
        // Both halves read on their threads, the middle inside a record.
        QList<QStringList> many;
        for (int i = 0; i < 4000; ++i)
            many << QStringList{u"0"_qs, u"名前%1 ｶﾞ"_qs.arg(i), u"2"_qs, u"m%1@x"_qs.arg(i), u"3"_qs, u"㈱北斗"_qs,
                                u"19"_qs, QString(40, u'x')};
        QTest::newRow("a long list") << listOf(many) << QStringList{u"名前39"_qs, u"ガ"_qs} << true;
        // Each character of the code page found by itself, the table look-ups
        // checked against the general folding: every 7th, and those that fold
        // to several or with the character before them.
        QStringList characters;
        const QByteArray every = everyCharacter();
        const QString decoded = *Cp932::decode(QByteArray(every).replace("\r\n", ""));
        for (qsizetype i = 0; i < decoded.size(); ++i) {
            const char16_t c = decoded[i].unicode();
            if (i % 7 == 0 || QStringLiteral("ﾞﾟ゛゜´¨￣…‥″℃∬⑩Ⅱⅷ㍉㌔㌢㌻㎞㍻№㏍℡㈱㈲").contains(QChar(c)))
                characters << QString(QChar(c));
        }
        characters.removeDuplicates();
        QTest::newRow("every character") << every << characters << false;
    }
    void answersAsTheFullQuery()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, soughts);
        QFETCH(bool, quick);
        ScratchData data;
        data.write(u"load.txt"_qs, list);
        int answered = 0;
        for (const QString &sought : soughts) {
            const Answer fast = quickAnswer(queryArgs(sought));
            const Answer full = fullAnswer(queryArgs(sought));
            QVERIFY(full.given);
            // What the full query answers alone (the general way) is
            // checked against the search as well, where the list is sound.
            if (!fast.given) {
                if (full.exitCode == ExitCode::Done || full.exitCode == ExitCode::NothingFound)
                    QCOMPARE(mailsIn(full.text), mailsTheSearchFinds(data.path(u"load.txt"_qs), sought));
                continue;
            }
            ++answered;
            QCOMPARE(fast.text, full.text);
            QCOMPARE(fast.exitCode, full.exitCode);
            QCOMPARE(mailsIn(fast.text), mailsTheSearchFinds(data.path(u"load.txt"_qs), sought));
        }
        if (quick)
            QCOMPARE(answered, soughts.size());
        else if (QTest::currentDataTag() != QByteArray("every character"))
            QCOMPARE(answered, 0);
        else
            QVERIFY2(answered > soughts.size() * 9 / 10, qPrintable(u"%1 of %2"_qs.arg(answered).arg(soughts.size())));
    }

    // Where the full program would make more of the environment than its
    // bytes, or the command line is not one sought text, the quick query
    // leaves the answer to it.
    void leavesUnusualCallsToTheFullProgram_data()
    {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<QByteArray>("xdgDataHome");
        QTest::addColumn<bool>("quick");
        const QByteArray scratch = "scratch";
        QTest::newRow("after --") << QList<QByteArray>{"tessaline", "query", "--", "a"} << scratch << true;
        QTest::newRow("two words") << QList<QByteArray>{"tessaline", "query", "a", "b"} << scratch << false;
        QTest::newRow("none") << QList<QByteArray>{"tessaline", "query"} << scratch << false;
        QTest::newRow("not UTF-8") << QList<QByteArray>{"tessaline", "query", "\x82\xa0"} << scratch << false;
        QTest::newRow("relative data home") << QList<QByteArray>{"tessaline", "query", "a"} << QByteArray("rel")
                                            << false;
        QTest::newRow("no list") << QList<QByteArray>{"tessaline", "query", "a"} << QByteArray("/nonexistent")
                                 << false;
    }
    void leavesUnusualCallsToTheFullProgram()
    {
        QFETCH(QList<QByteArray>, args);
        QFETCH(QByteArray, xdgDataHome);
        QFETCH(bool, quick);
        ScratchData data;
        data.write(u"load.txt"_qs, listOf({{u"0"_qs, u"a"_qs, u"2"_qs, u"a@x"_qs}}));
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        if (xdgDataHome != "scratch")
            qputenv("XDG_DATA_HOME", xdgDataHome);
        const Answer fast = quickAnswer(args);
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(fast.given, quick);
        if (quick)
            QCOMPARE(fast.text, fullAnswer(args).text);
    }
};

QTEST_GUILESS_MAIN(TestQuickQuery)
#include "test_quickquery.moc"
