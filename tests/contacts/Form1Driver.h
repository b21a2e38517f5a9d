#pragma once

// Drives the contact list window as a user would: real clicks on grid cells,
// the field selector chosen by keyboard, buttons pressed.

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "support/ScratchData.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
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

// A mouse click on a grid cell; column 0 is the check column.
inline void clickCell(Form1 &form, int row, int col)
{
    ContactGrid *grid = form.MSFlexGrid1;
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
    QHeaderView *header = form.MSFlexGrid1->horizontalHeader();
    const int x = header->sectionViewportPosition(col - 1) + header->sectionSize(col - 1) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Chooses an entry of the field selector with the keyboard.
inline void chooseField(Form1 &form, const QString &entry)
{
    QComboBox *box = form.ComSelect;
    const int target = box->findText(entry);
    QVERIFY2(target >= 0, qPrintable(entry));
    box->setFocus();
    while (box->currentIndex() < target)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > target)
        QTest::keyClick(box, Qt::Key_Up);
}

// The check cells of the data rows, top to bottom.
inline QStringList checkTexts(const Form1 &form)
{
    QStringList texts;
    for (int r = 1; r < form.MSFlexGrid1->rows(); ++r)
        texts.append(form.MSFlexGrid1->textAt(r, 0));
    return texts;
}

// Whether all twenty data cells of a row have this background.
inline bool rowPainted(const Form1 &form, int row, const QColor &color)
{
    for (int c = 1; c <= 20; ++c)
        if (form.MSFlexGrid1->cellBackColorAt(row, c) != color)
            return false;
    return true;
}

// Back at rest after a long operation: no hourglass, the grid redrawn.
inline bool atRest(const Form1 &form)
{
    return QApplication::overrideCursor() == nullptr && form.MSFlexGrid1->redraw();
}

// Locked after an error: "終了" alone takes input.
inline bool isLocked(const Form1 &form)
{
    const QList<const QWidget *> inputs = {form.MSFlexGrid1, form.CmdChkAll, form.CmdChkClear, form.TextSearch,
                                           form.ComSelect,   form.CmdSearch, form.CmdSelect,   form.ComMyData,
                                           form.CmdImport,   form.CmdExport};
    for (const QWidget *w : inputs)
        if (w->isEnabled())
            return false;
    return form.CmdExit->isEnabled();
}
