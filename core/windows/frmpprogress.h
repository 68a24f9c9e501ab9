#pragma once
// Progress of a data-folder list refresh.
#include <QDialog>
#include <QLabel>

namespace tarn {

class frmPProgress : public QDialog {
  Q_OBJECT
 public:
  explicit frmPProgress(QWidget* parent = nullptr);
  QLabel* lblMessage;
};

}  // namespace tarn
