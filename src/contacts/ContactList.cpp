#include "contacts/ContactList.h"

#include "contacts/ListRules.h"
#include "shell/BasCommn.h"

void setChecked(ContactRow &row, bool checked)
{
    row.check = checked ? CheckOn : CheckOff;
    row.colours[0] = checked ? Palette::LightGreen : Palette::LightGrey;
}

void switchEveryCheck(ContactRows &rows, int lastRow, bool checked)
{
    const QString &from = checked ? CheckOff : CheckOn;
    const std::size_t end = std::min(rows.size(), std::size_t(std::max(lastRow, 0)));
    for (std::size_t r = 0; r < end; ++r)
        if (trimBlanks(rows[r].check) == from)
            setChecked(rows[r], checked);
}

int checkedCount(const ContactRows &rows, int lastRow)
{
    const std::size_t end = std::min(rows.size(), std::size_t(std::max(lastRow, 0)));
    int count = 0;
    for (std::size_t r = 0; r < end; ++r)
        count += isChecked(rows[r].check) ? 1 : 0;
    return count;
}

QList<ContactRecord> checkedContacts(const ContactRows &rows, int lastRow)
{
    const std::size_t end = std::min(rows.size(), std::size_t(std::max(lastRow, 0)));
    QList<ContactRecord> records;
    for (std::size_t r = 0; r < end; ++r) {
        if (!isChecked(rows[r].check))
            continue;
        ContactRecord record;
        record.reserve(FieldCount);
        for (const QString &value : rows[r].record)
            record.append(BlankToSpace(value));
        records.append(record);
    }
    return records;
}

void paintRow(ContactRow &row, quint32 colour)
{
    std::fill(row.colours.begin() + 1, row.colours.end(), colour);
}

int findNext(const ContactRows &rows, int column, QStringView foldedSought, int from, int lastRow)
{
    if (column < 0 || column > FieldCount)
        return 0;
    const int end = std::min(int(rows.size()), lastRow);
    for (int r = std::max(from, 1); r <= end; ++r) {
        const ContactRow &row = rows[std::size_t(r - 1)];
        if (foldedContains(column == 0 ? row.check : row.record[column - 1], foldedSought))
            return r;
    }
    return 0;
}
