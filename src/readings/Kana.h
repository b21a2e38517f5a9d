#pragma once

#include <QString>
#include <QStringView>

// The kana rules of readings: the stored form of a reading, the kana tests
// the input method tracking needs, and the row of the Japanese syllabary
// (五十音) under which a reading is listed and printed.

// The form in which a reading is stored: katakana and half-width kana become
// full-width hiragana (ｶﾞ → が, ヴ → ゔ, ヵ → ゕ); blanks, the long vowel mark
// ー and everything that is not kana are kept as they are.
QString toStoredReading(QStringView text);
// The same, sharing the text when it is stored already.
QString toStoredReading(const QString &text);

// Whether a character is kana of either kind and either width, the long
// vowel mark or a voiced-sound mark.
bool isKanaChar(QChar c);

// Whether the text is non-empty and holds only kana (isKanaChar), blanks and
// the middle dot ・ that separates the parts of foreign names.
bool isKanaReading(QStringView text);

// The rows of the Japanese syllabary, in their order, then the others.
enum class GojuonRow { A, Ka, Sa, Ta, Na, Ha, Ma, Ya, Ra, Wa, Other };

// The row of a reading, decided by its first character after any leading
// blanks: voiced and semi-voiced kana fold to their plain row (が → か行,
// ぱ → は行), small kana to their full-size row (ぁ → あ行, っ → た行,
// ゃ → や行), ゔ to あ行 (it is う with the voiced mark) and ん to わ行, as
// dictionaries and address books list it after を. Katakana and half-width
// kana count as their hiragana. A reading that starts with anything else
// (a letter, a digit, ー, an iteration mark) or is blank is Other.
GojuonRow gojuonRow(QStringView reading);

// The heading of a row: "あ行" … "わ行", "その他" for Other.
QString gojuonRowHeading(GojuonRow row);
