#include "data/lists/listrefresh.h"

#include <QDir>
#include <QFileInfo>

#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "data/lists/folderindex.h"

namespace tarn {

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
  ProcLog log("mdifrmMain", "Lists_Refresh", "Path = " + p.dataPath);
  ListsRefreshResult r;
  const QString dataPath = folders::withSlash(p.dataPath.trimmed());
  if (p.dataPath.trimmed().isEmpty() || !QFileInfo(dataPath).isDir()) {
    log.error("The data folder " + dataPath + " does not exist: the list is not refreshed");
    r.missingFolder = true;
    return r;
  }
  const QDir folder(p.listFolder);
  if (!QDir().mkpath(p.listFolder)) log.error("Cannot create " + p.listFolder);
  const QString index = folder.filePath(QString::fromLatin1(folderindex::kIndexFileName));
  const QString section = QString::fromLatin1(folderindex::kSection);

  log.step(QStringLiteral("Reading List Parameters"));
  QString name = folderindex::readValue(index, section, dataPath, QString());
  if (name.isEmpty()) {
    name =
        folderindex::newListFileName(p.listFolder, p.listPrefix.trimmed().isEmpty() ? "RQList" : p.listPrefix,
                                     p.listExt.trimmed().isEmpty() ? ".slf" : p.listExt);
    log.step("New list file " + name);
  }
  if (name.isEmpty()) {
    log.error(QStringLiteral("No free list file name"));
    return r;
  }
  r.listFile = QDir::isAbsolutePath(name) ? name : folder.filePath(name);

  if (p.onStart) p.onStart();
  log.step(QStringLiteral("Loading List"));
  r.loaded = list.FileLoad(r.listFile, QString::fromLatin1(kListIdentification));
  log.step(QStringLiteral("Refreshing List"));
  r.rebuilt = list.Refresh(p.minCoPFz, dataPath, p.dataExt);
  log.step(QStringLiteral("Saving List"));
  r.ok = list.FileSave(r.listFile);
  if (r.ok && !dataPath.isEmpty()) folderindex::writeValue(index, section, dataPath, name);
  if (p.onEnd) p.onEnd();
  log.completed();
  return r;
}

}  // namespace tarn
