#include "interchange/NameParts.h"

#include "shell/BasCommn.h"

NameParts splitExactly(QStringView value)
{
    qsizetype i = 0;
    while (i < value.size() && !isBlank(value[i]))
        ++i;
    if (i == 0 || i >= value.size() - 1 || value[i] != FullBlank)
        return {value, {}};
    return {value.left(i), value.mid(i + 1)};
}

static QStringView trimmed(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

NameParts splitForDisplay(QStringView value)
{
    const QStringView name = trimmed(value);
    qsizetype i = 0;
    while (i < name.size() && !isBlank(name[i]))
        ++i;
    return {name.left(i), trimmed(name.mid(i))};
}
