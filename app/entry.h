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

}  // namespace tarn::app
