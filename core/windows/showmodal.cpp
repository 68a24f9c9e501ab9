#include "core/windows/showmodal.h"

#include <utility>

#include "core/eventlog.h"

namespace tarn {
namespace {
KMX_cShowModal::Script& script() {
  static KMX_cShowModal::Script s;
  return s;
}
}  // namespace

int KMX_cShowModal::ShowModal(QDialog& form) const {
  if (script()) {
    const int code = script()(form);
    form.setResult(code);
    return code;
  }
  if (qEnvironmentVariableIntValue("TARNRQ_AUTOANSWER") == 1) {
    // A run that answers for itself cannot wait for an operator: the window closes as cancelled.
    eventlog::logStep("KMX_cShowModal", "ShowModal", QStringLiteral("Cancelled: ") + form.objectName());
    form.setResult(QDialog::Rejected);
    return QDialog::Rejected;
  }
  form.setWindowModality(Qt::ApplicationModal);
  return form.exec();
}

KMX_cShowModal::Script KMX_cShowModal::setScript(Script s) { return std::exchange(script(), std::move(s)); }

}  // namespace tarn
