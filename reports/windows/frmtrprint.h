#pragma once
// The printing window: which report families and which of their pages to print, the printer (or
// a PDF file) and its settings, and the print run. It is loaded by the results window, filled from
// the settings, and either shown or made to print at once.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <memory>
#include <vector>

#include "reports/printpages.h"
#include "reports/windows/printoutput.h"

namespace tarn {

class frmTReport;
class KMXCoPDisplay;

class frmTRPrint : public QDialog {
  Q_OBJECT
 public:
  explicit frmTRPrint(const frmTReport& report, QWidget* parent = nullptr);
  ~frmTRPrint() override;

  // Ticks the boxes, chooses the printer and its settings from the Reports key.
  void LoadSettings();
  // Lets the subject pages show names in spite of "HipaaCompliant".
  void setShowNames(bool show) { showNames_ = show; }

  int GetItemsCount() const;
  PrintChoice choice() const;
  PrintSettings printSettings() const;
  bool pdfChosen() const;
  // The print run; false when something did not print (the operator was told what).
  bool cmdPrint_Click();
  const PrintOutcome& lastOutcome() const { return outcome_; }
  // The page forms of the current choice (what a print run would draw), and their plots.
  std::vector<FamilyPrintout> composeRun() const;
  PagePlotDrawer plotDrawer() const;
  // Ctrl+C: the first page of the current choice on the clipboard (SVG and PNG), for a letter or
  // a record; false when nothing is ticked.
  bool copyFirstPage() const;

  // Controls; index = family 0-2.
  std::array<QCheckBox*, 3> chkType{};
  std::array<QCheckBox*, 3> chkCover{}, chkVision{}, chkBComparison{}, chkReferrals{}, chkReportID{},
      chkPageNum{};
  std::array<std::array<QCheckBox*, 4>, 3> chkBalance{};
  QComboBox* cmbPrinters;
  QLineEdit* txtPdfFile;
  QPushButton* cmdBrowse;
  std::array<QRadioButton*, 2> optPaperSize{};
  QButtonGroup* mchQuality;  // choices 1-4
  QLineEdit* txtCopies;
  QCheckBox* chkColor;
  QListWidget* lstStatus;
  QLabel* lblInstructions;
  QPushButton *cmdPrint, *cmdBack, *cmdNext, *cmdOK, *cmdCancel;

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void familyToggled(int family);
  void refreshStatus();
  void printerChanged();
  void browse();
  KMXCoPDisplay* printDisplay(int k) const;
  PrintInputs inputs(bool* commentsLoaded = nullptr, QString* commentsFile = nullptr) const;

  const frmTReport& report_;
  bool showNames_ = false;
  PrintOutcome outcome_;
  mutable std::array<std::unique_ptr<KMXCoPDisplay>, 4> displays_;
};

}  // namespace tarn
