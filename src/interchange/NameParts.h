#pragma once

#include <QStringView>

// A name or reading split into family and given part for the formats that
// keep them apart.
struct NameParts {
    QStringView family;
    QStringView given;
};

// Split at the first full-width blank between two non-empty parts, so that
// family + "　" + given (or family alone when given is empty) gives the
// value back exactly; any other value stays whole in the family part. For
// what a reader joins again: the reading, and the name in the CSV.
NameParts splitExactly(QStringView value);

// Split at the first blank of either width, both parts trimmed: the vCard N
// property, shown by phones, while FN keeps the name exactly.
NameParts splitForDisplay(QStringView value);
