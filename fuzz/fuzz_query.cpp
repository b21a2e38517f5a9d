// The command's quick query against the full one: whatever the list file
// holds and whatever is sought, the quick query either leaves the answer to
// the full one or gives exactly its answer. The input's first line is the
// sought text; the rest is the list file, padded with empty lines to whole
// records so that most inputs are lists the quick query reads.

#include "FuzzRecords.h"

#include "cli/CommandLine.h"
#include "quick/QuickQuery.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The data folder, set up once for the whole run.
QString listPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        FUZZ_CHECK(dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        FUZZ_CHECK(QDir(dir.path()).mkpath(QStringLiteral("Tessaline/Data")));
        return dir.filePath(QStringLiteral("Tessaline/Data/load.txt"));
    }();
    return path;
}

// The full command's standard output, caught in a memory file.
QByteArray fullAnswer(QList<QByteArray> args, int &code)
{
    static const int out = memfd_create("query", MFD_CLOEXEC);
    FUZZ_CHECK(out >= 0 && ftruncate(out, 0) == 0 && lseek(out, 0, SEEK_SET) == 0);
    QList<char *> argv;
    for (QByteArray &a : args)
        argv << a.data();
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(out, STDOUT_FILENO);
    code = runCommandLine(int(argv.size()), argv.data());
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    QByteArray text(lseek(out, 0, SEEK_CUR), Qt::Uninitialized);
    FUZZ_CHECK(pread(out, text.data(), size_t(text.size()), 0) == text.size());
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype firstLineEnd = input.indexOf('\n');
    if (firstLineEnd <= 0)
        return 0;
    QByteArray list = input.mid(firstLineEnd + 1);
    list += QByteArray((20 - list.count('\n') % 20) % 20, '\n');
    QFile file(listPath());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(list) == list.size());
    file.close();

    QList<QByteArray> args{"tessaline", "query", input.first(firstLineEnd)};
    QList<char *> argv;
    for (QByteArray &a : args)
        argv << a.data();
    QuickQuery::Answer quick;
    if (!QuickQuery::answer(int(argv.size()), argv.data(), quick))
        return 0;
    const QByteArray quickText(quick.text, qsizetype(quick.size));
    std::free(quick.text);
    int fullCode = -1;
    const QByteArray fullText = fullAnswer(args, fullCode);
    if (quickText != fullText || quick.exitCode != fullCode) {
        std::fprintf(stderr, "quick (%d):\n%s\nfull (%d):\n%s\n", quick.exitCode, quickText.constData(), fullCode,
                     fullText.constData());
        std::abort();
    }
    return 0;
}
