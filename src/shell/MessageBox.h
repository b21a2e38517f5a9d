#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests read
// what the user would have seen instead of blocking on a modal box.
namespace MessageBox {

enum class Icon { None, Critical };

struct Shown {
    QString text;
    QString title;
    Icon icon;
};

// Shows an OK-only message with the application's title and no icon, and
// returns when the user has closed it.
void show(const QString &text);

// Tells that a data file a writer needs has gone, naming the routine that
// gives its path (PsLoadBackPass …), in every writer's words.
void showMissingFile(const QString &pathName);

// The general form, used by the error report.
void show(const QString &text, const QString &title, Icon icon);

// While a hook is set, messages go to it and no box is shown.
void setHook(std::function<void(const Shown &)> hook);

enum class Answer { Yes, No };

// Asks a question with はい and いいえ (いいえ the default button) and
// returns the answer. While a hook is set, the question goes to it and the
// answer is the one set by setNextAnswer (once), else いいえ.
Answer ask(const QString &text);
void setNextAnswer(Answer answer);

} // namespace MessageBox
