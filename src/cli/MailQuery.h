#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>

#include <string>
#include <unordered_map>
#include <vector>

class RecordScanner;

// The answer to a mail client's address query: one line
// "mail<TAB>name<TAB>reading" for each mail address of each contact whose
// name, reading, mails, affiliations or phones contain the sought text,
// folded as the list's search folds. A contact without a mail address gives
// no line. Tabs and line breaks inside values become blanks.
class MailQuery {
public:
    explicit MailQuery(QStringView sought);

    // False when the sought text folds to nothing (blanks only).
    bool valid() const { return !folded_.empty(); }

    // Adds the contact's lines when it matches. The query reads the fields'
    // bytes itself (a RecordScanner that decodes none); a field looked at
    // that isn't code page 932 text throws AppError, as decoding it would.
    void add(const RecordScanner &record);

    // Adds the lines of a query of the same text over the contacts that
    // follow this one's.
    void append(const MailQuery &later);

    const QString &lines() const { return lines_; }
    int addressCount() const { return addresses_; }

private:
    char16_t *appendFoldOf(QByteArrayView field, char16_t *at, size_t recordRoom);
    bool affiliationContains(QByteArrayView field, char16_t *scratch);

    struct BytesHash {
        using is_transparent = void;
        size_t operator()(QByteArrayView bytes) const { return qHash(bytes); }
    };
    struct BytesEqual {
        using is_transparent = void;
        bool operator()(QByteArrayView a, QByteArrayView b) const { return a == b; }
    };

    std::u16string folded_;
    // Whether the sought text folds to ASCII alone: ASCII bytes fold to
    // ASCII, so a value of them can hold no other sought text.
    bool soughtIsAscii_ = false;
    std::vector<char16_t> searched_; // reused from contact to contact
    // Whether each affiliation that can't be folded a character at a time
    // holds the sought text: many contacts share a company, and its name
    // ("㈱", half-width kana) is the costly kind to fold.
    std::unordered_map<QByteArray, bool, BytesHash, BytesEqual> affiliations_;
    QString lines_;
    int addresses_ = 0;
};
