#pragma once

// Opens the contact editor the way the list window does: the list loaded from
// load.txt, a grid row selected, the editor created on its contact over the
// list window with the window's reload.

#include "MessageLog.h"
#include "ScratchData.h"

#include "contacts/Form1Driver.h"
#include "editor/Form2.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

struct EditorSession {
    ScratchData data;
    MessageLog log;
    std::unique_ptr<Form1> list;
    std::unique_ptr<Form2> editor;
    QByteArray original;
    // Set by a test to have the reload after a write report failure.
    bool reloadFails = false;

    EditorSession(const QList<QStringList> &records, int row)
    {
        original = recordBytes(records);
        data.write(QStringLiteral("load.txt"), original);
        list = std::make_unique<Form1>();
        grid(*list)->setRow(row);
        editor = std::make_unique<Form2>(
            list->contacts()[std::size_t(row - 1)].record,
            [this] {
                const bool failed = list->Pf_TextRead();
                return failed || reloadFails;
            },
            list.get());
        editor->show();
    }

    // The editor's box of a field, and its buttons by name.
    QLineEdit *box(int field) const { return child<QLineEdit>(*editor, QStringLiteral("TexSelData_%1").arg(field)); }
    QPushButton *button(const QString &name) const { return child<QPushButton>(*editor, name); }

    void type(int field, const QString &text) { box(field)->setText(text); }

    QStringList boxes() const
    {
        QStringList texts;
        for (int i = 0; i < FieldCount; ++i)
            texts.append(box(i)->text());
        return texts;
    }

    int focusedField() const
    {
        for (int i = 0; i < FieldCount; ++i)
            if (editor->focusWidget() == box(i))
                return i;
        return -1;
    }

    QList<QStringList> fileRecords() const { return readRecords(data.path(QStringLiteral("load.txt")), FieldCount); }

    // The file names in the data folder, hidden temporary files included.
    QStringList files() const
    {
        return QDir(data.folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    bool locked() const
    {
        for (int i = 0; i < FieldCount; ++i)
            if (box(i)->isEnabled())
                return false;
        return !button(QStringLiteral("CmdUpdate2"))->isEnabled() && !button(QStringLiteral("CmdDelete2"))->isEnabled()
            && button(QStringLiteral("CmdExit_Click2"))->isEnabled();
    }
};

// "reading/name" of each record, as the assertions name contacts.
inline QStringList readingsAndNames(const QList<QStringList> &records)
{
    QStringList out;
    for (const QStringList &r : records)
        out.append(r[ReadingField] + u'/' + r[NameField]);
    return out;
}

// The same for the grid rows of the list window.
inline QStringList gridReadingsAndNames(const Form1 &form)
{
    QStringList out;
    const ContactGrid *cells = grid(form);
    for (int r = 1; r < cells->rows(); ++r)
        out.append(cells->textAt(r, ReadingField + 1) + u'/' + cells->textAt(r, NameField + 1));
    return out;
}
