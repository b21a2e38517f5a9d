#include "readings/MailKey.h"

#include "shell/BasCommn.h"

QString mailKey(QStringView mail)
{
    return trimBlanks(mail).normalized(QString::NormalizationForm_KC).toCaseFolded();
}
