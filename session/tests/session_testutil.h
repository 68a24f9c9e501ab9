#pragma once
// Helpers of the session tests: windows that answer as scripted, balance tests recorded from the
// platform's sway model, automation notices written down, and the files a session needs.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>

#include "balance/analysis/analysis.h"
#include "balance/norms/norms.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/wizard.h"
#include "data/templates/template.h"
#include "data/tools/demodata.h"
#include "session/currentfile.h"
#include "session/sessiondriver.h"
#include "session/sessionnotices.h"
#include "session/testlist.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '{' << l.join(" | ").toStdString() << '}';
}

namespace tarn::sessiontest {

inline QString dataFolder() {
  const QString f = settings::read(settings::LastPath);
  folders::ensureFolder(f);
  return f;
}

inline QString installDefaultTemplate() {
  const QString folder = settings::read(settings::TemplatePath);
  folders::ensureFolder(folder);
  const QString path = QDir(folder).filePath(settings::read(settings::TemplateFile));
  CreateDefaultTestTemplate(path);
  return path;
}

inline QByteArray bytesOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A subject file on disk with one visit of the given date and the subject's name.
inline void writeSubjectFile(const QString& path, const QString& lastName, double visitDate = 0) {
  SubjectFile f;
  f.CreateEmpty();
  f.subject.sNameFirst = QStringLiteral("Ada");
  f.subject.sNameLast = lastName;
  f.subject.lIsMale = kSexFemale;
  f.subject.dtDoB = clock::dateToDays(QDate(1961, 5, 2));
  Visit* v = f.AddVisit();
  if (visitDate != 0) v->dtDate = std::trunc(visitDate), v->dtTimeBegin = v->dtTimeEnd = visitDate;
  v->phys.dHeight = 1.68;
  f.Save(path);
}

inline QString lastNameIn(const QString& path) {
  SubjectFile f;
  return f.Open(path) ? f.subject.sNameLast : QStringLiteral("<damaged>");
}

class RecordingNotices final : public SessionNotices {
 public:
  QStringList events;
  bool clients = true;
  bool allowRecovery = true;
  bool HasClients() const override { return clients; }
  void EnteringTest(bool r) override {
    events << QStringLiteral("EnteringTest(%1)").arg(r ? "true" : "false");
  }
  void ExitingTest(bool c) override { events << QStringLiteral("ExitingTest(%1)").arg(c ? "true" : "false"); }
  void EnteringSbjInfo(qint32 v, qint32 s) override {
    events << QStringLiteral("EnteringSbjInfo(%1,%2)").arg(v).arg(s);
  }
  void ExitingSbjInfo(qint32 v, qint32 s) override {
    events << QStringLiteral("ExitingSbjInfo(%1,%2)").arg(v).arg(s);
  }
  void FileOpening(const QString& f) override { events << "FileOpening(" + QFileInfo(f).fileName() + ")"; }
  void FileClosing(const QString& f) override { events << "FileClosing(" + QFileInfo(f).fileName() + ")"; }
  void FileSaving(const QString& f) override { events << "FileSaving(" + QFileInfo(f).fileName() + ")"; }
  void NewVisit(qint32 v) override { events << QStringLiteral("NewVisit(%1)").arg(v); }
  void NewSession(qint32 v, qint32 s) override {
    events << QStringLiteral("NewSession(%1,%2)").arg(v).arg(s);
  }
  bool AppQueryFileRecovery(const QString&, const QString& t) override {
    events << "AppQueryFileRecovery(" + QFileInfo(t).suffix() + ")";
    return allowRecovery;
  }
};

// The zeroing and static windows as scripted answers; a Next of the static window records the test
// from the sway model of a 72 kg subject, analysed and classed as the window does it.
class ScriptedBalanceWindows final : public BalanceTestWindows {
 public:
  bool platform = true;
  std::deque<int> zeroCodes, staticCodes;  // empty: Next
  std::function<void(int staticCall)> beforeStatic;
  QString renameTo;
  int zeroCalls = 0, staticCalls = 0, renameCalls = 0;
  std::vector<qint32> staticTestTypes;
  std::vector<std::pair<double, double>> staticLimits;  // base limits of stability handed over

  bool PlatformConnected() const override { return platform; }
  int Zero(BalanceTestRun& run, ZeroTaken& zero) override {
    ++zeroCalls;
    const int code = next(zeroCodes);
    if (code == kWizNext) {
      zero.plateName = QStringLiteral("KM Force Platform (scripted)");
      zero.plateSerial = QStringLiteral("SCR-0001");
      zero.surface = run.conditions.surface;
      zero.zero.valid = true;
      zero.zero.ave = {-7000000.0, 1200.0, -800.0};
      zero.zero.sd = {30.0, 25.0, 25.0};
      zero.zero.rms = {20.0, 18.0, 18.0};
      zero.zero.durationMs = 5000;
      zero.zero.excitationMv = 2500;
      zero.zero.time = clock::nowDays();
      run.zeroTime = zero.zero.time;
    }
    return code;
  }
  int Static(BalanceTestRun& run) override {
    ++staticCalls;
    if (beforeStatic) beforeStatic(staticCalls);
    staticTestTypes.push_back(run.lTestType);
    staticLimits.emplace_back(run.losX, run.losY);
    const int code = next(staticCodes);
    if (code == kWizNext || code == kWizOK) record(run);
    return code;
  }
  bool Rename(QString& name) override {
    ++renameCalls;
    if (renameTo.isNull()) return false;
    name = renameTo;
    return true;
  }

  void record(BalanceTestRun& run) const {
    SimulatedSubject s;
    s.weightKg = 72.0;
    s.eyesClosed = run.conditions.eyes == 2;
    s.onFoam = run.conditions.surface == 2;
    auto data = recorder_->record(s, static_cast<float>(run.timing.frequencyHz),
                                  run.timing.durationMs / 1000.0, clock::nowDays());
    run.samples = data;
    run.sPlate = QStringLiteral("KM Force Platform (scripted)");
    AnalyseBalanceTest(0, data->Count() - 1, -run.thresholdN, *data, run.geometry, run.conditions.stance,
                       run.losX, run.losY, run.stanceFactors, run.result, true, true);
    run.analysed = true;
    run.stabilityClass = ClassifyStability(static_cast<float>(run.result.fStability), run.subjectBirth,
                                           run.result.dtDate, static_cast<KM_RQNormTestType>(run.lTestType));
  }

 private:
  static int next(std::deque<int>& q) {
    if (q.empty()) return kWizNext;
    const int c = q.front();
    q.pop_front();
    return c;
  }
  std::unique_ptr<demodata::Recorder> recorder_ = demodata::makeModelRecorder(7);
};

// The wizard's windows as scripted answers. Unscripted steps answer like an operator in a hurry:
// New file, the default template, a valid subject, every test in turn, Next on the results.
class ScriptedWindows final : public SessionWindows {
 public:
  ScriptedBalanceWindows balance;
  std::deque<std::function<int(QString&)>> fileChoice;
  std::deque<std::function<int(QString&)>> templateChoice;
  std::deque<std::function<int(SubjectInfoStep&)>> subjectInfo;
  std::deque<std::function<int(TestListModel&)>> testList;
  std::deque<int> results;
  QList<int> shown;  // the steps whose window was shown, in order
  int closeForms = 0;
  std::vector<QString> resultTests;  // the test IDs the results window listed

  static int runAllTests(TestListModel& list) {
    for (int guard = 0; guard < 50; ++guard) {
      const TestListAuto a = list.WhenActivated();
      if (a == TestListAuto::PressNext) return kWizNext;
      if (a == TestListAuto::PressTest || list.cmdDoTestEnabled())
        list.cmdDoTest_Click();
      else
        return kWizNext;
    }
    return kWizCancel;
  }
  static int fillSubject(SubjectInfoStep& s) {
    if (s.info.sNameLast.isEmpty())
      s.info.sNameFirst = QStringLiteral("Ada"), s.info.sNameLast = QStringLiteral("Lovelace");
    if (s.info.lIsMale == kSexNotGiven) s.info.lIsMale = kSexFemale;
    if (s.info.dtDoB <= clock::kMissingDate) s.info.dtDoB = clock::dateToDays(QDate(1961, 5, 2));
    if (s.heightM <= 0) s.heightM = 1.68;
    return kWizNext;
  }

  int FileChoice(const KM_RQList*, QString& name) override {
    shown << 0;
    return pop(fileChoice, [](QString& n) {
      n.clear();
      return int(kWizNext);
    })(name);
  }
  int TemplateChoice(QString& t) override {
    shown << 1;
    return pop(templateChoice, [](QString&) { return int(kWizNext); })(t);
  }
  int SubjectInformation(SubjectInfoStep& s) override {
    shown << 3;
    return pop(subjectInfo, &fillSubject)(s);
  }
  int TestList(TestListModel& list) override {
    shown << 5;
    return pop(testList, &runAllTests)(list);
  }
  int Results(const SubjectFile&, const Session& session) override {
    shown << 7;
    resultTests.clear();
    for (const auto& t : session.BalanceTests()) resultTests.push_back(t->sTestID);
    if (results.empty()) return kWizNext;
    const int c = results.front();
    results.pop_front();
    return c;
  }
  BalanceTestWindows& BalanceWindows() override { return balance; }
  void CloseForms() override { ++closeForms; }

 private:
  template <class F, class D>
  static F pop(std::deque<F>& q, D fallback) {
    if (q.empty()) return F(fallback);
    F f = std::move(q.front());
    q.pop_front();
    return f;
  }
};

}  // namespace tarn::sessiontest
