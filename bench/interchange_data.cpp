// Writes the same generated contacts twice, for timing our command line
// against Debian's abook on equal data: as our contact list file and as an
// abook address book (UTF-8, one [n] section a contact).
// Usage: tessaline_interchange_data COUNT LIST_FILE ABOOK_FILE

#include "ContactGenerator.h"

#include "interchange/FieldMap.h"
#include "shell/AppError.h"
#include "shell/RecordFile.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

static void entry(QString &out, const char *key, const QString &value)
{
    if (value.isEmpty())
        return;
    out += QLatin1StringView(key);
    out += u'=';
    out += value;
    out += u'\n';
}

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s COUNT LIST_FILE ABOOK_FILE\n", argv[0]);
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const QList<ContactRecord> contacts = generateContacts(count, 20261209);
    QString book = QStringLiteral("# abook addressbook file\n\n[format]\nprogram=abook\nversion=0.6.1\n\n");
    int n = 0;
    for (const ContactRecord &r : contacts) {
        book += QStringLiteral("\n[%1]\n").arg(n++);
        entry(book, "name", r[NameField]);
        QString mails = r[FieldMap::Mail1Field];
        if (!r[FieldMap::Mail2Field].isEmpty())
            mails += u',' + r[FieldMap::Mail2Field];
        entry(book, "email", mails);
        entry(book, "address", r[FieldMap::AddressField]);
        entry(book, "mobile", r[Tel1Field]);
        entry(book, "workphone", r[Tel2Field]);
        entry(book, "fax", r[FieldMap::FaxField]);
        entry(book, "nick", r[ReadingField]);
        entry(book, "url", r[FieldMap::UrlField]);
        entry(book, "notes", r[FieldMap::CommentField]);
    }
    try {
        writeContactFile(QString::fromLocal8Bit(argv[2]), contacts);
        writeFileAtomically(QString::fromLocal8Bit(argv[3]), book.toUtf8());
    } catch (const AppError &error) {
        std::fprintf(stderr, "error %d\n", error.number);
        return 1;
    }
    return 0;
}
