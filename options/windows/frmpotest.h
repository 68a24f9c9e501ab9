#pragma once
// "Test Setup": one item of a test template, its name and either its balance or its vision
// settings. The checks and the copy into the item are options/testitemform.h.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "data/templates/template.h"
#include "options/testitemform.h"

namespace tarn {

class frmPOTest : public QDialog {
  Q_OBJECT
 public:
  explicit frmPOTest(QWidget* parent = nullptr);

  // Let TestItem: the item to edit; shows the page of its kind.
  void setTestItem(const KM_RQTemplateItem& item);
  const KM_RQTemplateItem& testItem() const { return item_; }
  // The station's length unit for the distance (default: "Units Lenght").
  void setLengthUnit(int unitCode);
  // The shortest allowed vision distance in metres (default: from the stored monitor sizes).
  void setMinimumDistance(double metres);
  double minimumDistance() const { return minimumDistance_; }

  bool fnDataOK();        // the checks; the first failure shows its message and keeps the dialog
  bool fnObjectUpdate();  // copies the controls into the item
  bool fnDataSave();      // both

  QLineEdit* txtName;
  QGroupBox* fraBalance;
  QComboBox* cboSurface;
  QComboBox* cboEyes;
  QCheckBox* chkBeepBegin;
  QCheckBox* chkBeepEnd;
  QLineEdit* txtFrequency;
  QLineEdit* txtPreTest;
  QLineEdit* txtDuration;
  QGroupBox* fraVision;
  QComboBox* cboEye;
  QLineEdit* txtInterval;
  QLabel* lblDistance;
  QLineEdit* txtDistance;
  QLineEdit* txtTestsPerSize;
  QLineEdit* txtCorrectAnswers;
  QCheckBox* chkFullScreen;
  QCheckBox* chkHighContrast;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 private:
  options::TestItemForm form() const;
  QWidget* fieldWidget(options::ItemField field) const;
  KM_RQTemplateItem item_;
  int lengthUnit_;
  double minimumDistance_;
};

}  // namespace tarn
