#pragma once

#include <QList>

class QKeyEvent;
class QLineEdit;
class QWidget;

// The behaviour that the three windows share.

// Each box selects its whole text whenever it gains the focus, by Tab or by
// a click, so that typing replaces the value.
void selectAllOnFocus(QWidget *window, const QList<QLineEdit *> &boxes);

// Tab walks through the widgets in this order.
void setTabOrderChain(const QList<QWidget *> &order);

// Enter presses the button that has the focus, when it is enabled, and
// nothing else: Enter in a box saves nothing. Returns true when the event was
// Enter, which is then handled.
bool enterPressesFocusedButton(QWidget *window, QKeyEvent *event);
