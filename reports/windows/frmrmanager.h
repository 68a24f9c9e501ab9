#pragma once
// The reports manager: the subject files of the data folder, the tests of the chosen file, the
// choice of up to four balance and four vision tests, the subject's progress over time, and the
// results window in reprint mode on the chosen tests.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <memory>

#include "reports/reportnotices.h"
#include "reports/rmanagermodel.h"
#include "reports/windows/frmtreport.h"
#include "reports/windows/progressplot.h"

namespace tarn {

class ManagerGridModel;

class frmRManager : public QDialog {
  Q_OBJECT
 public:
  // list: the data-folder list of the main window (not owned, read only).
  explicit frmRManager(const KM_RQList* list, QWidget* parent = nullptr);
  ~frmRManager() override;

  // Automation clients told before and after a reprint (not owned; null: nobody).
  void setNotices(ReportNotices* notices) { notices_ = notices ? notices : &noReportNotices(); }
  // The rename dialog handed to the results window.
  void setRenameEditor(frmTReport::RenameEditor editor) { rename_ = std::move(editor); }
  void setFileSaver(frmTReport::FileSaver saver) { saver_ = std::move(saver); }

  ReportsManagerModel& model() { return *model_; }
  // The exit code the results window left (-99 before any report).
  int DialogExitButton() const { return exit_; }

  QLabel* lblInstructions;
  QLabel* lblChoice;
  QGroupBox *fraFiles, *fraBalance, *fraVision, *fraProgress;
  QTableView *grdFiles, *grdBalance, *grdVision;
  ProgressPlot* picProgress;
  QPushButton *cmdReport, *cmdCancel;

  // The operator's gestures, as the grids call them.
  void grdFiles_ChangeSel(int row);
  void grdBalance_Click(int row);
  void grdVision_Click(int row);
  void sortFiles(int column);
  void sortBalance(int column);
  void sortVision(int column);
  void cmdReport_Click();

 protected:
  void done(int r) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void updateCommands();
  void refreshTests();
  void restorePlacement();
  void savePlacement();

  std::unique_ptr<ReportsManagerModel> model_;
  ManagerGridModel* files_;
  ManagerGridModel* balance_;
  ManagerGridModel* vision_;
  ReportNotices* notices_ = &noReportNotices();
  frmTReport::RenameEditor rename_;
  frmTReport::FileSaver saver_;
  int exit_;
  int filesSort_ = -1, balanceSort_ = -1, visionSort_ = -1;
  bool filesAscending_ = true, balanceAscending_ = true, visionAscending_ = true;
};

}  // namespace tarn
