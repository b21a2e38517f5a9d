#pragma once

// Drives the contact list window as a user would: real clicks on grid cells,
// the field selector chosen by keyboard, buttons pressed.

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "support/ScratchData.h"
#include "support/WindowControls.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

// A window on a contact list of these records, shown and active.
inline std::unique_ptr<Form1> openForm(const ScratchData &data, const QList<QStringList> &records)
{
    data.write(QStringLiteral("load.txt"), recordBytes(records));
    auto form = std::make_unique<Form1>();
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("the window didn't become active");
    return form;
}

// n distinct contacts, names "名前1".. and readings "よみ1"..
inline QList<QStringList> numberedContacts(int n)
{
    QList<QStringList> records;
    for (int i = 1; i <= n; ++i)
        records.append(contact(QStringLiteral("よみ%1").arg(i), QStringLiteral("名前%1").arg(i),
                               QStringLiteral("t%1_").arg(i)));
    return records;
}

inline ContactGrid *grid(const Form1 &form)
{
    return child<ContactGrid>(form, QStringLiteral("MSFlexGrid1"));
}

inline QPushButton *button(const Form1 &form, const QString &name)
{
    return child<QPushButton>(form, name);
}

inline QLineEdit *searchBox(const Form1 &form)
{
    return child<QLineEdit>(form, QStringLiteral("TextSearch"));
}

inline QComboBox *fieldSelector(const Form1 &form)
{
    return child<QComboBox>(form, QStringLiteral("ComSelect"));
}

// Presses the button that opens a modal window (the editor, the profile
// window) and closes that window again as soon as it is open.
inline void pressAndLeaveWhatOpens(const Form1 &form, const QString &name)
{
    QTimer::singleShot(0, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    button(form, name)->click();
}

// A mouse click on a grid cell; column 0 is the check column.
inline void clickCell(Form1 &form, int row, int col)
{
    ContactGrid *grid = ::grid(form);
    const QModelIndex index = grid->model()->index(row - 1, std::max(col, 1) - 1);
    grid->scrollTo(index);
    if (col == 0) {
        QHeaderView *header = grid->verticalHeader();
        const int y = header->sectionViewportPosition(row - 1) + header->sectionSize(row - 1) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->width() / 2, y));
    } else {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
}

// A click on a heading of the header row.
inline void clickHeading(Form1 &form, int col)
{
    QHeaderView *header = grid(form)->horizontalHeader();
    const int x = header->sectionViewportPosition(col - 1) + header->sectionSize(col - 1) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Chooses an entry of the field selector with the keyboard.
inline void chooseField(Form1 &form, const QString &entry)
{
    QComboBox *box = fieldSelector(form);
    const int target = box->findText(entry);
    QVERIFY2(target >= 0, qPrintable(entry));
    box->setFocus();
    while (box->currentIndex() < target)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > target)
        QTest::keyClick(box, Qt::Key_Up);
}

// Types the search text, chooses the field when one is given, and presses "検索".
inline void search(Form1 &form, const QString &text, const QString &field = QString())
{
    searchBox(form)->setText(text);
    if (!field.isEmpty())
        chooseField(form, field);
    button(form, QStringLiteral("CmdSearch"))->click();
}

// The check cells of the data rows, top to bottom.
inline QStringList checkTexts(const Form1 &form)
{
    QStringList texts;
    const ContactGrid *cells = grid(form);
    for (int r = 1; r < cells->rows(); ++r)
        texts.append(cells->textAt(r, 0));
    return texts;
}

// Whether all twenty data cells of a row have this background.
inline bool rowPainted(const Form1 &form, int row, const QColor &color)
{
    const ContactGrid *cells = grid(form);
    for (int c = 1; c <= 20; ++c)
        if (cells->cellBackColorAt(row, c) != color)
            return false;
    return true;
}

// Back at rest after a long operation: no hourglass, the grid redrawn.
inline bool atRest(const Form1 &form)
{
    return QApplication::overrideCursor() == nullptr && grid(form)->redraw();
}

// Locked after an error: "終了" alone takes input.
inline bool isLocked(const Form1 &form)
{
    const QStringList inputs = {"MSFlexGrid1", "CmdChkAll", "CmdChkClear", "TextSearch", "ComSelect",
                                "CmdSearch",   "CmdSelect", "ComMyData",   "CmdImport",  "CmdExport"};
    for (const QString &name : inputs)
        if (child<QWidget>(form, name)->isEnabled())
            return false;
    return button(form, QStringLiteral("CmdExit"))->isEnabled();
}
