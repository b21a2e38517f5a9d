#pragma once

#include <QString>

// The data folder and the fixed names of the files in it. The folder lies in
// the user's data location (on Linux $XDG_DATA_HOME/Tessaline/Data/); the
// names never change.
QString dataFolder();

QString PsLoadPass();        // contact list
QString PsLoadBackPass();    // its backup copy while a writer runs
QString PsImpPass();         // received contacts
QString PsExpPass();         // exported contacts
QString PsMyLoadPass();      // own profile
QString PsMyLoadBackPass();  // its backup copy during a profile import
QString PsMyImpPass();       // received profile
QString PsLockPass();         // the lock of the one instance that writes here
