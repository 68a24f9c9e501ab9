#pragma once
// The settings the file manager owns beyond the shared "Files" keys of core/settingkeys.h.
#include "core/settingkeys.h"

namespace tarn::settings {

// Folder last chosen for a back-up (stored without a trailing separator).
inline constexpr TextSetting LastBackUpPath{kFilesKey, "Last BackUp Path", ""};

// How the file manager writes visual acuities: 1 Snellen ("20/25"), 2 decimal fraction of ten
// ("8/10  "), 3 logMAR ("0.10 Log(MAR)").
enum AcuityNotation : qint32 { kAcuitySnellen = 1, kAcuityDecimal = 2, kAcuityLogMAR = 3 };
inline constexpr LongSetting FManagerAcuityNotation{kFilesKey, "FManager Acuity Notation", kAcuitySnellen};

}  // namespace tarn::settings
