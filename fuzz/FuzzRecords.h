#pragma once

// Builds contact records out of fuzz input. Readings and names come from a
// small alphabet of kana, letters and both blanks, so that equal keys, equal
// sort forms and blanks at the ends turn up often; field 1 carries a tag that
// tells each record apart.

#include "contacts/ContactRecord.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

inline QString fuzzText(FuzzedDataProvider &p)
{
    static const char16_t alphabet[] = {u'あ', u'い', u'う', u'ア', u' ', u'\u3000', u'a', u'b'};
    QString text;
    const int length = p.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < length; ++i)
        text.append(QChar(alphabet[p.ConsumeIntegralInRange(0, 7)]));
    return text;
}

inline ContactRecord fuzzRecord(FuzzedDataProvider &p, const QString &tag)
{
    ContactRecord record = emptyContact();
    record[ReadingField] = fuzzText(p);
    record[NameField] = fuzzText(p);
    record[Tel1Field] = tag;
    return record;
}

inline QList<ContactRecord> fuzzList(FuzzedDataProvider &p, char side)
{
    QList<ContactRecord> list;
    const int count = p.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count; ++i)
        list.append(fuzzRecord(p, QString(QChar(side)) + QString::number(i)));
    return list;
}

// The list's order: by the sort form of the reading, then of the name.
inline bool sortsBefore(const ContactRecord &a, const ContactRecord &b)
{
    const int byReading = compareOrdinal(sortForm(a[ReadingField]), sortForm(b[ReadingField]));
    if (byReading != 0)
        return byReading < 0;
    return compareOrdinal(sortForm(a[NameField]), sortForm(b[NameField])) < 0;
}

inline void sortList(QList<ContactRecord> &list)
{
    std::stable_sort(list.begin(), list.end(), sortsBefore);
}

inline bool isOrdered(const QList<ContactRecord> &list)
{
    for (qsizetype i = 1; i < list.size(); ++i)
        if (sortsBefore(list[i], list[i - 1]))
            return false;
    return true;
}

// Whether records with equal keys also sort alike. Keys ignore blanks while
// sort forms keep them, so a replacement between two records whose keys are
// equal but whose sort forms differ may rightly leave the order.
inline bool keysSortAlike(const QList<ContactRecord> &records)
{
    for (qsizetype i = 0; i < records.size(); ++i)
        for (qsizetype j = i + 1; j < records.size(); ++j)
            if (recordKey(records[i]) == recordKey(records[j])
                && (sortsBefore(records[i], records[j]) || sortsBefore(records[j], records[i])))
                return false;
    return true;
}

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
