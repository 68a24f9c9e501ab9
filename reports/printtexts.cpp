#include "reports/printtexts.h"

#include "core/settingkeys.h"
#include "data/templates/comments.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr int kBases[kReportFamilies] = {19000, 20000, 21000};

bool adultBmi(qint32 c) { return c >= 6 && c <= 9; }
bool childBmi(qint32 c) { return c >= 1 && c <= 4; }
bool knownClass(qint32 c) { return c >= 1 && c <= 5; }

QString joined(const QString& a, const QString& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  return a + "\r\n" + b;
}

// Title offset of each value name of a ReferralDocs subkey, in the subkey's order.
int titleOffset(int index0) {
  static constexpr int kOffsets[settings::kReferralDocsPerKind] = {160, 165, 170, 171, 175, 176, 180, 181,
                                                                   182, 183, 184, 185, 186, 187, 188, 189,
                                                                   190, 191, 192, 193, 195, 196, 197, 198};
  return kOffsets[index0];
}

}  // namespace

int FamilyBase(int family) { return family >= 0 && family < kReportFamilies ? kBases[family] : kBases[0]; }

QString FamilyText(int family, int offset) { return Str(FamilyBase(family) + offset); }

QString FamilyCode(int family) { return FamilyText(family, 0); }

QString PrintedItem(const QString& item) { return item == QStringLiteral("-") ? QString() : item; }

QString InterpretationText(int family, qint32 bmiClass, qint32 stabilityClass, bool adult) {
  QString bmi;
  if (adultBmi(bmiClass)) bmi = FamilyText(family, 604 + bmiClass);
  if (childBmi(bmiClass)) bmi = FamilyText(family, 614 + bmiClass);
  QString stability;
  if (knownClass(stabilityClass)) stability = FamilyText(family, (adult ? 619 : 624) + stabilityClass);
  return joined(bmi, stability);
}

QString TemplateNotes(const KM_RQTComments& comments, int family, qint32 bmiClass, qint32 stabilityClass,
                      bool adult) {
  const int block = KM_RQTComments::kBlockSize * family;
  QString bmi;
  if (adultBmi(bmiClass)) bmi = PrintedItem(comments.sComment(block + 16 + (bmiClass - 6)));
  if (childBmi(bmiClass)) bmi = PrintedItem(comments.sComment(block + 20 + (bmiClass - 1)));
  QString stability;
  if (knownClass(stabilityClass))
    stability = PrintedItem(comments.sComment(block + (adult ? 5 : 10) + stabilityClass));
  return joined(bmi, stability);
}

QString DescriptionText(int family, bool adultReport) { return FamilyText(family, adultReport ? 210 : 220); }

QString CommentText(const KM_RQTComments& comments, int family, bool adultReport) {
  return PrintedItem(comments.sComment(KM_RQTComments::kBlockSize * family + (adultReport ? 0 : 1)));
}

std::vector<QString> ApplicableDocNames(const DocSelection& s) {
  std::vector<QString> names;
  const QString age = s.adult ? "A" : "C";
  names.push_back("General" + age + "Intro");
  if (s.hasVision && s.worstVisionClass >= 1 && s.worstVisionClass <= 3)
    names.push_back("Vision" + age + (s.worstVisionClass == 1 ? "Normal" : "Abnormal"));
  static const char* kStability[5] = {"Normal", "Mild", "Moderate", "Severe", "Profund"};
  if (knownClass(s.worstStabilityClass))
    names.push_back("Stabil" + age + kStability[s.worstStabilityClass - 1]);
  static const char* kAdultBmi[4] = {"BMIAUnderweight", "BMIANormal", "BMIAOverweight", "BMIAObese"};
  static const char* kChildBmi[4] = {"BMICUnderweight", "BMICNormal", "BMICRiskOverweight", "BMICOverweight"};
  if (s.adult && adultBmi(s.bmiClass)) names.push_back(kAdultBmi[s.bmiClass - 6]);
  if (!s.adult && childBmi(s.bmiClass)) names.push_back(kChildBmi[s.bmiClass - 1]);
  return names;
}

std::vector<AdditionalDoc> AdditionalDocs(int family, const DocSelection& s) {
  std::vector<AdditionalDoc> docs;
  const auto kind = static_cast<settings::ReportKind>(family);
  for (const QString& name : ApplicableDocNames(s)) {
    for (int i = 0; i < settings::kReferralDocsPerKind; ++i) {
      if (name != QLatin1String(settings::kReferralDocNames[i])) continue;
      const QString path = settings::read(settings::referralDoc(kind, i)).trimmed();
      if (!path.isEmpty()) docs.push_back({name, FamilyText(family, titleOffset(i)), path});
    }
  }
  return docs;
}

}  // namespace tarn
