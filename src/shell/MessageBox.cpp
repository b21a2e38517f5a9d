#include "shell/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

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

static std::optional<Answer> &nextAnswer()
{
    static std::optional<Answer> answer;
    return answer;
}

void setNextAnswer(Answer answer)
{
    nextAnswer() = answer;
}

Answer ask(const QString &text)
{
    const QString title = QStringLiteral("Tessaline");
    if (hookSlot()) {
        hookSlot()(Shown{text, title, Icon::None});
        const Answer answer = nextAnswer().value_or(Answer::No);
        nextAnswer().reset();
        return answer;
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    QPushButton *yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("AnswerYes"));
    no->setObjectName(QStringLiteral("AnswerNo"));
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

void show(const QString &text)
{
    show(text, QStringLiteral("Tessaline"), Icon::None);
}

void showMissingFile(const QString &pathName)
{
    show(QStringLiteral("該当の取込ファイルがありません(%1)").arg(pathName));
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
