#pragma once

#include "shell/ChangeTransaction.h"

#include <QString>
#include <QStringList>

// The own profile: the first 16 fields of a contact, kept as one record of
// 16 lines in the profile file.
constexpr int ProfileFieldCount = 16;
constexpr int ProfileNameField = 0;
constexpr int ProfileAddressField = 5;
constexpr int ProfileReadingField = 9;

// The label captions of the profile window, by field index; the save's
// messages name a field by its caption.
const QStringList &profileCaptions();

// 16 values of a single blank: what a blanked profile holds (48 bytes on disk).
QStringList blankProfile();

// Why a save is refused, and the field that the focus goes to.
struct ProfileProblem {
    enum Kind { None, NameMissing, ReadingMissing, TooLong, Unstorable };
    Kind kind = None;
    int field = -1;

    explicit operator bool() const { return kind != None; }
};

// The required fields, checked on the values as typed: a name or reading
// made only of blanks is missing.
ProfileProblem requiredProblem(const QStringList &values);

// The values as they are saved and shown after a save: blanks of both widths
// trimmed at the ends, characters typed in their JIS form turned into their
// code page 932 twins, and an empty value made a single blank.
QStringList tidyProfile(const QStringList &values);

// On tidied values: the first field over its length, else the first field
// holding a character that code page 932 can't store.
ProfileProblem valueProblem(const QStringList &values);

// The message that tells the user about a problem.
QString problemMessage(const ProfileProblem &problem);

// The record as the save writes it: the name and the reading with each
// full-width blank written as a half-width one; the other fields unchanged.
QStringList profileToWrite(const QStringList &tidied);

// Rewrites the profile file at path with one record (the first 16 values).
void writeProfile(const QString &path, const QStringList &values);

// The changes of the profile file, each run by a ChangeTransaction.
// 本人更新: the profile saved; a file gone missing is made anew, empty.
ChangePlan profileSavePlan();
// 本人削除: the profile blanked; a file gone missing stops it.
ChangePlan profileBlankPlan();
// 本人取込: the received profile through the backup copy.
ChangePlan profileImportPlan();

// The change that writes record as the whole profile.
ChangeFunction profileWriteChange(const QStringList &record);
// The change that writes the last received record over the first 16 fields
// of work; no received record writes work as it is.
ChangeFunction profileImportChange(const QStringList &work);
