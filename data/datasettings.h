#pragma once
// The settings the subject data owns: the defaults of a newly inserted balance test item of a
// template (read as written, right below the hive).
#include "core/settingkeys.h"

namespace tarn::settings {

inline constexpr char kTestDefaultsKey[] = "\\Test";  // read as written, right below the hive

// ---- \Test: defaults of a newly inserted balance test item ----
inline constexpr LongSetting TestBeepBegin{kTestDefaultsKey, "BeepBegin", 0};
inline constexpr LongSetting TestBeepEnd{kTestDefaultsKey, "BeepEnd", 1};
inline constexpr LongSetting TestFrequency{kTestDefaultsKey, "Frequency (mHz)", 64000};
inline constexpr LongSetting TestPreTestDuration{kTestDefaultsKey, "PreTest Duration (ms)", 5000};
inline constexpr LongSetting TestDuration{kTestDefaultsKey, "Test Duration (ms)", 20000};

}  // namespace tarn::settings
