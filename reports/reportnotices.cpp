#include "reports/reportnotices.h"

namespace tarn {

ReportNotices& noReportNotices() {
  static NoReportNotices none;
  return none;
}

}  // namespace tarn
