#pragma once
// The main window's list refresh without the window: find (or name) the list file of a data
// folder through the folder index, load it, refresh it against the folder, save it and record
// the mapping. The caller supplies the settings and the notices around it.
#include <QString>

#include <functional>

#include "data/lists/list.h"

namespace tarn {

struct ListsRefreshParams {
  QString listFolder;  // the common data folder: index and list files
  QString dataPath;    // the data folder ("Last Path")
  QString dataExt = QStringLiteral(".kpf");
  float minCoPFz = 10.0f;  // "CoP Threshold F (N)"
  QString listPrefix = QStringLiteral("RQList");
  QString listExt = QStringLiteral(".slf");
  std::function<void()> onStart;  // automation ListRefreshStart
  std::function<void()> onEnd;    // automation ListRefreshEnd

  // Everything from the settings store and the folders, as the main window reads them.
  static ListsRefreshParams fromSettings();
};

struct ListsRefreshResult {
  bool ok = false;             // the list file was written
  bool missingFolder = false;  // the data folder does not exist: nothing was read or written
  QString listFile;            // full path of the list file used
  bool loaded = false;         // an existing list file was loaded
  qint32 rebuilt = 0;          // entries read again from their subject files (-1: nothing scanned)
};

// Runs the refresh on list (events go to the list's listener). A data folder that does not
// exist leaves the list, the list files and the index alone and is reported in the result.
ListsRefreshResult ListsRefresh(KM_RQList& list, const ListsRefreshParams& params);

}  // namespace tarn
