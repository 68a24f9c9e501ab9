#pragma once
// What the program does with its command line, and the timed end of a headless demonstration run.
#include <QString>
#include <QStringList>

namespace tarn::app {

class StationApp;

enum class EntryAction { RegisterOnly, ShowMainWindow };

// The arguments are joined back into one command line so that it is split the one way the
// station splits every command line.
EntryAction entryAction(const QStringList& arguments);

// TARNRQ_QUIT_AFTER_MS=N: close the main window the normal way N ms after it became idle.
void scheduleQuitAfterIdle(StationApp& station);

// TARNRQ_UNATTENDED=1: once idle, the station runs one whole test session by itself through its own
// driver and windows (TARNRQ_PLATE_TIMESCALE plate seconds per real second, default 20; TARNRQ_SHOTS a folder
// for pictures of every window), prints where the subject file landed and closes the normal way.
// Returns false when the switch is off. The exit code is 0 when the session ended with a saved file.
bool scheduleUnattendedSession(StationApp& station, int& exitCode);

}  // namespace tarn::app
