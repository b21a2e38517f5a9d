#include "cli/CommandLine.h"

#include "cli/MailQuery.h"
#include "interchange/ContactExport.h"
#include "interchange/ContactImport.h"
#include "interchange/FieldMap.h"
#include "interchange/ImportChange.h"
#include "shell/AppError.h"
#include "shell/AsideTask.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/HeapGrowth.h"
#include "shell/InstanceLock.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

// Messages go to standard error in Japanese, each on its own line.
void say(const QString &message)
{
    const QByteArray bytes = (QStringLiteral("tessaline: ") + message + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

// Hands values to the end of the process instead of freeing them: the
// kernel takes the process's memory back at once, where freeing the
// imported contacts' strings one by one takes milliseconds.
template <typename... Values>
void leaveToProcessEnd(Values &&...values)
{
    (void(new std::decay_t<Values>(std::move(values))), ...);
}

int usageError(const QString &message)
{
    say(message);
    say(QStringLiteral("使い方は「tessaline --help」で表示されます。"));
    return ExitCode::UsageError;
}

QString describe(int number)
{
    return QStringLiteral("エラー %1: %2").arg(number).arg(errorDescription(number));
}

// Writes all bytes to standard output; false (and a message) when it can't.
bool writeStandardOutput(QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reportStandardOutputError(errno);
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Opens the contact list for one read through, handing its scanner to read.
// The list file is only ever replaced whole by a rename, so a reader sees
// the old or the new list and needs no lock. False, after a message, when
// the list can't be read, and when read says false (after its own message).
template <typename Read>
bool readContactList(quint32 wantedFields, Read read)
{
    const QString path = PsLoadPass();
    bool done = false;
    const int error = trapError([&] {
        if (!fileExists(path)) {
            say(QStringLiteral("連絡先一覧のファイルがありません: %1").arg(path));
            return;
        }
        RecordScanner scanner(path, FieldCount, wantedFields);
        done = read(scanner);
    });
    if (error != 0)
        say(QStringLiteral("連絡先一覧を読めません（%1）: %2").arg(describe(error), path));
    return done;
}

// An option's value, given as "--name value" or "--name=value".
bool takeOptionValue(const QStringList &args, qsizetype &i, QStringView name, QString &value,
                     bool &malformed)
{
    const QString &arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) {
            malformed = true;
            return true;
        }
        value = args[++i];
        return true;
    }
    if (arg.startsWith(name) && arg.size() > name.size() && arg[name.size()] == u'=') {
        value = arg.mid(name.size() + 1);
        return true;
    }
    return false;
}

// Whether path names one of the program's own data files, which an export
// must never replace.
bool isDataFile(const QString &path)
{
    const QFileInfo target(path);
    const QString folder = QFileInfo(target.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || folder != QFileInfo(dataFolder()).canonicalFilePath())
        return false;
    for (const QString &own : {PsLoadPass(), PsLoadBackPass(), PsImpPass(), PsExpPass(),
                               PsMyLoadPass(), PsMyLoadBackPass(), PsMyImpPass()}) {
        if (QFileInfo(own).fileName() == target.fileName())
            return true;
    }
    return false;
}

// A photo that couldn't be read for its card: it stops the export.
struct PhotoFailure {
    int error = 0;
    QString value;
};

enum class PartEnd { Ended, Held, Failed };

// Writes the cards of the scanner's contacts into exporter, until the list
// ends, or afterEach, asked after each contact, says to hold, or a photo
// can't be read (failure then says which). A list that can't be read throws.
// The scanner decodes the exporter's fieldsToDecode(); the other fields go
// to it as bytes.
template <typename AfterEach>
PartEnd exportPart(RecordScanner &scanner, ContactExporter &exporter, quint32 decoded, PhotoFailure &failure,
                   AfterEach afterEach)
{
    while (scanner.next()) {
        ContactFields fields;
        ContactLines lines;
        for (int i = 0; i < FieldCount; ++i) {
            fields[i] = scanner.values()[i];
            if (!(decoded & (1u << i)))
                lines[i] = scanner.lineBytes(i);
        }
        bool text = true;
        if (const int error = trapError([&] { text = exporter.add(fields, lines); })) {
            failure = {error, fields[FieldMap::PhotoField].toString()};
            return PartEnd::Failed;
        }
        if (!text)
            throw AppError{ErrNo::BadBytes};
        if (!afterEach())
            return PartEnd::Held;
    }
    return PartEnd::Ended;
}

int runExport(const QStringList &args, CommandEnd end)
{
    QString formatName = QStringLiteral("vcard3");
    QString output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool malformed = false;
        if (takeOptionValue(args, i, u"--format", formatName, malformed)
            || takeOptionValue(args, i, u"--output", output, malformed)) {
            if (malformed)
                return usageError(QStringLiteral("%1 の値がありません").arg(args[i]));
            continue;
        }
        return usageError(QStringLiteral("export に不明な引数があります: %1").arg(args[i]));
    }
    const std::optional<ExportFormat> format = exportFormatFromName(formatName);
    if (!format)
        return usageError(QStringLiteral("不明な形式です: %1（vcard3、vcard4、csv のどれか）").arg(formatName));
    const bool outputGiven = std::any_of(args.cbegin(), args.cend(), [](const QString &arg) {
        return arg.startsWith(QStringLiteral("--output"));
    });
    if (outputGiven && output.isEmpty())
        return usageError(QStringLiteral("--output にファイル名がありません"));
    if (outputGiven && isDataFile(output)) {
        say(QStringLiteral("データフォルダーのファイルには書き出せません: %1").arg(output));
        return ExitCode::Refused;
    }

    if (end == CommandEnd::ProcessExits)
        HeapGrowth::growInLargeSteps();

    // Standard output gets the export in pieces through one reused buffer; a
    // file gets it whole, as it replaces the old file in one rename.
    constexpr qsizetype kPiece = 256 * 1024;
    const bool toFile = !output.isEmpty();
    const QString photoFolder = QDir(dataFolder()).filePath(QStringLiteral("photos"));
    std::optional<ContactExporter> exporter;
    bool streamed = true;
    const auto streamPiece = [&] {
        if (toFile || exporter->written().size() < kPiece)
            return true;
        streamed = writeStandardOutput(exporter->written());
        exporter->clearWritten();
        return streamed;
    };
    // A part ends with the list, or is held after a contact (a failed write,
    // or the second half that has written enough to wait), or fails at a
    // photo that can't be read.
    PhotoFailure failure;
    const quint32 decoded = ContactExporter::fieldsToDecode(*format);
    const bool read = readContactList(decoded, [&](RecordScanner &scanner) {
        exporter.emplace(*format, photoFolder, toFile ? scanner.fileSize() * 2 : 2 * kPiece);
        // The second half of a long list is written on a second thread
        // meanwhile. Photos can make its cards large: it holds back after
        // kHeldBack bytes, and the rest is written here after the first half.
        constexpr qsizetype kHeldBack = 64 * 1024 * 1024;
        // Written to standard output, the first part goes through one
        // reused buffer while the second part's cards wait in fresh memory,
        // which costs a page fault a page: the second part is the smaller.
        // Measured best at 62 to 66 % here; to a file both parts are held.
        const std::unique_ptr<RecordScanner> rest = scanner.splitOffSecondHalf(toFile ? 50 : 64);
        std::optional<ContactExporter> restExporter;
        PhotoFailure restFailure;
        std::atomic<bool> firstHalfStopped = false;
        AsideTask<PartEnd> restPart;
        if (rest) {
            restExporter.emplace(*format, photoFolder, scanner.fileSize(), ContactExporter::Part::Continuing);
            restPart = AsideTask<PartEnd>([&] {
                return exportPart(*rest, *restExporter, decoded, restFailure, [&] {
                    return !firstHalfStopped.load(std::memory_order_relaxed)
                        && restExporter->written().size() < kHeldBack;
                });
            });
        }
        // Ends the second thread early when the first half stops.
        const struct StopRest {
            std::atomic<bool> &stopped;
            ~StopRest() { stopped = true; }
        } stopRest{firstHalfStopped};

        if (exportPart(scanner, *exporter, decoded, failure, streamPiece) != PartEnd::Ended)
            return false;
        if (!rest)
            return true;
        restPart.wait();
        // The cards before a failure of the second half are kept, as they
        // would be if one thread had written them.
        if (toFile) {
            exporter->append(restExporter->written());
        } else if (!writeStandardOutput(exporter->written()) || !writeStandardOutput(restExporter->written())) {
            return false;
        } else {
            exporter->clearWritten();
        }
        restExporter.reset();
        switch (restPart.get()) { // a second half that can't be read throws here
        case PartEnd::Ended:
            return true;
        case PartEnd::Held:
            return exportPart(*rest, *exporter, decoded, failure, streamPiece) == PartEnd::Ended;
        case PartEnd::Failed:
            failure = restFailure;
            return false;
        }
        return false;
    });
    if (failure.error != 0)
        say(QStringLiteral("顔写真のファイルを読めません（%1）: %2").arg(describe(failure.error), failure.value));
    if (!read || !streamed)
        return ExitCode::FileError;
    if (!toFile)
        return writeStandardOutput(exporter->written()) ? ExitCode::Done : ExitCode::FileError;
    if (const int error = trapError([&] { writeFileAtomically(output, exporter->written()); })) {
        say(QStringLiteral("書き出せません（%1）: %2").arg(describe(error), output));
        return ExitCode::FileError;
    }
    return ExitCode::Done;
}

int runQuery(const QStringList &args, CommandEnd)
{
    QStringList words = args;
    if (!words.isEmpty() && words.front() == u"--")
        words.removeFirst();
    if (words.size() != 1)
        return usageError(QStringLiteral("query には検索文字列を一つ指定して下さい"));
    MailQuery query(words.front());
    if (!query.valid())
        return usageError(QStringLiteral("検索文字列を入力して下さい"));

    // The query reads the bytes of the fields it looks at itself.
    constexpr quint32 noFieldDecoded = 0;
    // The second half of a long list is searched on a second thread.
    std::optional<MailQuery> restQuery;
    const bool read = readContactList(noFieldDecoded, [&](RecordScanner &scanner) {
        const std::unique_ptr<RecordScanner> rest = scanner.splitOffSecondHalf();
        AsideTask<void> restPart;
        if (rest) {
            restQuery.emplace(words.front());
            restPart = AsideTask<void>([&] {
                while (rest->next())
                    restQuery->add(*rest);
            });
        }
        while (scanner.next())
            query.add(scanner);
        if (rest) {
            restPart.get(); // a second half that can't be read throws here
            query.append(*restQuery);
        }
        return true;
    });
    if (!read)
        return ExitCode::FileError;
    // Mail clients show the first line as the answer's status.
    const QString status = query.addressCount() > 0
        ? QStringLiteral("%1 件のメールアドレスが見つかりました\n").arg(query.addressCount())
        : QStringLiteral("該当する連絡先はありません\n");
    if (!writeStandardOutput((status + query.lines()).toUtf8()))
        return ExitCode::FileError;
    return query.addressCount() > 0 ? ExitCode::Done : ExitCode::NothingFound;
}

int runImportCommand(const QStringList &args, CommandEnd end)
{
    bool replaceUnstorable = false;
    QStringList files;
    bool optionsEnd = false;
    for (const QString &arg : args) {
        if (!optionsEnd && arg == u"--") {
            optionsEnd = true;
        } else if (!optionsEnd && arg == u"--replace-unstorable") {
            replaceUnstorable = true;
        } else if (!optionsEnd && arg.startsWith(u'-') && arg.size() > 1) {
            return usageError(QStringLiteral("import に不明な引数があります: %1").arg(arg));
        } else {
            files.append(arg);
        }
    }
    if (files.isEmpty())
        return usageError(QStringLiteral("import には取り込むファイルを指定して下さい"));
    if (end == CommandEnd::ProcessExits)
        HeapGrowth::growInLargeSteps();

    // One writer of the data folder at a time: the window holds this lock
    // while it runs. It is taken on a thread of its own while the files are
    // read: taking it writes its file and waits for the disk, and reading
    // needs no lock (the list is only ever replaced whole, by a rename, and
    // the change reads it again under the lock). Its outcome is told first,
    // as when it was taken first.
    const auto folderUnusable = [](int error) {
        say(QStringLiteral("データフォルダーを使えません（%1）: %2").arg(describe(error), dataFolder()));
        return ExitCode::FileError;
    };
    if (const int error = trapError([] { ensureFolder(dataFolder()); }))
        return folderUnusable(error);
    QLockFile lock(PsLockPass());
    AsideTask<std::pair<int, InstanceLock>> locking([&lock] {
        InstanceLock held = InstanceLock::Taken;
        const int error = trapError([&] { held = lockMadeDataFolder(lock); });
        return std::pair(error, held);
    });
    using namespace Interchange;
    QList<ContactRecord> listed;
    ImportPreview preview;
    int listError = trapError([&] {
        if (fileExists(PsLoadPass()))
            listed = readRecords(PsLoadPass(), FieldCount, MaxContacts);
    });
    if (listError == 0)
        preview = buildImportPreview(files, listed);

    const auto [lockError, held] = locking.get();
    if (lockError != 0)
        return folderUnusable(lockError);
    if (held == InstanceLock::HeldByOther) {
        say(QStringLiteral("連絡先一覧の画面（または別の tessaline import）がデータフォルダーを使っているため"
                           "取り込めません。画面を閉じてからもう一度実行して下さい。"));
        return ExitCode::Refused;
    }
    // An empty list is made as the window's first start makes it, under the lock.
    if (listError == 0)
        listError = trapError([&] {
            if (!fileExists(PsLoadPass()))
                createEmptyFile(PsLoadPass());
        });
    if (listError != 0) {
        say(QStringLiteral("連絡先一覧を読めません（%1）: %2").arg(describe(listError), PsLoadPass()));
        return ExitCode::FileError;
    }

    if (!preview.ok()) {
        say(preview.message);
        return preview.failure == ReadFailure::TooMany ? ExitCode::Refused : ExitCode::FileError;
    }
    if (!replaceUnstorable && preview.unstorableCount() > 0) {
        say(QStringLiteral("Shift_JIS (コードページ 932) で保存できない文字のある連絡先が %1 件あるため、"
                           "取り込みませんでした。「〓」に置き換えて取り込むには --replace-unstorable を"
                           "指定して下さい。")
                .arg(preview.unstorableCount()));
        for (const ImportCandidate &c : preview.candidates) {
            for (const UnstorableField &f : c.unstorable)
                say(QStringLiteral("%1: %2 の%3「%4」")
                        .arg(c.sourceFile, c.record[NameField], fieldCaptions()[f.field], f.characters));
        }
        return ExitCode::Refused;
    }
    if (!preview.guessError.isEmpty())
        say(preview.guessError);

    ImportBatch batch = chooseImport(preview, {}, UnstorableChoice::ReplaceWithGeta);
    const ImportResult result = Interchange::runImport(batch, summarise(preview, batch));
    switch (result.outcome.kind) {
    case ChangeOutcome::Kind::Done:
        break;
    case ChangeOutcome::Kind::Refused:
        say(result.outcome.reason);
        return ExitCode::Refused;
    case ChangeOutcome::Kind::MissingFile:
        say(QStringLiteral("連絡先一覧のファイルがなくなりました: %1").arg(PsLoadPass()));
        return ExitCode::FileError;
    case ChangeOutcome::Kind::Failed:
        say(QStringLiteral("取り込めません（%1）: %2")
                .arg(describe(result.outcome.error), PsLoadPass()));
        return ExitCode::FileError;
    }

    const ImportSummary &s = result.summary;
    QString line = QStringLiteral("取り込みました: 新規 %1 件、置換 %2 件、読み推定 %3 件、取り込まなかった連絡先 %4 件、"
                                  "取り込まなかった項目 %5 件")
                       .arg(s.added).arg(s.replaced).arg(s.guessedReadings).arg(s.leftOutContacts)
                       .arg(s.leftOutValues);
    QStringList details;
    for (auto it = preview.leftOut.cbegin(); it != preview.leftOut.cend(); ++it)
        if (it.key() != namelessKey())
            details.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    if (!details.isEmpty())
        line += QStringLiteral("（") + details.join(QStringLiteral("、")) + QStringLiteral("）");
    if (s.cutValues > 0)
        line += QStringLiteral("、長すぎて切り詰めた項目 %1 件").arg(s.cutValues);
    if (batch.replacedCharacters > 0)
        line += QStringLiteral("、「〓」に置き換えた連絡先 %1 件").arg(batch.replacedCharacters);
    if (end == CommandEnd::ProcessExits)
        leaveToProcessEnd(std::move(listed), std::move(preview), std::move(batch));
    return writeStandardOutput((line + u'\n').toUtf8()) ? ExitCode::Done : ExitCode::FileError;
}

// Each subcommand is one function of its arguments (those after its name);
// a new one is one more row here and one more paragraph in the help.
struct Subcommand {
    QStringView name;
    int (*run)(const QStringList &args, CommandEnd end);
};

constexpr Subcommand kSubcommands[] = {
    {u"export", runExport},
    {u"import", runImportCommand},
    {u"query", runQuery},
};

const char kHelp[] =
    "使い方: tessaline [サブコマンド [引数…]]\n"
    "\n"
    "サブコマンドがなければ連絡先一覧の画面を開きます。サブコマンドは画面を使わずに\n"
    "データフォルダー ($XDG_DATA_HOME/Tessaline/Data) の連絡先一覧を扱います。\n"
    "\n"
    "  export [--format vcard3|vcard4|csv] [--output ファイル]\n"
    "      すべての連絡先を書き出します。既定は vCard 3.0 で標準出力へ。\n"
    "      vcard3  vCard 3.0（携帯電話や Google コンタクトが読む形式）\n"
    "      vcard4  vCard 4.0\n"
    "      csv     Google コンタクトの CSV（UTF-8、BOM 付き）\n"
    "      --output を指定すると、そのファイルを一度に置き換えます。\n"
    "\n"
    "  import [--replace-unstorable] ファイル…\n"
    "      vCard (2.1、3.0、4.0) と CSV (Google・Outlook の形式) の連絡先を連絡先一覧に\n"
    "      取り込みます。ふりがなも取り込み、ないものは氏名から推定します。氏名と\n"
    "      ふりがなが同じ連絡先は置き換えます。一覧が 10000 件を超える場合は取り込みません。\n"
    "      Shift_JIS で保存できない文字のある連絡先があれば、その一覧を表示して\n"
    "      取り込みません。--replace-unstorable を指定すると、その文字を「〓」に\n"
    "      置き換えて取り込みます。画面が動いている間は取り込めません。\n"
    "\n"
    "  query 文字列\n"
    "      氏名・ふりがな・メール・所属先・電話番号に文字列を含む連絡先を、\n"
    "      1 行目に件数を書いてから「メール<TAB>氏名<TAB>ふりがな」の形で\n"
    "      出力します（mutt の query_command 用）。空白、大文字と小文字、\n"
    "      文字の幅、ひらがなとカタカナの違いは無視します。\n"
    "\n"
    "  --help     この説明を表示します\n"
    "  --version  版を表示します\n"
    "\n"
    "終了コード: 0 完了、1 該当なし、2 使い方の誤り、3 拒否、4 ファイルのエラー\n";

} // namespace

int runCommandLine(int argc, char *argv[], CommandEnd end)
{
    if (argc < 2)
        return usageError(QStringLiteral("サブコマンドを指定して下さい"));

    QStringList args;
    args.reserve(argc - 2);
    for (int i = 2; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString command = QString::fromLocal8Bit(argv[1]);

    if (command == u"--help" || command == u"-h") {
        if (!args.isEmpty())
            return usageError(QStringLiteral("--help に引数は要りません"));
        return writeStandardOutput(kHelp) ? ExitCode::Done : ExitCode::FileError;
    }
    if (command == u"--version") {
        if (!args.isEmpty())
            return usageError(QStringLiteral("--version に引数は要りません"));
        return writeStandardOutput("tessaline " TESSALINE_VERSION "\n") ? ExitCode::Done
                                                                       : ExitCode::FileError;
    }
    for (const Subcommand &sub : kSubcommands) {
        if (command == sub.name)
            return sub.run(args, end);
    }
    return usageError(QStringLiteral("不明なサブコマンドです: %1").arg(command));
}

int reportStandardOutputError(int error)
{
    say(QStringLiteral("標準出力に書き込めません（%1）").arg(describe(errorNumberFromErrno(error))));
    return ExitCode::FileError;
}
