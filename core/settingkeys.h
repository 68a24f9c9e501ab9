#pragma once
// Every key, value name and default of the settings store, spelled as stored. Callers read and
// write through these descriptors so that no value name is typed twice.
#include <QString>
#include <QtGlobal>

namespace tarn::settings {

struct LongSetting {
  const char* key;   // key path below the hive
  const char* name;  // value name
  qint32 def;
};

// Texts whose default depends on the machine (folders) carry a function for it.
struct TextSetting {
  const char* key;
  const char* name;
  const char* def;                 // used when defFn is null
  QString (*defFn)() = nullptr;    // e.g. documents folder
};

qint32 read(const LongSetting& s);
qint32 read(const LongSetting& s, qint32 overrideDefault);
void write(const LongSetting& s, qint32 value);
QString read(const TextSetting& s);
void write(const TextSetting& s, const QString& value);
bool readBool(const LongSetting& s);  // non-zero is true

inline constexpr char kCompanyKey[] = "Software\\Kamrith Labs, LLC.";
inline constexpr char kRootKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ";
inline constexpr char kFilesKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\Files";
inline constexpr char kMonitorKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\Monitor";
inline constexpr char kReportsKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\Reports";
inline constexpr char kReferralDocsKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\ReferralDocs";
inline constexpr char kPlateZeroKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings\\PlateZero";
inline constexpr char kPlateStaticKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings\\PlateStatic";
inline constexpr char kVisionStaticKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings\\VisionStatic";
inline constexpr char kTestDefaultsKey[] = "\\Test";
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Root values used by the analysis (limits-of-stability sizes).
inline constexpr LongSetting LoSXOneFoot{kRootKey, "LoS X One Foot", 280};
inline constexpr LongSetting LoSYTwoFeet{kRootKey, "LoS Y Two Feet", 2000};
inline constexpr LongSetting CoPThresholdF{kPlateStaticKey, "CoP Threshold F (N)", 10};
inline constexpr LongSetting UnitsForce{kRootKey, "Units Force", 3};
inline constexpr LongSetting UnitsLength{kRootKey, "Units Lenght", 3};
inline constexpr LongSetting UnitsMass{kRootKey, "Units Mass", 3};
inline constexpr LongSetting StartDelay{kRootKey, "StartDelay", 5000};

}  // namespace tarn::settings
