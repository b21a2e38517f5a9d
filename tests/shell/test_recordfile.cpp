#include "ScratchData.h"

#include "shell/AppError.h"
#include "shell/Cp932.h"
#include "shell/FileOps.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QtTest>

#include <sys/stat.h>

// Reads a file of two-line records and returns them, or the error number.
static QVariant readTwoLineRecords(const QString &path)
{
    try {
        QStringList flat;
        for (const QStringList &r : readRecords(path, 2))
            flat << r.join(u'|');
        return flat;
    } catch (const AppError &e) {
        return e.number;
    }
}

// The same through the mapped scanner, which must read every file alike.
static QVariant scanTwoLineRecords(const QString &path)
{
    try {
        QStringList flat;
        RecordScanner scanner(path, 2);
        while (scanner.next())
            flat << scanner.values()[0].toString() + u'|' + scanner.values()[1].toString();
        return flat;
    } catch (const AppError &e) {
        return e.number;
    }
}

class TestRecordFile : public QObject {
    Q_OBJECT
private slots:
    void readsLineEndsAndValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("expected");
        const auto recs = [](std::initializer_list<const char *> r) {
            QStringList l;
            for (const char *s : r)
                l << QString::fromUtf8(s);
            return QVariant(l);
        };
        QTest::newRow("empty file") << QByteArray() << recs({});
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc\r\nd\r\n") << recs({"a|b", "c|d"});
        QTest::newRow("lone LF") << QByteArray("a\nb\nc\nd\n") << recs({"a|b", "c|d"});
        QTest::newRow("lone CR") << QByteArray("a\rb\rc\rd\r") << recs({"a|b", "c|d"});
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd\r\n") << recs({"a|b", "c|d"});
        QTest::newRow("last line without end") << QByteArray("a\r\nb") << recs({"a|b"});
        QTest::newRow("blank lines are empty values") << QByteArray("\r\n   \r\n") << recs({"|"});
        QTest::newRow("blanks around a value are kept") << QByteArray(" a \r\nb\r\n") << recs({" a |b"});
        QTest::newRow("comma and quote are plain text") << QByteArray("\"x\",y\r\nz\r\n") << recs({"\"x\",y|z"});
        QTest::newRow("record cut short") << QByteArray("a\r\nb\r\nc\r\n") << QVariant(62);
        QTest::newRow("invalid lead byte") << QByteArray("a\r\n\x81\r\n") << QVariant(1001);
        QTest::newRow("byte without a code") << QByteArray("\xA0x\r\nb\r\n") << QVariant(1001);
        QTest::newRow("cut-off character at the end") << QByteArray("a\r\nb\x82") << QVariant(1001);
        QTest::newRow("NUL byte") << QByteArray("a\r\nb\0c\r\n", 8) << QVariant(1001);
        // Longer than the sixteen bytes of a block of the wide line-end search.
        QTest::newRow("long lines") << QByteArray(40, 'p') + "\r\n" + QByteArray(17, 'q') + "\r" + "\r\n\n"
                                    << QVariant(QStringList{QString(40, u'p') + u'|' + QString(17, u'q'), QStringLiteral("|")});
        // The scanner takes the line ends of 64 bytes at once: a CR LF or a
        // lone CR at the end of such a block, lines over several blocks.
        for (const int before : {62, 63, 64, 65}) {
            const QByteArray p(before, 'p');
            const QString text = QString(before, u'p');
            QTest::addRow("line ends after byte %d", before)
                << p + "\r\nq\r\nr\rs\n" + p + p + "\r" + "\r\n"
                << QVariant(QStringList{text + QStringLiteral("|q"), QStringLiteral("r|s"), text + text + u'|'});
        }
    }
    void readsLineEndsAndValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, expected);
        ScratchData data;
        data.write(QStringLiteral("f"), bytes);
        QCOMPARE(readTwoLineRecords(data.path(QStringLiteral("f"))), expected);
        QCOMPARE(scanTwoLineRecords(data.path(QStringLiteral("f"))), expected);
    }

    // Two scanners over the halves read the records that one reads, where
    // ever the middle falls (in a value, between CR and LF, on a record's
    // first line); the shift moves it byte by byte.
    void halvesReadWhatOneScannerReads_data()
    {
        QTest::addColumn<QList<QByteArray>>("lineEnds");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("firstPercent");
        for (int shift = 0; shift < 4; ++shift) {
            QTest::addRow("CR LF, shift %d", shift) << QList<QByteArray>{"\r\n"} << shift << 50;
            QTest::addRow("mixed, shift %d", shift) << QList<QByteArray>{"\r\n", "\n", "\r", "\r\n", "\r\n"} << shift << 50;
            QTest::addRow("lone CR, shift %d", shift) << QList<QByteArray>{"\r"} << shift << 50;
        }
        QTest::addRow("CR LF, 64 %% kept") << QList<QByteArray>{"\r\n"} << 1 << 64;
        QTest::addRow("mixed, 90 %% kept") << QList<QByteArray>{"\r\n", "\n", "\r"} << 2 << 90;
    }
    void halvesReadWhatOneScannerReads()
    {
        QFETCH(QList<QByteArray>, lineEnds);
        QFETCH(int, shift);
        QFETCH(int, firstPercent);
        constexpr int linesPerRecord = 3;
        QByteArray bytes(shift, 'x');
        for (int line = 0; bytes.size() < 600 * 1024; ++line)
            bytes += QByteArray::number(line) + QByteArray(line % 7, 'v') + lineEnds[line % lineEnds.size()];
        bytes += "last"; // a last line without its end
        while ((bytes.count('\n') + bytes.count('\r') - bytes.count("\r\n") + 1) % linesPerRecord != 0)
            bytes.prepend("p\n");
        ScratchData data;
        data.write(QStringLiteral("f"), bytes);
        const auto recordsOf = [](RecordScanner &scanner) {
            QStringList records;
            while (scanner.next()) {
                QStringList values;
                for (const QStringView v : scanner.values())
                    values << v.toString();
                records << values.join(u'|');
            }
            return records;
        };
        try {
            RecordScanner whole(data.path(QStringLiteral("f")), linesPerRecord);
            RecordScanner first(data.path(QStringLiteral("f")), linesPerRecord);
            const std::unique_ptr<RecordScanner> second = first.splitOffSecondHalf(firstPercent);
            QVERIFY(second);
            const QStringList firstRecords = recordsOf(first);
            const QStringList all = recordsOf(whole);
            QCOMPARE(firstRecords + recordsOf(*second), all);
            // The records are of about one length: the share kept is theirs.
            QVERIFY(qAbs(double(firstRecords.size()) / all.size() - firstPercent / 100.0) < 0.03);
        } catch (const AppError &e) {
            QFAIL(qPrintable(QStringLiteral("error %1").arg(e.number)));
        }
    }

    // The middle in the last record: the second half finds no record of
    // its own, and the first reads them all.
    void aSecondHalfWithoutARecordReadsNothing()
    {
        ScratchData data;
        data.write(QStringLiteral("f"), "a\r\nb\r\nc\r\n" + QByteArray(600 * 1024, 'x') + "\r\ny\r\nz");
        RecordScanner first(data.path(QStringLiteral("f")), 3);
        const std::unique_ptr<RecordScanner> second = first.splitOffSecondHalf();
        QVERIFY(second);
        QVERIFY(!second->next());
        QStringList lastValues;
        int records = 0;
        for (; first.next(); ++records)
            lastValues = {first.values()[1].toString(), first.values()[2].toString()};
        QCOMPARE(records, 2);
        QCOMPARE(lastValues, QStringList({QStringLiteral("y"), QStringLiteral("z")}));
    }

    void crLfSplitAcrossReadChunksIsOneLineEnd()
    {
        // The reader works in 256 KiB chunks: put a CR at the last byte of
        // the first chunk and its LF at the first byte of the next.
        ScratchData data;
        QByteArray bytes(256 * 1024 - 1, 'x');
        bytes += "\r\ny\r\n";
        data.write(QStringLiteral("f"), bytes);
        const QList<QStringList> records = readRecords(data.path(QStringLiteral("f")), 2);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0][1], QStringLiteral("y"));
    }

    void aLineOfOneMegabyteReads()
    {
        ScratchData data;
        QByteArray big;
        for (int i = 0; i < 512 * 1024; ++i)
            big += "\x82\xa0"; // あ
        data.write(QStringLiteral("f"), big + "\r\nb\r\n");
        const QList<QStringList> records = readRecords(data.path(QStringLiteral("f")), 2);
        QCOMPARE(records[0][0].size(), 512 * 1024);
    }

    void aLineWithoutEndPastTheLimitIsRefused()
    {
        ScratchData data;
        data.write(QStringLiteral("f"), QByteArray(5 * 1024 * 1024, 'x'));
        QCOMPARE(readTwoLineRecords(data.path(QStringLiteral("f"))), QVariant(1003));
    }

    void stopsReadingPastTheLimit()
    {
        ScratchData data;
        QByteArray bytes;
        for (int i = 0; i < 100; ++i)
            bytes += "a\r\nb\r\n";
        data.write(QStringLiteral("f"), bytes);
        QCOMPARE(readRecords(data.path(QStringLiteral("f")), 2, 10).size(), 11);
    }

    void missingFileIsError53()
    {
        ScratchData data;
        QCOMPARE(readTwoLineRecords(data.path(QStringLiteral("none"))), QVariant(53));
    }

    void writtenFileReadsBackByteForByte()
    {
        ScratchData data;
        // NEC and IBM extensions, half-width kana, the wave dash, 0x5C and
        // a character whose second byte is 0x5C (ソ).
        const QByteArray bytes("\x87\x40\x87\x82\xfa\x40\xfa\x55\xfb\xfc\r\n"
                               "\xb1\xb2\xb3\xde\r\n"
                               "\x81\x60\x5c\x83\x5c\r\n"
                               " \r\n");
        const std::optional<QString> text = Cp932::decode(bytes);
        QVERIFY(text.has_value());
        QStringList values = text->split(QStringLiteral("\r\n"));
        values.removeLast();
        writeRecordsAtomically(data.path(QStringLiteral("f")), {values});
        QCOMPARE(data.read(QStringLiteral("f")), bytes);
        const QList<QStringList> again = readRecords(data.path(QStringLiteral("f")), 4);
        writeRecordsAtomically(data.path(QStringLiteral("g")), again);
        QCOMPARE(data.read(QStringLiteral("g")).size(), bytes.size() - 1); // " " reads as empty
    }

    void duplicateCodesSettleOnOneSpelling()
    {
        // Code page 932 has two codes for some characters (NEC-selected
        // IBM extensions, NEC's copies of JIS symbols); both read as the same
        // character, which is written with one code from then on.
        ScratchData data;
        data.write(QStringLiteral("f"), "\x87\x90\xed\x40\r\n\x81\xe0\xfa\x5c\r\n");
        const QList<QStringList> first = readRecords(data.path(QStringLiteral("f")), 2);
        QCOMPARE(first[0][0], first[0][1]);
        writeRecordsAtomically(data.path(QStringLiteral("g")), first);
        const QByteArray once = data.read(QStringLiteral("g"));
        writeRecordsAtomically(data.path(QStringLiteral("h")), readRecords(data.path(QStringLiteral("g")), 2));
        QCOMPARE(data.read(QStringLiteral("h")), once);
    }

    void lineBreakInsideAValueBecomesABlank()
    {
        ScratchData data;
        writeRecordsAtomically(data.path(QStringLiteral("f")), {{QStringLiteral("a\r\nb\nc"), QStringLiteral("d")}});
        QCOMPARE(data.read(QStringLiteral("f")), QByteArray("a  b c\r\nd\r\n"));
    }

    // A long list is encoded in two halves at once: the bytes are those of
    // its records one after the other, and a character without a code in
    // either half refuses the whole list.
    void longListEncodesAsItsRecordsInOrder_data()
    {
        QTest::addColumn<int>("unencodableAt");
        QTest::newRow("all encodable") << -1;
        QTest::newRow("first half") << 10;
        QTest::newRow("second half") << 4990;
        QTest::newRow("last record") << 4999;
    }
    void longListEncodesAsItsRecordsInOrder()
    {
        QFETCH(int, unencodableAt);
        QList<QStringList> records;
        QByteArray expected;
        for (int i = 0; i < 5000; ++i) {
            records.append({QStringLiteral("山田 %1").arg(i), i % 7 ? QStringLiteral("ﾔﾏﾀﾞ\r\n") : QString()});
            expected += encodeRecords({records.last()});
        }
        if (unencodableAt >= 0)
            records[unencodableAt][1] = QString::fromUcs4(U"😀");
        try {
            QCOMPARE(encodeRecords(records), expected);
            QCOMPARE(unencodableAt, -1);
        } catch (const AppError &e) {
            QVERIFY(unencodableAt >= 0);
            QCOMPARE(e.number, 1002);
        }
    }

    // Records encoded ahead are copied as they were encoded, in both halves
    // of a long list; a copy changed since then is written as it stands.
    void encodedAheadRecordsAreCopiedUnlessChanged_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("short list") << 3;
        QTest::newRow("long list, in two halves") << 5000;
    }
    void encodedAheadRecordsAreCopiedUnlessChanged()
    {
        QFETCH(int, count);
        QList<QStringList> records;
        EncodedRecords known;
        for (int i = 0; i < count; ++i) {
            records.append({QStringLiteral("山田 %1").arg(i), QStringLiteral("ﾔﾏﾀﾞ\n")});
            QCOMPARE(encodeRecord(records.last()), std::optional(encodeRecords({records.last()})));
            known.add(records.last(), "ahead " + QByteArray::number(i) + "\r\n");
        }
        QList<QStringList> written = records;
        written[1][0] = QStringLiteral("changed");
        QByteArray expected;
        for (int i = 0; i < count; ++i)
            expected += i == 1 ? encodeRecords({written[1]}) : "ahead " + QByteArray::number(i) + "\r\n";
        ScratchData data;
        writeRecordsAtomically(data.path(QStringLiteral("f")), written, &known);
        QCOMPARE(data.read(QStringLiteral("f")), expected);
        QCOMPARE(encodeRecord({QString::fromUcs4(U"😀")}), std::nullopt);
    }

    void unencodableValueWritesNothing()
    {
        ScratchData data;
        data.write(QStringLiteral("f"), "old\r\n");
        try {
            writeRecordsAtomically(data.path(QStringLiteral("f")), {{QString::fromUcs4(U"😀")}});
            QFAIL("no error");
        } catch (const AppError &e) {
            QCOMPARE(e.number, 1002);
        }
        QCOMPARE(data.read(QStringLiteral("f")), QByteArray("old\r\n"));
    }

    void failedWriteLeavesOldFileAndNoTemporary()
    {
        ScratchData data;
        // A folder where the file should be: the rename fails after the
        // temporary file was written.
        QDir(data.folder()).mkdir(QStringLiteral("f"));
        QDir(data.folder()).mkdir(QStringLiteral("f/x"));
        try {
            writeFileAtomically(data.path(QStringLiteral("f")), "new");
            QFAIL("no error");
        } catch (const AppError &e) {
            QVERIFY(e.number != 0);
        }
        QCOMPARE(QDir(data.folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void writtenFilesAreOwnerOnly()
    {
        ScratchData data;
        writeFileAtomically(data.path(QStringLiteral("f")), "x");
        createEmptyFile(data.path(QStringLiteral("g")));
        for (const char *name : {"f", "g"}) {
            struct stat st;
            QCOMPARE(::stat(QFile::encodeName(data.path(QString::fromLatin1(name))).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, mode_t(0600));
        }
        struct stat st;
        ::stat(QFile::encodeName(data.folder()).constData(), &st);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }

    // The backup holds the list as it was, in a file of its own, however it
    // was copied: a reflink, copy_file_range, or reads and writes.
    void backupHoldsTheListAsItWas_data()
    {
        QTest::addColumn<int>("refusedClone");
        QTest::addColumn<int>("refusedCopy");
        QTest::newRow("as the file system has it") << 0 << 0;
        QTest::newRow("no reflink") << EOPNOTSUPP << 0;
        QTest::newRow("no reflink across mounts") << EXDEV << 0;
        QTest::newRow("no copy_file_range") << EOPNOTSUPP << ENOSYS;
        QTest::newRow("copy_file_range refused across mounts") << EOPNOTSUPP << EXDEV;
    }
    void backupHoldsTheListAsItWas()
    {
        QFETCH(int, refusedClone);
        QFETCH(int, refusedCopy);
        static int clone, copy;
        clone = refusedClone;
        copy = refusedCopy;
        ScratchData data;
        const QString list = data.path(QStringLiteral("list")), backup = data.path(QStringLiteral("backup"));
        // More than one copy_file_range call and one read chunk.
        QByteArray old;
        for (int i = 0; old.size() < 700 * 1024; ++i)
            old += QByteArray::number(i) + "\r\n";
        data.write(QStringLiteral("list"), old);
        data.write(QStringLiteral("backup"), "an older and longer backup");
        FileOps::setHook([](const FileOps::Entry &e) {
            if (e.call == FileOps::Call::Clone)
                return clone;
            return e.call == FileOps::Call::CopyRange ? copy : 0;
        });
        backUpFile(list, backup);
        backUpFile(list, backup); // again, over an earlier backup
        FileOps::setHook(nullptr);
        QCOMPARE(data.read(QStringLiteral("backup")), old);
        writeFileAtomically(list, "new list");
        QCOMPARE(data.read(QStringLiteral("backup")), old);
        QCOMPARE(QDir(data.folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({QStringLiteral("backup"), QStringLiteral("list")}));
    }

    void fileCopyHoldsTheFileOrFails_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("failedRead"); // the read call that fails (from 1), or 0
        // Around a page and a 2 MB page; the kernel may return a large read
        // in pieces, each asked again.
        for (const int size : {1, 4095, 4096, 2 * 1024 * 1024, 2 * 1024 * 1024 + 1, 5 * 1024 * 1024 + 3})
            QTest::addRow("%d bytes", size) << size << 0;
        QTest::newRow("the first read fails") << 4096 << 1;
    }

    void fileCopyHoldsTheFileOrFails()
    {
        QFETCH(int, size);
        QFETCH(int, failedRead);
        static int reads, failing;
        reads = 0;
        failing = failedRead;
        ScratchData data;
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            bytes[i] = char(i * 7 + i / 4096);
        data.write(QStringLiteral("file"), bytes);
        QFile file(data.path(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        FileOps::setHook([](const FileOps::Entry &e) {
            return e.call == FileOps::Call::Read && ++reads == failing ? EIO : 0;
        });
        FileCopy copy;
        const bool read = copy.read(file.handle(), size);
        const int error = errno;
        FileOps::setHook(nullptr);
        if (failedRead != 0) {
            QVERIFY(!read);
            QCOMPARE(error, EIO);
            return;
        }
        QVERIFY(read);
        QCOMPARE(copy.bytes(), QByteArrayView(bytes));
    }

    void backupFollowsASymbolicLinkAndNeedsTheList()
    {
        ScratchData data;
        data.write(QStringLiteral("elsewhere"), "list");
        QVERIFY(QFile::link(data.path(QStringLiteral("elsewhere")), data.path(QStringLiteral("list"))));
        backUpFile(data.path(QStringLiteral("list")), data.path(QStringLiteral("backup")));
        QVERIFY(!QFileInfo(data.path(QStringLiteral("backup"))).isSymLink());
        QCOMPARE(data.read(QStringLiteral("backup")), QByteArray("list"));
        try {
            backUpFile(data.path(QStringLiteral("none")), data.path(QStringLiteral("backup")));
            QFAIL("no error");
        } catch (const AppError &e) {
            QCOMPARE(e.number, 53);
        }
        QCOMPARE(data.read(QStringLiteral("backup")), QByteArray("list"));
        removeFile(data.path(QStringLiteral("backup")));
        removeFile(data.path(QStringLiteral("backup"))); // already gone: no error
        QVERIFY(!fileExists(data.path(QStringLiteral("backup"))));
    }
};

QTEST_GUILESS_MAIN(TestRecordFile)
#include "test_recordfile.moc"
