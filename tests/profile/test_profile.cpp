#include "profile/Profile.h"
#include "shell/AppError.h"
#include "shell/RecordFile.h"
#include "support/ScratchData.h"

#include <QtTest>

namespace {

// A valid profile; rows of the tables change single fields of it.
QStringList sample()
{
    QStringList values;
    for (int i = 0; i < ProfileFieldCount; ++i)
        values.append(QStringLiteral("v%1").arg(i));
    values[ProfileNameField] = QStringLiteral("山田太郎");
    values[ProfileReadingField] = QStringLiteral("やまだたろう");
    return values;
}

QStringList with(QStringList values, int field, const QString &value)
{
    values[field] = value;
    return values;
}

} // namespace

Q_DECLARE_METATYPE(ProfileProblem::Kind)

class TestProfile : public QObject {
    Q_OBJECT
private slots:
    void required_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<ProfileProblem::Kind>("kind");
        QTest::addColumn<int>("field");
        QTest::newRow("both present") << sample() << ProfileProblem::None << -1;
        QTest::newRow("name empty") << with(sample(), 0, QString()) << ProfileProblem::NameMissing << 0;
        QTest::newRow("name of blanks of both widths")
            << with(sample(), 0, QStringLiteral(" \u3000 ")) << ProfileProblem::NameMissing << 0;
        QTest::newRow("reading empty") << with(sample(), 9, QString()) << ProfileProblem::ReadingMissing << 9;
        QTest::newRow("reading one full-width blank")
            << with(sample(), 9, QStringLiteral("\u3000")) << ProfileProblem::ReadingMissing << 9;
        QTest::newRow("both missing: the name first")
            << with(with(sample(), 9, QString()), 0, QString()) << ProfileProblem::NameMissing << 0;
        QTest::newRow("other fields may be blank")
            << with(with(sample(), 1, QString()), 15, QStringLiteral(" ")) << ProfileProblem::None << -1;
    }
    void required()
    {
        QFETCH(QStringList, values);
        QFETCH(ProfileProblem::Kind, kind);
        QFETCH(int, field);
        const ProfileProblem problem = requiredProblem(values);
        QCOMPARE(problem.kind, kind);
        QCOMPARE(problem.field, field);
    }

    void tidy_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("tidied");
        QTest::newRow("blanks at the ends") << QStringLiteral(" 山田 太郎 ") << QStringLiteral("山田 太郎");
        QTest::newRow("full-width blanks at the ends") << QStringLiteral("\u3000山田\u3000") << QStringLiteral("山田");
        QTest::newRow("blank inside kept") << QStringLiteral("山田\u3000太郎") << QStringLiteral("山田\u3000太郎");
        QTest::newRow("empty becomes one blank") << QString() << QStringLiteral(" ");
        QTest::newRow("blanks become one blank") << QStringLiteral(" \u3000 ") << QStringLiteral(" ");
        QTest::newRow("JIS wave dash to its twin") << QStringLiteral("9時〜17時") << QStringLiteral("9時～17時");
        QTest::newRow("JIS minus to its twin") << QStringLiteral("03−1234") << QStringLiteral("03－1234");
    }
    void tidy()
    {
        QFETCH(QString, typed);
        QFETCH(QString, tidied);
        for (int field : {0, 5, 15}) {
            const QStringList out = tidyProfile(with(sample(), field, typed));
            QCOMPARE(out.size(), ProfileFieldCount);
            QCOMPARE(out[field], tidied);
        }
    }

    void values_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<ProfileProblem::Kind>("kind");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("message");
        const QString emoji = QStringLiteral("\U0001F600");
        QTest::newRow("name of 11") << with(sample(), 0, QString(11, u'名')) << ProfileProblem::None << -1 << QString();
        QTest::newRow("name of 12") << with(sample(), 0, QString(12, u'名')) << ProfileProblem::TooLong << 0
                                    << QStringLiteral("氏名の入力文字数を減らして下さい");
        QTest::newRow("appeal of 100") << with(sample(), 7, QString(100, u'a')) << ProfileProblem::None << -1 << QString();
        QTest::newRow("appeal of 101") << with(sample(), 7, QString(101, u'a')) << ProfileProblem::TooLong << 7
                                       << QStringLiteral("アピール文の入力文字数を減らして下さい");
        QTest::newRow("address and TEL2 too long: the address")
            << with(with(sample(), 10, QString(19, u'1')), 5, QString(31, u'住')) << ProfileProblem::TooLong << 5
            << QStringLiteral("住所の入力文字数を減らして下さい");
        QTest::newRow("surrogate pair counts two")
            << with(sample(), 0, QString(9, u'名') + QStringLiteral("\U00020BB7")) << ProfileProblem::Unstorable << 0
            << QStringLiteral("氏名に保存できない文字が含まれています");
        QTest::newRow("emoji in MAIL1")
            << with(sample(), 2, QStringLiteral("a") + emoji) << ProfileProblem::Unstorable << 2
            << QStringLiteral("MAIL1に保存できない文字が含まれています");
        QTest::newRow("hangul in the map")
            << with(sample(), 15, QStringLiteral("한국")) << ProfileProblem::Unstorable << 15
            << QStringLiteral("地図に保存できない文字が含まれています");
        QTest::newRow("length before characters")
            << with(with(sample(), 2, emoji), 13, QString(45, u'u')) << ProfileProblem::TooLong << 13
            << QStringLiteral("URLの入力文字数を減らして下さい");
        QTest::newRow("code page 932 extensions are storable")
            << with(sample(), 5, QStringLiteral("①髙～")) << ProfileProblem::None << -1 << QString();
    }
    void values()
    {
        QFETCH(QStringList, values);
        QFETCH(ProfileProblem::Kind, kind);
        QFETCH(int, field);
        QFETCH(QString, message);
        const ProfileProblem problem = valueProblem(values);
        QCOMPARE(problem.kind, kind);
        QCOMPARE(problem.field, field);
        QCOMPARE(problemMessage(problem), message);
    }

    void requiredMessages()
    {
        QCOMPARE(problemMessage({ProfileProblem::NameMissing, 0}), QStringLiteral("氏名を入力して下さい"));
        QCOMPARE(problemMessage({ProfileProblem::ReadingMissing, 9}), QStringLiteral("氏名ふりがなを入力して下さい"));
    }

    void fullWidthBlanksOnlyInNameAndReadingAreWrittenHalfWidth()
    {
        QStringList values = sample();
        for (int i = 0; i < ProfileFieldCount; ++i)
            values[i] = QStringLiteral("あ\u3000い");
        const QStringList written = profileToWrite(values);
        for (int i = 0; i < ProfileFieldCount; ++i) {
            const bool halfWidth = i == ProfileNameField || i == ProfileReadingField;
            QCOMPARE(written[i], halfWidth ? QStringLiteral("あ い") : QStringLiteral("あ\u3000い"));
        }
    }

    void blankProfileIs48Bytes()
    {
        ScratchData data;
        writeProfile(data.path(QStringLiteral("myload.txt")), blankProfile());
        QCOMPARE(data.read(QStringLiteral("myload.txt")), QByteArray(" \r\n").repeated(16));
    }

    void writeKeepsOnlySixteenFields()
    {
        ScratchData data;
        QStringList twenty = sample();
        for (int i = ProfileFieldCount; i < 20; ++i)
            twenty.append(QStringLiteral("extra"));
        writeProfile(data.path(QStringLiteral("myload.txt")), twenty);
        QCOMPARE(data.read(QStringLiteral("myload.txt")), recordBytes({sample()}));
    }

    void readLast_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("error");
        const QStringList first = sample();
        const QStringList second = with(sample(), 0, QStringLiteral("二人目"));
        const QStringList before = QStringList(20, QStringLiteral("before"));
        QTest::newRow("one record") << recordBytes({first}) << first << 0;
        QTest::newRow("two records: the second") << recordBytes({first, second}) << second << 0;
        QTest::newRow("empty file leaves the buffer") << QByteArray() << before.mid(0, 16) << 0;
        QTest::newRow("20 lines: the first, then error 62")
            << recordBytes({first}) + QByteArray("a\r\nb\r\nc\r\nd\r\n") << first << int(ErrNo::InputPastEnd);
        QTest::newRow("line of blanks is empty")
            << recordBytes({with(first, 3, QStringLiteral("  \u3000"))}) << with(first, 3, QString()) << 0;
        QTest::newRow("blanks around a value are kept")
            << recordBytes({with(first, 3, QStringLiteral(" a "))}) << with(first, 3, QStringLiteral(" a ")) << 0;
        QTest::newRow("LF line ends") << recordBytes({first}).replace("\r\n", "\n") << first << 0;
    }
    void readLast()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(int, error);
        // The profile import as its window runs it: the last received record
        // over the profile as loaded; a failed read leaves the profile file.
        ScratchData data;
        const QByteArray old = recordBytes({sample()});
        data.write(QStringLiteral("myload.txt"), old);
        data.write(QStringLiteral("putData"), bytes);
        const QStringList work(20, QStringLiteral("before"));
        const ChangeOutcome outcome = ChangeTransaction(profileImportPlan()).apply(profileImportChange(work));
        QCOMPARE(outcome.error, error);
        if (error) {
            QCOMPARE(outcome.step, ChangeStep::Read);
            QCOMPARE(data.read(QStringLiteral("myload.txt")), old);
        } else {
            QVERIFY(outcome.done());
            QCOMPARE(readRecords(data.path(QStringLiteral("myload.txt")), ProfileFieldCount), QList<QStringList>{expected});
        }
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "test_profile.moc"
