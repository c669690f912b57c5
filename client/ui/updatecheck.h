#pragma once

#include <QString>

#include <functional>

class Form1;
class QTimer;
class QWidget;

// The program-wide values the update check sets, empty until a manifest sets them.
namespace Program {
inline QString NewVersion;
inline QString UpdateFiles;
} // namespace Program

// The once-per-run update check on Timer2's tick: reads the manifest from
// Program::Services.manifest, records its download base in Program::IniPath for the updater
// on every check, and shows Form5 modally when a different version is offered. A system-wide
// install (Program::SelfUpdate false) checks nothing.
void runUpdateCheck(QTimer* Timer2, Form1* owner);

// The same with the hand-over made explicit: `unload` ends the client after the updater starts.
void runUpdateCheck(QTimer* Timer2, QWidget* owner, const std::function<void()>& unload);
