#pragma once
// Test templates: a named, ordered list of the tests a session runs, kept in a small file of
// tagged values (".tef").
#include <QString>
#include <memory>
#include <vector>

namespace tarn {

namespace tagged {
class Reader;
class Writer;
}  // namespace tagged

// One test of a template. The file holds sName and fifteen numbers: five Longs, five Doubles,
// five Longs. Their meaning depends on the kind (first Long):
//
//   slot      balance item                  vision item
//   lLong[0]  kind 2                        kind 1
//   lLong[1]  surface (1 plate, 2 foam)     eye (1 right, 2 left, 3 both)
//   lLong[2]  eyes (1 open, 2 closed)       tests at each size
//   lLong[3]  beep at beginning (0/1)       correct answers to pass
//   lLong[4]  beep at end (0/1)             full-screen background (0/1)
//   dDouble[0] frequency (Hz)               interval between images (s)
//   dDouble[1] pre-test (s)                 test distance (m)
//   dDouble[2] test duration (s)            -
//   lLong[5]  -                             high contrast (0/1)
//
// The frequency and times are kept in the units the operator edits; the "\Test" defaults are
// stored in mHz and ms and are converted when an item is made from them. Unused slots are 0.
class KM_RQTemplateItem {
 public:
  enum Kind : qint32 { kVision = 1, kBalance = 2 };

  QString sName;
  qint32 lLong[10] = {};  // the five Longs before the Doubles, then the five after them
  double dDouble[5] = {};

  bool Load(tagged::Reader& in);
  bool Save(tagged::Writer& out) const;
  void MakeCopy(const KM_RQTemplateItem& source) { *this = source; }

  qint32 lKind() const { return lLong[0]; }
  bool isBalance() const { return lLong[0] == kBalance; }
  bool isVision() const { return lLong[0] == kVision; }

  // Balance options.
  qint32 surface() const { return lLong[1]; }
  void setSurface(qint32 v) { lLong[1] = v; }
  qint32 eyes() const { return lLong[2]; }
  void setEyes(qint32 v) { lLong[2] = v; }
  bool beepBegin() const { return lLong[3] != 0; }
  void setBeepBegin(bool v) { lLong[3] = v ? 1 : 0; }
  bool beepEnd() const { return lLong[4] != 0; }
  void setBeepEnd(bool v) { lLong[4] = v ? 1 : 0; }
  double frequencyHz() const { return dDouble[0]; }
  void setFrequencyHz(double v) { dDouble[0] = v; }
  double preTestSeconds() const { return dDouble[1]; }
  void setPreTestSeconds(double v) { dDouble[1] = v; }
  double durationSeconds() const { return dDouble[2]; }
  void setDurationSeconds(double v) { dDouble[2] = v; }

  // Vision options.
  qint32 eye() const { return lLong[1]; }
  void setEye(qint32 v) { lLong[1] = v; }
  qint32 testsPerSize() const { return lLong[2]; }
  void setTestsPerSize(qint32 v) { lLong[2] = v; }
  qint32 correctAnswers() const { return lLong[3]; }
  void setCorrectAnswers(qint32 v) { lLong[3] = v; }
  bool fullScreenBackground() const { return lLong[4] != 0; }
  void setFullScreenBackground(bool v) { lLong[4] = v ? 1 : 0; }
  double intervalSeconds() const { return dDouble[0]; }
  void setIntervalSeconds(double v) { dDouble[0] = v; }
  double distance() const { return dDouble[1]; }
  void setDistance(double v) { dDouble[1] = v; }
  bool highContrast() const { return lLong[5] != 0; }
  void setHighContrast(bool v) { lLong[5] = v ? 1 : 0; }

  // A balance item with the "\Test" defaults of the settings store (beeps, frequency, times).
  static KM_RQTemplateItem balanceFromDefaults(const QString& name, qint32 surface, qint32 eyes);

  friend bool operator==(const KM_RQTemplateItem&, const KM_RQTemplateItem&) = default;
};

// Surface and eye codes of balance items.
inline constexpr qint32 kSurfacePlate = 1;
inline constexpr qint32 kSurfaceFoam = 2;
inline constexpr qint32 kEyesOpen = 1;
inline constexpr qint32 kEyesClosed = 2;

class KM_RQTemplate {
 public:
  KM_RQTemplate();

  QString sName;
  bool bEditable = true;

  const QString& sFileName() const { return fileName_; }
  qint32 lTestCount() const { return static_cast<qint32>(items_.size()); }
  qint32 lTestCountBalance() const;
  qint32 lTestCountVision() const;

  // 1..lTestCount; 0 gives the empty item, anything else nullptr.
  KM_RQTemplateItem* tiTestItem(qint32 index);
  const KM_RQTemplateItem* tiTestItem(qint32 index) const;
  bool setTestItem(qint32 index, const KM_RQTemplateItem& item);  // copies into 1..lTestCount

  // A missing file gives an empty template and False; a damaged one the same, logged.
  bool Load(const QString& fileName);
  // The same from the bytes of a file; on failure the template is left as it was.
  bool LoadBytes(const QByteArray& bytes);
  // A non-blank argument replaces the remembered file name. The file is replaced whole or not
  // at all.
  bool Save(const QString& fileName = QString());

  // Inserts at position 1..lTestCount, else appends; nullptr for an unknown kind.
  KM_RQTemplateItem* AddTest(qint32 kind, qint32 position = -1);
  void DelTest(qint32 index);
  void MoveTestUp(qint32 index);
  void MoveTestDown(qint32 index);

  void reset();

 private:
  QString fileName_;
  KM_RQTemplateItem empty_;
  std::vector<std::unique_ptr<KM_RQTemplateItem>> items_;
};

// The template the station ships with: the four standard balance tests (firm and foam surface,
// eyes open and closed) with the "\Test" defaults, named "KMTARNRQ".
KM_RQTemplate MakeDefaultTestTemplate();
bool CreateDefaultTestTemplate(const QString& path);

// True when the template file loads and holds at least one test of an enabled kind.
bool TemplateHasEnabledTests(const QString& path, bool balanceEnabled, bool visionEnabled);

}  // namespace tarn
