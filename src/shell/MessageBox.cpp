#include "shell/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBox {

static std::function<void(const Shown &)> &hookSlot()
{
    static std::function<void(const Shown &)> hook;
    return hook;
}

void setHook(std::function<void(const Shown &)> hook)
{
    hookSlot() = std::move(hook);
}

void show(const QString &text)
{
    show(text, QStringLiteral("Tessaline"), Icon::None);
}

void show(const QString &text, const QString &title, Icon icon)
{
    if (hookSlot()) {
        hookSlot()(Shown{text, title, icon});
        return;
    }
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    title, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace MessageBox
