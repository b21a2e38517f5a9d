#pragma once

#include "contacts/ContactRecord.h"

#include <QList>
#include <QString>
#include <QStringView>

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
    QString folded_;
    QString searched_; // reused from contact to contact
    QString lines_;
    int addresses_ = 0;
};
