#include "readings/TypeAhead.h"

#include "readings/Kana.h"
#include "shell/BasCommn.h"

#include <algorithm>

namespace {

// Folds only as much of the text as the comparison can need: folding never
// makes a character longer than four (a ligature), and blanks vanish, so a
// prefix of the typed length plus the blanks it skips is enough in practice;
// the whole text is folded when the prefix falls short.
bool foldedStartsWith(QStringView text, QStringView foldedTyped)
{
    qsizetype take = foldedTyped.size() * 2 + 2;
    for (;;) {
        const bool whole = take >= text.size();
        const QString folded = foldForSearch(whole ? text : text.left(take));
        if (folded.size() > foldedTyped.size() || whole)
            return folded.startsWith(foldedTyped);
        take *= 2;
    }
}

template <typename Records, typename RecordOf>
int firstMatchingRow(const Records &records, RecordOf recordOf, QStringView typed, int startRow)
{
    const QString foldedTyped = foldForSearch(typed);
    const int count = int(records.size());
    if (foldedTyped.isEmpty() || count == 0)
        return -1;
    const int field = isKanaReading(typed) ? ReadingField : NameField;
    const int start = std::clamp(startRow, 0, count - 1);
    for (int n = 0; n < count; ++n) {
        const int row = (start + n) % count;
        const ContactRecord &record = recordOf(records[std::size_t(row)]);
        if (field < record.size() && foldedStartsWith(record[field], foldedTyped))
            return row;
    }
    return -1;
}

} // namespace

int typeAheadRow(const QList<ContactRecord> &records, QStringView typed, int startRow)
{
    return firstMatchingRow(records, [](const ContactRecord &r) -> const ContactRecord & { return r; }, typed, startRow);
}

int typeAheadRow(const ContactRows &rows, QStringView typed, int startRow)
{
    return firstMatchingRow(rows, [](const ContactRow &r) -> const ContactRecord & { return r.record; }, typed, startRow);
}

QString TypeAheadText::add(QStringView typed, qint64 msecs)
{
    m_continued = !m_text.isEmpty() && msecs - m_lastMsecs <= PauseMs && msecs >= m_lastMsecs;
    if (!m_continued)
        m_text.clear();
    m_text += typed;
    m_lastMsecs = msecs;
    return m_text;
}
