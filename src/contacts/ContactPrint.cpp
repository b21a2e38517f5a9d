#include "contacts/ContactPrint.h"

#include "interchange/FieldMap.h"
#include "readings/Kana.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <array>

namespace {

// One printed line: a row heading, or a contact.
struct Line {
    GojuonRow heading = GojuonRow::Other;
    const ContactRecord *contact = nullptr;
};

constexpr std::array<int, 5> PrintedFields = {NameField, ReadingField, Tel1Field, FieldMap::Mail1Field,
                                              FieldMap::Affiliation1Field};
// Shares of the line's width for the printed fields.
constexpr std::array<int, 5> ColumnShares = {17, 18, 14, 24, 27};

QList<Line> linesOf(const QList<ContactRecord> &contacts)
{
    constexpr int RowCount = int(GojuonRow::Other) + 1;
    std::array<QList<const ContactRecord *>, RowCount> byRow;
    for (const ContactRecord &c : contacts)
        byRow[int(gojuonRow(c.value(ReadingField)))].append(&c);
    QList<Line> lines;
    lines.reserve(contacts.size() + RowCount);
    for (int row = 0; row < RowCount; ++row) {
        if (byRow[row].isEmpty())
            continue;
        lines.append(Line{GojuonRow(row), nullptr});
        for (const ContactRecord *c : byRow[row])
            lines.append(Line{GojuonRow(row), c});
    }
    return lines;
}

QFont printFont(int pointSize, bool bold)
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(pointSize);
    font.setBold(bold);
    // Unshaped, every glyph is the font's own glyph for its character, so
    // the PDF's text layer maps it back (a shaped digit after a letter has
    // no character of its own, and copying "contact21" gave "contact").
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::PreferNoShaping));
    return font;
}

} // namespace

int printContacts(const QList<ContactRecord> &contacts, QPagedPaintDevice &device, const QDate &date)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;

    const QFont textFont = printFont(9, false);
    const QFont headingFont = printFont(11, true);
    const QFont captionFont = printFont(8, true);
    const QFontMetrics textMetrics(textFont, &device);
    const QFontMetrics headingMetrics(headingFont, &device);
    const QFontMetrics captionMetrics(captionFont, &device);

    const int width = device.width();
    const int height = device.height();
    const int rowHeight = textMetrics.lineSpacing() * 12 / 10;
    const int headingHeight = headingMetrics.lineSpacing() * 14 / 10;
    const int captionHeight = captionMetrics.lineSpacing() * 15 / 10;
    const int footerHeight = textMetrics.lineSpacing() * 2;
    const int bodyBottom = height - footerHeight;
    const int gap = textMetrics.horizontalAdvance(u'　') / 2;

    std::array<int, 5> columnX{};
    std::array<int, 5> columnWidth{};
    int shareSum = 0;
    for (int share : ColumnShares)
        shareSum += share;
    for (int i = 0, x = 0; i < 5; ++i) {
        columnX[i] = x;
        columnWidth[i] = width * ColumnShares[i] / shareSum - gap;
        x += width * ColumnShares[i] / shareSum;
    }

    // Page breaks first, so that every footer can give the page count. A
    // heading never ends a page: it goes over with its first contact.
    const QList<Line> lines = linesOf(contacts);
    QList<qsizetype> pageStarts{0};
    int y = captionHeight;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool heading = !lines[i].contact;
        const int need = heading ? headingHeight + rowHeight : rowHeight;
        if (y + need > bodyBottom && i > pageStarts.last()) {
            pageStarts.append(i);
            y = captionHeight;
        }
        y += heading ? headingHeight : rowHeight;
    }
    const int pageCount = int(pageStarts.size());
    const QString dateText = date.toString(QStringLiteral("yyyy/MM/dd"));
    const QStringList captions = {QStringLiteral("氏名"), QStringLiteral("氏名ふりがな"), QStringLiteral("TEL1"),
                                  QStringLiteral("Mail1"), QStringLiteral("所属先1")};

    for (int page = 0; page < pageCount; ++page) {
        if (page > 0)
            device.newPage();
        painter.setFont(captionFont);
        for (int c = 0; c < 5; ++c)
            painter.drawText(QRect(columnX[c], 0, columnWidth[c], captionHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             captions[c]);
        painter.drawLine(0, captionHeight - 1, width, captionHeight - 1);

        y = captionHeight;
        const qsizetype end = page + 1 < pageCount ? pageStarts[page + 1] : lines.size();
        for (qsizetype i = pageStarts[page]; i < end; ++i) {
            const Line &line = lines[i];
            if (!line.contact) {
                painter.setFont(headingFont);
                painter.drawText(QRect(0, y, width, headingHeight), Qt::AlignLeft | Qt::AlignBottom,
                                 gojuonRowHeading(line.heading));
                painter.drawLine(0, y + headingHeight - 1, width / 3, y + headingHeight - 1);
                y += headingHeight;
                continue;
            }
            painter.setFont(textFont);
            for (int c = 0; c < 5; ++c) {
                // One line a contact: a line break in a value prints as a blank.
                QString value = line.contact->value(PrintedFields[c]).trimmed();
                value.replace(u'\r', u' ').replace(u'\n', u' ');
                const QString text = textMetrics.elidedText(value, Qt::ElideRight, columnWidth[c]);
                painter.drawText(QRect(columnX[c], y, columnWidth[c], rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                                 text);
            }
            y += rowHeight;
        }

        painter.setFont(textFont);
        const QRect footer(0, height - footerHeight, width, footerHeight);
        painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("%1 / %2").arg(page + 1).arg(pageCount));
        painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom, dateText);
    }
    painter.end();
    return pageCount;
}
