#pragma once
// Two small editors of one text of a test: its notes and its name. Each holds a pointer to the
// text it edits and writes it only when OK passes its check.
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tarn {

// Shows frmNotes modally over parent on notes; true when OK changed and kept them.
bool EditTestNotes(QWidget* parent, QString& notes);
// Shows frmTRename modally over parent on a test name; true when OK changed and kept it.
bool EditTestName(QWidget* parent, QString& name);

class frmNotes : public QDialog {
  Q_OBJECT
 public:
  explicit frmNotes(QWidget* parent = nullptr);
  ~frmNotes() override;
  // Set Notes: the text to edit; null unloads the dialog.
  void SetNotes(QString* notes);
  bool fnDataOK();
  bool fnObjectUpdate();
  bool fnDataSave();

  QGroupBox* fraNotes;
  QPlainTextEdit* txtNotes;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 private:
  QString* notes_ = nullptr;
};

class frmTRename : public QDialog {
  Q_OBJECT
 public:
  explicit frmTRename(QWidget* parent = nullptr);
  ~frmTRename() override;
  // Set Test: the test's name (sName) to edit; null unloads the dialog.
  void SetTest(QString* name);
  bool fnDataOK();
  bool fnObjectUpdate();
  bool fnDataSave();

  QLineEdit* txtName;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 private:
  QString* name_ = nullptr;
};

}  // namespace tarn
