#include "contacts/ListRules.h"

#include "shell/BasCommn.h"

#include <array>
#include <utility>

bool isChecked(QStringView checkCellText)
{
    return trimBlanks(checkCellText) == CheckOn;
}

int searchColumn(QStringView entry)
{
    // Only these eleven fields can be searched; the others (address, station,
    // position, reading, fax, URL, photo, map, comment) can't.
    static const std::array<std::pair<QStringView, int>, 11> columns = {{
        {u"氏名", 1},
        {u"TEL1", 2},
        {u"MAIL1", 3},
        {u"所属先1", 4},
        {u"所属先2", 5},
        {u"アピール文", 8},
        {u"TEL2", 11},
        {u"MAIL2", 12},
        {u"イベント", 17},
        {u"日付", 18},
        {u"場所", 19},
    }};
    const QString trimmed = trimBlanks(entry);
    for (const auto &[name, column] : columns)
        if (trimmed == name)
            return column;
    return 0;
}

QString exportRefusal(int checkedCount)
{
    if (checkedCount == 0)
        return QStringLiteral("出力対照データが１件もありません");
    if (checkedCount > MaxExportRecords)
        return QString::number(checkedCount - MaxExportRecords) + QStringLiteral("件多いです。選択を減らして下さい");
    return {};
}

QString exportDoneMessage(int count)
{
    return QString::number(count) + QStringLiteral("件のデータ出力が完了しました");
}
