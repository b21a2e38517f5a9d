#include "readings/ReadingGuesser.h"

#include "readings/Kana.h"
#include "shell/BasCommn.h"

#include <mecab.h>

#include <QDir>
#include <QFileInfo>
#include <QList>

#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

// MeCab is loaded with the dictionary, on the first guess: a program that
// guesses nothing (an export, the window until a reading is typed for it)
// doesn't pay the 2 ms that loading the library costs at its start. Its C++
// interface is kept: the two free functions are looked up by their
// exported names (the ones a link against libmecab.so.2 binds), and the
// rest is reached through the model's virtual functions.
struct MeCabLibrary {
    MeCab::Model *(*createModel)(int argc, char **argv) = nullptr;
    const char *(*getLastError)() = nullptr;
    QString error; // why it could not be loaded, when it couldn't
};

const MeCabLibrary &mecabLibrary()
{
    static const MeCabLibrary library = [] {
        MeCabLibrary l;
        // Never closed: the models' code lives there.
        void *const handle = dlopen("libmecab.so.2", RTLD_NOW | RTLD_LOCAL);
        if (handle) {
            l.createModel = reinterpret_cast<decltype(l.createModel)>(dlsym(handle, "_ZN5MeCab11createModelEiPPc"));
            l.getLastError = reinterpret_cast<decltype(l.getLastError)>(dlsym(handle, "_ZN5MeCab12getLastErrorEv"));
        }
        if (!l.createModel || !l.getLastError) {
            l.createModel = nullptr;
            l.error = QStringLiteral("読みの推定に使う MeCab (libmecab.so.2) を読み込めません。libmecab2 パッケージを入れてください: %1")
                          .arg(QString::fromLocal8Bit(dlerror()));
        }
        return l;
    }();
    return library;
}

enum Role { AnyName = 0, FamilyName = 1, GivenName = 2 };

// Characters that only a dictionary can read: kanji of every plane, the
// iteration mark 々, 〆 and 〇, letters and digits.
bool needsDictionary(QStringView part)
{
    for (QChar c : part) {
        if (!isKanaChar(c) && c.unicode() != 0x30FB)
            return true;
    }
    return false;
}

bool hasKanji(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = text[i].isHighSurrogate() && i + 1 < text.size()
            ? QChar::surrogateToUcs4(text[i], text[i + 1])
            : text[i].unicode();
        if ((c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF)
            || c == 0x3005 || c == 0x3006 || c == 0x3007)
            return true;
    }
    return false;
}

bool isSingleLetter(QStringView text)
{
    if (text.size() != 1)
        return false;
    const char16_t c = text[0].unicode();
    return (c < 0x80 && text[0].isLetter()) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);
}

// The fields of a MeCab feature string: comma-separated, a field in double
// quotes may hold commas (UniDic quotes its empty fields).
std::vector<std::string> featureFields(const char *feature)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (const char *p = feature; *p; ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (*p == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back().push_back(*p);
    }
    return fields;
}

// UniDic keeps the kana of a word in field 20; IPAdic and NAIST-jdic, whose
// features are shorter, in field 7. Either may be missing (an unknown word)
// or "*".
QString readingOf(const std::vector<std::string> &fields)
{
    const std::size_t index = fields.size() > 20 ? 20 : 7;
    if (index >= fields.size() || fields[index].empty() || fields[index] == "*")
        return {};
    return QString::fromStdString(fields[index]);
}

} // namespace

struct ReadingGuesser::MeCabState {
    std::unique_ptr<MeCab::Model> model;
    std::unique_ptr<MeCab::Tagger> tagger;
    std::unique_ptr<MeCab::Lattice> lattice;
};

QString ReadingGuesser::defaultDictionaryDir()
{
    return QStringLiteral("/var/lib/mecab/dic/unidic");
}

ReadingGuesser::ReadingGuesser(QString dictionaryDir)
    : m_dictionaryDir(std::move(dictionaryDir))
{
}

ReadingGuesser::~ReadingGuesser() = default;

QString ReadingGuesser::loadError() const
{
    return m_loadError;
}

bool ReadingGuesser::ensureLoaded()
{
    if (m_mecab)
        return true;
    if (!m_loadError.isEmpty())
        return false;
    if (!QFileInfo::exists(QDir(m_dictionaryDir).filePath(QStringLiteral("sys.dic")))) {
        m_loadError = QStringLiteral("読みの推定に使う辞書がありません（%1）。unidic-mecab パッケージを入れてください")
                          .arg(m_dictionaryDir);
        return false;
    }
    const MeCabLibrary &mecab = mecabLibrary();
    if (!mecab.createModel) {
        m_loadError = mecab.error;
        return false;
    }
    // An empty resource file, so that a user's ~/.mecabrc (another
    // dictionary, a user dictionary) can't change the readings.
    const std::string dir = QFile::encodeName(m_dictionaryDir).toStdString();
    const char *argv[] = {"mecab", "-r", "/dev/null", "-d", dir.c_str()};
    auto state = std::make_unique<MeCabState>();
    state->model.reset(mecab.createModel(5, const_cast<char **>(argv)));
    if (state->model) {
        state->tagger.reset(state->model->createTagger());
        state->lattice.reset(state->model->createLattice());
    }
    if (!state->tagger || !state->lattice) {
        m_loadError = QStringLiteral("読みの推定に使う辞書を読み込めません（%1）: %2")
                          .arg(m_dictionaryDir, QString::fromLocal8Bit(mecab.getLastError()));
        return false;
    }
    m_mecab = std::move(state);
    return true;
}

std::optional<QString> ReadingGuesser::readPart(QStringView part, int role)
{
    if (!needsDictionary(part))
        return toStoredReading(part);
    if (!ensureLoaded())
        return std::nullopt;

    const std::string utf8 = part.toString().toStdString();
    MeCab::Lattice *lattice = m_mecab->lattice.get();
    lattice->set_sentence(utf8.c_str(), utf8.size());
    if (!m_mecab->tagger->parse(lattice))
        return std::nullopt;

    // A whole entry for a person's name: the reading of the wanted role
    // (family, given) first, then the cheapest.
    QString bestName;
    int bestRank = 0;
    long bestCost = 0;
    for (const MeCab::Node *node = lattice->begin_nodes(0); node; node = node->bnext) {
        if (node->stat != MECAB_NOR_NODE || node->length != utf8.size())
            continue;
        const std::vector<std::string> fields = featureFields(node->feature);
        if (fields.size() < 4 || fields[2] != "人名")
            continue;
        const QString reading = readingOf(fields);
        if (reading.isEmpty())
            continue;
        const bool roleMatches = (role == FamilyName && fields[3] == "姓") || (role == GivenName && fields[3] == "名");
        const int rank = roleMatches ? 2 : 1;
        if (rank > bestRank || (rank == bestRank && node->wcost < bestCost)) {
            bestName = reading;
            bestRank = rank;
            bestCost = node->wcost;
        }
    }
    if (bestRank > 0)
        return toStoredReading(bestName);

    QString out;
    for (const MeCab::Node *node = lattice->bos_node()->next; node && node->stat != MECAB_EOS_NODE; node = node->next) {
        const QString surface = QString::fromUtf8(node->surface, int(node->length));
        const QString reading = readingOf(featureFields(node->feature));
        // A word it doesn't know comes out letter by letter (Xqzw as
        // えっくすきゅー…): a single letter is kept as written.
        if (!reading.isEmpty() && !isSingleLetter(surface))
            out += reading;
        else if (!hasKanji(surface))
            out += surface;
        else
            return std::nullopt;
    }
    return toStoredReading(out);
}

std::optional<QString> ReadingGuesser::guess(QStringView name)
{
    QList<QStringView> parts;
    qsizetype i = 0;
    while (i < name.size()) {
        while (i < name.size() && isBlank(name[i]))
            ++i;
        qsizetype j = i;
        while (j < name.size() && !isBlank(name[j]))
            ++j;
        if (j > i)
            parts.append(name.mid(i, j - i));
        i = j;
    }
    if (parts.isEmpty())
        return std::nullopt;

    QString out;
    for (qsizetype p = 0; p < parts.size(); ++p) {
        const int role = parts.size() == 1 ? AnyName : p == 0 ? FamilyName : p == parts.size() - 1 ? GivenName : AnyName;
        const std::optional<QString> reading = readPart(parts[p], role);
        if (!reading)
            return std::nullopt;
        if (p > 0)
            out += FullBlank;
        out += *reading;
    }
    return out;
}
