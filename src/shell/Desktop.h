#pragma once

#include <QString>

class QApplication;
class QFont;

// The name under which the desktop knows the program: its desktop entry,
// its icon and its AppStream metainfo are all called so.
extern const QString kAppId;

// The font of every window and message: "MS PGothic" 9 points where it is
// installed, else Noto Sans CJK JP, else any CJK sans font.
QFont windowFont();

// What every window shares on the desktop: one style, so that the palette
// colours show as given, the Japanese font, and the program's icon.
void setUpDesktop(QApplication &app);
