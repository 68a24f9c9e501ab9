#include "core/windows/frmpprogress.h"
#include "support/strings/strings.h"

#include <QVBoxLayout>

namespace tarn {

frmPProgress::frmPProgress(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint) {
  setObjectName("frmPProgress");
  setWindowTitle(Str(1040));
  setMinimumWidth(380);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  lblMessage = new QLabel(this);
  lblMessage->setObjectName("lblMessage");
  lblMessage->setAlignment(Qt::AlignCenter);
  QFont f = lblMessage->font();
  f.setPointSizeF(f.pointSizeF() * 1.2);
  lblMessage->setFont(f);
  layout->addWidget(lblMessage);
}

}  // namespace tarn
