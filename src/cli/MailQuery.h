#pragma once

#include "quick/QueryMatch.h"

#include <QString>
#include <QStringView>

#include <string>

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
    bool holdsTheGeneralWay(const RecordScanner &record) const;

    const std::u16string folded_;
    QueryMatch::RecordMatcher matcher_; // searches for folded_
    QString lines_;
    int addresses_ = 0;
};
