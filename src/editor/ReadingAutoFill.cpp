#include "editor/ReadingAutoFill.h"

#include "readings/ReadingGuesser.h"

#include <QInputMethodEvent>
#include <QLineEdit>

#include <utility>

ReadingAutoFill::ReadingAutoFill(QLineEdit *nameBox, QLineEdit *readingBox, ReadingGuesser *guesser, QObject *parent)
    : QObject(parent)
    , m_name(nameBox)
    , m_reading(readingBox)
    , m_guesser(guesser)
{
    m_tracker.reset(m_name->text());
    // Watching only: the event goes on to the box unchanged, so the input
    // method works as in any other box.
    m_name->installEventFilter(this);
    connect(m_name, &QLineEdit::textChanged, this, &ReadingAutoFill::nameChanged);
}

ReadingGuesser *ReadingAutoFill::windowGuesser()
{
    static ReadingGuesser guesser;
    return &guesser;
}

void ReadingAutoFill::reset()
{
    m_tracker.reset(m_name->text());
}

bool ReadingAutoFill::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_name && event->type() == QEvent::InputMethod) {
        const auto *e = static_cast<const QInputMethodEvent *>(event);
        m_tracker.inputMethodEvent(e->preeditString(), e->commitString(), e->replacementLength());
        m_takenBack = e->commitString().isEmpty() && e->replacementLength() != 0;
    }
    return false;
}

void ReadingAutoFill::nameChanged(const QString &name)
{
    m_tracker.textChanged(name);
    if (std::exchange(m_takenBack, false))
        return;
    if (const std::optional<QString> reading = m_tracker.readingToFill(m_reading->text())) {
        m_reading->setText(*reading);
        return;
    }
    if (!m_guesser || !m_tracker.mayFill(m_reading->text()) || m_tracker.hasImeReading())
        return;
    const QString guessed = m_guesser->guess(name).value_or(QString());
    if (guessed == m_reading->text())
        return;
    m_reading->setText(guessed);
    m_reading->selectAll();
    m_tracker.noteFilled(guessed);
}
