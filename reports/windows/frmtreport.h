#pragma once
// The results report window: one tab per balance test (results grid, stability level row, CoP
// plot over the class rings, notes), the comparison of the tests, the vision tests, and the
// session's evaluation and intervention. The caller gives the subject file, announces the tests,
// completes the adding and shows the window; a closing button leaves its wizard code.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <array>
#include <functional>
#include <memory>

#include "balance/windows/kmxcopdisplay.h"
#include "reports/reportmodel.h"
#include "reports/windows/reportcopmenu.h"

class QGridLayout;
class QMenuBar;

namespace tarn {

class frmTRPrint;

class frmTReport : public QDialog {
  Q_OBJECT
 public:
  // Loads the window: captions, row labels and the settings it reads (units, weight, threshold).
  explicit frmTReport(QWidget* parent = nullptr);
  ~frmTReport() override;

  // PatientFile: the subject file reported on (not owned). Null unloads the window.
  void setPatientFile(SubjectFile* file);
  SubjectFile* PatientFile() const { return model_.PatientFile(); }
  void setReprint(bool reprint);
  bool bReprint() const { return model_.bReprint(); }
  bool AddTestBalance(const QString& visitID, const QString& sessionID, const QString& testID);
  bool AddTestVision(const QString& visitID, const QString& sessionID, const QString& testID);
  void AddTestCompleted();
  const ReportModel& model() const { return model_; }
  bool AdultVision(int index) const { return model_.AdultVision(index); }
  bool AdultBalance(int index) const { return model_.AdultBalance(index); }

  // The code of the button that closed the window; -99 until one did.
  int DialogExitButton() const { return exit_; }
  // Whether closing wrote changed names, notes or texts into the file's records.
  bool wroteChanges() const { return wroteChanges_; }

  // The rename dialog of the test session (true when the name was changed and kept). Without one,
  // a double click on a title does nothing.
  using RenameEditor = std::function<bool(QWidget* parent, QString& name)>;
  void setRenameEditor(RenameEditor editor) { rename_ = std::move(editor); }
  // How a reprint saves the subject file after changes (default: the file's own atomic save).
  using FileSaver = std::function<bool(SubjectFile& file, QString& error)>;
  void setFileSaver(FileSaver saver) { saver_ = std::move(saver); }

  // Controls; index 0 of the per-test arrays is the comparison tab, 1-4 the balance tabs.
  QTabWidget* tabs;
  QLabel* lblInstructions;
  QLabel* lblNotShown;
  QPushButton *cmdPrint, *cmdOK, *cmdBack, *cmdNext, *cmdCancel;
  std::array<QGroupBox*, 5> fraTBResults{};
  std::array<QLabel*, 5> lblTBTitle{};
  std::array<QLabel*, 5> lblTBType{};
  std::array<QTableWidget*, 5> grdTBResults{};
  std::array<KMXCoPDisplay*, 5> KMXCoPDisplayTB{};         // 1-4
  std::array<QPlainTextEdit*, 5> txtTBNotes{};             // 1-4
  std::array<QLabel*, 5> lblPointer{};                     // 1-4
  std::array<std::array<QLabel*, 5>, 5> lblTBNormTitle{};  // [tab][class 0-4]
  std::array<std::array<QLabel*, 5>, 5> lblTBNorm{};
  QLabel *lblTBCompVisualTitle, *lblTBCompVisualRomberg, *lblTBCompVisualSR;
  QLabel *lblTBCompFoamTitle, *lblTBCompFoamRomberg, *lblTBCompFoamSR;
  QTableWidget* grdVision;
  QGroupBox *fraEvaluation, *fraIntervention;
  QPlainTextEdit *txtEvaluation, *txtIntervention;
  QLabel* lblEvalIntervNotes;
  QMenuBar* menuBar;
  ReportCoPMenu* mnuCoPOptions;

  // The button procedures and the double clicks, as the controls call them.
  // Loads the printing window: shown for the operator's choice, or printing at once when reports
  // print automatically (never in a reprint).
  void cmdPrint_Click();
  // "PrintReportsAutomatically", or an unattended run that asked for a PDF file.
  static bool printsAutomatically();
  void closeWith(int code);  // cmdOK 2, cmdNext 1, cmdBack -1, cmdCancel 0
  void renameTest(int tab);  // double click on the title of tab 1-4
  void toggleExpanded(int tab);
  bool expanded(int tab) const { return expanded_[size_t(tab)]; }
  void copyGrid(int tab) const;
  // Tab shown first: the first enabled one among 0-5 (the texts tab when none).
  int firstTab() const { return model_.firstEnabledTab(); }

 protected:
  void showEvent(QShowEvent* e) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* buildBalanceTab(int k);
  QWidget* buildComparisonTab();
  QWidget* buildVisionTab();
  QWidget* buildEvalTab();
  void fillBalanceTab(int k);
  void fillComparison();
  void fillVision();
  void loadDataInCoPDisplay(int k);
  void resizeCols(QTableWidget* grid);
  void updateCommands();
  bool unloadCheck(int code, bool dataChanged);
  void currentTabChanged(int index);
  int tabOfDisplay(QObject* o) const;

  ReportModel model_;
  std::unique_ptr<frmTRPrint> print_;
  int exit_;
  bool activated_ = false;
  bool unloading_ = false;
  bool wroteChanges_ = false;
  RenameEditor rename_;
  FileSaver saver_;
  std::array<bool, 5> expanded_{};
  std::array<QGridLayout*, 5> resultLayouts_{};
  std::array<QWidget*, 5> levelRows_{};
};

}  // namespace tarn
