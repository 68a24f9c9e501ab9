#pragma once
// The column chooser: which catalogue columns the file manager shows, and in which order.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVector>

namespace tarn {

class frmFMColumns : public QDialog {
  Q_OBJECT
 public:
  explicit frmFMColumns(const QVector<int>& chosen, QWidget* parent = nullptr);

  // The "Selected Columns" list in its order.
  QVector<int> chosenColumns() const;

  // The commands, callable by tests as an operator's clicks.
  void cmdAdd_Click();     // ">>": the highlighted available columns to the end of the selection
  void cmdRemove_Click();  // "<<": the highlighted selected columns back to the available ones
  void cmdUp_Click();
  void cmdDown_Click();
  void cmdOK_Click();  // keeps the window open when no column is selected

  QLabel* lblAvailable;
  QLabel* lblSelected;
  QListWidget* lstAvailable;
  QListWidget* lstSelected;
  QPushButton* cmdAdd;
  QPushButton* cmdRemove;
  QPushButton* cmdUp;
  QPushButton* cmdDown;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 private:
  void addAvailable(int id);
  void move(int step);
  void updateButtons();
};

}  // namespace tarn
