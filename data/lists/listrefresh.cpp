#include "data/lists/listrefresh.h"

#include <QDir>
#include <QFileInfo>

#include "balance/balancesettings.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "data/lists/folderindex.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
// A list that cannot be saved is rebuilt at every refresh: the operator must know, not only the log.
void tellOperator(const QString& where) { showMessage(Str(2900).arg(where), MsgIcon::Exclamation); }
}  // namespace

ListsRefreshParams ListsRefreshParams::fromSettings() {
  ListsRefreshParams p;
  p.listFolder = folders::commonDataFolder();
  p.dataPath = folders::withSlash(settings::read(settings::LastPath));
  p.dataExt = settings::read(settings::DefaultExt);
  p.minCoPFz = static_cast<float>(settings::read(settings::CoPThresholdF));
  p.listPrefix = settings::read(settings::ListPrefix);
  p.listExt = settings::read(settings::ListExt);
  return p;
}

ListsRefreshResult ListsRefresh(KM_RQList& list, const ListsRefreshParams& p) {
  // Every entry read or rebuilt logs its steps: tens of thousands of lines for a large folder.
  eventlog::Batch batch;
  ProcLog log("mdifrmMain", "Lists_Refresh", "Path = " + p.dataPath);
  ListsRefreshResult r;
  const QString dataPath = folders::withSlash(p.dataPath.trimmed());
  if (p.dataPath.trimmed().isEmpty() || !QFileInfo(dataPath).isDir()) {
    log.error("The data folder " + dataPath + " does not exist: the list is not refreshed");
    r.missingFolder = true;
    return r;
  }
  const QDir folder(p.listFolder);
  if (!folders::ensureFolder(p.listFolder)) log.error("Cannot create " + p.listFolder);
  const QString index = folder.filePath(QString::fromLatin1(folderindex::kIndexFileName));
  const QString section = QString::fromLatin1(folderindex::kSection);
  const QString prefix = p.listPrefix.trimmed().isEmpty() ? QStringLiteral("RQList") : p.listPrefix;
  const QString ext = p.listExt.trimmed().isEmpty() ? QStringLiteral(".slf") : p.listExt;

  log.step(QStringLiteral("Reading List Parameters"));
  QString name;
  QString why;
  {
    // Looked up, named and recorded in one go while no other process changes the index.
    folderindex::IndexLock lock(p.listFolder);
    if (!lock.locked()) {
      log.error("The folder index cannot be locked: " + lock.error());
      tellOperator(folder.filePath(QString::fromLatin1(folderindex::kIndexFileName)));
      return r;
    }
    name = folderindex::readValue(index, section, dataPath, QString());
    if (name.isEmpty()) {
      name = folderindex::newListFileName(p.listFolder, prefix, ext, &why);
      log.step("New list file " + name);
      // Recorded at once, so that no other refresh takes the new file for an orphan.
      if (!name.isEmpty() && !dataPath.isEmpty()) folderindex::writeValue(index, section, dataPath, name);
    }
    // Only once this folder's list file is in the index: it must not count as an orphan itself.
    if (!dataPath.isEmpty()) {
      if (const int removed = folderindex::removeOrphanListFiles(p.listFolder, index, section, prefix, ext))
        log.step(QStringLiteral("Removed %1 list files no folder uses").arg(removed));
    }
    if (const int removed = folders::removeSaveLeftovers(p.listFolder))
      log.step(QStringLiteral("Removed %1 files left by interrupted saves").arg(removed));
  }
  if (name.isEmpty()) {
    log.error("No list file could be made: " + why);
    tellOperator(p.listFolder);
    return r;
  }
  r.listFile = QDir::isAbsolutePath(name) ? name : folder.filePath(name);

  if (p.onStart) p.onStart();
  log.step(QStringLiteral("Loading List"));
  r.loaded = list.FileLoad(r.listFile, QString::fromLatin1(kListIdentification));
  if (r.loaded && list.sLoadedDataPath() != dataPath) {
    // Entries of another folder's files must never stand for this folder's.
    log.error(QStringLiteral("The list file holds the list of another folder: it is built anew"));
    list.clear();
    r.loaded = false;
  }
  log.step(QStringLiteral("Refreshing List"));
  r.rebuilt = list.Refresh(p.minCoPFz, dataPath, p.dataExt);
  log.step(QStringLiteral("Saving List"));
  r.ok = list.FileSave(r.listFile);
  if (r.ok && !dataPath.isEmpty()) {
    folderindex::IndexLock lock(p.listFolder);
    if (lock.locked() && folderindex::readValue(index, section, dataPath, QString()) != name)
      folderindex::writeValue(index, section, dataPath, name);
  }
  if (!r.ok) tellOperator(r.listFile);
  if (p.onEnd) p.onEnd();
  log.completed();
  return r;
}

}  // namespace tarn
