#include "interchange/ImportDuplicates.h"

#include "interchange/FieldMap.h"
#include "readings/MailKey.h"
#include "readings/PhoneKey.h"

#include <QHash>

namespace Interchange {

namespace {

constexpr int kPhoneFields[] = {Tel1Field, Tel2Field, FieldMap::FaxField};
constexpr int kMailFields[] = {FieldMap::Mail1Field, FieldMap::Mail2Field};

// The last seven digits of a number (either width): numbers with equal
// phone keys have equal national numbers, so they share these. A phone key
// costs some 20 µs; only numbers that share their tail are keyed.
QString digitTail(QStringView number)
{
    QString digits;
    for (qsizetype i = number.size() - 1; i >= 0 && digits.size() < 7; --i) {
        const int d = number[i].digitValue();
        if (d >= 0)
            digits.prepend(QChar(u'0' + d));
    }
    return digits;
}

} // namespace

void markPossibleDuplicates(ImportPreview &preview, const QList<ContactRecord> &listed)
{
    QHash<QString, int> mails;
    QMultiHash<QString, int> tails;
    for (int i = 0; i < listed.size(); ++i) {
        for (const int f : kMailFields)
            if (const QString key = mailKey(listed[i].value(f)); !key.isEmpty())
                mails.insert(key, i);
        for (const int f : kPhoneFields)
            if (const QString tail = digitTail(listed[i].value(f)); tail.size() >= 4)
                tails.insert(tail, i);
    }
    QHash<int, QStringList> listedPhoneKeys; // keyed only when a tail matches
    const auto phoneKeysOf = [&](int i) -> const QStringList & {
        auto it = listedPhoneKeys.find(i);
        if (it == listedPhoneKeys.end()) {
            QStringList keys;
            for (const int f : kPhoneFields)
                if (const QString key = phoneKey(listed[i].value(f)); !key.isEmpty())
                    keys.append(key);
            it = listedPhoneKeys.insert(i, keys);
        }
        return *it;
    };
    for (ImportCandidate &c : preview.candidates) {
        if (c.status != ImportStatus::New)
            continue;
        int found = -1;
        for (const int f : kMailFields) {
            if (const QString key = mailKey(c.record[f]); !key.isEmpty() && mails.contains(key)) {
                found = mails.value(key);
                break;
            }
        }
        for (const int f : kPhoneFields) {
            if (found >= 0)
                break;
            const QString tail = digitTail(c.record[f]);
            if (tail.size() < 4 || !tails.contains(tail))
                continue;
            const QString key = phoneKey(c.record[f]);
            if (key.isEmpty())
                continue;
            for (auto it = tails.constFind(tail); it != tails.cend() && it.key() == tail; ++it) {
                if (phoneKeysOf(it.value()).contains(key)) {
                    found = it.value();
                    break;
                }
            }
        }
        if (found >= 0) {
            c.status = ImportStatus::PossibleDuplicate;
            c.listedIndex = found;
        }
    }
}

} // namespace Interchange
