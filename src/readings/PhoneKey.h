#pragma once

#include <QString>
#include <QStringView>

// The form in which two phone numbers are compared to find a contact that
// may already be listed: the number in E.164 (+819012345678), read with
// libphonenumber as a number of the given region when it has no country
// code, so that 090-1234-5678, ０９０（１２３４）５６７８ and +81 90 1234 5678
// are one key. Empty for a text that is no possible phone number.
//
// Lives in a library of its own (tessaline_phonekey): libphonenumber brings
// protobuf and abseil, which the command line's start need not load unless
// it compares numbers.
QString phoneKey(QStringView text, QStringView region = u"JP");
