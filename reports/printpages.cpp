#include "reports/printpages.h"

#include <QDir>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "balance/norms/norms.h"
#include "balance/procedures/copdisplaylogic.h"
#include "core/clock.h"
#include "core/settingkeys.h"
#include "data/subjectfile/subjectfile.h"
#include "reports/reportmodel.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

constexpr double kValuePt = 9.75;
constexpr double kTitlePt = 15.75;
constexpr double kSubjectPt = 12.0;
constexpr double kCaptionPt = 6.0;
constexpr int kLine = 225;
constexpr quint32 kBlack = 0;
constexpr quint32 kTitleBlue = 0x00603010;  // dark blue headings

// Class colours of the printed stability level row (0x00BBGGRR).
constexpr quint32 kPrintClassColours[5] = {65280, 53456, 33023, 255, 12583104};

quint32 classColour(qint32 cls) { return cls >= 1 && cls <= 5 ? kPrintClassColours[cls - 1] : kBlack; }

bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d) || d == 0; }

PageItem& label(PageForm& f, const QString& name, QRect r, const QString& text, double pt = kValuePt,
                bool bold = false, PageItem::Align align = PageItem::Left) {
  PageItem it;
  it.kind = PageItem::Label;
  it.name = name;
  it.rect = r;
  it.text = text;
  it.points = pt;
  it.bold = bold;
  it.align = align;
  f.items.push_back(it);
  return f.items.back();
}

void frame(PageForm& f, const QString& name, QRect r) {
  PageItem it;
  it.kind = PageItem::Frame;
  it.name = name;
  it.rect = r;
  f.items.push_back(it);
}

QString indexed(const char* name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// Result lines of the balance and comparison pages, in header order (+511 to +537).
constexpr const char* kResultNames[27] = {"lblTestName",
                                          "lblTestType",
                                          "lblTestDate",
                                          "lblTestParameters",
                                          "lblSamples",
                                          "lblTestStatus",
                                          "lblCoPEllipseCenter",
                                          "lblLOS",
                                          "lblMLSway",
                                          "lblAPSway",
                                          "lblSwayIs",
                                          "lblSwayDistance",
                                          "lblSwayVelocity",
                                          "lblSwayAcceleration",
                                          "lblSwayLength",
                                          "lblSwayArea",
                                          "lblStability",
                                          "lblStabilityClass",
                                          "lblTheta",
                                          "lblDirectionality",
                                          "lblFatigue",
                                          "lblAdaptation",
                                          "lblParameterP",
                                          "lblHeight",
                                          "lblWeight",
                                          "lblBMI",
                                          "lblBMIClass"};
constexpr int kScoreLine = 16;
constexpr int kClassLine = 17;
constexpr int kFullTops[27] = {0,    450,  675,  900,  1125, 1350, 1575, 1800, 2025,
                               2250, 2475, 2700, 2925, 3150, 3375, 3600, 3825, 4050,
                               4275, 4500, 4725, 4950, 5175, 5400, 5625, 5850, 6075};
// The subject's own page leaves out the measures only a clinician reads.
constexpr int kSubjectLines[17] = {0, 1, 2, 5, 7, 10, 11, 16, 17, 18, 19, 20, 21, 23, 24, 25, 26};

QString longDate(double day) { return QLocale().toString(clock::fromDays(day).date(), QLocale::LongFormat); }

}  // namespace

const PageItem* PageForm::item(const QString& name) const {
  for (const PageItem& i : items)
    if (i.name == name && i.visible) return &i;
  return nullptr;
}

QString PageForm::text() const {
  QStringList lines;
  for (const PageItem& i : items)
    if (i.kind == PageItem::Label && i.visible && !i.text.trimmed().isEmpty()) lines << i.text;
  return lines.join('\n');
}

PrintChoice PrintChoice::fromSettings() {
  namespace s = settings;
  PrintChoice c;
  for (int f = 0; f < kReportFamilies; ++f) {
    const auto kind = static_cast<s::ReportKind>(f);
    auto on = [&](s::ReportPage p) { return s::read(s::reportPage(kind, p), s::printDefault(kind, p)) != 0; };
    FamilyChoice& fc = c.families[size_t(f)];
    fc.print = s::readBool(s::ReportMasters[f]);
    fc.cover = on(s::ReportPage::Cover);
    fc.vision = on(s::ReportPage::Vision);
    fc.balance.fill(on(s::ReportPage::Balance));
    fc.comparison = on(s::ReportPage::BComparison);
    fc.referrals = on(s::ReportPage::Referrals);
    fc.reportID = on(s::ReportPage::ID);
    fc.pageNums = on(s::ReportPage::PageNums);
  }
  c.copies = std::max(1, s::read(s::ReportCopies));
  return c;
}

PrintInputs PrintInputs::fromSettings(bool* commentsLoaded, QString* commentsFile) {
  PrintInputs in;
  const QString file =
      QDir(settings::read(settings::CommentsPath)).filePath(settings::read(settings::CommentsFile));
  const bool loaded = in.comments.Load(file);
  if (commentsLoaded) *commentsLoaded = loaded;
  if (commentsFile) *commentsFile = file;
  in.hipaa = settings::readBool(settings::HipaaCompliant);
  in.now = clock::nowDays();
  if (const auto step = GridStepForItem(settings::read(settings::ReportCoPGridStep)))
    in.gridSteps.fill(*step);
  return in;
}

ReportPrintout::ReportPrintout(const ReportModel& model, PrintInputs inputs)
    : model_(model), inputs_(std::move(inputs)) {}

bool ReportPrintout::adultReport() const { return model_.AdultBalance(-1) || model_.AdultVision(-1); }
bool ReportPrintout::hasVision() const { return model_.tabEnabled(kTabVision); }
int ReportPrintout::balanceCount() const { return int(model_.balanceTests().size()); }
bool ReportPrintout::hasComparison() const { return model_.tabEnabled(kTabComparison); }

FamilyChoice ReportPrintout::limited(const FamilyChoice& c) const {
  FamilyChoice l = c;
  l.vision = c.vision && hasVision();
  for (int k = 0; k < 4; ++k) l.balance[size_t(k)] = c.balance[size_t(k)] && k < balanceCount();
  l.comparison = c.comparison && hasComparison();
  return l;
}

int ReportPrintout::pageCount(const FamilyChoice& choice) const {
  const FamilyChoice c = limited(choice);
  return int(c.cover) + int(c.vision) + int(std::count(c.balance.begin(), c.balance.end(), true)) +
         int(c.comparison);
}

std::vector<AdditionalDoc> ReportPrintout::documents(int family) const {
  DocSelection s;
  s.adult = adultReport();
  s.hasVision = hasVision();
  s.worstVisionClass = model_.worstVisionClass();
  s.worstStabilityClass = model_.worstStabilityClass();
  s.bmiClass = model_.bmiClass();
  return AdditionalDocs(family, s);
}

int ReportPrintout::GetItemsCount(const PrintChoice& choice) const {
  int n = 0;
  for (int f = 0; f < kReportFamilies; ++f) {
    const FamilyChoice& c = choice.families[size_t(f)];
    if (!c.print) continue;
    n += pageCount(c);
    if (c.referrals) n += int(documents(f).size());
  }
  return n;
}

QString ReportPrintout::subjectName() const {
  const SubjectFile* file = model_.PatientFile();
  if (!file) return QString();
  const SubjectInfo& s = file->subject;
  const QString given = (s.sNameFirst.trimmed() + ' ' + s.sNameMiddle.trimmed()).trimmed();
  const QString last = s.sNameLast.trimmed();
  if (!last.isEmpty() && !given.isEmpty()) return last + FamilyText(0, 509) + given;
  return (last + given).trimmed();
}

QString ReportPrintout::reportID(int family) const {
  return FamilyCode(family) + QString::number(inputs_.now, 'g', 15);
}

void ReportPrintout::header(PageForm& f, int family, const PageHeader& h) const {
  PageItem logo;
  logo.kind = PageItem::Logo;
  logo.name = "imgKMXLogo";
  logo.rect = QRect(720, 640, 960, 960);
  f.items.push_back(logo);
  PageItem& id =
      label(f, "lblReportNo", QRect(2880, 720, 6480, 285), FamilyText(family, 10) + ' ' + h.reportID);
  id.visible = !h.reportID.isEmpty();
  QString page = FamilyText(family, 20) + QString::number(h.page);
  if (h.count > 0) page += FamilyText(family, 30) + QString::number(h.count);
  PageItem& pc =
      label(f, "lblPageCount", QRect(9360, 720, 2160, 285), page, kValuePt, false, PageItem::Right);
  pc.visible = h.page > 0;
  PageItem& title = label(f, "lblTitle", QRect(9285, 1260, 1905, 555), "TARN RQ", 24, true, PageItem::Right);
  title.colour = kTitleBlue;
  label(f, "lblTrademark", QRect(11220, 1320, 195, 225), QString::fromUtf8("™"), 8.25).colour = kTitleBlue;
  label(f, "lblDateofTest", QRect(1800, 1680, 8640, 285), longDate(inputs_.now), kSubjectPt);
  PageItem rule;
  rule.kind = PageItem::Rule;
  rule.name = "Line1";
  rule.rect = QRect(720, 1975, 10800, 0);
  rule.colour = kTitleBlue;
  f.items.push_back(rule);
}

void ReportPrintout::subjectLines(PageForm& f, int family, int k) const {
  const SubjectFile* file = model_.PatientFile();
  const SubjectInfo s = file ? file->subject : SubjectInfo{};
  QString who;
  if (namesHidden())
    who = FamilyText(family, 503) + s.sSubjectID;
  else
    who = FamilyText(family, 500) + subjectName() + FamilyText(family, 501) + FamilyText(family, 502) +
          s.sSubjectID;
  label(f, "lblSubjectID", QRect(1800, 1140, 8640, 285), who, kSubjectPt);
  QString age;
  // The age at the page's test; pages of several tests take the first one's date.
  const int test = std::clamp(k, 0, std::max(0, balanceCount() - 1));
  const double at = balanceCount() > 0 ? model_.balanceTests()[size_t(test)].test.record.dtDate : inputs_.now;
  if (!missingDate(s.dtDoB) && !missingDate(at))
    age = QString::number(int(std::floor(AgeInYears(s.dtDoB, at) + 1e-9))) + FamilyText(family, 504);
  if (s.lIsMale == kSexMale) age += FamilyText(family, 505);
  if (s.lIsMale == kSexFemale) age += FamilyText(family, 506);
  label(f, "lblAgeandSex", QRect(1800, 1425, 8640, 285), age.trimmed(), kSubjectPt);
}

QString ReportPrintout::ticksText(int k) const {
  // The grid step in the user's unit and in the other measuring system.
  const double step = inputs_.gridSteps[size_t(std::clamp(k, 0, 3))];
  const int unit = model_.options().units.length;
  const bool inches = unit == 1 || unit == 2;
  return FamilyText(0, 550).trimmed() + ' ' + FormatLength(step, inches ? 2 : 5, 4) + FamilyText(0, 551) +
         FormatLength(step, inches ? 5 : 2, 4);
}

std::array<QString, 27> ReportPrintout::resultValues(int k) const {
  const ReportBalanceTest& b = model_.balanceTests()[size_t(k)];
  const ResultRowTexts& r = b.rows;
  const QString amp = FamilyText(0, 556);
  auto pair = [&](int a, int c) { return r[size_t(a)] + amp + r[size_t(c)]; };
  return {b.title,
          r[RowTestType],
          r[RowTestDate] + ' ' + r[RowTestTime],
          r[RowDuration] + FamilyText(0, 555) + r[RowFrequency],
          pair(RowTotalSamples, RowValidSamples),
          r[RowStatus],
          "[" + r[RowXo] + ", " + r[RowYo] + "]",
          pair(RowLoSML, RowLoSAP),
          pair(RowMaxSwayML, Row95SwayML),
          pair(RowMaxSwayAP, Row95SwayAP),
          pair(Row95SwayMax, Row95SwayMin),
          pair(RowMaxSway, RowAveSway),
          pair(RowVMax, RowVAve),
          pair(RowAMax, RowAAve),
          r[RowPathLength],
          r[RowArea],
          r[RowStability],
          r[RowStabilityClass],
          r[RowSwayDirection],
          r[RowDirectionality],
          r[RowFatigue],
          r[RowAdaptation],
          r[RowParP],
          r[RowHeight],
          r[RowWeight],
          r[RowBMI],
          r[RowBMIClass]};
}

PageForm ReportPrintout::Print_PatInfo(int family, const FamilyChoice& choice, const PageHeader& h) const {
  static const char* kNames[3] = {"frmTRPIPatInfo", "frmTRPPPatInfo", "frmTRPEPatInfo"};
  PageForm f;
  f.name = kNames[family];
  header(f, family, h);
  const SubjectFile* file = model_.PatientFile();
  const SubjectInfo s = file ? file->subject : SubjectInfo{};
  const FamilyChoice c = limited(choice);
  const int fx = 720;

  frame(f, "fraPatInfo", QRect(fx, 2400, 10800, 2496));
  label(f, "lblPatInfoTitle", QRect(fx, 2400, 10800, 360), FamilyText(family, 100), kTitlePt, true).colour =
      kTitleBlue;
  label(f, "lbName", QRect(fx, 2760, 5100, 285),
        FamilyText(family, 101) + (namesHidden() ? FamilyText(family, 102) : subjectName()), kSubjectPt);
  label(f, "lblPatientID", QRect(fx, 3060, 5100, 285), FamilyText(family, 103) + s.sSubjectID, kSubjectPt);
  QString sex;
  if (s.lIsMale == kSexMale) sex = FamilyText(family, 105);
  if (s.lIsMale == kSexFemale) sex = FamilyText(family, 106);
  label(f, "lblPatientSex", QRect(fx + 5640, 2760, 5100, 285), FamilyText(family, 104) + sex, kSubjectPt);
  // The date of birth identifies a person as well as the name does.
  const QString dob = namesHidden() ? FamilyText(family, 102) : ShortDateText(s.dtDoB);
  label(f, "lblPatientDoB", QRect(fx + 5640, 3060, 5100, 285), FamilyText(family, 107) + dob, kSubjectPt);
  label(f, "lblNotesTitle", QRect(fx, 3360, 5100, 285), FamilyText(family, 110), kValuePt, true);
  label(f, "lblNotes", QRect(fx, 3645, 10800, 1200), s.sNotes);

  QStringList toc;
  if (c.vision) toc << FamilyText(family, 130);
  for (int k = 0; k < 4; ++k) {
    if (!c.balance[size_t(k)]) continue;
    const ReportBalanceTest& b = model_.balanceTests()[size_t(k)];
    toc << FamilyText(family, 140) + QString::number(k + 1) + " - " + FamilyText(family, 141) +
               b.rows[RowTestType] + FamilyText(family, 142) + b.rows[RowTestDate] + FamilyText(family, 143) +
               b.title;
  }
  if (c.comparison) toc << FamilyText(family, 150);
  if (c.referrals)
    for (const AdditionalDoc& d : documents(family)) toc << d.title;
  frame(f, "fraToC", QRect(fx, 4896, 10800, 2448));
  label(f, "lblTestsToCTitle", QRect(fx, 4896, 10800, 360), FamilyText(family, 120), kTitlePt, true).colour =
      kTitleBlue;
  label(f, "lblTestsToC", QRect(fx, 5256, 10800, 2040), toc.join("\r\n"));

  const bool adult = adultReport();
  const bool internal = family == kFamilyInternal;
  frame(f, internal ? "fraEvaluation" : "fraDescription", QRect(fx, 7344, 10800, 3096));
  frame(f, internal ? "fraIntervention" : "fraComments", QRect(fx, 10440, 10800, 3096));
  const QString first = internal ? model_.evaluation() : DescriptionText(family, adult);
  const QString second = internal ? model_.intervention() : CommentText(inputs_.comments, family, adult);
  label(f, internal ? "lblEvaluationTitle" : "lblDescriptionTitle", QRect(fx, 7344, 10800, 360),
        FamilyText(family, 200), kTitlePt, true)
      .colour = kTitleBlue;
  label(f, internal ? "lblEvaluation" : "lblDescription", QRect(fx, 7704, 10800, 2685), first);
  label(f, internal ? "lblInterventionTitle" : "lblCommentsTitle", QRect(fx, 10440, 10800, 360),
        FamilyText(family, 300), kTitlePt, true)
      .colour = kTitleBlue;
  label(f, internal ? "lblIntervention" : "lblComments", QRect(fx, 10800, 10800, 2685), second);
  return f;
}

PageForm ReportPrintout::Print_Balance(int family, int k, const PageHeader& h) const {
  static const char* kNames[3] = {"frmTRPIBalance", "frmTRPPBalance", "frmTRPEBalance"};
  PageForm f;
  f.name = kNames[family];
  header(f, family, h);
  subjectLines(f, family, k);
  const ReportBalanceTest& b = model_.balanceTests()[size_t(k)];
  label(f, "lblBalanceTitle", QRect(720, 1980 + 60, 10800, 345), FamilyText(family, 510), kTitlePt, true)
      .colour = kTitleBlue;

  const int fx = 720, fy = 2400;
  PageItem plot;
  plot.kind = PageItem::Plot;
  plot.name = "KMXCoPDisplay";
  plot.rect = QRect(fx, fy, 5880, 5880);
  plot.plot = k;
  f.items.push_back(plot);
  label(f, "lblTicks", QRect(fx, fy + 6000, 6000, 195), ticksText(k), kCaptionPt);

  const std::array<QString, 27> values = resultValues(k);
  const bool subject = family == kFamilySubject;
  std::vector<std::pair<int, int>> lines;  // result line, top
  if (subject) {
    for (int i = 0; i < 17; ++i) lines.emplace_back(kSubjectLines[i], i == 0 ? 0 : 570 + (i - 1) * 345);
  } else {
    for (int i = 0; i < 27; ++i) lines.emplace_back(i, kFullTops[i]);
  }
  for (const auto& [line, top] : lines) {
    const int height = line == 0 ? 450 : kLine;
    label(f, QString(kResultNames[line]) + "Header", QRect(fx + 6000, fy + top, 2700, kLine),
          FamilyText(family, 511 + line), kValuePt, true);
    PageItem& v =
        label(f, kResultNames[line], QRect(fx + 8730, fy + top, 2010, height), values[size_t(line)]);
    if (line == kScoreLine || line == kClassLine) {
      v.bold = true;
      v.colour = classColour(b.stabilityClass);
    }
  }

  // The stability level row: the test's own class bold, its limits underlined.
  label(f, indexed("lblBalanceNormRowTitle", 0), QRect(fx, fy + 6300, 1800, kLine), FamilyText(family, 588),
        kValuePt, true);
  label(f, indexed("lblBalanceNormRowTitle", 1), QRect(fx, fy + 6525, 1800, kLine), FamilyText(family, 589),
        kValuePt, true);
  for (int c = 0; c < 5; ++c) {
    const bool own = c + 1 == b.stabilityClass;
    PageItem& t =
        label(f, indexed("lblBalanceNormTitle", c), QRect(fx + 1800 * (c + 1), fy + 6300, 1800, kLine),
              FamilyText(family, 590 + c), kValuePt, own, PageItem::Centre);
    t.colour = classColour(c + 1);
    PageItem& l = label(f, indexed("lblBalanceNorm", c), QRect(fx + 1800 * (c + 1), fy + 6525, 1800, kLine),
                        b.levelLabels[size_t(c)], kValuePt, own, PageItem::Centre);
    l.colour = classColour(c + 1);
    l.underline = own;
  }

  const bool adult = model_.testList()[size_t(b.entry)].bAdult;  // the test's own age group
  const bool weightShown = model_.options().weightEnabled || model_.options().reprint;
  const qint32 bmi = weightShown ? b.test.record.lBMIClass : 0;
  const QRect interp = subject ? QRect(fx, 9288, 10800, 1320) : QRect(fx, 9288, 10800, 2220);
  const QRect notes = subject ? QRect(fx, 10656, 10800, 2892) : QRect(fx, 11535, 10800, 2014);
  frame(f, "fraResultsInterpretation", interp);
  label(f, "lblResultsInterpratationTitle", QRect(interp.x() + 60, interp.y(), 10680, 345),
        FamilyText(family, 600), kTitlePt, true)
      .colour = kTitleBlue;
  label(f, "lblResultsInterpretation", QRect(interp.x() + 60, interp.y() + 360, 10680, interp.height() - 420),
        InterpretationText(family, bmi, b.stabilityClass, adult));
  frame(f, "fraNotes", notes);
  label(f, "lblNotesTitle", QRect(notes.x() + 60, notes.y(), 10680, 345), FamilyText(family, 700), kTitlePt,
        true)
      .colour = kTitleBlue;
  const QString text = family == kFamilyInternal
                           ? b.notes
                           : TemplateNotes(inputs_.comments, family, bmi, b.stabilityClass, adult);
  label(f, "lblNotes", QRect(notes.x() + 60, notes.y() + 360, 10680, notes.height() - 420), text);
  return f;
}

PageForm ReportPrintout::Print_BalanceComparison(int family, const PageHeader& h) const {
  static const char* kNames[3] = {"frmTRPIBalanceComparison", "frmTRPPBalanceComparison",
                                  "frmTRPEBalanceComparison"};
  PageForm f;
  f.name = kNames[family];
  header(f, family, h);
  subjectLines(f, family, -1);
  label(f, "lblBalanceTitle", QRect(720, 2040, 10800, 345), FamilyText(family, 810), kTitlePt, true).colour =
      kTitleBlue;
  const int fx = 720, fy = 2520;
  static constexpr int kColumns[4] = {2730, 4740, 6750, 8760};
  const int n = std::min(4, balanceCount());
  for (int c = 0; c < n; ++c)
    label(f, indexed("lblColumnTitle", c), QRect(fx + kColumns[c], fy, 2010, kLine),
          FamilyText(family, 840 + c), kValuePt, true);
  for (int line = 0; line < 27; ++line) {
    const int top = line == 0 ? 225 : 675 + (line - 1) * kLine;
    label(f, QString(kResultNames[line]) + "Header", QRect(fx, fy + top, 2700, kLine),
          FamilyText(family, 811 + line), kValuePt, true);
  }
  static constexpr int kPlots[4] = {60, 2745, 5430, 8115};
  for (int c = 0; c < n; ++c) {
    const std::array<QString, 27> values = resultValues(c);
    const qint32 cls = model_.balanceTests()[size_t(c)].stabilityClass;
    for (int line = 0; line < 27; ++line) {
      const int top = line == 0 ? 225 : 675 + (line - 1) * kLine;
      PageItem& v = label(f, indexed(kResultNames[line], c),
                          QRect(fx + kColumns[c], fy + top, 2010, line ? kLine : 450), values[size_t(line)]);
      if (line == kScoreLine || line == kClassLine) {
        v.bold = true;
        v.colour = classColour(cls);
      }
    }
    label(f, indexed("lblGraphTitle", c), QRect(fx + kPlots[c], fy + 6900, 2625, kLine),
          FamilyText(family, 840 + c) + ": " + model_.balanceTests()[size_t(c)].title, kValuePt, true,
          PageItem::Centre);
    PageItem plot;
    plot.kind = PageItem::Plot;
    plot.name = indexed("KMXCoPDisplay", c);
    plot.rect = QRect(fx + kPlots[c], fy + 7140, 2625, 2625);
    plot.plot = c;
    f.items.push_back(plot);
    label(f, indexed("lblTicks", c), QRect(fx + kPlots[c], fy + 9825, 2625, 195), ticksText(c), kCaptionPt,
          false, PageItem::Centre);
  }
  const ReportComparisons& cmp = model_.comparisons();
  auto ratio = [&](int offset, const std::optional<double>& v) {
    return FamilyText(family, offset) + ' ' + (v ? FormatNumber(*v, 3) : NotAvailableText());
  };
  label(f, "lblVisualDependencyHeader", QRect(fx, fy + 10260, 5400, kLine), FamilyText(family, 860), kValuePt,
        true);
  label(f, "lblTBCompVisualRomberg", QRect(fx + 5520, fy + 10260, 2700, kLine),
        ratio(870, cmp.visual.romberg));
  label(f, "lblTBCompVisualSR", QRect(fx + 8100, fy + 10260, 2700, kLine), ratio(871, cmp.visual.stability));
  label(f, "lblMuscularWeaknessHeader", QRect(fx, fy + 10560, 5400, kLine), FamilyText(family, 861), kValuePt,
        true);
  label(f, "lblTBCompFoamRomberg", QRect(fx + 5520, fy + 10560, 2700, kLine),
        ratio(870, cmp.perturbation.romberg));
  label(f, "lblTBCompFoamSR", QRect(fx + 8100, fy + 10560, 2700, kLine),
        ratio(871, cmp.perturbation.stability));
  return f;
}

PageForm ReportPrintout::Print_Vision(int family, const PageHeader& h) const {
  PageForm f;
  f.name = "frmTRPVision";
  header(f, family, h);
  subjectLines(f, family, -1);
  label(f, "lblVisionTitle", QRect(720, 2040, 10800, 345), FamilyText(family, 130), kTitlePt, true).colour =
      kTitleBlue;
  QStringList lines;
  const QString na = NotAvailableText();
  for (const ReportVisionTest& t : model_.visionTests()) {
    QStringList parts{t.sName, ShortDateText(t.dtDate)};
    if (t.lEye >= 1 && t.lEye <= 3) parts << Str(17609 + t.lEye);
    parts << (t.done ? FormatNumber(t.dAcuity, 2) : na);
    if (t.done && t.lAcuityClass >= 1 && t.lAcuityClass <= 3) parts << Str(17614 + t.lAcuityClass);
    lines << parts.join(", ");
  }
  label(f, "lblVisionTests", QRect(720, 2520, 10800, 10800), lines.join("\r\n"));
  return f;
}

FamilyPrintout ReportPrintout::PrintFamily(int family, const FamilyChoice& choice) const {
  FamilyPrintout out;
  out.family = family;
  const FamilyChoice c = limited(choice);
  const int count = pageCount(c);
  out.reportID = c.reportID ? reportID(family) : QString();
  int page = 1;
  auto head = [&] { return PageHeader{out.reportID, c.pageNums ? page : 0, c.pageNums ? count : 0}; };
  if (c.cover) {
    out.pages.push_back(Print_PatInfo(family, c, head()));
    ++page;
  }
  if (c.vision) {
    out.pages.push_back(Print_Vision(family, head()));
    ++page;
  }
  for (int k = 0; k < 4; ++k) {
    if (!c.balance[size_t(k)]) continue;
    out.pages.push_back(Print_Balance(family, k, head()));
    ++page;
  }
  if (c.comparison) out.pages.push_back(Print_BalanceComparison(family, head()));
  if (c.referrals) out.documents = documents(family);
  return out;
}

std::vector<FamilyPrintout> ReportPrintout::PrintRun(const PrintChoice& choice) const {
  std::vector<FamilyPrintout> run;
  for (int copy = 0; copy < std::max(1, choice.copies); ++copy)
    for (int f = 0; f < kReportFamilies; ++f)
      if (choice.families[size_t(f)].print) run.push_back(PrintFamily(f, choice.families[size_t(f)]));
  return run;
}

QStringList PrinterChoices(const QStringList& installed) {
  QStringList out;
  for (const QString& p : installed)
    if (p.trimmed().toUpper() != QLatin1String("PRINT TO FILE")) out << p;
  return out;
}

int PrintQualityCode(int choice) { return choice >= 1 && choice <= 4 ? -choice : -4; }

int CopiesFromText(const QString& text) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  return ok && n > 0 ? n : 1;
}

}  // namespace tarn
