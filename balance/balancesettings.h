#pragma once
// The settings the balance tests own: the norms version, the stance factors of the limits of
// stability, the zeroing, the static test's display and force threshold, and the vision test.
#include "core/settingkeys.h"

namespace tarn::settings {

inline constexpr char kPlateZeroKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings\\PlateZero";
inline constexpr char kPlateStaticKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings\\PlateStatic";
inline constexpr char kVisionStaticKey[] =
    "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings\\VisionStatic";

// The norms version in force, as text. Its default is the newest version the norms tables hold;
// a newer table moves both lines together (the check below keeps them in step).
inline constexpr int kNewestNormsVersion = 3;
inline constexpr TextSetting NormsVersion{kRootKey, "NormsVersion", "3"};
static_assert(NormsVersion.def[0] - '0' == kNewestNormsVersion && NormsVersion.def[1] == '\0');
inline constexpr LongSetting LoSXOneFoot{kRootKey, "LoS X One Foot", 280};
inline constexpr LongSetting LoSYTwoFeet{kRootKey, "LoS Y Two Feet", 2000};

// ---- TestSettings\PlateZero ----
inline constexpr LongSetting ZeroExcitation{kPlateZeroKey, "Excitation (mV)", 2500};
inline constexpr LongSetting ZeroDuration{kPlateZeroKey, "Duration (ms)", 5000};
inline constexpr LongSetting ZeroMaxAge{kPlateZeroKey, "Max Age (s)", 600};
inline constexpr LongSetting ZeroMaxNoise{kPlateZeroKey, "Max Noise (ADCodes)", 4096};
inline constexpr LongSetting ZeroAllowNoisy{kPlateZeroKey, "AllowNoisy", -1};

// ---- TestSettings\PlateStatic ----
inline constexpr LongSetting CoPThresholdF{kPlateStaticKey, "CoP Threshold F (N)", 10};
inline constexpr LongSetting StaticCoPLoSON{kPlateStaticKey, "CoP LoS ON", -1};
inline constexpr LongSetting StaticCoPPathON{kPlateStaticKey, "CoP Path ON", -1};
inline constexpr LongSetting StaticCoPEllipseON{kPlateStaticKey, "CoP Ellipse ON", -1};
inline constexpr LongSetting StaticCoPGridStyle{kPlateStaticKey, "CoP Grid Style", 3};
inline constexpr LongSetting StaticCoPGridSpacing{kPlateStaticKey, "CoP Grid Spacing", 3};
inline constexpr LongSetting StaticCoPTickSize{kPlateStaticKey, "CoP Tick Size", 10};

// ---- TestSettings\VisionStatic ----
inline constexpr LongSetting VisionMinLogMAR{kVisionStaticKey, "Min LogMAR (Hundreds)", -30};
inline constexpr LongSetting VisionNormalMAR{kVisionStaticKey, "normal MAR (deg seconds)", 300};
inline constexpr LongSetting VisionSmallestImgPix{kVisionStaticKey, "Smallest Img Pix", 5};

}  // namespace tarn::settings
