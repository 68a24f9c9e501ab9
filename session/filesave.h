#pragma once
// Putting a saved working copy in place of the subject file. The subject file is never written
// in place: the new contents go to a temporary file in the same folder and are synced, the four
// backup generations roll, and a rename replaces the file in one step. Whatever happens, the
// subject file's name always holds either the old or the new version, whole; a failure undoes
// the backup roll, so the file and its backups are left exactly as they were.
#include <QString>
#include <QStringList>
#include <functional>

namespace tarn {

// The backups of a subject file, newest first: its full name without the extension followed by
// ".bak", ".bk1", ".bk2" and ".bk3".
QStringList BackupNames(const QString& subjectFile);

// A sentence for the operator about why a file operation failed (errno value).
QString FileErrorText(int error);

// Copies source over target, rolling the backups of target first. False with why (a sentence for
// the operator) when it failed; nothing was changed then.
bool ReplaceWithBackups(const QString& source, const QString& target, QString* why = nullptr);

// Test seam: called at each stage of ReplaceWithBackups ("begin", "copied", "rolled .bk3", "rolled .bk2",
// "rolled .bk1", "rolled .bak", "backed up", "replaced"), e.g. to kill the process there.
using ReplaceStageHook = std::function<void(const QString& stage)>;
ReplaceStageHook setReplaceStageHook(ReplaceStageHook hook);

}  // namespace tarn
