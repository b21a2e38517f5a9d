#pragma once

#include <QRect>

// Window measures are in twips (1440 per inch); these turn them into the
// screen's logical pixels.
int twips(int value);
QRect twipsRect(int left, int top, int width, int height);
