#pragma once

#include "readings/ImeReadingTracker.h"

#include <QObject>

class QLineEdit;
class ReadingGuesser;

// Fills a reading box from what the user types into a name box: the kana
// typed through the input method before conversion, or else a guess from
// the name, selected so that the next keystroke replaces it. The box is
// filled only while it is empty or still holds what was filled this way; a
// reading the user typed or corrected stays. Used by the contact editor and
// the own-profile window.
class ReadingAutoFill : public QObject
{
public:
    // The guesser the windows share: its dictionary loads on the first guess
    // and then stays for the rest of the run.
    static ReadingGuesser *windowGuesser();

    // The guesser may be null (no guessing) and must outlive this object.
    ReadingAutoFill(QLineEdit *nameBox, QLineEdit *readingBox, ReadingGuesser *guesser, QObject *parent = nullptr);

    // After the window put a contact's name and reading into the boxes.
    void reset();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void nameChanged(const QString &name);

    QLineEdit *m_name;
    QLineEdit *m_reading;
    ReadingGuesser *m_guesser;
    ImeReadingTracker m_tracker;
    // The input method took committed text back into its pre-edit
    // (reconversion): the name is short of it only until the new commit.
    bool m_takenBack = false;
};
