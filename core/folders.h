#pragma once
// Every folder of the station derives from here. With TARNRQ_HOME set, all of them (and the
// settings store) live below that folder; tests always run that way. Read afresh on each call.
//
// Without TARNRQ_HOME:
//   documents folder   the user's documents folder (QStandardPaths), created when missing
//   user data folder   <generic data location>/Kamrith Labs/TARN RQ        (~/.local/share/...)
//   common data folder /var/lib/kamrith-labs/tarnrq when an administrator created it writable for
//                      the station's users (shared by everyone), else the per-user state folder
//                      <XDG_STATE_HOME or ~/.local/state>/Kamrith Labs/TARN RQ
//   temp folder        <system temp>/tarnrq-<uid>, private to the user (0700), created when missing
//   settings store     <generic config location>/Kamrith Labs/TARN RQ/settings.sqlite
// With TARNRQ_HOME=<h>: <h>/Documents, <h>/AppData/Kamrith Labs/TARN RQ,
//   <h>/CommonData/Kamrith Labs/TARN RQ, <h>/Temp, <h>/Config/settings.sqlite.
// The user data and common data folders are not created here: start-up creates them.
#include <QString>

namespace tarn::folders {
QString documentsFolder();    // default data folder
QString userDataFolder();     // templates, comments, column layout
QString commonDataFolder();   // event log, list files
QString tempFolder();         // the program's own temporary folder
QString settingsStorePath();  // the SQLite file of the settings store
QString programFolder();      // folder of the running executable (help pages)
// Appends a separator when missing ("Folder texts are stored without a trailing separator").
QString withSlash(const QString& folder);
// Creates the folder with every missing level; true when it exists afterwards.
bool ensureFolder(const QString& folder);
}  // namespace tarn::folders
