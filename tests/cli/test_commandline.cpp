#include "CommandRun.h"
#include "ScratchData.h"

#include "cli/CommandLine.h"
#include "contacts/ContactRecord.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"

#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <iterator>

#include <sys/stat.h>

namespace {

ContactRecord yamada()
{
    ContactRecord r = contact(u"やまだ　たろう"_qs, u"山田　太郎"_qs, u"a"_qs);
    r[2] = u"taro@example.jp"_qs;
    r[11] = u"\ttab@example.jp"_qs;
    r[3] = u"ＡＢＣ商事"_qs;
    return r;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answersWithExitCodes_data()
    {
        QTest::addColumn<bool>("withList");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("inOutput");
        QTest::addColumn<QString>("inErrors");
        const QString none;
        QTest::newRow("version") << false << QStringList{u"--version"_qs} << ExitCode::Done << u"tessaline 1.0.0"_qs << none;
        QTest::newRow("help") << false << QStringList{u"--help"_qs} << ExitCode::Done << u"query 文字列"_qs << none;
        QTest::newRow("help names import")
            << false << QStringList{u"--help"_qs} << ExitCode::Done << u"import [--replace-unstorable]"_qs << none;
        QTest::newRow("unknown subcommand") << false << QStringList{u"exprot"_qs} << ExitCode::UsageError
                                            << none << u"不明なサブコマンドです: exprot"_qs;
        QTest::newRow("unknown format") << true << QStringList{u"export"_qs, u"--format"_qs, u"xml"_qs}
                                        << ExitCode::UsageError << none << u"不明な形式です"_qs;
        QTest::newRow("format without its value") << true << QStringList{u"export"_qs, u"--format"_qs}
                                                  << ExitCode::UsageError << none << u"--format"_qs;
        QTest::newRow("export without a list") << false << QStringList{u"export"_qs} << ExitCode::FileError
                                               << none << u"連絡先一覧のファイルがありません"_qs;
        QTest::newRow("export vCard 3.0") << true << QStringList{u"export"_qs} << ExitCode::Done
                                          << u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田　太郎\r\n"_qs << none;
        QTest::newRow("export vCard 4.0") << true << QStringList{u"export"_qs, u"--format=vcard4"_qs}
                                          << ExitCode::Done << u"VERSION:4.0\r\n"_qs << none;
        QTest::newRow("export CSV") << true << QStringList{u"export"_qs, u"--format"_qs, u"csv"_qs}
                                    << ExitCode::Done << u"First Name,Middle Name,Last Name,"_qs << none;
        QTest::newRow("query by folded reading") << true << QStringList{u"query"_qs, u"ﾔﾏﾀﾞ"_qs} << ExitCode::Done
                                                 << u"\ntaro@example.jp\t山田　太郎\tやまだ　たろう\n"_qs << none;
        QTest::newRow("query by affiliation, tab in a value")
            << true << QStringList{u"query"_qs, u"abc"_qs} << ExitCode::Done
            << u"\ntab@example.jp\t山田　太郎\tやまだ　たろう\n"_qs << none;
        QTest::newRow("query without a hit") << true << QStringList{u"query"_qs, u"すずき"_qs}
                                             << ExitCode::NothingFound << u"該当する連絡先はありません\n"_qs << none;
        QTest::newRow("query of blanks") << true << QStringList{u"query"_qs, u"　 "_qs} << ExitCode::UsageError
                                         << none << u"検索文字列を入力して下さい"_qs;
        QTest::newRow("query of two words") << true << QStringList{u"query"_qs, u"a"_qs, u"b"_qs}
                                            << ExitCode::UsageError << none << u"query"_qs;
        QTest::newRow("output without a file name") << true << QStringList{u"export"_qs, u"--output="_qs}
                                                    << ExitCode::UsageError << none << u"--output"_qs;
        QTest::newRow("output over the list itself")
            << true << QStringList{u"export"_qs, u"--output"_qs, u"LIST"_qs} << ExitCode::Refused << none
            << u"データフォルダーのファイルには書き出せません"_qs;
        QTest::newRow("output into a missing folder")
            << true << QStringList{u"export"_qs, u"--output"_qs, u"/nonexistent-folder/x.vcf"_qs}
            << ExitCode::FileError << none << u"書き出せません"_qs;
    }
    void answersWithExitCodes()
    {
        QFETCH(bool, withList);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, inOutput);
        QFETCH(QString, inErrors);
        ScratchData data;
        if (withList)
            data.write(u"load.txt"_qs, recordBytes({yamada()}));
        args.replaceInStrings(u"LIST"_qs, data.path(u"load.txt"_qs));
        const Run run = runTessaline(args);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.out.contains(inOutput), qPrintable(run.out));
        QVERIFY2(run.err.contains(inErrors), qPrintable(run.err));
        if (inErrors.isEmpty())
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        if (withList) // nothing ever changes the list
            QCOMPARE(data.read(u"load.txt"_qs), recordBytes({yamada()}));
    }

    void outputFileHoldsWhatStandardOutputGets()
    {
        ScratchData data;
        QList<QStringList> records;
        for (int i = 0; i < 300; ++i)
            records << contact(u"よみ%1"_qs.arg(i, 4, 10, QChar(u'0')), u"名前%1"_qs.arg(i), u"t"_qs);
        data.write(u"load.txt"_qs, recordBytes(records));
        const QString file = data.path(u"out.vcf"_qs);
        const Run toStdout = runTessaline({u"export"_qs});
        QCOMPARE(toStdout.exitCode, 0);
        QCOMPARE(toStdout.out.count(u"BEGIN:VCARD"_qs), 300);
        QCOMPARE(runTessaline({u"export"_qs, u"--output"_qs, file}).exitCode, 0);
        QCOMPARE(QString::fromUtf8(data.read(u"out.vcf"_qs)), toStdout.out);
        const QString csv = data.path(u"out.csv"_qs);
        QCOMPARE(runTessaline({u"export"_qs, u"--format=csv"_qs, u"--output="_qs + csv}).exitCode, 0);
        QVERIFY(data.read(u"out.csv"_qs).startsWith("\xEF\xBB\xBF" "First Name,"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    // The query folds the bytes of the list itself; it must find exactly
    // the contacts that the list's search finds.
    void queryFindsWhatTheSearchFinds_data()
    {
        QTest::addColumn<QString>("sought");
        for (const char16_t *sought : {u"ｶﾞｲｼｬ", u"がいしゃ", u"(株)", u"株", u"abc", u"090-12", u"03555",
                                       u"taro", u"ぱん", u"パ", u"ア", u"たろう", u"Ｘ.ＪＰ", u"北斗",
                                       u"[\\]^_`ab", u"xyz{|}~", u"@ABCDEFGHIJKLMNOPQRSTUVWXYZ", u"aab",
                                       u"3-1", u"０３５５５"})
            QTest::newRow(qPrintable(QString::fromUtf16(sought))) << QString::fromUtf16(sought);
    }
    void queryFindsWhatTheSearchFinds()
    {
        QFETCH(QString, sought);
        const struct {
            int field;
            const char16_t *value;
        } values[] = {
            {NameField, u"山田　ﾀﾛｳ"},          {ReadingField, u"がっこう"},
            {3, u"ｶﾌﾞｼｷｶﾞｲｼｬ ﾐﾗｲ"},           {3, u"㈱北斗"},
            {4, u"ＡＢＣ商事"},                 {Tel1Field, u"０９０－１２３４"},
            {12, u"03 555"},                    {11, u"ＴＡＲＯ@X.JP"},
            {ReadingField, u"ﾊﾟﾝ"},             {NameField, u"ﾞあ"},
            {Tel2Field, u"カタカナ"},           {19, u"abc 株 ア"}, // the note is not searched
            // The first sought character is looked for eight at a time: a
            // hit as the whole value, at a value's end, after many starts.
            {4, u"aab"},                        {12, u"0123456aab"},
            {11, u"aaaaaaaaaaaaaaab@y"},        {Tel1Field, u"03-1"},
            // Printable ASCII, sixteen bytes and more at a time.
            {2, u"!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~"},
        };
        constexpr int searched[] = {NameField, ReadingField, 2, 11, 3, 4, Tel1Field, Tel2Field, 12};
        QList<QStringList> records;
        QStringList expected;
        for (const auto &v : values) {
            QStringList r = emptyContact();
            r[2] = u"m%1@x"_qs.arg(records.size());
            r[v.field] = QString::fromUtf16(v.value);
            if (std::any_of(std::begin(searched), std::end(searched),
                            [&](int field) { return TextContains(r[field], sought); }))
                expected << r[2] << r[11];
            records << r;
        }
        expected.removeAll(QString());
        ScratchData data;
        data.write(u"load.txt"_qs, recordBytes(records));
        const Run run = runTessaline({u"query"_qs, sought});
        QCOMPARE(run.exitCode, expected.isEmpty() ? int(ExitCode::NothingFound) : int(ExitCode::Done));
        QStringList found;
        for (const QString &line : run.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
            found << line.section(u'\t', 0, 0);
        QCOMPARE(found, expected);
    }

    // An answer that can't be written is reported in the command's words,
    // whether the quick query or the full one gave it.
    void reportsAnAnswerThatCantBeWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quick") << u"山田　太郎"_qs;
        // Two characters folded in one run: left to the full query.
        QTest::newRow("full") << u"山田　ｱﾞﾞ"_qs;
    }
    void reportsAnAnswerThatCantBeWritten()
    {
        QFETCH(QString, name);
        ScratchData data;
        ContactRecord r = yamada();
        r[NameField] = name;
        data.write(u"load.txt"_qs, recordBytes({r}));
        QProcess process;
        process.setStandardOutputFile(u"/dev/full"_qs);
        process.start(QStringLiteral(TESSALINE_BIN), {u"query"_qs, u"taro"_qs});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), int(ExitCode::FileError));
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(u"標準出力に書き込めません"_qs));
    }

    // The command links the C library alone (the quick query answers
    // without Qt); the subcommands' library loads Qt Core but no window
    // library.
    void loadsNoWindowLibraries()
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LD_TRACE_LOADED_OBJECTS"_qs, u"1"_qs);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TESSALINE_BIN), {u"--version"_qs});
        QVERIFY(process.waitForFinished(30000));
        const QString linked = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(linked.contains(u"libc.so"_qs), qPrintable(linked));
        QVERIFY2(!linked.contains(u"libQt6"_qs) && !linked.contains(u"libstdc++"_qs), qPrintable(linked));

        // The dynamic loader names each library it loads, the subcommands'
        // too.
        env.remove(u"LD_TRACE_LOADED_OBJECTS"_qs);
        env.insert(u"LD_DEBUG"_qs, u"files"_qs);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TESSALINE_BIN), {u"--version"_qs});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.readAllStandardOutput(), QByteArray("tessaline 1.0.0\n"));
        const QString loaded = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(loaded.contains(u"libtessaline-cli.so"_qs) && loaded.contains(u"libQt6Core"_qs), qPrintable(loaded));
        QVERIFY2(!loaded.contains(u"libQt6Gui"_qs) && !loaded.contains(u"libQt6Widgets"_qs), qPrintable(loaded));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
