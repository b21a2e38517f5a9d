#pragma once

class QApplication;

// Start-up: one instance per user, the splash, the contact list file created
// on the very first start, then the contact list window. Returns the
// program's exit code.
int Main(QApplication &app);
