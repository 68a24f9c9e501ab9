#pragma once
// Step 1 of a session: the test templates of the template folder; the chosen one gives the tests.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <vector>

#include "session/choices.h"

namespace tarn {

class frmTTemplate : public QDialog {
  Q_OBJECT
 public:
  explicit frmTTemplate(QWidget* parent = nullptr);
  ~frmTTemplate() override;

  // The template to offer first (the default, or the one chosen before).
  void setChosen(const QString& templateFile);
  // The chosen template file; empty when none can be chosen.
  QString Chosen() const;
  int DialogExitButton() const { return exit_; }
  const std::vector<TemplateChoiceRow>& rows() const { return rows_; }

  QLabel* lblTemplate;
  QTableWidget* grdTemplate;
  QLabel* lblInstructions;
  QPushButton* cmdBack;
  QPushButton* cmdNext;
  QPushButton* cmdCancel;

 protected:
  void reject() override;

 private:
  void grdTemplate_ChangeSel();
  void finish(int code);

  std::vector<TemplateChoiceRow> rows_;
  int chosen_ = -1;
  int exit_ = -99;
};

}  // namespace tarn
