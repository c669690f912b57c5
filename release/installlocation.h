#pragma once

#include <QString>

// Where system.ini lives and whether the program may update itself. A per-user install (the
// build folder, or the folder `make install-user` fills under ~/.local) is the user's to write:
// system.ini sits beside the programs and updates replace them. A system-wide install (under
// /usr, /opt, or any folder the user cannot write) belongs to the package manager: system.ini
// goes to the user's configuration folder and no self-update is offered.
struct InstallLocation {
    QString iniPath;        // the system.ini the programs read and write
    QString versionIniPath; // the system.ini that records the installed version
    bool selfUpdate = true;
};

InstallLocation locateInstall(const QString& programFolder);

// Whether `programFolder` is a per-user install by the rule above.
bool isPerUserInstall(const QString& programFolder);
