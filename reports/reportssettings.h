#pragma once
// Setting keys the reports module owns.
#include "core/settingkeys.h"

namespace tarn::settings {

// Where the printing window writes the report when its printer is the PDF file entry.
inline constexpr TextSetting ReportPdfFile{kReportsKey, "PDF File", ""};

}  // namespace tarn::settings
