#pragma once

#include "quick/Cp932Tables.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Code page 932 (Shift_JIS with the Microsoft extensions), the encoding of
// every data file.
namespace Cp932 {

// The first byte of a two-byte character; the second byte is never a CR
// or LF.
using Cp932Tables::isLeadByte;

// False when Qt was built without a converter for it; start-up refuses to run.
bool available();

// The text of the bytes, or nothing when they aren't valid code page 932
// text (invalid or cut-off sequences, NUL bytes).
std::optional<QString> decode(QByteArrayView bytes);

// Writes the text of the bytes at out, which has room for one character a
// byte; returns how many characters, or -1 when the bytes aren't valid.
qsizetype decodeInto(QByteArrayView bytes, char16_t *out);

// The bytes of the text, or nothing when a character has no code.
std::optional<QByteArray> encode(QStringView text);

enum class LineBreaks { Kept, AsBlanks };

// Writes the bytes of the text at out, which has room for two bytes a
// character; returns how many, or -1 when a character has no code.
qsizetype encodeInto(QStringView text, char *out, LineBreaks lineBreaks);

// Appends the bytes of the text; false, with bytes as they were, when a
// character has no code.
bool encodeAppend(QStringView text, QByteArray &bytes);

bool representable(QStringView text);

// Input methods type some characters in their JIS form where code page 932
// has a twin (〜 U+301C for ～ U+FF5E and so on); this maps them to the
// twin so that what the user typed can be stored.
QString foldJisTwins(QString text);

} // namespace Cp932
