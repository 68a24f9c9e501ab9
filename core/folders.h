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
//   temp folder        <XDG_RUNTIME_DIR>/tarnrq when the runtime folder is usable, else
//                      <system temp>/tarnrq-<uid>
//   settings store     <generic config location>/Kamrith Labs/TARN RQ/settings.sqlite
// With TARNRQ_HOME=<h>: <h>/Documents, <h>/AppData/Kamrith Labs/TARN RQ,
//   <h>/CommonData/Kamrith Labs/TARN RQ, <h>/Temp, <h>/Config/settings.sqlite.
// The user data and common data folders are not created here: start-up creates them.
//
// Subject data is health data: every folder the station creates is the user's alone (0700) and
// every file it writes is readable by the user only (0600).
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarn::folders {
QString documentsFolder();    // default data folder
QString userDataFolder();     // templates, comments, column layout
QString commonDataFolder();   // event log, list files
QString settingsStorePath();  // the SQLite file of the settings store
QString programFolder();      // folder of the running executable (help pages)
// Appends a separator when missing ("Folder texts are stored without a trailing separator").
QString withSlash(const QString& folder);
// Creates the folder with every missing level, each new level private to the user (0700);
// levels that exist are left as they are. True when the folder exists afterwards.
bool ensureFolder(const QString& folder);

// ---- The temporary folder: working copies of subject files live there.
// Created private when missing. A folder that is a symbolic link, belongs to someone else or is
// open to others is refused: the result is empty and tempFolderProblem() says why.
QString tempFolder();
QString tempFolderProblem();
// Deletes the regular files matching the patterns directly inside the temporary folder; links,
// folders and files of other owners are left alone. Returns the number deleted.
int removeTempFiles(const QStringList& patterns);

// ---- Private files.
// Replaces path with bytes whole or not at all: a hidden temporary file beside it (owner only),
// written, synced and renamed over the target. On failure the old file stays and *error says why.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Creates path as a new empty private file; false when it exists already or cannot be made.
bool createPrivateFile(const QString& path, QString* error = nullptr);
// Takes group and other access away from an existing file (no-op when it is missing).
void makePrivate(const QString& path);
// A name for the hidden temporary file of a save of target, beside it:
// ".<name>.<pid>.<8 hex digits>.tmp". The process id lets a later run tell a leftover of an
// interrupted save from the save of a process still running.
QString hiddenTempPath(const QString& target);
// Deletes the leftovers of interrupted saves in folder: hidden temporary files whose process is
// gone. Returns the number deleted.
int removeSaveLeftovers(const QString& folder);

// ---- File names as the file system holds them. Names that are not valid UTF-8 keep each
// undecodable byte as a lone surrogate (U+DC80..U+DCFF), so that they round-trip exactly.
QByteArray encodeName(const QString& path);
QString decodeName(const QByteArray& native);
// Reads a whole file by its name's own bytes.
enum class ReadResult { Read, Missing, TooLarge, Failed };
ReadResult readFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error = nullptr);
// Identity and state of a file as the file system keeps them: device, inode, size, modification
// and change times; any replacement or write changes it, even one that keeps size and mtime.
// Empty when the file is missing.
QString fileStamp(const QString& path);
QString fileStamp(int fd);             // the same of a file held open
qint64 fileSize(const QString& path);  // -1 when missing
// Regular files (and links to them) of folder whose names end in suffix (compared without regard
// to case), hidden ones included; sorted without regard to case, ties by code unit. Empty when
// the folder cannot be read.
QStringList filesEndingIn(const QString& folder, const QString& suffix);
}  // namespace tarn::folders
