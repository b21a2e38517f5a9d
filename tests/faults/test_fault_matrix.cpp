// Every writer of the program against every failure of every file-system call
// it makes. A logging run of the writer lists its calls; then, for each call
// in turn, a forked child runs the writer while that call fails once (with
// each error it meets in real life), fails together with every later call, or
// kills the process on entry. The parent then checks what is on disk and
// what the user was shown, and that the program still starts on what is left.
//
// TESSALINE_FAULT_JOBS sets how many children run at once (default 2);
// TESSALINE_FAULT_SUMMARY names a file to which one line per writer and list
// size is appended (scripts/fault-matrix.sh makes the table of it).

#include "FaultPlan.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactRecord.h"
#include "cli/CommandLine.h"
#include "contacts/Form1.h"
#include "contacts/ListChanges.h"
#include "interchange/ContactExport.h"
#include "interchange/ContactImport.h"
#include "interchange/ContactReader.h"
#include "interchange/ImportChange.h"
#include "editor/Form2.h"
#include "profile/Form3.h"
#include "profile/Profile.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/BasMain.h"
#include "shell/ChangeTransaction.h"
#include "shell/ErrorReport.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "support/MessageLog.h"
#include "support/WindowControls.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using FileOps::Call;
using Files = QMap<QString, QByteArray>;

namespace {

const QString kList = QStringLiteral("load.txt");
const QString kListBackup = QStringLiteral("cp_load.txt");
const QString kReceived = QStringLiteral("getData");
const QString kExport = QStringLiteral("pcData");
const QString kProfile = QStringLiteral("myload.txt");
const QString kProfileBackup = QStringLiteral("cp_myload.txt");
const QString kProfileReceived = QStringLiteral("putData");
const QString kErrorTitle = QStringLiteral("プログラムエラー");

// ---------------------------------------------------------------- the data

QList<QStringList> contacts(int n, const QString &tag)
{
    QList<QStringList> records;
    for (int i = 1; i <= n; ++i) {
        QStringList r = emptyContact();
        for (int f = 0; f < FieldCount; ++f)
            r[f] = QStringLiteral("%1%2_%3").arg(tag).arg(i).arg(f);
        r[ReadingField] = QStringLiteral("よみ%1").arg(i, 5, 10, QChar(u'0'));
        r[NameField] = QStringLiteral("名前 %1").arg(i, 5, 10, QChar(u'0'));
        records.append(r);
    }
    return records;
}

QList<QStringList> profiles(int n, const QString &tag)
{
    QList<QStringList> records;
    for (int i = 1; i <= n; ++i) {
        QStringList r;
        for (int f = 0; f < ProfileFieldCount; ++f)
            r.append(QStringLiteral("%1%2_%3").arg(tag).arg(i).arg(f));
        records.append(r);
    }
    return records;
}

// ------------------------------------------------------------- the writers

struct Windows {
    std::unique_ptr<Form1> form1;
    std::unique_ptr<Form2> form2;
    std::unique_ptr<Form3> form3;
    bool closed = false; // the editor or the profile window closed itself
};

struct Writer {
    QString name;
    QList<int> sizes;
    QString target; // the file it writes
    int lines;      // lines per record of the target
    QString backup;
    QString received;
    QStringList routines; // those that may report an error
    std::function<Files(int n)> files;
    std::function<void(Windows &, int n)> open; // in the parent, once
    std::function<void(Windows &)> act;         // in the child
};

const QList<int> kListSizes = {0, 1, 5000};

void openList(Windows &w)
{
    w.form1 = std::make_unique<Form1>();
}

void openEditor(Windows &w, int n)
{
    openList(w);
    // The contact in the middle; on an empty list, one that went missing
    // while the editor was open.
    const ContactRecord opened = n > 0 ? contacts(n, QStringLiteral("c")).at(n / 2) : contacts(1, QStringLiteral("gone")).at(0);
    Form1 *list = w.form1.get();
    w.form2 = std::make_unique<Form2>(opened, [list] { return list->Pf_TextRead(); });
    QObject::connect(w.form2.get(), &QDialog::finished, [&w] { w.closed = true; });
    child<QLineEdit>(*w.form2, QStringLiteral("TexSelData_%1").arg(Tel1Field))->setText(QStringLiteral("090-0000-0000"));
    // Moves to the end.
    child<QLineEdit>(*w.form2, QStringLiteral("TexSelData_%1").arg(ReadingField))->setText(QStringLiteral("んんん"));
}

void openProfile(Windows &w)
{
    w.form3 = std::make_unique<Form3>();
    QObject::connect(w.form3.get(), &QDialog::finished, [&w] { w.closed = true; });
}

// The rows that run a transaction without its window take one size: the
// window rows cover the sizes through the same transaction.
const QList<int> kTransactionSizes = {1};

const QStringList kChangeSteps = {QStringLiteral("Backup"), QStringLiteral("Read"), QStringLiteral("Change"),
                                   QStringLiteral("Write"), QStringLiteral("CleanUp")};

// Runs a change as its window does, without the window: a failed step is
// reported under the step's name, and a done change is cleaned up.
void runChange(const ChangePlan &plan, const ChangeFunction &change, bool receivedUsed)
{
    ChangeTransaction transaction(plan);
    ChangeOutcome outcome = transaction.apply(change);
    if (outcome.done())
        outcome = transaction.cleanUp(receivedUsed);
    if (outcome.failed())
        ErrorReport(kChangeSteps.at(int(outcome.step)), outcome.error);
}

// The contact that the transaction's update changes: the first, given a new
// telephone number and a reading that moves it to the end.
ContactRecord editedContact()
{
    ContactRecord edited = contacts(1, QStringLiteral("c")).at(0);
    edited[Tel1Field] = QStringLiteral("090-0000-0000");
    edited[ReadingField] = QStringLiteral("んんん");
    return edited;
}

QString editedKey()
{
    return recordKey(contacts(1, QStringLiteral("c")).at(0));
}

// The command line's routines: a failure is its exit code, reported here
// under the subcommand's name so that the checks read it like a window's.
const QString kCommandExport = QStringLiteral("tessaline export");
const QString kCommandImport = QStringLiteral("tessaline import");
const QString kCardExport = QStringLiteral("contacts.vcf");
const QString kCsvExport = QStringLiteral("contacts.csv");
const QString kCards = QStringLiteral("cards.vcf");

// One card replaces the first listed contact, one sorts between, one after.
const QByteArray kImportedCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:名前 00001\r\nSORT-STRING:よみ00001\r\n"
                                  "TEL:03-0000-0000\r\nEND:VCARD\r\n"
                                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:間\r\nSORT-STRING:よみ00001あ\r\nEND:VCARD\r\n"
                                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:後\r\nSORT-STRING:わ\r\nEND:VCARD\r\n";

QByteArray earlierExport(ExportFormat format)
{
    return exportContacts(contacts(1, QStringLiteral("earlier")), format, QString());
}

void runCommand(const QString &subcommand, const QStringList &args)
{
    // Its summary and messages would flood the test's output.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    QList<QByteArray> storage{QByteArrayLiteral("tessaline"), subcommand.section(u' ', 1).toUtf8()};
    for (const QString &a : args)
        storage.append(a.toUtf8());
    QList<char *> argv;
    for (QByteArray &a : storage)
        argv.append(a.data());
    argv.append(nullptr);
    if (const int code = runCommandLine(int(storage.size()), argv.data()))
        ErrorReport(subcommand, code);
}

// A file of the writer's target as the next reader takes it: a list or a
// profile by its records, an export by the contact reader.
QString parseProblem(const QString &path, int linesPerRecord)
{
    if (linesPerRecord == 0) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("can't be opened");
        const QByteArray bytes = file.readAll();
        if (bytes.isEmpty()) // the vCard export of an empty list
            return {};
        const Interchange::ReadOutcome read = Interchange::readContactBytes(bytes);
        return read.ok() ? QString() : read.message;
    }
    try {
        readRecords(path, linesPerRecord);
    } catch (const AppError &e) {
        return QStringLiteral("error %1").arg(e.number);
    }
    return {};
}

QList<Writer> writers()
{
    const auto listFile = [](int n) { return encodeRecords(contacts(n, QStringLiteral("c"))); };
    const auto importFiles = [listFile](int n) {
        // One received contact replaces a listed one, one sorts between, one after.
        QList<QStringList> got = contacts(1, QStringLiteral("new"));
        QStringList between = contacts(1, QStringLiteral("mid")).at(0);
        between[ReadingField] = QStringLiteral("よみ00001あ");
        QStringList after = contacts(1, QStringLiteral("end")).at(0);
        after[ReadingField] = QStringLiteral("わ");
        got << between << after;
        return Files{{kList, listFile(n)}, {kReceived, encodeRecords(got)}};
    };
    return {
        {QStringLiteral("first start"), {0}, kList, FieldCount, {}, {}, {QStringLiteral("Main")},
         [](int) { return Files{}; }, {},
         [](Windows &) {
             // Should a start go on to the window, its event loop ends at once.
             QTimer::singleShot(100, qApp, &QCoreApplication::quit);
             reportLine("main", QString::number(Main(*qobject_cast<QApplication *>(qApp))));
         }},
        {QStringLiteral("profile first open"), {0}, kProfile, ProfileFieldCount, {}, {},
         {QStringLiteral("Pf_MyTextRead"), QStringLiteral("Form_Load")},
         [](int) { return Files{}; }, {},
         [](Windows &w) { openProfile(w); }},
        {QStringLiteral("import"), kListSizes, kList, FieldCount, kListBackup, kReceived,
         {QStringLiteral("CmdImport_Click"), QStringLiteral("Pf_GuWork_Set"), QStringLiteral("Pf_TextRead")},
         importFiles,
         [](Windows &w, int) { openList(w); },
         [](Windows &w) { child<QPushButton>(*w.form1, QStringLiteral("CmdImport"))->click(); }},
        {QStringLiteral("export"), kListSizes, kExport, FieldCount, {}, {},
         {QStringLiteral("CmdExport_Click")},
         [listFile](int n) {
             return Files{{kList, listFile(n)}, {kExport, encodeRecords(contacts(1, QStringLiteral("earlier")))}};
         },
         [](Windows &w, int n) {
             openList(w);
             for (int r = 1; r <= std::min(n, 30); ++r) {
                 ContactGrid *grid = child<ContactGrid>(*w.form1, QStringLiteral("MSFlexGrid1"));
                 grid->setRow(r);
                 grid->setCol(0);
                 grid->setText(QStringLiteral("ON"));
             }
         },
         [](Windows &w) { child<QPushButton>(*w.form1, QStringLiteral("CmdExport"))->click(); }},
        {QStringLiteral("update"), kListSizes, kList, FieldCount, kListBackup, {},
         {QStringLiteral("CmdUpdate2_Click"), QStringLiteral("Pf_TextRead")},
         [listFile](int n) { return Files{{kList, listFile(n)}}; }, openEditor,
         [](Windows &w) { child<QPushButton>(*w.form2, QStringLiteral("CmdUpdate2"))->click(); }},
        // Not on an empty list, where the rewrite can't differ from the old file.
        {QStringLiteral("delete"), {1, 2, 5000}, kList, FieldCount, kListBackup, {},
         {QStringLiteral("CmdDelete2_Click"), QStringLiteral("Pf_TextRead")},
         [listFile](int n) { return Files{{kList, listFile(n)}}; }, openEditor,
         [](Windows &w) { child<QPushButton>(*w.form2, QStringLiteral("CmdDelete2"))->click(); }},
        // 元に戻す: the version kept before a delete comes back over the list.
        {QStringLiteral("undo"), kListSizes, kList, FieldCount, kListBackup, {},
         {QStringLiteral("MnuUndo_Click"), QStringLiteral("Pf_TextRead")},
         [listFile](int n) {
             return Files{{kList, listFile(n)},
                          {QStringLiteral("history/load.000001.削除.txt"), encodeRecords(contacts(n + 1, QStringLiteral("h")))}};
         },
         [](Windows &w, int) { openList(w); },
         [](Windows &w) { child<QAction>(*w.form1, QStringLiteral("ActUndo"))->trigger(); }},
        {QStringLiteral("profile save"), kListSizes, kProfile, ProfileFieldCount, {}, {},
         {QStringLiteral("CmdUpdate3_Click")},
         [](int n) { return Files{{kProfile, encodeRecords(profiles(n, QStringLiteral("p")))}}; },
         [](Windows &w, int) {
             openProfile(w);
             const QStringList typed = profiles(1, QStringLiteral("typed")).at(0);
             for (int i = 0; i < ProfileFieldCount; ++i)
                 child<QLineEdit>(*w.form3, QStringLiteral("TexMyData_%1").arg(i))->setText(typed[i]);
         },
         [](Windows &w) { child<QPushButton>(*w.form3, QStringLiteral("CmdUpdate3"))->click(); }},
        {QStringLiteral("profile blank"), kListSizes, kProfile, ProfileFieldCount, {}, {},
         {QStringLiteral("CmdDelete3_Click")},
         [](int n) { return Files{{kProfile, encodeRecords(profiles(n, QStringLiteral("p")))}}; },
         [](Windows &w, int) { openProfile(w); },
         [](Windows &w) { child<QPushButton>(*w.form3, QStringLiteral("CmdDelete3"))->click(); }},
        // Not from an empty received file, which writes the profile as it was;
        // a received profile larger than one record can be is refused by its size.
        {QStringLiteral("profile import"), {1, 2}, kProfile, ProfileFieldCount, kProfileBackup,
         kProfileReceived, {QStringLiteral("CmdImport3_Click"), QStringLiteral("Pf_MyTextRead")},
         [](int n) {
             return Files{{kProfile, encodeRecords(profiles(1, QStringLiteral("p")))},
                          {kProfileReceived, encodeRecords(profiles(n, QStringLiteral("in")))}};
         },
         [](Windows &w, int) { openProfile(w); },
         [](Windows &w) { child<QPushButton>(*w.form3, QStringLiteral("CmdImport3"))->click(); }},
        // The change transaction without a window: the same plans and files,
        // a failed step reported under its name. A new writer built on the
        // transaction is covered by a row here.
        {QStringLiteral("import transaction"), kTransactionSizes, kList, FieldCount, kListBackup, kReceived, kChangeSteps,
         importFiles, {}, [](Windows &) { runChange(importPlan(), importChange(), true); }},
        // The import of vCard and CSV files: its own plan, the records from
        // the chosen contacts rather than a received file.
        {QStringLiteral("file import transaction"), kTransactionSizes, kList, FieldCount, kListBackup, {}, kChangeSteps,
         [listFile](int n) { return Files{{kList, listFile(n)}}; }, {},
         [](Windows &) {
             using namespace Interchange;
             // One card replaces the first listed contact, one sorts between, one after.
             const QByteArray cards = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:名前 00001\r\nSORT-STRING:よみ00001\r\n"
                                      "TEL:03-0000-0000\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:間\r\nSORT-STRING:よみ00001あ\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:後\r\nSORT-STRING:わ\r\nEND:VCARD\r\n";
             ImportPreview preview;
             addToPreview(preview, readContactBytes(cards), QStringLiteral("cards.vcf"), {});
             const ImportBatch batch = chooseImport(preview, {}, UnstorableChoice::LeaveOut);
             ImportSummary summary;
             runChange(fileImportPlan(batch), fileImportChange(batch, photoFolder(), &summary), false);
         }},
        {QStringLiteral("update transaction"), kTransactionSizes, kList, FieldCount, kListBackup, {}, kChangeSteps,
         [listFile](int n) { return Files{{kList, listFile(n)}}; }, {},
         [](Windows &) { runChange(updatePlan(), updateChange(editedContact(), editedKey()), false); }},
        {QStringLiteral("delete transaction"), kTransactionSizes, kList, FieldCount, kListBackup, {}, kChangeSteps,
         [listFile](int n) { return Files{{kList, listFile(n)}}; }, {},
         [](Windows &) { runChange(deletePlan(), deleteChange(editedKey()), false); }},
        {QStringLiteral("profile save transaction"), kTransactionSizes, kProfile, ProfileFieldCount, {}, {}, kChangeSteps,
         [](int n) { return Files{{kProfile, encodeRecords(profiles(n, QStringLiteral("p")))}}; }, {},
         [](Windows &) {
             runChange(profileSavePlan(), profileWriteChange(profiles(1, QStringLiteral("typed")).at(0)), false);
         }},
        {QStringLiteral("profile blank transaction"), kTransactionSizes, kProfile, ProfileFieldCount, {}, {}, kChangeSteps,
         [](int n) { return Files{{kProfile, encodeRecords(profiles(n, QStringLiteral("p")))}}; }, {},
         [](Windows &) { runChange(profileBlankPlan(), profileWriteChange(blankProfile()), false); }},
        {QStringLiteral("profile import transaction"), kTransactionSizes, kProfile, ProfileFieldCount, kProfileBackup,
         kProfileReceived, kChangeSteps,
         [](int n) {
             return Files{{kProfile, encodeRecords(profiles(1, QStringLiteral("p")))},
                          {kProfileReceived, encodeRecords(profiles(n, QStringLiteral("in")))}};
         },
         {}, [](Windows &) { runChange(profileImportPlan(), profileImportChange(emptyContact()), true); }},
        // The exports to other address books, written into the data folder
        // over an earlier export: from the window (vCard 3.0 and CSV) and
        // from the command line (vCard 4.0).
        // Not on 5000 contacts: each one's photo is looked for, one call to
        // fail apiece, and the writing is the same as for one.
        {QStringLiteral("vCard export"), {0, 1}, kCardExport, 0, {}, {}, {QStringLiteral("ExportFiles_Click")},
         [listFile](int n) { return Files{{kList, listFile(n)}, {kCardExport, earlierExport(ExportFormat::VCard3)}}; },
         [](Windows &w, int) { openList(w); },
         [](Windows &w) { w.form1->exportContactsTo(dataFolder() + u'/' + kCardExport, ExportFormat::VCard3); }},
        {QStringLiteral("CSV export"), kTransactionSizes, kCsvExport, 0, {}, {}, {QStringLiteral("ExportFiles_Click")},
         [listFile](int n) { return Files{{kList, listFile(n)}, {kCsvExport, earlierExport(ExportFormat::GoogleCsv)}}; },
         [](Windows &w, int) { openList(w); },
         [](Windows &w) { w.form1->exportContactsTo(dataFolder() + u'/' + kCsvExport, ExportFormat::GoogleCsv); }},
        {QStringLiteral("command export"), kTransactionSizes, kCardExport, 0, {}, {}, {kCommandExport},
         [listFile](int n) { return Files{{kList, listFile(n)}, {kCardExport, earlierExport(ExportFormat::VCard4)}}; },
         {},
         [](Windows &) {
             runCommand(kCommandExport, {QStringLiteral("--format"), QStringLiteral("vcard4"), QStringLiteral("--output"),
                                         dataFolder() + u'/' + kCardExport});
         }},
        // The command's import: the lock, the same plan as the window's, no preview.
        {QStringLiteral("command import"), kListSizes, kList, FieldCount, kListBackup, {}, {kCommandImport},
         [listFile](int n) { return Files{{kList, listFile(n)}, {kCards, kImportedCards}}; },
         {},
         [](Windows &) { runCommand(kCommandImport, {dataFolder() + u'/' + kCards}); }},
    };
}

// The window whose lock follows an error report of the routine.
int windowOfRoutine(const QString &routine)
{
    static const QStringList list = {QStringLiteral("CmdImport_Click"), QStringLiteral("Pf_GuWork_Set"),
                                     QStringLiteral("MnuUndo_Click"),
                                     QStringLiteral("Pf_TextRead"), QStringLiteral("CmdExport_Click"),
                                     QStringLiteral("ExportFiles_Click")};
    static const QStringList editor = {QStringLiteral("CmdUpdate2_Click"), QStringLiteral("CmdDelete2_Click")};
    if (list.contains(routine))
        return 1;
    if (editor.contains(routine))
        return 2;
    return routine == QStringLiteral("Main") || kChangeSteps.contains(routine) || routine.startsWith(u"tessaline ")
               ? 0
               : 3;
}

// ---------------------------------------------------------- the file state

struct FileState {
    QByteArray bytes;
    mode_t mode;
    ino_t inode;
};
using Folder = QMap<QString, FileState>;

Folder readFolder(const QString &folder)
{
    Folder out;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        struct stat st;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        if (::stat(path.constData(), &st) != 0)
            continue;
        QFile file(dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        out.insert(name, {file.readAll(), mode_t(st.st_mode & 07777), st.st_ino});
    }
    return out;
}

// The mode of the old files: the owner's alone, as the program writes them,
// or readable by others, as another program may have left them.
mode_t oldFileMode = 0600;

// A fresh location with the given files in its data folder (absent for the
// first start, which must make it).
Folder resetLocation(const QString &base, const Files &files, bool withFolder)
{
    QDir(base).removeRecursively();
    QDir().mkpath(base + QStringLiteral("/runtime"));
    QFile::setPermissions(base + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(base + QStringLiteral("/data"));
    const QString folder = base + QStringLiteral("/data/Tessaline/Data");
    if (!withFolder)
        return {};
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(folder + u'/' + it.key());
        // A file of the history folder (0700, as the program makes it).
        if (it.key().contains(u'/')) {
            const QString sub = QFileInfo(file.fileName()).absolutePath();
            QDir().mkpath(sub);
            QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size()
            || ::chmod(QFile::encodeName(file.fileName()).constData(), oldFileMode) != 0)
            qFatal("cannot write %s", qPrintable(file.fileName()));
    }
    return readFolder(folder);
}

void useLocation(const QString &base)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + QStringLiteral("/runtime")));
}

QString dataFolderOf(const QString &base)
{
    return base + QStringLiteral("/data/Tessaline/Data");
}

// ------------------------------------------------------------ the children

struct ChildReport {
    QList<MessageBox::Shown> messages;
    QList<LoggedCall> calls;
    QStringList kept; // temporary files whose deletion was made to fail
    bool locked[4] = {false, false, false, false};
    bool closed = false;
    bool finished = false; // the child reached its end
    bool killed = false;
    bool timedOut = false;
    int status = 0;

    QStringList errorRoutines() const
    {
        static const QRegularExpression routine(QStringLiteral("ルーチン名\u3000\u3000\u3000\\((.*)\\)"));
        QStringList names;
        for (const MessageBox::Shown &m : messages)
            if (m.title == kErrorTitle)
                names.append(routine.match(m.text).captured(1));
        return names;
    }
    QStringList texts() const
    {
        QStringList out;
        for (const MessageBox::Shown &m : messages)
            out.append(m.title + u':' + m.text);
        return out;
    }
};

QString unescape(const QString &s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar c = s[++i];
            out.append(c == u't' ? u'\t' : c == u'n' ? u'\n' : c == u'r' ? u'\r' : c);
        } else {
            out.append(s[i]);
        }
    }
    return out;
}

void parseReport(const QByteArray &bytes, ChildReport &report)
{
    for (const QByteArray &line : bytes.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            continue;
        const QByteArray tag = line.left(tab);
        const QString text = unescape(QString::fromUtf8(line.mid(tab + 1)));
        if (tag == "msg") {
            const QStringList parts = text.split(u'\x1f');
            report.messages.append({parts.value(1), parts.value(0), MessageBox::Icon::None});
        } else if (tag == "call") {
            const QStringList parts = text.split(u'\t');
            report.calls.append({callFromName(parts.value(0)), parts.value(1), parts.value(2)});
        } else if (tag == "kept") {
            report.kept.append(text);
        } else if (tag == "state") {
            for (int i = 0; i < 4; ++i)
                report.locked[i] = text.mid(i, 1) == u'1';
            report.closed = text.mid(4, 1) == u'1';
            report.finished = true;
        }
    }
}

// Locked: the buttons named others off, the one named exit on.
bool isLocked(const QWidget &window, const char *exit, std::initializer_list<const char *> others)
{
    for (const char *name : others)
        if (child<QPushButton>(window, QString::fromLatin1(name))->isEnabled())
            return false;
    return child<QPushButton>(window, QString::fromLatin1(exit))->isEnabled();
}

// Runs in the child: the writer under the plan, then a report of the state.
[[noreturn]] void childMain(const Writer &writer, Windows &w, const FaultPlan &plan, const QString &base, int fd)
{
    useLocation(base);
    MessageBox::setHook([](const MessageBox::Shown &m) { reportLine("msg", m.title + u'\x1f' + m.text); });
    armFaults(plan, fd);
    writer.act(w);
    disarmFaults();
    QString state;
    state += u'0';
    state += w.form1 && isLocked(*w.form1, "CmdExit", {"CmdImport", "CmdExport", "CmdSelect"})
                 ? u'1' : u'0';
    state += w.form2 && isLocked(*w.form2, "CmdExit_Click2", {"CmdUpdate2", "CmdDelete2"}) ? u'1' : u'0';
    state += w.form3 && isLocked(*w.form3, "CmdExit_Click3", {"CmdUpdate3", "CmdDelete3", "CmdImport3"})
                 ? u'1' : u'0';
    state += w.closed ? u'1' : u'0';
    reportLine("state", state);
    ::_exit(0); // nothing of the parent's may be torn down here
}

struct Running {
    pid_t pid;
    int fd;
    QByteArray out;
    QElapsedTimer clock;
};

Running startChild(const Writer &writer, Windows &w, const FaultPlan &plan, const QString &base)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        qFatal("pipe");
    fflush(stdout);
    fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0)
        qFatal("fork");
    if (pid == 0) {
        ::close(fds[0]);
        childMain(writer, w, plan, base, fds[1]);
    }
    ::close(fds[1]);
    Running r{pid, fds[0], {}, {}};
    r.clock.start();
    return r;
}

// Reads what the child reports until it ends; false while it still runs.
bool pumpChild(Running &r, ChildReport &report, int timeoutMs)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(r.fd, buf, sizeof buf);
        if (n > 0) {
            r.out.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (r.clock.elapsed() < timeoutMs)
                return false;
            ::kill(r.pid, SIGKILL);
            report.timedOut = true;
        }
        break;
    }
    ::close(r.fd);
    int status = 0;
    while (::waitpid(r.pid, &status, 0) < 0 && errno == EINTR) {
    }
    report.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    report.status = status;
    parseReport(r.out, report);
    return true;
}

// Runs cases with up to jobs children at once, each in its own location.
void runCases(const Writer &writer, Windows &w, const QList<FaultPlan> &plans, const QString &root, int jobs,
              const Files &files, bool withFolder,
              const std::function<void(const FaultPlan &, const ChildReport &, const QString &, const Folder &)> &check)
{
    struct Slot {
        bool busy = false;
        Running run;
        FaultPlan plan;
        Folder before;
    };
    QList<Slot> pool(jobs);
    qsizetype next = 0;
    int busy = 0;
    while (next < plans.size() || busy > 0) {
        for (int s = 0; s < jobs && next < plans.size(); ++s) {
            if (pool[s].busy)
                continue;
            const QString base = root + QStringLiteral("/slot%1").arg(s);
            pool[s].before = resetLocation(base, files, withFolder);
            pool[s].plan = plans[next++];
            pool[s].run = startChild(writer, w, pool[s].plan, base);
            ::fcntl(pool[s].run.fd, F_SETFL, O_NONBLOCK);
            pool[s].busy = true;
            ++busy;
        }
        QList<pollfd> fds;
        for (const Slot &slot : std::as_const(pool))
            if (slot.busy)
                fds.append({slot.run.fd, POLLIN, 0});
        ::poll(fds.data(), nfds_t(fds.size()), 200);
        for (int s = 0; s < jobs; ++s) {
            if (!pool[s].busy)
                continue;
            ChildReport report;
            if (!pumpChild(pool[s].run, report, 120000))
                continue;
            pool[s].busy = false;
            --busy;
            check(pool[s].plan, report, root + QStringLiteral("/slot%1").arg(s), pool[s].before);
        }
    }
}

// ------------------------------------------------------------ the faults

// The errors each kind of call meets in real life; EINTR is retried.
QList<int> realErrors(Call call)
{
    switch (call) {
    case Call::Stat: return {EACCES, EIO};
    case Call::Open: return {EACCES, EROFS, EIO};
    case Call::MkTemp: return {EACCES, EROFS, ENOSPC, EDQUOT};
    case Call::MkDir: return {EACCES, EROFS, ENOSPC};
    case Call::Read: return {EIO, EINTR};
    case Call::Write: return {ENOSPC, EIO, EDQUOT, EINTR};
    case Call::Fsync: return {EIO, ENOSPC};
    case Call::Close: return {EIO};
    case Call::Rename: return {EXDEV, EACCES, EIO};
    case Call::Unlink: return {EACCES, EIO};
    case Call::Link: return {EPERM, EXDEV, EMLINK, EIO};
    case Call::ReadLink: return {EACCES, EIO};
    case Call::Clone: return {EIO, ENOSPC, EOPNOTSUPP};
    case Call::CopyRange: return {EIO, ENOSPC, EDQUOT, EXDEV};
    }
    return {};
}

// A reflink or kernel copy refused as unavailable: the backup is copied the
// next way instead, which is no failure. So is a hard link of the old list
// into the undo history refused: the version is copied instead.
bool copyFallsBack(const LoggedCall &call, int err)
{
    static const QRegularExpression historyVersion(QStringLiteral("(^|/)(my)?load\\.[0-9]+\\."));
    if (call.call == Call::Link && historyVersion.match(call.to).hasMatch())
        return err == EPERM || err == EXDEV || err == EMLINK || err == EOPNOTSUPP;
    return (call.call == Call::Clone || call.call == Call::CopyRange) && (err == EOPNOTSUPP || err == EXDEV);
}

// The order that makes a change durable, read from a writer's calls: each
// temporary file is synced after its last write and before its rename; each
// rename is followed by a sync of the folder; the backup is in place and its
// name synced before the target is replaced; the received file and the
// backup are deleted only after the target's rename and the folder sync
// that follows it.
QStringList orderProblems(const Writer &w, const QList<LoggedCall> &calls)
{
    QStringList bad;
    const QString folder = QStringLiteral("Data");
    const auto folderSyncAfter = [&](int i) {
        for (int j = i + 1; j < calls.size(); ++j)
            if (calls[j].call == Call::Fsync && calls[j].path == folder)
                return j;
        return -1;
    };
    int targetRenamed = -1, targetSynced = -1, backupSynced = -1;
    for (int i = 0; i < calls.size(); ++i) {
        const LoggedCall &c = calls[i];
        if (c.call != Call::Rename)
            continue;
        int lastWrite = -1, synced = -1;
        for (int j = 0; j < i; ++j) {
            if (calls[j].path != c.path)
                continue;
            if (calls[j].call == Call::Write || calls[j].call == Call::Clone || calls[j].call == Call::CopyRange)
                lastWrite = j;
            else if (calls[j].call == Call::Fsync)
                synced = j;
        }
        if (synced < 0 || synced < lastWrite)
            bad << QStringLiteral("#%1: %2 renamed to %3 before it was synced").arg(i + 1).arg(c.path, c.to);
        const int folderSynced = folderSyncAfter(i);
        if (folderSynced < 0)
            bad << QStringLiteral("#%1: no folder sync after the rename to %2").arg(i + 1).arg(c.to);
        if (c.to == w.target) {
            targetRenamed = i;
            targetSynced = folderSynced;
        } else if (!w.backup.isEmpty() && c.to == w.backup) {
            backupSynced = folderSynced;
        }
    }
    if (backupSynced >= 0 && targetRenamed >= 0 && backupSynced > targetRenamed)
        bad << QStringLiteral("the target replaced before the backup's name was synced");
    for (int i = 0; i < calls.size(); ++i) {
        const LoggedCall &c = calls[i];
        const bool keeper = (!w.backup.isEmpty() && c.path == w.backup) || (!w.received.isEmpty() && c.path == w.received);
        if (c.call == Call::Unlink && keeper && (targetSynced < 0 || i < targetSynced))
            bad << QStringLiteral("#%1: %2 deleted before the new %3 was durable").arg(i + 1).arg(c.path, w.target);
    }
    return bad;
}

QString planName(const FaultPlan &p, const QList<LoggedCall> &calls)
{
    const LoggedCall &c = calls[p.at - 1];
    const QString call = QStringLiteral("#%1 %2(%3%4)").arg(p.at).arg(callName(c.call), c.path,
                                                            c.to.isEmpty() ? QString() : u'→' + c.to);
    switch (p.mode) {
    case FaultPlan::FailOnce: return call + u' ' + errnoName(p.err);
    case FaultPlan::FailFrom: return call + QStringLiteral(" and after ") + errnoName(p.err);
    case FaultPlan::Kill: return call + QStringLiteral(" SIGKILL");
    case FaultPlan::PowerCut: return call + QStringLiteral(" power cut");
    case FaultPlan::Log: break;
    }
    return call;
}

// Where in the writer's calls things become visible.
struct Landmarks {
    int commitKill = 0;  // the new target exists once this call has run
    int commitError = 0; // a failure up to this call leaves the old target
    int backupMade = 0;  // the backup copy's rename
    int backupGone = 0;  // the backup copy's deletion
    int receivedGone = 0;
};

Landmarks landmarks(const Writer &writer, const QList<LoggedCall> &calls)
{
    Landmarks m;
    for (int i = 0; i < calls.size(); ++i) {
        const LoggedCall &c = calls[i];
        const int n = i + 1;
        if (c.call == Call::Rename && c.to == writer.target)
            m.commitKill = m.commitError = n;
        if (c.call == Call::Rename && !writer.backup.isEmpty() && c.to == writer.backup)
            m.backupMade = n;
        if (c.call == Call::Unlink && !writer.backup.isEmpty() && c.path == writer.backup)
            m.backupGone = n;
        if (c.call == Call::Unlink && !writer.received.isEmpty() && c.path == writer.received)
            m.receivedGone = n;
    }
    if (m.commitKill == 0) {
        // Made in place, not renamed: an empty file created, synced and closed.
        for (int i = 0; i < calls.size(); ++i) {
            if (calls[i].call == Call::Open && calls[i].path == writer.target && m.commitKill == 0)
                m.commitKill = i + 1;
            if (m.commitKill && calls[i].call == Call::Close && calls[i].path == writer.target)
                m.commitError = i + 1;
        }
    }
    return m;
}

QString describe(const QByteArray *bytes)
{
    return bytes ? QStringLiteral("%1 bytes").arg(bytes->size()) : QStringLiteral("absent");
}

} // namespace

// ================================================================== tests

class TestFaultMatrix : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void matrix_data();
    void matrix();
    void powerCut_data();
    void powerCut();
    void fullDisk_data();
    void fullDisk();
    void startSweepsStaleTemporaries();
    void cleanupTestCase();

private:
    bool nextStartOpens(const QString &base, bool listRequired, QString &why);

    QTemporaryDir root_;
    QHash<QByteArray, bool> startCache_;
    int totalCases_ = 0;
    int totalPassed_ = 0;
};

void TestFaultMatrix::initTestCase()
{
    QVERIFY(root_.isValid());
    // Messages of the parent's own windows go nowhere.
    MessageBox::setHook([](const MessageBox::Shown &) {});
}

void TestFaultMatrix::cleanupTestCase()
{
    qInfo("fault matrix: %d cases, %d passed", totalCases_, totalPassed_);
}

// ctest's matrix (run by ./test.sh, which has to end within its time on a
// 2-core machine) takes every third case of a writer on a large list, where
// each case copies and writes megabytes, and every case of the small lists;
// scripts/fault-matrix.sh sets TESSALINE_FAULT_ALL=1 and runs them all.
QList<FaultPlan> sampledOnLargeLists(QList<FaultPlan> plans, int size)
{
    if (size < 1000 || qEnvironmentVariableIntValue("TESSALINE_FAULT_ALL") != 0)
        return plans;
    QList<FaultPlan> kept;
    for (qsizetype i = 0; i < plans.size(); i += 3)
        kept.append(plans[i]);
    return kept;
}

void TestFaultMatrix::matrix_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("shared");
    const QList<Writer> all = writers();
    for (int i = 0; i < all.size(); ++i)
        for (int n : all[i].sizes)
            QTest::addRow("%s/%d", qPrintable(all[i].name), n) << i << n << false;
    // Once more on old files that others may read.
    for (int i = 0; i < all.size(); ++i)
        for (int n : all[i].sizes)
            if (!all[i].files(n).isEmpty())
                QTest::addRow("%s/%d/shared", qPrintable(all[i].name), n) << i << n << true;
}

// The program starts on what the writer left: the stale temporary files are
// swept, the list opens without a message into as many rows as the file
// holds, and the profile window opens unlocked.
bool TestFaultMatrix::nextStartOpens(const QString &base, bool listRequired, QString &why)
{
    const ContactRecord work = WorkRecord;
    const QString formName = CurrentFormName;
    useLocation(base);
    bool ok = true;
    try {
        ensureFolder(dataFolder());
        removeStaleTemporaries({PsLoadPass(), PsLoadBackPass(), PsExpPass(), PsMyLoadPass(), PsMyLoadBackPass()});
        const Folder left = readFolder(dataFolder());
        // An export killed in a folder of the user's leaves its temporary
        // file, as any atomic writer would; the start sweeps only its own.
        const auto exportTemporary = [](const QString &name) {
            return name.startsWith(u'.' + kCardExport + u'.') || name.startsWith(u'.' + kCsvExport + u'.');
        };
        for (auto it = left.cbegin(); it != left.cend(); ++it)
            if (it.key().startsWith(u'.') && !exportTemporary(it.key())) {
                why = QStringLiteral("temporary file survives the start: ") + it.key();
                ok = false;
            }
        if (ok && !fileExists(PsLoadPass()) && listRequired) {
            why = QStringLiteral("the list file is gone");
            ok = false;
        }
        if (ok) {
            const QByteArray key = QCryptographicHash::hash(
                left.value(kList).bytes + '\0' + left.value(kProfile).bytes + (left.contains(kProfile) ? "P" : "-")
                    + (left.contains(kList) ? "L" : "-"),
                QCryptographicHash::Sha1);
            if (!startCache_.contains(key)) {
                bool good = true;
                MessageLog log;
                if (left.contains(kList)) {
                    Form1 list;
                    const qsizetype records = readRecords(PsLoadPass(), FieldCount).size();
                    good = log.shown.isEmpty() && list.rowCount() == records
                        && child<QPushButton>(list, QStringLiteral("CmdImport"))->isEnabled();
                }
                if (good && left.contains(kProfile)) {
                    Form3 profile;
                    good = log.shown.isEmpty() && child<QPushButton>(profile, QStringLiteral("CmdUpdate3"))->isEnabled();
                }
                startCache_.insert(key, good);
            }
            if (!startCache_.value(key)) {
                why = QStringLiteral("the next start does not open normally");
                ok = false;
            }
        }
    } catch (const AppError &e) {
        why = QStringLiteral("the next start fails with error %1").arg(e.number);
        ok = false;
    }
    WorkRecord = work;
    CurrentFormName = formName;
    return ok;
}

void TestFaultMatrix::matrix()
{
    QFETCH(int, writer);
    QFETCH(int, size);
    QFETCH(bool, shared);
    oldFileMode = shared ? 0644 : 0600;
    const auto restoreMode = qScopeGuard([] { oldFileMode = 0600; });
    const Writer w = writers().at(writer);
    const bool firstStart = w.name == QStringLiteral("first start");
    const bool folderGiven = !firstStart;
    const QString root = root_.filePath(QStringLiteral("%1-%2%3").arg(writer).arg(size).arg(shared ? "s" : ""));
    const Files files = w.files(size);

    // The windows, opened once on the old files; every child starts from them.
    const QString master = root + QStringLiteral("/master");
    resetLocation(master, files, folderGiven);
    useLocation(master);
    Windows windows;
    if (w.open)
        w.open(windows, size);

    // The logging run: the calls, and the state that a fault-free run leaves.
    QList<LoggedCall> calls;
    Folder reference;
    QStringList referenceTexts;
    runCases(w, windows, {FaultPlan{}}, root + QStringLiteral("/log"), 1, files, folderGiven,
             [&](const FaultPlan &, const ChildReport &report, const QString &base, const Folder &) {
                 calls = report.calls;
                 reference = readFolder(dataFolderOf(base));
                 referenceTexts = report.texts();
                 QVERIFY2(report.finished && report.errorRoutines().isEmpty(),
                          qPrintable(report.texts().join(u'|')));
             });
    if (QTest::currentTestFailed())
        return;
    const Landmarks marks = landmarks(w, calls);
    const QByteArray *oldTarget = files.contains(w.target) ? &files.find(w.target).value() : nullptr;
    const QByteArray *newTarget = reference.contains(w.target) ? &reference.find(w.target).value().bytes : nullptr;
    if (!calls.isEmpty()) {
        QVERIFY2(marks.commitKill > 0, "the writer never put its file in place");
        // Else "old or new" could not fail.
        QVERIFY2(!oldTarget || !newTarget || *oldTarget != *newTarget, "old and new are the same");
        const QStringList order = orderProblems(w, calls);
        QVERIFY2(order.isEmpty(), qPrintable(order.join(u'\n')));
    }

    QList<FaultPlan> plans;
    for (int n = 1; n <= calls.size(); ++n) {
        for (int err : realErrors(calls[n - 1].call))
            plans.append({FaultPlan::FailOnce, n, err});
        plans.append({FaultPlan::FailFrom, n, EIO});
        plans.append({FaultPlan::Kill, n, 0});
    }
    plans = sampledOnLargeLists(std::move(plans), size);

    QStringList violations;
    int passed = 0;
    const int jobs = firstStart ? 16 : std::max(1, qEnvironmentVariableIntValue("TESSALINE_FAULT_JOBS") ?: 2);
    runCases(w, windows, plans, root, jobs, files, folderGiven,
             [&](const FaultPlan &plan, const ChildReport &report, const QString &base, const Folder &before) {
                 QStringList bad;
                 const Folder after = readFolder(dataFolderOf(base));
                 const QByteArray *target = after.contains(w.target) ? &after.find(w.target).value().bytes : nullptr;
                 const QStringList errors = report.errorRoutines();
                 const auto same = [](const QByteArray *a, const QByteArray *b) {
                     return (!a && !b) || (a && b && *a == *b);
                 };

                 if (report.timedOut)
                     bad << QStringLiteral("hung");
                 if (plan.mode == FaultPlan::Kill && !report.killed)
                     bad << QStringLiteral("never reached the call to kill it");
                 if (plan.mode != FaultPlan::Kill && !report.finished)
                     bad << QStringLiteral("ended abnormally (status %1)").arg(report.status);

                 // The target is whole: the old content or the new, and it parses.
                 if (!same(target, oldTarget) && !same(target, newTarget))
                     bad << QStringLiteral("%1 is neither old nor new (%2)").arg(w.target, describe(target));
                 if (target) {
                     if (const QString problem = parseProblem(dataFolderOf(base) + u'/' + w.target, w.lines);
                         !problem.isEmpty())
                         bad << QStringLiteral("%1 doesn't parse (%2)").arg(w.target, problem);
                 }

                 // Every real failure reaches the user; only closing a file that
                 // was read may fail unnoticed, an interrupted call is retried,
                 // and a backup that can't share the list's file is copied.
                 const LoggedCall &failed = calls[plan.at - 1];
                 const bool mustReport = plan.mode != FaultPlan::Kill && plan.err != EINTR
                                         && !(failed.call == Call::Close && !failed.path.startsWith(u'.'))
                                         && !copyFallsBack(failed, plan.err);
                 if (mustReport && !report.killed && errors.isEmpty())
                     bad << QStringLiteral("the failure was not reported");

                 const bool killedOrFailed = report.killed || !errors.isEmpty();
                 if (!killedOrFailed) {
                     // Told of success (or nothing went wrong that mattered): exactly the fault-free result.
                     if (!same(target, newTarget))
                         bad << QStringLiteral("success without the new %1").arg(w.target);
                     QStringList names = after.keys(), refNames = reference.keys();
                     if (names != refNames)
                         bad << QStringLiteral("files %1, expected %2").arg(names.join(u','), refNames.join(u','));
                     for (const QString &name : names)
                         if (reference.contains(name) && after.value(name).bytes != reference.value(name).bytes)
                             bad << QStringLiteral("%1 differs from a fault-free run").arg(name);
                     if (report.texts() != referenceTexts)
                         bad << QStringLiteral("messages %1").arg(report.texts().join(u'|'));
                 } else {
                     const int commit = report.killed ? marks.commitKill : marks.commitError;
                     const bool committed = plan.at > commit;
                     if (!same(target, committed ? newTarget : oldTarget))
                         bad << QStringLiteral("%1 should be the %2 content (%3)")
                                    .arg(w.target, committed ? QStringLiteral("new") : QStringLiteral("old"),
                                         describe(target));
                     if (!w.backup.isEmpty()) {
                         const bool expected = plan.at > marks.backupMade && (marks.backupGone == 0 || plan.at <= marks.backupGone);
                         const bool present = after.contains(w.backup);
                         if (present != expected)
                             bad << QStringLiteral("backup %1 %2").arg(w.backup, present ? QStringLiteral("left") : QStringLiteral("missing"));
                         if (present && after.value(w.backup).bytes != files.value(w.target))
                             bad << QStringLiteral("backup is not the old list");
                     }
                     if (!w.received.isEmpty()) {
                         const bool expected = marks.receivedGone == 0 || plan.at <= marks.receivedGone;
                         const bool present = after.contains(w.received);
                         if (present != expected)
                             bad << QStringLiteral("received file %1").arg(present ? QStringLiteral("left") : QStringLiteral("lost"));
                         if (present && after.value(w.received).bytes != files.value(w.received))
                             bad << QStringLiteral("received file changed");
                     }
                     if (!report.killed) {
                         if (errors.size() != 1)
                             bad << QStringLiteral("%1 error reports").arg(errors.size());
                         for (const QString &routine : errors) {
                             if (!w.routines.contains(routine))
                                 bad << QStringLiteral("report names %1").arg(routine);
                             else if (windowOfRoutine(routine) && !report.locked[windowOfRoutine(routine)])
                                 bad << QStringLiteral("window of %1 not locked").arg(routine);
                         }
                         for (auto it = after.cbegin(); it != after.cend(); ++it)
                             if (it.key().startsWith(u'.') && !report.kept.contains(it.key()))
                                 bad << QStringLiteral("temporary file %1 left").arg(it.key());
                     }
                 }

                 // Modes: the folder the owner's alone, every file written by the program 0600.
                 struct stat st;
                 if (::stat(QFile::encodeName(dataFolderOf(base)).constData(), &st) == 0 && (st.st_mode & 0777) != 0700)
                     bad << QStringLiteral("data folder mode %1").arg(st.st_mode & 0777, 0, 8);
                 for (auto it = after.cbegin(); it != after.cend(); ++it) {
                     const bool written = !before.contains(it.key()) || before.value(it.key()).inode != it.value().inode;
                     if (written && it.value().mode != 0600)
                         bad << QStringLiteral("%1 mode %2").arg(it.key()).arg(it.value().mode, 0, 8);
                 }

                 QString why;
                 if (!nextStartOpens(base, files.contains(kList), why))
                     bad << why;

                 if (bad.isEmpty())
                     ++passed;
                 else
                     violations << planName(plan, calls) + QStringLiteral(": ") + bad.join(QStringLiteral("; "))
                                       + QStringLiteral(" [") + report.texts().join(u'|').left(200) + u']';
             });
    useLocation(master);

    totalCases_ += int(plans.size());
    totalPassed_ += passed;
    qInfo("%s/%d: %d calls, %d cases, %d passed", qPrintable(w.name), size, int(calls.size()), int(plans.size()), passed);
    if (const QByteArray summary = qgetenv("TESSALINE_FAULT_SUMMARY"); !summary.isEmpty()) {
        QFile out(QFile::decodeName(summary));
        if (out.open(QIODevice::Append)) {
            QStringList kinds;
            for (const LoggedCall &c : calls)
                if (!kinds.contains(callName(c.call)))
                    kinds << callName(c.call);
            out.write(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                          .arg(w.name + (shared ? QStringLiteral(" (files readable by others)") : QString())).arg(size).arg(calls.size()).arg(plans.size()).arg(passed)
                          .arg(kinds.join(u' ')).toUtf8());
        }
    }
    QVERIFY2(violations.isEmpty(), qPrintable(QStringLiteral("%1 of %2 cases violated:\n").arg(violations.size()).arg(plans.size())
                                              + violations.mid(0, 40).join(u'\n')));
}

void TestFaultMatrix::powerCut_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<int>("size");
    const QList<Writer> all = writers();
    for (int i = 1; i < all.size(); ++i) // the first start has no data to lose
        for (int n : all[i].sizes)
            QTest::addRow("%s/%d", qPrintable(all[i].name), n) << i << n;
}

// The power cut at the entry of every call of a writer: of what the writer
// did, the disk keeps only what was synced (FaultPlan's page cache). Checked:
// the target is the old content or the complete new one, the old until its
// rename and the new once the folder was synced after it; a backup that is
// there holds the old target; the received file is there, unchanged, unless
// the new target is; and the program starts on what is left.
void TestFaultMatrix::powerCut()
{
    QFETCH(int, writer);
    QFETCH(int, size);
    const Writer w = writers().at(writer);
    const QString root = root_.filePath(QStringLiteral("cut-%1-%2").arg(writer).arg(size));
    const Files files = w.files(size);
    const QString master = root + QStringLiteral("/master");
    resetLocation(master, files, true);
    useLocation(master);
    Windows windows;
    if (w.open)
        w.open(windows, size);

    QList<LoggedCall> calls;
    Folder reference;
    runCases(w, windows, {FaultPlan{}}, root + QStringLiteral("/log"), 1, files, true,
             [&](const FaultPlan &, const ChildReport &report, const QString &base, const Folder &) {
                 calls = report.calls;
                 reference = readFolder(dataFolderOf(base));
             });
    const QByteArray *oldTarget = files.contains(w.target) ? &files.find(w.target).value() : nullptr;
    const QByteArray *newTarget = reference.contains(w.target) ? &reference.find(w.target).value().bytes : nullptr;
    int renamed = 0, durable = 0;
    for (int i = 0; i < calls.size(); ++i) {
        if (calls[i].call == Call::Rename && calls[i].to == w.target)
            renamed = i + 1;
        if (renamed && !durable && calls[i].call == Call::Fsync && calls[i].path == QStringLiteral("Data"))
            durable = i + 1;
    }
    if (!calls.isEmpty())
        QVERIFY2(renamed && durable, "the writer never made its file durable");

    QList<FaultPlan> plans;
    for (int n = 1; n <= calls.size(); ++n)
        plans.append({FaultPlan::PowerCut, n, 0});
    plans = sampledOnLargeLists(std::move(plans), size);
    QStringList violations;
    int passed = 0;
    const int jobs = std::max(1, qEnvironmentVariableIntValue("TESSALINE_FAULT_JOBS") ?: 2);
    runCases(w, windows, plans, root, jobs, files, true,
             [&](const FaultPlan &plan, const ChildReport &report, const QString &base, const Folder &) {
                 QStringList bad;
                 const Folder after = readFolder(dataFolderOf(base));
                 const QByteArray *target = after.contains(w.target) ? &after.find(w.target).value().bytes : nullptr;
                 const auto same = [](const QByteArray *a, const QByteArray *b) {
                     return (!a && !b) || (a && b && *a == *b);
                 };
                 if (!report.killed)
                     bad << QStringLiteral("the cut never came");
                 const bool isOld = same(target, oldTarget), isNew = same(target, newTarget);
                 if (!isOld && !isNew)
                     bad << QStringLiteral("%1 is neither old nor new (%2)").arg(w.target, describe(target));
                 else if (plan.at <= renamed && !isOld)
                     bad << QStringLiteral("%1 new before its rename").arg(w.target);
                 else if (plan.at > durable && !isNew)
                     bad << QStringLiteral("the new %1 lost after its folder was synced").arg(w.target);
                 if (!w.backup.isEmpty() && after.contains(w.backup) && after.value(w.backup).bytes != files.value(w.target))
                     bad << QStringLiteral("backup %1 is not the old %2 (%3 bytes)").arg(w.backup, w.target).arg(after.value(w.backup).bytes.size());
                 if (!w.received.isEmpty()) {
                     if (after.contains(w.received) && after.value(w.received).bytes != files.value(w.received))
                         bad << QStringLiteral("received file changed");
                     if (!after.contains(w.received) && !isNew)
                         bad << QStringLiteral("received file lost with the old %1").arg(w.target);
                 }
                 QString why;
                 if (!nextStartOpens(base, files.contains(kList), why))
                     bad << why;
                 if (bad.isEmpty())
                     ++passed;
                 else
                     violations << planName(plan, calls) + QStringLiteral(": ") + bad.join(QStringLiteral("; "));
             });
    useLocation(master);
    totalCases_ += int(plans.size());
    totalPassed_ += passed;
    qInfo("%s/%d: %d power cuts, %d passed", qPrintable(w.name), size, int(plans.size()), passed);
    if (const QByteArray summary = qgetenv("TESSALINE_FAULT_SUMMARY"); !summary.isEmpty()) {
        QFile out(QFile::decodeName(summary));
        if (out.open(QIODevice::Append))
            out.write(QStringLiteral("cut\t%1\t%2\t%3\t%4\n").arg(w.name).arg(size).arg(plans.size()).arg(passed).toUtf8());
    }
    QVERIFY2(violations.isEmpty(), qPrintable(QStringLiteral("%1 of %2 cuts violated:\n").arg(violations.size()).arg(plans.size())
                                              + violations.mid(0, 40).join(u'\n')));
}

void TestFaultMatrix::fullDisk_data()
{
    QTest::addColumn<int>("writer");
    const QList<Writer> all = writers();
    for (int i = 1; i < all.size(); ++i) // the first start writes no bytes
        QTest::addRow("%s", qPrintable(all[i].name)) << i;
}

namespace {
qint64 pages(qint64 bytes)
{
    return (bytes + 4095) / 4096 * 4096;
}

// In a private mount namespace: the data folder on a tmpfs with exactly
// `room` bytes free beside the old files; the writer runs, and what it left
// is copied out to base for the parent, which can't see the mount.
[[noreturn]] void fullDiskChild(const Writer &writer, Windows &w, const Files &files, qint64 room,
                                const QString &base, int fd)
{
    armFaults(FaultPlan{}, fd);
    const QByteArray mnt = QFile::encodeName(base + QStringLiteral("/mnt"));
    qint64 used = 0;
    for (const QByteArray &bytes : files)
        used += pages(bytes.size());
    const QByteArray options = "size=" + QByteArray::number(used + room + 4096) + ",mode=0700";
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || !QDir().mkpath(QFile::decodeName(mnt))
        || ::mount("tmpfs", mnt.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        reportLine("skip", QStringLiteral("no private tmpfs here (%1); run as root").arg(QString::fromLocal8Bit(strerror(errno))));
        ::_exit(0);
    }
    const QString location = QFile::decodeName(mnt);
    const QString folder = location + QStringLiteral("/data/Tessaline/Data");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A page of filler, so that even no room at all is possible (a tmpfs of size 0 has no limit).
    QFile filler(location + QStringLiteral("/filler"));
    bool fits = filler.open(QIODevice::WriteOnly) && filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush();
    // The old files keep the default mode, so that their backups are copied
    // and the copy meets the full disk too.
    for (auto it = files.cbegin(); fits && it != files.cend(); ++it) {
        QFile file(folder + u'/' + it.key());
        fits = file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size() && file.flush();
    }
    if (!fits) {
        reportLine("skip", QStringLiteral("the old files don't fit"));
        ::_exit(0);
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(location + QStringLiteral("/data")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + QStringLiteral("/runtime")));
    MessageBox::setHook([](const MessageBox::Shown &m) { reportLine("msg", m.title + u'\x1f' + m.text); });
    writer.act(w);
    disarmFaults();
    QString state = QStringLiteral("0");
    state += w.form1 && isLocked(*w.form1, "CmdExit", {"CmdImport", "CmdExport"}) ? u'1' : u'0';
    state += w.form2 && isLocked(*w.form2, "CmdExit_Click2", {"CmdUpdate2", "CmdDelete2"}) ? u'1' : u'0';
    state += w.form3 && isLocked(*w.form3, "CmdExit_Click3", {"CmdUpdate3", "CmdImport3"}) ? u'1' : u'0';
    state += w.closed ? u'1' : u'0';
    const QString out = dataFolderOf(base);
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::copy(folder + u'/' + name, out + u'/' + name);
    reportLine("state", state);
    ::_exit(0);
}
} // namespace

// The writers on a real full disk: a tmpfs with no room at all beside the old
// files, then a page more each time, up to room for every file the writer
// leaves and a page more.
void TestFaultMatrix::fullDisk()
{
    QFETCH(int, writer);
    const Writer w = writers().at(writer);
    const Files files = w.files(100);
    const QString root = root_.filePath(QStringLiteral("disk-%1").arg(writer));
    const QString master = root + QStringLiteral("/master");
    resetLocation(master, files, true);
    useLocation(master);
    Windows windows;
    if (w.open)
        w.open(windows, 100);

    Folder reference;
    QStringList referenceTexts;
    runCases(w, windows, {FaultPlan{}}, root + QStringLiteral("/log"), 1, files, true,
             [&](const FaultPlan &, const ChildReport &report, const QString &base, const Folder &) {
                 reference = readFolder(dataFolderOf(base));
                 referenceTexts = report.texts();
             });
    // At its peak the writer holds the old files, the backup copy and the new
    // file beside the old one.
    qint64 needed = pages(reference.value(w.target).bytes.size());
    if (!w.backup.isEmpty())
        needed += pages(files.value(w.target).size());
    // The list and the profile keep their old file in the history folder:
    // the folder's own page, and a copy where the old file can't be linked.
    if (w.target == kList || w.target == kProfile)
        needed += pages(1) + pages(files.value(w.target).size());

    QStringList violations;
    int cases = 0;
    for (qint64 room = 0; room <= needed + 4096; room += 4096) {
        const QString base = root + QStringLiteral("/room%1").arg(room);
        resetLocation(base, {}, false);
        int fds[2];
        QVERIFY(::pipe2(fds, O_CLOEXEC) == 0);
        fflush(stdout);
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::close(fds[0]);
            fullDiskChild(w, windows, files, room, base, fds[1]);
        }
        ::close(fds[1]);
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        Running run{pid, fds[0], {}, {}};
        run.clock.start();
        ChildReport report;
        while (!pumpChild(run, report, 60000)) {
            pollfd p{fds[0], POLLIN, 0};
            ::poll(&p, 1, 200);
        }
        if (run.out.startsWith("skip\t"))
            QSKIP(run.out.constData());
        ++cases;
        const QString label = QStringLiteral("%1 bytes free").arg(room);
        if (!report.finished) {
            violations << label + QStringLiteral(": ended abnormally");
            continue;
        }
        const Folder after = readFolder(dataFolderOf(base));
        const QByteArray target = after.value(w.target).bytes;
        const bool hasTarget = after.contains(w.target);
        const bool isOld = files.contains(w.target) ? hasTarget && target == files.value(w.target) : !hasTarget;
        const bool isNew = reference.contains(w.target) && hasTarget && target == reference.value(w.target).bytes;
        if (!isOld && !isNew)
            violations << label + QStringLiteral(": %1 is neither old nor new").arg(w.target);
        const QStringList errors = report.errorRoutines();
        if (errors.isEmpty()) {
            if (after.keys() != reference.keys() || !isNew || report.texts() != referenceTexts)
                violations << label + QStringLiteral(": told of success without the new files");
        } else {
            if (errors.size() != 1 || !w.routines.contains(errors.first()))
                violations << label + QStringLiteral(": reports %1").arg(errors.join(u','));
            else if (windowOfRoutine(errors.first()) && !report.locked[windowOfRoutine(errors.first())])
                violations << label + QStringLiteral(": window not locked");
            for (auto it = after.cbegin(); it != after.cend(); ++it)
                if (it.key().startsWith(u'.'))
                    violations << label + QStringLiteral(": temporary file %1 left").arg(it.key());
            if (!w.backup.isEmpty() && after.contains(w.backup) && after.value(w.backup).bytes != files.value(w.target))
                violations << label + QStringLiteral(": backup is not the old file");
            if (!w.received.isEmpty() && !isNew && after.value(w.received).bytes != files.value(w.received))
                violations << label + QStringLiteral(": received file lost before the import was done");
        }
        if (room == needed + 4096 && !errors.isEmpty())
            violations << label + QStringLiteral(": fails with room for everything");
    }
    useLocation(master);
    qInfo("%s on a full disk: %d sizes", qPrintable(w.name), cases);
    if (const QByteArray summary = qgetenv("TESSALINE_FAULT_SUMMARY"); !summary.isEmpty()) {
        QFile out(QFile::decodeName(summary));
        if (out.open(QIODevice::Append))
            out.write(QStringLiteral("disk\t%1\t%2\t%3\n").arg(w.name).arg(cases).arg(cases - violations.size()).toUtf8());
    }
    QVERIFY2(violations.isEmpty(), qPrintable(violations.join(u'\n')));
}

// A writer killed before its rename leaves a temporary file; the next start
// deletes those of the program's files (and nothing else) and opens normally.
void TestFaultMatrix::startSweepsStaleTemporaries()
{
    const QString base = root_.filePath(QStringLiteral("sweep"));
    const Files files = {{kList, encodeRecords(contacts(2, QStringLiteral("c")))},
                         {QStringLiteral(".load.txt.Ab12Cd"), QByteArray("half a list")},
                         {QStringLiteral(".myload.txt.zzzzzz"), QByteArray()},
                         {QStringLiteral(".cp_load.txt.000000"), QByteArray("x")},
                         {QStringLiteral(".notes.txt.Ab12Cd"), QByteArray("someone else's")},
                         {QStringLiteral(".load.txt.toolong1"), QByteArray("not ours")}};
    Windows none;
    const Writer start{QStringLiteral("start"), {}, kList, FieldCount, {}, {}, {}, {}, {},
                       [](Windows &) {
                           QTimer::singleShot(100, qApp, &QCoreApplication::quit);
                           reportLine("main", QString::number(Main(*qobject_cast<QApplication *>(qApp))));
                       }};
    ChildReport seen;
    runCases(start, none, {FaultPlan{}}, base, 1, files, true,
             [&](const FaultPlan &, const ChildReport &report, const QString &, const Folder &) { seen = report; });
    QVERIFY(seen.finished);
    QCOMPARE(seen.texts(), QStringList());
    const QStringList left = readFolder(dataFolderOf(base + QStringLiteral("/slot0"))).keys();
    QCOMPARE(left, (QStringList{QStringLiteral(".load.txt.toolong1"), QStringLiteral(".notes.txt.Ab12Cd"), kList}));
}

QTEST_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
