#include "MessageLog.h"

#include <QRegularExpression>

MessageLog::MessageLog()
{
    MessageBox::setHook([this](const MessageBox::Shown &m) { shown.append(m); });
}

MessageLog::~MessageLog()
{
    MessageBox::setHook(nullptr);
}

QStringList MessageLog::texts() const
{
    QStringList out;
    for (const MessageBox::Shown &m : shown)
        out.append(m.text);
    return out;
}

QString MessageLog::reportedRoutine() const
{
    static const QRegularExpression routine(QStringLiteral("ルーチン名\u3000\u3000\u3000\\((.*)\\)"));
    QStringList names;
    for (const MessageBox::Shown &m : shown) {
        if (m.title != QStringLiteral("プログラムエラー"))
            continue;
        const QRegularExpressionMatch match = routine.match(m.text);
        if (match.hasMatch())
            names.append(match.captured(1));
    }
    return names.size() == 1 ? names.first() : names.join(u',');
}
