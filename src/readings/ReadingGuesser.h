#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

// Guesses the kana reading of a person's name with MeCab and UniDic
// (Debian's unidic-mecab), which read common Japanese family and given
// names best of the dictionaries Debian packages (docs/readings.md has the
// comparison).
//
// A name written with a blank is read as family name then given name, each
// part on its own: a part that is a whole dictionary entry for a person's
// name is read as that entry (a family name's reading before a given name's
// for the first part, the other way round for the last), anything else by
// MeCab's best path. The parts are joined by one full-width blank. Kana
// parts need no dictionary and keep their sounds (katakana becomes
// hiragana); letters the dictionary knows are read (John → じょん), other
// letters and digits are kept as written.
//
// MeCab and the dictionary are loaded on the first guess that needs them
// (about 1 ms once their files are in the page cache, tens of ms from a
// cold disk), so a program that never guesses never pays for them.
class ReadingGuesser
{
public:
    // Where Debian installs UniDic for MeCab.
    static QString defaultDictionaryDir();

    explicit ReadingGuesser(QString dictionaryDir = defaultDictionaryDir());
    ~ReadingGuesser();
    ReadingGuesser(const ReadingGuesser &) = delete;
    ReadingGuesser &operator=(const ReadingGuesser &) = delete;

    // The reading in hiragana, or nothing when the name is blank, holds a
    // kanji the dictionary has no reading for, or the dictionary can't be
    // loaded (loadError() then says why).
    std::optional<QString> guess(QStringView name);

    // Why the dictionary could not be loaded, in Japanese; empty while it
    // loaded or was not needed yet.
    QString loadError() const;

private:
    struct MeCabState;
    bool ensureLoaded();
    std::optional<QString> readPart(QStringView part, int role);

    QString m_dictionaryDir;
    std::unique_ptr<MeCabState> m_mecab;
    QString m_loadError;
};
