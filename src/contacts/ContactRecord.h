#pragma once

#include <QString>
#include <QStringList>

// One contact: 20 text fields in a fixed order. Field i is grid column i + 1.
using ContactRecord = QStringList;

constexpr int FieldCount = 20;
constexpr int NameField = 0;
constexpr int Tel1Field = 1;
constexpr int ReadingField = 9;
constexpr int Tel2Field = 10;

// The list holds at most this many contacts.
constexpr int MaxContacts = 10000;

// The one record buffer through which records pass between the files, the
// grid and the editor.
extern ContactRecord WorkRecord;

// Sets the twenty fields of WorkRecord to the empty text.
void Pf_WorkClear();

ContactRecord emptyContact();

// The caption of each field, by field index: the editor's labels, the
// profile window's first sixteen, and the words of the field messages.
const QStringList &fieldCaptions();

// The identity of a contact: reading followed by name, with every blank
// removed. Equal keys are the same contact.
QString recordKey(const ContactRecord &record);
QString recordKey(const QString &reading, const QString &name);

// Whether the record's key is key, and whether two records have one key;
// they build nothing, as the merges ask them of every record.
bool hasKey(const ContactRecord &record, QStringView key);
bool sameKey(const ContactRecord &a, const ContactRecord &b);

// The form of a name or reading by which the list is ordered: runs of
// half-width blanks become full-width blanks, the ends trimmed.
QString sortForm(const QString &text);

// Ordinal comparison by UTF-16 code units: negative, zero or positive.
int compareOrdinal(const QString &a, const QString &b);

// compareOrdinal(sortForm(a), sortForm(b)), without building sort forms.
int compareSortForms(QStringView a, QStringView b);
