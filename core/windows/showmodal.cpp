#include "core/windows/showmodal.h"

#include <utility>

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
  form.setWindowModality(Qt::ApplicationModal);
  return form.exec();
}

KMX_cShowModal::Script KMX_cShowModal::setScript(Script s) { return std::exchange(script(), std::move(s)); }

}  // namespace tarn
