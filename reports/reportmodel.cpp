#include "reports/reportmodel.h"

#include <algorithm>
#include <cmath>

#include "balance/balancesettings.h"
#include "balance/norms/norms.h"
#include "balance/plate/plate.h"
#include "balance/procedures/copdisplaylogic.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "data/subjectfile/subjectfile.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmTReport";
constexpr double kAdultMonths = 240.0;
constexpr double kMinScoreMean = 0.001;
constexpr double kMinSwayMean = 0.0001;

bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d); }

int typeIndex(qint32 type) { return type >= 1 && type <= 4 ? type - 1 : -1; }

// Mean of the quotients a / b over the pairs that exist.
std::optional<double> meanQuotient(const std::array<TypeMeans, 4>& t, int measure,
                                   std::initializer_list<std::pair<int, int>> pairs) {
  double sum = 0;
  int n = 0;
  for (const auto& [num, den] : pairs) {
    if (t[size_t(num)].count == 0 || t[size_t(den)].count == 0) continue;
    sum += t[size_t(num)].means[size_t(measure)] / t[size_t(den)].means[size_t(measure)];
    ++n;
  }
  if (n == 0) return std::nullopt;
  return sum / n;
}

DependencyRatios ratios(const std::array<TypeMeans, 4>& t, std::initializer_list<std::pair<int, int>> pairs) {
  DependencyRatios r;
  r.stability = meanQuotient(t, 0, pairs);
  r.romberg = meanQuotient(t, 1, pairs);
  r.area = meanQuotient(t, 2, pairs);
  return r;
}

QString ratioText(int label, const std::optional<double>& ratio) {
  return Str(label) + " " + (ratio ? FormatNumber(*ratio, 3) : Str(17420));
}

}  // namespace

ReportOptions ReportOptions::fromSettings(bool reprint) {
  ReportOptions o;
  o.units = ReportUnits::fromSettings();
  o.reprint = reprint;
  o.weightEnabled = settings::readBool(settings::EnableWeight);
  o.normsVersion = NormsVersion();
  o.thresholdN = static_cast<float>(settings::read(settings::CoPThresholdF));
  o.stance = ReadStanceFactors();
  return o;
}

ReportComparisons CompareTestTypes(const std::vector<const KM_RQListTestBalanceData*>& tests) {
  ReportComparisons c;
  for (const KM_RQListTestBalanceData* r : tests) {
    const int t = typeIndex(r->lTestType);
    if (t < 0) continue;
    TypeMeans& m = c.types[size_t(t)];
    ++m.count;
    m.sums[0] += r->fStability;
    m.sums[1] += r->fPlen;
    m.sums[2] += r->f95Area;
  }
  for (TypeMeans& m : c.types) {
    for (size_t i = 0; i < 3; ++i) {
      m.means[i] = m.count > 0 ? m.sums[i] / m.count : 0.0;
      if (!(m.means[i] > 0)) m.means[i] = i == 0 ? kMinScoreMean : kMinSwayMean;
    }
  }
  // Types: 0 NSEO, 1 NSEC, 2 PSEO, 3 PSEC.
  c.visual = ratios(c.types, {{1, 0}, {3, 2}});
  c.perturbation = ratios(c.types, {{2, 0}, {3, 1}});
  return c;
}

QString RombergRatioText(const std::optional<double>& ratio) { return ratioText(17410, ratio); }
QString StabilityRatioText(const std::optional<double>& ratio) { return ratioText(17411, ratio); }

std::vector<QPointF> CoPPoints(const KMX_PlateTestData& data, float thresholdN) {
  const CoPTransform tf = CoPTransform::make(-thresholdN, 0.0f);
  std::vector<QPointF> pts;
  const qint32 n = data.Count();
  pts.reserve(size_t(std::max(0, n)));
  const auto* buffer = dynamic_cast<const PlateTestDataBuffer*>(&data);
  const float* fz = buffer ? buffer->channel(0) : nullptr;
  const float* m1 = buffer ? buffer->channel(1) : nullptr;
  const float* m2 = buffer ? buffer->channel(2) : nullptr;
  for (qint32 i = 0; i < n; ++i) {
    double x = 0, y = 0;
    const bool valid = fz ? tf.apply(fz[i], m1[i], m2[i], x, y)
                          : tf.apply(data.Sample(0, i), data.Sample(1, i), data.Sample(2, i), x, y);
    // A damaged sample gives no point rather than a trace that cannot be drawn.
    if (valid && std::isfinite(x) && std::isfinite(y)) pts.emplace_back(x, y);
  }
  return pts;
}

std::optional<SwayView> ScaleToSway(const std::vector<QPointF>& points) {
  if (points.empty()) return std::nullopt;
  double x0 = points[0].x(), x1 = x0, y0 = points[0].y(), y1 = y0;
  for (const QPointF& p : points) {
    x0 = std::min(x0, p.x()), x1 = std::max(x1, p.x());
    y0 = std::min(y0, p.y()), y1 = std::max(y1, p.y());
  }
  constexpr double kMargin = 1.25;    // room around the trace for the ellipse and the axes
  constexpr double kSmallest = 0.01;  // 10 mm: a quiet trace still shows as sway, not noise
  SwayView v;
  v.xo = (x0 + x1) / 2;
  v.yo = (y0 + y1) / 2;
  v.width = std::max(kSmallest, std::max(x1 - x0, y1 - y0) * kMargin);
  return v;
}

ReportModel::ReportModel() = default;

ReportModel::ReportModel(SubjectFile* file, const ReportOptions& options) : file_(file), options_(options) {}

bool ReportModel::add(qint32 kind, const QString& visitID, const QString& sessionID, const QString& testID) {
  if (!file_ || completed_) return false;
  const Visit* v = file_->VisitByID(visitID);
  const Session* s = v ? v->SessionByID(sessionID) : nullptr;
  if (!s) return false;
  double date = 0;
  if (kind == kReportBalance) {
    const BalanceTest* t = s->BalanceTestByID(testID);
    if (!t) return false;
    date = t->dtDate;
  } else {
    const VisionTest* t = s->VisionTestByID(testID);
    if (!t) return false;
    date = t->dtDate;
  }
  ReportTestEntry e;
  e.lKind = kind;
  e.sVisitID = visitID;
  e.sSessionID = sessionID;
  e.sTestID = testID;
  const double birth = file_->subject.dtDoB;
  e.bAdult = !missingDate(birth) && !missingDate(date) && AgeInMonths(birth, date) >= kAdultMonths;
  list_.push_back(e);
  return true;
}

bool ReportModel::AddTestBalance(const QString& visitID, const QString& sessionID, const QString& testID) {
  return add(kReportBalance, visitID, sessionID, testID);
}

bool ReportModel::AddTestVision(const QString& visitID, const QString& sessionID, const QString& testID) {
  return add(kReportVision, visitID, sessionID, testID);
}

bool ReportModel::adult(qint32 kind, int index) const {
  int k = 0;
  bool any = false;
  for (const ReportTestEntry& e : list_) {
    if (e.lKind != kind) continue;
    if (++k == index) return e.bAdult;
    any = any || e.bAdult;
  }
  return any;
}

BalanceTest* ReportModel::balanceTestOf(const ReportTestEntry& e) const {
  if (!file_) return nullptr;
  const Visit* v = file_->VisitByID(e.sVisitID);
  const Session* s = v ? v->SessionByID(e.sSessionID) : nullptr;
  return s ? s->BalanceTestByID(e.sTestID) : nullptr;
}

Session* ReportModel::reportSessionObject() const {
  if (!file_ || reportVisit_.isEmpty()) return nullptr;
  const Visit* v = file_->VisitByID(reportVisit_);
  return v ? v->SessionByID(reportSession_) : nullptr;
}

void ReportModel::buildBalance(const ReportTestEntry& e, int entry) {
  const Visit* v = file_->VisitByID(e.sVisitID);
  const Session* s = v ? v->SessionByID(e.sSessionID) : nullptr;
  const BalanceTest* t = s ? s->BalanceTestByID(e.sTestID) : nullptr;
  if (!t) return;
  ReportBalanceTest b;
  b.entry = entry;
  b.test = ReanalyseBalanceTest(*v, *s, *t, file_->subject.dtDoB, file_->subject.lIsMale, options_.thresholdN,
                                options_.normsVersion);
  KM_RQListTestBalance& r = b.test.record;
  b.hasResults = b.test.analysed && !r.bIsFallen;
  StanceLimits(t->lStance, r.fLoSX, r.fLoSY, options_.stance, b.losML, b.losAP);
  b.limits = LimitsForTest(file_->subject.dtDoB, r.dtDate, r.lTestType, options_.normsVersion);
  if (b.limits) {
    b.levelLabels = b.limits->labels();
  } else {
    b.levelLabels.fill(NotAvailableText());
  }
  b.stabilityClass = b.hasResults && b.limits ? b.limits->classOf(r.fStability) : 0;
  r.lStabilityClass = b.stabilityClass;

  BalanceRowsInput in;
  in.record = r;
  in.hasResults = b.hasResults;
  in.losML = b.losML;
  in.losAP = b.losAP;
  in.weightDisabled = !options_.weightEnabled && !options_.reprint;
  b.rows = BalanceResultRows(in, options_.units);
  b.title = r.sName;
  b.notes = r.sNotes;
  b.typeLine = Str(17287) + ": " + b.rows[RowStability];
  if (b.stabilityClass > 0) b.typeLine += " - " + Str(17324 + b.stabilityClass);
  balance_.push_back(std::move(b));
}

void ReportModel::AddTestCompleted() {
  ProcLog log(kModule, "AddTestCompleted");
  completed_ = true;
  balance_.clear();
  vision_.clear();
  notShown_ = 0;
  worstClass_ = worstVisionClass_ = bmiClass_ = 0;
  reportVisit_.clear();
  reportSession_.clear();
  sameVisitSession_ = true;
  if (!file_) {
    log.step("No object");
    log.completed();
    return;
  }
  // Whether every test shares the first test's visit and session.
  if (!list_.empty()) {
    const ReportTestEntry& first = list_.front();
    for (const ReportTestEntry& e : list_) {
      const bool blank = e.sVisitID.isEmpty() && e.sSessionID.isEmpty();
      if (!blank && (e.sVisitID != first.sVisitID || e.sSessionID != first.sSessionID))
        sameVisitSession_ = false;
    }
  }

  // The balance tests are analysed first: the worst one names the report's visit and session.
  for (int i = 0; i < testCount(); ++i) {
    const ReportTestEntry& e = list_[size_t(i)];
    if (e.lKind != kReportBalance) continue;
    if (int(balance_.size()) < kShownBalanceTests) {
      buildBalance(e, i);
    } else {
      ++notShown_;
    }
  }
  if (notShown_ > 0) log.step(QStringLiteral("Balance tests not shown: %1").arg(notShown_));

  log.step("Get the visit/session with worst data, Balance Test");
  const ReportBalanceTest* worst = nullptr;
  for (const ReportBalanceTest& b : balance_)
    if (b.hasResults && (!worst || b.test.record.fStability < worst->test.record.fStability)) worst = &b;
  if (!worst && !balance_.empty()) worst = &balance_.front();
  if (worst) {
    reportVisit_ = worst->test.record.sVisitID;
    reportSession_ = worst->test.record.sSessionID;
  }

  log.step("Get the visit/session with worst data, Vision Test");
  int worstVision = -1;  // index in vision_
  for (int i = 0; i < testCount(); ++i) {
    const ReportTestEntry& e = list_[size_t(i)];
    if (e.lKind != kReportVision) continue;
    const Visit* v = file_->VisitByID(e.sVisitID);
    const Session* s = v ? v->SessionByID(e.sSessionID) : nullptr;
    const VisionTest* t = s ? s->VisionTestByID(e.sTestID) : nullptr;
    if (!t) continue;
    ReportVisionTest vt;
    vt.entry = i;
    vt.sName = t->sName;
    vt.dtDate = t->dtDate;
    vt.lEye = t->lEye;
    vt.dAcuity = t->dAcuity;
    vt.lAcuityClass = t->lAcuityClass;
    vt.done = t->bIsDone != 0;
    const bool classed = vt.done && vt.lAcuityClass >= 1 && vt.lAcuityClass <= 3;
    if (classed && (worstVision < 0 || vt.lAcuityClass > vision_[size_t(worstVision)].lAcuityClass))
      worstVision = int(vision_.size());
    vision_.push_back(vt);
  }
  // Without a balance test the vision tests name the report's visit and session.
  if (reportVisit_.isEmpty() && !vision_.empty()) {
    const ReportTestEntry& e = list_[size_t(vision_[size_t(std::max(0, worstVision))].entry)];
    reportVisit_ = e.sVisitID;
    reportSession_ = e.sSessionID;
  }
  log.step("Process Test List, Vision Test");
  for (const ReportVisionTest& v : vision_) {
    const ReportTestEntry& e = list_[size_t(v.entry)];
    if (v.done && e.sVisitID == reportVisit_ && e.sSessionID == reportSession_)
      worstVisionClass_ = std::max(worstVisionClass_, v.lAcuityClass);
  }

  log.step("Process Test List, Balance Test");
  for (ReportBalanceTest& b : balance_) {
    const KM_RQListTestBalance& r = b.test.record;
    b.inReportSession = r.sVisitID == reportVisit_ && r.sSessionID == reportSession_;
    if (b.inReportSession && b.hasResults) worstClass_ = std::max(worstClass_, b.stabilityClass);
    const bool weightShown = options_.weightEnabled || options_.reprint;
    if (b.inReportSession && bmiClass_ == 0 && weightShown && r.lBMIClass != 0) bmiClass_ = r.lBMIClass;
  }

  log.step("Process Test List, Balance Test Add Comparison");
  log.step("Processing Comparisons");
  std::vector<const KM_RQListTestBalanceData*> withResults;
  for (const ReportBalanceTest& b : balance_)
    if (b.hasResults) withResults.push_back(&b.test.record);
  comparisons_ = CompareTestTypes(withResults);

  log.step("Loading Eval/Interv");
  evaluation_.clear();
  intervention_.clear();
  if (const Session* s = reportSessionObject()) {
    evaluation_ = s->sEvaluation;
    intervention_ = s->sIntervention;
  }
  log.completed();
}

bool ReportModel::tabEnabled(int tab) const {
  if (tab == kTabVision) return !vision_.empty();
  if (tab >= kTabBalance1 && tab < kTabBalance1 + kShownBalanceTests)
    return tab - kTabBalance1 < int(balance_.size());
  if (tab == kTabComparison) return balance_.size() >= 2;
  return tab == kTabEvalInterv;
}

int ReportModel::firstEnabledTab() const {
  for (int t = 0; t <= kTabComparison; ++t)
    if (tabEnabled(t)) return t;
  return kTabEvalInterv;
}

QString ReportModel::evalIntervNote() const { return sameVisitSession_ ? QString() : Str(17530); }

bool ReportModel::renameTest(int k, const QString& name) {
  const QString n = name.trimmed();
  if (k < 0 || k >= int(balance_.size()) || n.isEmpty()) return false;
  balance_[size_t(k)].title = n;
  return true;
}

void ReportModel::setTestNotes(int k, const QString& notes) {
  if (k >= 0 && k < int(balance_.size())) balance_[size_t(k)].notes = notes;
}

bool ReportModel::fnDataChanged() const {
  ProcLog log(kModule, "fnDataChanged");
  bool changed = false;
  for (const ReportBalanceTest& b : balance_) {
    const BalanceTest* t = balanceTestOf(list_[size_t(b.entry)]);
    if (t && (t->sName != b.title || t->sNotes != b.notes)) changed = true;
  }
  if (evalIntervSaved()) {
    const Session* s = reportSessionObject();
    if (s->sEvaluation != evaluation_ || s->sIntervention != intervention_) changed = true;
  }
  log.step(QStringLiteral("Done, Status=%1").arg(changed ? "True" : "False"));
  return changed;
}

bool ReportModel::fnDataOK() const {
  ProcLog log(kModule, "fnDataOK");
  const bool ok = std::all_of(balance_.begin(), balance_.end(),
                              [](const ReportBalanceTest& b) { return !b.title.trimmed().isEmpty(); });
  log.step(QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

bool ReportModel::fnObjectUpdate() {
  ProcLog log(kModule, "fnObjectUpdate");
  bool ok = file_ != nullptr;
  for (ReportBalanceTest& b : balance_) {
    BalanceTest* t = balanceTestOf(list_[size_t(b.entry)]);
    if (!t) {
      ok = false;
      continue;
    }
    t->sName = b.title;
    t->sNotes = b.notes;
    b.test.record.sName = b.title;
    b.test.record.sNotes = b.notes;
  }
  if (evalIntervSaved()) {
    Session* s = reportSessionObject();
    s->sEvaluation = evaluation_;
    s->sIntervention = intervention_;
  }
  log.step(QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

bool ReportModel::fnDataSave() {
  ProcLog log(kModule, "fnDataSave");
  const bool ok = fnDataOK() && fnObjectUpdate();
  log.step(QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

}  // namespace tarn
