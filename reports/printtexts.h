#pragma once
// The texts of the printed report families and the rules that choose them: the family blocks of
// the string table, the interpretation sentences by stability class, BMI class and age group, the
// comment-template items (an item "-" prints as nothing) and the additional documents configured
// per result category.
#include <QString>
#include <QtGlobal>
#include <vector>

namespace tarn {

class KM_RQTComments;

enum ReportFamily : int { kFamilyInternal = 0, kFamilySubject = 1, kFamilyExternal = 2 };
inline constexpr int kReportFamilies = 3;

// First string id of a family's block: 19000, 20000, 21000.
int FamilyBase(int family);
// The text at base + offset of the family's block.
QString FamilyText(int family, int offset);
// "I", "S" or "E".
QString FamilyCode(int family);

// A template item as printed: "-" (the item left out) is nothing.
QString PrintedItem(const QString& item);

// The paragraph under "Results Interpretation" of one balance page: the BMI sentence (adult
// classes 6-9, child classes 1-4; 0 or any other value gives none) and the stability sentence of
// class 1-5 for an adult or a child, joined by a line break.
QString InterpretationText(int family, qint32 bmiClass, qint32 stabilityClass, bool adult);
// The notes of a balance page of the subject and physician families, from the comment template:
// the BMI item and the stability item of the family's block, in the same order.
QString TemplateNotes(const KM_RQTComments& comments, int family, qint32 bmiClass, qint32 stabilityClass,
                      bool adult);
// Subject page of families 1 and 2: the description (+210 adult, +220 child) and the comment
// paragraph of the template (block offset 0 adult, 1 child).
QString DescriptionText(int family, bool adultReport);
QString CommentText(const KM_RQTComments& comments, int family, bool adultReport);

// One additional document that applies to a report.
struct AdditionalDoc {
  QString valueName;  // "GeneralAIntro", ...
  QString title;      // from the family's block
  QString path;       // as configured, never empty
};
// What selects the documents of a report.
struct DocSelection {
  bool adult = false;
  bool hasVision = false;
  qint32 worstVisionClass = 0;     // 1 normal, 2-3 reduced
  qint32 worstStabilityClass = 0;  // 1-5
  qint32 bmiClass = 0;             // 1-4 child, 6-9 adult
};
// The value names that apply, in the order they print.
std::vector<QString> ApplicableDocNames(const DocSelection& s);
// The applicable documents of a family whose path is set (read from its ReferralDocs subkey).
std::vector<AdditionalDoc> AdditionalDocs(int family, const DocSelection& s);

}  // namespace tarn
