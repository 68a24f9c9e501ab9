#pragma once
// The note set dialogs of the options window: a new set started from one of the prepared sets or
// from a copy of the selected one (frmPOTNTemplate), and one note's text (frmPOTNotes).
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "options/resultrows.h"

namespace tarn {

class frmPOTNTemplate : public QDialog {
  Q_OBJECT
 public:
  explicit frmPOTNTemplate(QWidget* parent = nullptr);
  // Offers "Copy of the Selected Set (<name>)" as well; empty: no set to copy.
  void setSelectedSet(const QString& name);
  // 0 "Empty" .. 6, or -1 for the copy of the selected set.
  int source() const;
  QString name() const { return txtName->text().trimmed(); }
  bool fnDataOK();  // a name is given

  QLineEdit* txtName;
  QListWidget* lstSource;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 private:
  bool nameTyped_ = false;
};

class frmPOTNotes : public QDialog {
  Q_OBJECT
 public:
  explicit frmPOTNotes(QWidget* parent = nullptr);
  // The row the note belongs to and its text ("-" shows as an empty note).
  void setNote(const options::ResultRow& row, const QString& text);
  QString note() const { return txtNote->toPlainText().trimmed(); }

  QLabel* lblRow;
  QPlainTextEdit* txtNote;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};

}  // namespace tarn
