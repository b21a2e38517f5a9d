#pragma once

#include <QString>
#include <QStringView>

// The name of the window in front ("Form1", "Form2", "Form3"), shown in every
// error report.
extern QString CurrentFormName;

constexpr QChar HalfBlank = u' ';
constexpr QChar FullBlank = u'\u3000';

constexpr bool isBlank(QChar c)
{
    return c == HalfBlank || c == FullBlank;
}

// Removes half-width and full-width blanks at both ends. The whole program
// trims this way, so a value typed as one full-width blank is blank.
QString trimBlanks(QStringView text);
// The same, sharing the text when there is nothing to trim.
QString trimBlanks(const QString &text);
// The same, handing the text itself on when there is nothing to trim.
QString trimBlanks(QString &&text);
// Whether trimBlanks(text) is empty, without making it.
bool isBlankOnly(QStringView text);

// A blank value becomes exactly one half-width blank; anything else is kept
// as it is, untrimmed.
QString BlankToSpace(const QString &value);

// True when a value of this length exceeds the field's maximum; false for a
// field index outside 0 to 19.
bool FieldTooLong(int fieldIndex, qsizetype length);
int fieldMaxLength(int fieldIndex);

// The form in which the search compares: blanks of both widths removed,
// then width, letter case and hiragana/katakana folded.
QString foldForSearch(QStringView text);

// Whether the sought text occurs in the text once both are folded. A text
// that folds to nothing never contains anything.
bool TextContains(QStringView text, QStringView sought);
// The same test for a sought text folded once beforehand.
bool foldedContains(QStringView text, QStringView foldedSought);

// How one character folds whatever stands around it, as foldForSearch
// folds it: the character it becomes, FoldsToNothing for a blank, or
// FoldsInItsRun when it is folded together with its neighbours (voiced
// sound marks, accents, characters that fold to several).
constexpr char16_t FoldsToNothing = 0xFFFF;
constexpr char16_t FoldsInItsRun = 0xFFFE;
char16_t foldOfCharacter(char16_t c);

// The description of an error number, in Japanese.
QString errorDescription(int number);

// The four lines of the error report.
QString errorReportText(const QString &routineName, int number);
