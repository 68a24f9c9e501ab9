#pragma once
// The options window "KM TARN™ RQ Program Options": eight pages over an OptionsModel, which holds
// every value, checks them and writes them at OK. The window only shows the model and passes the
// operator's changes to it.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <functional>

#include "options/optionsmodel.h"

namespace tarn {

// Opens the options window modally over `parent` and returns true when the operator saved the
// settings with OK (false after Cancel). The caller then re-reads what it uses.
bool ShowOptionsWindow(QWidget* parent);

class frmPOptions : public QDialog {
  Q_OBJECT
 public:
  explicit frmPOptions(QWidget* parent = nullptr);
  ~frmPOptions() override;

  // Fills every page from the store and the folders (the model's LoadSettings).
  void LoadSettings();
  // Re-reads the displays and refreshes the monitor page.
  void UpdateMonitor();
  bool saved() const { return saved_; }
  options::OptionsModel& model() { return model_; }
  void showPage(options::Page page);
  options::Page currentPage() const;

  // The options window now open, if any (the main window brings it up to date on device changes).
  static frmPOptions* openWindow();

  // What the window asks of the desktop; tests replace these. Each returns empty (or 0, false)
  // when the operator cancels.
  struct Shell {
    std::function<QString(QWidget*, const QString& title, const QString& start)> chooseFolder;
    std::function<QString(QWidget*, const QString& title, const QString& start, const QString& filter)>
        chooseFile;
    // The subject display: the number (1-based) of one of `entries`, 0 when cancelled.
    std::function<int(QWidget*, const QStringList& entries, int current)> chooseDisplay;
    std::function<bool(const QString& file)> openDocument;
    std::function<bool(const QStringList& command)> runCommand;
    std::function<QStringList()> printers;  // installed printers, the default first
  };
  static Shell setShell(Shell shell);  // returns the previous one; empty members use the desktop

  QTabWidget* tabs;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QTimer* tmrUnload;

  // &Program
  std::array<QCheckBox*, options::kProgramSwitchCount> chkProgram{};  // chkProgram[3] is chkPHideSubjFile
  std::array<QComboBox*, options::kUnitKindCount> cboUnits{};
  QLineEdit* txtPDataFolder;
  QPushButton* cmdPSelectFolder;

  // &Reports
  std::array<QGroupBox*, settings::kReportKinds> fraReportKind{};
  std::array<std::array<QCheckBox*, options::kReportItemCount>, settings::kReportKinds> chkReportItem{};
  std::array<QCheckBox*, options::kReportSwitchCount> chkReport{};
  QComboBox* cboPrinter;
  QRadioButton* optLetter;
  QRadioButton* optA4;
  std::array<QRadioButton*, options::kQualityCount> optQuality{};  // draft .. high
  QLineEdit* txtCopies;
  QCheckBox* chkColor;

  // &Report Notes
  QTableWidget* grdPRCFile;
  QPushButton* cmdPRCFileAdd;
  QPushButton* cmdPRCFileDelete;
  QLineEdit* txtPRCTName;
  QTableWidget* grdPRCTTemplate;
  QPlainTextEdit* txtPRCTNote;
  QPushButton* cmdPRCTEdit;

  // &Additional Docs
  QTableWidget* grdRReferralForms;
  QLabel* lblRCurrentFile;
  QPushButton* cmdRBrowse;
  QPushButton* cmdRRemove;
  QPushButton* cmdROpen;
  QPushButton* cmdRPrint;

  // &Monitors
  QLabel* lblMDisplayName;
  QLabel* lblMDisplayNumber;
  QCheckBox* chkMSeparate;
  QPushButton* cmdSubjectMonitor;
  QLabel* lblMCalName;
  QLabel* lblMResolution;
  std::array<QLineEdit*, options::kSizeFieldCount> txtMSize{};

  // Force Platform
  QLineEdit* txtFPExcitation;
  QLineEdit* txtFPDuration;
  QLineEdit* txtFPMaxAge;
  QLineEdit* txtFPMaxNoise;
  QCheckBox* chkFPAllowNoisy;
  QPushButton* cmdFPDefaults;

  // &Tests
  std::array<QCheckBox*, options::kTestKindCount> chkTestKind{};
  QTableWidget* grdTFile;
  QPushButton* cmdTFileAdd;
  QPushButton* cmdTFileDelete;
  QLineEdit* txtTTName;
  QTableWidget* grdTTemplate;
  QPushButton* cmdTTInsVision;
  QPushButton* cmdTTInsBalance;
  QPushButton* cmdTTUp;
  QPushButton* cmdTTDown;
  QPushButton* cmdTTRemove;
  QPushButton* cmdTTEdit;

  // &Passwords
  QLineEdit* txtPWANew;
  QLineEdit* txtPWAConfirm;
  QLabel* lblPWAStatus;
  QPushButton* cmdPWAChange;
  QLineEdit* txtPWONew;
  QLineEdit* txtPWOConfirm;
  QLabel* lblPWOStatus;
  QPushButton* cmdPWOChange;

  // Commands, as the buttons run them.
  void cmdOK_Click();
  void cmdPSelectFolder_Click();
  void cmdSubjectMonitor_Click();
  void cmdFPDefaults_Click();
  void cmdTFileAdd_Click();
  void cmdTFileDelete_Click();
  void cmdTTInsBalance_Click();
  void cmdTTInsVision_Click();
  void cmdTTMove_Click(bool up);
  void cmdTTRemove_Click();
  void cmdTTEdit_Click();
  void cmdPRCFileAdd_Click();
  void cmdPRCFileDelete_Click();
  void cmdPRCTEdit_Click();
  void cmdRBrowse_Click();
  void cmdROpen_Click(bool print);
  void cmdPWAChange_Click();
  void cmdPWOChange_Click();

 private:
  QWidget* buildProgramPage();
  QWidget* buildReportsPage();
  QWidget* buildNotesPage();
  QWidget* buildDocsPage();
  QWidget* buildMonitorsPage();
  QWidget* buildPlatformPage();
  QWidget* buildTestsPage();
  QWidget* buildPasswordsPage();
  void fillControls();
  void fillMonitor();
  void fillPlatform();
  void fillTemplates();
  void fillTemplateTests(int selectRow = 0);
  void fillNoteSets();
  void fillNoteContents(int selectRow = 0);
  void fillDocRow(int row);
  void fillPasswords();
  void leaveSizeField(int field);
  bool commitPendingSize();
  int templateRow() const;  // 1-based row of grdTTemplate, 0 when none
  int lengthUnit() const;
  static std::vector<options::DisplayInfo> displays(int* primary);

  options::OptionsModel model_;
  bool saved_ = false;
  bool filling_ = false;
  int pendingSize_ = -1;  // the size field typed into and not yet converted
};

}  // namespace tarn
