#pragma once

// Opens the contact editor the way the list window does: the list loaded from
// load.txt, a grid row copied into WorkRecord, the editor created over the
// list window with the window's reload.

#include "MessageLog.h"
#include "ScratchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
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
        list->MSFlexGrid1->setRow(row);
        Pf_WorkClear();
        list->Pf_WorkSet(row);
        editor = std::make_unique<Form2>(
            WorkRecord,
            [this] {
                const bool failed = list->Pf_TextRead();
                return failed || reloadFails;
            },
            list.get());
        editor->show();
    }

    void type(int field, const QString &text) { editor->TexSelData[field]->setText(text); }

    QStringList boxes() const
    {
        QStringList texts;
        for (QLineEdit *box : editor->TexSelData)
            texts.append(box->text());
        return texts;
    }

    int focusedField() const
    {
        for (int i = 0; i < FieldCount; ++i)
            if (editor->focusWidget() == editor->TexSelData[i])
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
        for (QLineEdit *box : editor->TexSelData)
            if (box->isEnabled())
                return false;
        return !editor->CmdUpdate2->isEnabled() && !editor->CmdDelete2->isEnabled()
            && editor->CmdExit_Click2->isEnabled();
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
    for (int r = 1; r < form.MSFlexGrid1->rows(); ++r)
        out.append(form.MSFlexGrid1->textAt(r, ReadingField + 1) + u'/' + form.MSFlexGrid1->textAt(r, NameField + 1));
    return out;
}
