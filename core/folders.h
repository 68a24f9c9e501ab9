#pragma once
// Every folder of the station derives from here. With TARNRQ_HOME set, all of them (and the
// settings store) live below that folder; tests always run that way. Read afresh on each call.
#include <QString>

namespace tarn::folders {
QString documentsFolder();   // default data folder
QString userDataFolder();    // templates, comments, column layout
QString commonDataFolder();  // event log, list files
QString tempFolder();        // the program's own temporary folder
QString settingsStorePath(); // the SQLite file of the settings store
QString programFolder();     // folder of the running executable (help pages)
// Appends a separator when missing ("Folder texts are stored without a trailing separator").
QString withSlash(const QString& folder);
}  // namespace tarn::folders
