// Which texts the printed families choose: interpretation sentences by stability class, BMI class
// and age group, the comment-template items, and the additional documents of a report.
#include <gtest/gtest.h>

#include "core/settingkeys.h"
#include "data/templates/comments.h"
#include "reports/printtexts.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

// A template whose item i reads "item i".
KM_RQTComments numberedTemplate() {
  KM_RQTComments c;
  for (int i = 0; i <= c.lTestCount(); ++i) c.setComment(i, QStringLiteral("item %1").arg(i));
  return c;
}

TEST(PrintTexts, EveryFamilyBlockHoldsTheTextsThePagesAskFor) {
  std::vector<int> offsets{0,   10,  20,  30,  100, 101, 102, 103, 104, 105, 106, 107, 110,
                           120, 130, 140, 141, 142, 143, 150, 160, 165, 170, 171, 175, 176,
                           200, 210, 220, 300, 500, 501, 502, 503, 504, 505, 506, 509, 510,
                           550, 551, 555, 556, 600, 700, 810, 860, 861, 870, 871};
  for (int o = 180; o <= 198; ++o)
    if (o != 194) offsets.push_back(o);
  for (int o = 511; o <= 537; ++o) offsets.push_back(o);
  for (int o = 588; o <= 594; ++o) offsets.push_back(o);
  for (int o = 610; o <= 629; ++o)
    if (o != 614 && o != 619) offsets.push_back(o);
  for (int o = 811; o <= 843; ++o)
    if (o < 838 || o >= 840) offsets.push_back(o);
  for (int f = 0; f < kReportFamilies; ++f)
    for (int o : offsets) EXPECT_TRUE(StrExists(FamilyBase(f) + o)) << "family " << f << " offset " << o;
  EXPECT_EQ(FamilyCode(0), "I");
  EXPECT_EQ(FamilyCode(1), "S");
  EXPECT_EQ(FamilyCode(2), "E");
  EXPECT_EQ(FamilyText(1, 103), "Internal ID: ");
  EXPECT_EQ(FamilyText(0, 103), "ID: ");
}

TEST(PrintTexts, DefaultCommentTemplatesFindEveryText) {
  // The prepared templates take their family 1 and 2 items from the table; none may be missing.
  for (int set = 1; set < kDefaultCommentSets; ++set) {
    const KM_RQTComments c =
        MakeDefaultComments(set, [](int id) { return StrExists(id) ? Str(id) : QString(); });
    for (int i = KM_RQTComments::kBlockSize; i <= c.lTestCount(); ++i)
      EXPECT_NE(c.sComment(i), "-") << "set " << set << " item " << i;
  }
}

TEST(PrintTexts, InterpretationFollowsBmiClassStabilityClassAndAgeGroup) {
  const struct {
    int family;
    qint32 bmi, cls;
    bool adult;
    std::vector<int> ids;  // joined with a line break
  } cases[] = {
      {0, 6, 1, true, {19610, 19620}},   // adult underweight, healthy
      {1, 9, 5, true, {20613, 20624}},   // adult obese, profoundly reduced
      {2, 1, 3, false, {21615, 21627}},  // child underweight, moderately reduced
      {1, 4, 2, false, {20618, 20626}},  // child overweight, mildly reduced
      {0, 0, 4, true, {19623}},          // no BMI class: the stability sentence alone
      {2, 7, 0, true, {21611}},          // no stability class: the BMI sentence alone
      {1, 5, 1, true, {20620}},          // 5 is no BMI class
      {0, 0, 0, false, {}},
  };
  for (const auto& c : cases) {
    QStringList expected;
    for (int id : c.ids) expected << Str(id);
    EXPECT_EQ(InterpretationText(c.family, c.bmi, c.cls, c.adult), expected.join("\r\n"))
        << c.family << " bmi " << c.bmi << " class " << c.cls << " adult " << c.adult;
  }
  EXPECT_TRUE(Str(20622).startsWith("Your test results indicate that you have moderately impaired"));
}

TEST(PrintTexts, NotesTakeTheFamilysTemplateItemsAndSkipDashes) {
  KM_RQTComments t = numberedTemplate();
  const struct {
    int family;
    qint32 bmi, cls;
    bool adult;
    QString expected;
  } cases[] = {
      {1, 6, 0, true, "item 40"},              // adult underweight, subject block offset 16
      {2, 6, 0, true, "item 64"},              // the physician block
      {1, 9, 2, true, "item 43\r\nitem 31"},   // adult obese, then adult class 2 (offset 7)
      {2, 2, 5, false, "item 69\r\nitem 63"},  // child healthy weight, child class 5 (offset 15)
      {1, 0, 1, false, "item 35"},             // no BMI class: the stability item alone
  };
  for (const auto& c : cases)
    EXPECT_EQ(TemplateNotes(t, c.family, c.bmi, c.cls, c.adult), c.expected) << c.family << ":" << c.bmi;
  t.setComment(40, "-");
  EXPECT_EQ(TemplateNotes(t, 1, 6, 3, true), "item 32");
  t.setComment(32, "-");
  EXPECT_EQ(TemplateNotes(t, 1, 6, 3, true), "");
}

TEST(PrintTexts, SubjectPageTextsFollowTheReportsAgeGroup) {
  KM_RQTComments t = numberedTemplate();
  EXPECT_EQ(CommentText(t, 1, true), "item 24");
  EXPECT_EQ(CommentText(t, 2, false), "item 49");
  t.setComment(48, "-");
  EXPECT_EQ(CommentText(t, 2, true), "");
  EXPECT_EQ(DescriptionText(1, true), Str(20210));
  EXPECT_EQ(DescriptionText(2, false), Str(21220));
  KM_RQTComments missing;
  EXPECT_FALSE(missing.Load("/nonexistent/none.cof"));
  EXPECT_EQ(CommentText(missing, 1, true), "");
}

TEST(PrintTexts, AdditionalDocumentsApplyByCategoryInTableOrder) {
  const struct {
    DocSelection s;
    QStringList names;
  } cases[] = {
      {{true, false, 0, 3, 8}, {"GeneralAIntro", "StabilAModerate", "BMIAOverweight"}},
      {{false, true, 2, 1, 3}, {"GeneralCIntro", "VisionCAbnormal", "StabilCNormal", "BMICRiskOverweight"}},
      {{true, true, 1, 5, 0}, {"GeneralAIntro", "VisionANormal", "StabilAProfund"}},
      {{true, false, 0, 0, 2}, {"GeneralAIntro"}},  // a child BMI class on an adult report selects nothing
  };
  for (const auto& c : cases) {
    QStringList got;
    for (const QString& n : ApplicableDocNames(c.s)) got << n;
    EXPECT_EQ(got, c.names);
  }

  using settings::ReportKind;
  settings::write(settings::referralDoc(ReportKind::External, 0), "/docs/intro.pdf");   // GeneralAIntro
  settings::write(settings::referralDoc(ReportKind::External, 8), " ");                 // StabilAModerate
  settings::write(settings::referralDoc(ReportKind::External, 18), "/docs/over.png");   // BMIAOverweight
  settings::write(settings::referralDoc(ReportKind::Subject, 0), "/docs/subject.pdf");  // other family
  const auto docs = AdditionalDocs(2, {true, false, 0, 3, 8});
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0].path, "/docs/intro.pdf");
  EXPECT_EQ(docs[0].title, "Adult General Introduction Additional Document");
  EXPECT_EQ(docs[1].valueName, "BMIAOverweight");
  EXPECT_EQ(docs[1].title, Str(21192));
  EXPECT_TRUE(AdditionalDocs(2, {false, false, 0, 3, 8}).empty());
}

}  // namespace
}  // namespace tarn
