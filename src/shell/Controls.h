#pragma once

#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

// Whether Enter on a focused button presses it (the list window), or the
// window has no default button at all, so that Enter in a text box of an
// editor neither saves nor deletes.
enum class EnterPresses { FocusedButton, Nothing };

// A button with its caption as accessible name, placed in pixels.
QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QRect &geometry, EnterPresses enter);
