#pragma once

#include "contacts/ContactRecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <unordered_map>

// The answer to a mail client's address query: one line
// "mail<TAB>name<TAB>reading" for each mail address of each contact whose
// name, reading, mails, affiliations or phones contain the sought text,
// folded as the list's search folds. A contact without a mail address gives
// no line. Tabs and line breaks inside values become blanks.
class MailQuery {
public:
    // The fields looked at (bit i for field i), for RecordScanner.
    static const quint32 fieldsLookedAt;

    explicit MailQuery(QStringView sought);

    // False when the sought text folds to nothing (blanks only).
    bool valid() const { return !folded_.isEmpty(); }

    // Adds the contact's lines when it matches; fields in ContactRecord order.
    void add(const QList<QStringView> &fields);

    const QString &lines() const { return lines_; }
    int addressCount() const { return addresses_; }

private:
    bool affiliationContains(QStringView value);

    struct ViewHash {
        using is_transparent = void;
        size_t operator()(QStringView text) const { return qHash(text); }
    };

    QString folded_;
    QString searched_; // reused from contact to contact
    // Whether each affiliation seen so far holds the sought text: many
    // contacts share a company, and its name ("㈱", half-width kana) is the
    // costly kind to fold.
    std::unordered_map<QString, bool, ViewHash, std::equal_to<>> affiliations_;
    QString lines_;
    int addresses_ = 0;
};
