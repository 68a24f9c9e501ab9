#pragma once
// Moving and copying subject files so that none is ever lost or half-written. A copy goes to a
// hidden temporary file beside the target, is synced to disk, and only then takes the target's
// name; a move within one file system is a rename, and a move between file systems is such a copy
// followed by the deletion of the source. Whatever fails on the way leaves the source where it was
// and no partial target behind.
#include <QString>

namespace tarn::fm {

struct FileOpResult {
  bool done = false;           // the target holds the file
  bool sourceRemoved = false;  // a move: the source is gone (false when only a copy could be made)
  QString error;               // why not done, or why the source stayed
};

// replace: an existing target is replaced (atomically); otherwise an existing target makes the
// operation fail and stays as it was. Copies are readable by the user only.
FileOpResult CopyFileSafely(const QString& source, const QString& target, bool replace);
FileOpResult MoveFileSafely(const QString& source, const QString& target, bool replace);

// Whether files can be made in the folder: a probe file is created and deleted (permission bits
// say nothing about read-only mounts, and nothing at all to an administrator).
bool IsFolderWritable(const QString& folder);

// Whether a file cannot be written at path: its folder takes no new file, or the file exists and
// cannot be replaced.
bool IsDestinationReadOnly(const QString& path);

// Whether two paths name the same file (same device and inode).
bool IsSameFile(const QString& a, const QString& b);

}  // namespace tarn::fm
