#pragma once
// The file manager: every subject file of the data folder as one row of a sortable grid built from
// the data-folder list, and the file commands on the selected rows.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <functional>
#include <memory>

#include "files/filecommands.h"

namespace tarn {
class KM_RQList;
namespace fm {
class FileManagerModel;
class FileManagerSortProxy;
class SiblingProgram;
}  // namespace fm

// What the file manager needs from its owner.
struct FileManagerHooks {
  // Brings the data-folder list in line with the folder (the main window's list refresh, with its
  // progress window); called after files came into or left the folder. May be empty.
  std::function<void()> refreshList;
  // The sibling program; null: the program on the session bus.
  fm::SiblingProgram* sibling = nullptr;
};

class frmFManager : public QDialog {
  Q_OBJECT
 public:
  frmFManager(KM_RQList& list, FileManagerHooks hooks, QWidget* parent = nullptr);
  ~frmFManager() override;

  // Reads the column choice and fills the grid from the list; keeps the sort and the selection.
  void Load_List();
  // Right click on a header: the column chooser, whose OK stores the choice and reloads.
  void ChooseColumns();

  // The commands, callable by tests as an operator's clicks.
  void cmdImport_Click();
  void cmdExport_Click();
  void cmdEmail_Click();
  void cmdBackUp_Click();
  void cmdExportData_Click();
  void cmdOpenInSG_Click();

  // File names of the selected rows, top to bottom as the grid shows them.
  QStringList selectedFiles() const;
  QList<int> selectedGridRows() const;  // rows of grid(), ascending
  void selectFiles(const QStringList& names);
  QAbstractItemModel* grid() const;  // the sorted view's model
  fm::FileManagerModel* model() const { return model_; }

  QLabel* lblInstructions;
  QTableView* grdFiles;
  QLabel* lblStats;
  QPushButton* cmdImport;
  QPushButton* cmdExport;
  QPushButton* cmdEmail;
  QPushButton* cmdBackUp;
  QPushButton* cmdExportData;
  QPushButton* cmdOpenInSG;
  QPushButton* cmdCancel;

 protected:
  void done(int result) override;

 private:
  fm::FileCommands commands();
  void afterFolderChanged();
  void updateButtons();
  void fitColumns();
  void restorePlacement();
  void savePlacement();

  KM_RQList& list_;
  FileManagerHooks hooks_;
  std::unique_ptr<fm::SiblingProgram> ownSibling_;
  fm::FileManagerModel* model_;
  fm::FileManagerSortProxy* proxy_;
  QSet<QString> gone_;  // exported here; kept out of the grid until the list forgets them
};

// The main window's file management command: shows the file manager modally over parent (through
// the modal display, so that tests can answer it) and returns when it is closed.
int ShowFileManager(KM_RQList& list, QWidget* parent, FileManagerHooks hooks = {});

}  // namespace tarn
