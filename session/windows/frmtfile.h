#pragma once
// Step 0 of a session: the subject files of the data folder, to open one or start a new one.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <vector>

#include "session/choices.h"

namespace tarn {

class KM_RQList;

class frmTFile : public QDialog {
  Q_OBJECT
 public:
  explicit frmTFile(QWidget* parent = nullptr);
  ~frmTFile() override;

  // Set FileList: the data-folder list whose entries are offered.
  void SetFileList(const KM_RQList* list);
  // The chosen file's full name after Open; empty after New.
  const QString& FileName() const { return fileName_; }
  int DialogExitButton() const { return exit_; }
  const std::vector<FileChoiceRow>& rows() const { return rows_; }

  void mnuPopUp_List_Sort_Column_Click(int column);

  QLabel* lblFiles;
  QTableWidget* grdFiles;
  QLabel* lblInstructions;
  QPushButton* cmdOpen;
  QPushButton* cmdNew;
  QPushButton* cmdCancel;

 protected:
  void reject() override;

 private:
  void fillGrid();
  void grdFiles_ChangeSel();
  void cmdOpen_Click();
  void finish(int code);

  const KM_RQList* list_ = nullptr;
  std::vector<FileChoiceRow> rows_;
  int sortColumn_ = -1;
  bool sortAscending_ = true;
  QString fileName_;
  int exit_ = -99;
};

}  // namespace tarn
