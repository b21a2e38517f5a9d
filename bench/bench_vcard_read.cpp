#include "ContactGenerator.h"

#include "interchange/ContactImport.h"
#include "interchange/ContactReader.h"
#include "interchange/FieldMap.h"
#include "shell/RecordFile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// vCard 3.0 text of the generated contacts, written here rather than by the
// exporter so that the reader is timed over the same bytes whatever the
// exporter writes: every field as its property, the reading split at its
// full-width blank into X-PHONETIC-LAST-NAME and X-PHONETIC-FIRST-NAME.
static QByteArray cardsOf(const QList<ContactRecord> &contacts)
{
    const auto escaped = [](QString v) {
        return v.replace(u'\\', QStringLiteral("\\\\")).replace(u',', QStringLiteral("\\,"))
            .replace(u';', QStringLiteral("\\;")).replace(u'\n', QStringLiteral("\\n"));
    };
    QString text;
    for (const ContactRecord &r : contacts) {
        const qsizetype blank = r[ReadingField].indexOf(u'\u3000');
        text += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + escaped(r[NameField])
            + QStringLiteral("\r\nN:") + escaped(r[NameField]) + QStringLiteral(";;;;\r\nX-PHONETIC-LAST-NAME:")
            + escaped(r[ReadingField].left(blank)) + QStringLiteral("\r\nX-PHONETIC-FIRST-NAME:")
            + escaped(blank < 0 ? QString() : r[ReadingField].mid(blank + 1))
            + QStringLiteral("\r\nTEL;TYPE=CELL:") + escaped(r[Tel1Field])
            + QStringLiteral("\r\nTEL;TYPE=WORK:") + escaped(r[Tel2Field])
            + QStringLiteral("\r\nTEL;TYPE=FAX:") + escaped(r[FieldMap::FaxField])
            + QStringLiteral("\r\nEMAIL:") + escaped(r[FieldMap::Mail1Field])
            + QStringLiteral("\r\nEMAIL:") + escaped(r[FieldMap::Mail2Field])
            + QStringLiteral("\r\nORG:") + escaped(r[FieldMap::Affiliation1Field]) + u';'
            + escaped(r[FieldMap::Affiliation2Field]) + QStringLiteral("\r\nTITLE:") + escaped(r[FieldMap::TitleField])
            + QStringLiteral("\r\nADR:;;") + escaped(r[FieldMap::AddressField])
            + QStringLiteral(";;;;\r\nURL:") + escaped(r[FieldMap::UrlField])
            + QStringLiteral("\r\nNOTE:") + escaped(r[FieldMap::CommentField])
            + QStringLiteral("\r\nPHOTO;VALUE=uri:") + escaped(r[FieldMap::PhotoField]);
        for (const FieldMap::OwnProperty &own : FieldMap::ownProperties)
            text += QStringLiteral("\r\n") + own.vcardName + u':' + escaped(r[own.field]);
        text += QStringLiteral("\r\nEND:VCARD\r\n");
    }
    return text.toUtf8();
}

// The mean time of reading the file's bytes and decoding them as UTF-8.
static double readFloorNs(const QString &path, int runs)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i) {
        const QString text = QString::fromUtf8(readWholeFile(path));
        benchmark::DoNotOptimize(text.size());
    }
    return double(timer.nsecsElapsed()) / runs;
}

// Reading 10000 vCard 3.0 contacts from their file, against the floor of
// reading and decoding the same bytes, timed before and after the reads.
static void BM_ReadVCards(benchmark::State &state)
{
    const int total = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.vcf"));
    writeFileAtomically(path, cardsOf(generateContacts(total, 20261208)));
    const double floorBeforeNs = readFloorNs(path, 10);

    qint64 readNs = 0;
    qsizetype read = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const Interchange::ReadOutcome outcome = Interchange::readContactFile(path);
        readNs += timer.nsecsElapsed();
        read = outcome.ok() ? outcome.contacts.size() : -1;
    }
    const double floorNs = (floorBeforeNs + readFloorNs(path, 10)) / 2;
    if (read != total)
        state.SkipWithError("the cards weren't read");
    const double meanNs = double(readNs) / double(state.iterations());
    state.counters["floor_ms"] = floorNs / 1e6;
    state.counters["read_ms"] = meanNs / 1e6;
    state.counters["ratio"] = meanNs / floorNs;
}
BENCHMARK(BM_ReadVCards)->Arg(10000)->Unit(benchmark::kMillisecond);

// The import's work on the same cards without its write: reading, the
// preview (stored forms, keys, characters without a code) and the choice
// in the list's order.
static void BM_PrepareVCardImport(benchmark::State &state)
{
    const int total = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.vcf"));
    writeFileAtomically(path, cardsOf(generateContacts(total, 20261208)));
    qsizetype chosen = 0;
    for (auto _ : state) {
        const Interchange::ImportPreview preview = Interchange::buildImportPreview({path}, {});
        chosen = Interchange::chooseImport(preview, {}, Interchange::UnstorableChoice::LeaveOut).records.size();
    }
    if (chosen != total)
        state.SkipWithError("the cards weren't imported");
}
BENCHMARK(BM_PrepareVCardImport)->Arg(10000)->Unit(benchmark::kMillisecond);
