#include "session/testlist.h"

#include <algorithm>

#include "balance/balancesettings.h"
#include "balance/norms/norms.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/wizard.h"
#include "data/templates/template.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTList";

float threshold() { return static_cast<float>(settings::read(settings::CoPThresholdF)); }
}  // namespace

TestListModel::TestListModel(SubjectFile& file, Visit& visit, Session& session, BalanceTestWindows& windows)
    : file_(file), visit_(visit), session_(session), windows_(windows), lastCode_(kWizNone) {}

QStringList TestListModel::Titles() const { return {Str(4405), Str(4406), Str(4407), Str(4408), Str(4409)}; }

void TestListModel::changed() {
  if (onChange) onChange();
}

void TestListModel::fill() {
  struct Entry {
    bool balance;
    qint32 index, number;
  };
  std::vector<Entry> entries;
  for (qint32 i = 1; i <= session_.BalanceTestCount(); ++i)
    entries.push_back({true, i, TestNumber(session_.BalanceTestItem(i)->sTestID)});
  for (qint32 i = 1; i <= session_.VisionTestCount(); ++i)
    entries.push_back({false, i, TestNumber(session_.VisionTestItem(i)->sTestID)});
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.number < b.number; });

  const bool forced = settings::readBool(settings::ForceTestOrder);
  const bool platform = windows_.PlatformConnected();
  bool blocked = false;
  rows_.clear();
  for (const Entry& e : entries) {
    TestListRow r;
    r.balance = e.balance;
    r.index = e.index;
    r.order = static_cast<qint32>(rows_.size()) + 1;
    r.cells[kListColNumber] = QString::number(r.order);
    if (e.balance) {
      const BalanceTest* t = session_.BalanceTestItem(e.index);
      r.done = t->bIsDone != 0;
      r.cells[kListColGenre] = Str(4410);
      r.cells[kListColType] = (t->lSurface == kSurfaceFoam ? Str(4412) : Str(4413)) +
                              (t->lEyes == kEyesClosed ? Str(4414) : Str(4415));
      r.cells[kListColName] = t->sName;
      r.cells[kListColStatus] = r.done ? Str(4418) : t->hasZero() ? Str(4419) : Str(4420);
    } else {
      const VisionTest* t = session_.VisionTestItem(e.index);
      r.done = t->bIsDone != 0;
      r.cells[kListColGenre] = Str(4411);
      r.cells[kListColType] = t->lHighContrast ? Str(4417) : Str(4416);
      r.cells[kListColName] = t->sName;
      r.cells[kListColStatus] = r.done ? Str(4418) : Str(4420);
    }
    if (forced && blocked && !r.done) r.cells[kListColStatus] = Str(4421);
    // Vision tests cannot be run here, so they never hold back the tests after them.
    if (forced && e.balance && !r.done) blocked = true;
    if (e.balance && !platform) r.cells[kListColStatus] += Str(4422) + Str(4423);
    r.selectable = r.cells[kListColStatus] != Str(4421) && !r.cells[kListColStatus].contains(Str(4423));
    rows_.push_back(std::move(r));
  }

  const int column = sortColumn_;
  const auto less = [column](const TestListRow& a, const TestListRow& b) {
    if (column == kListColNumber) return a.order < b.order;
    return a.cells[column].compare(b.cells[column], Qt::CaseInsensitive) < 0;
  };
  if (sortAscending_)
    std::stable_sort(rows_.begin(), rows_.end(), less);
  else
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&](const TestListRow& a, const TestListRow& b) { return less(b, a); });
}

void TestListModel::Update_List() {
  ProcLog log(kModule, "Update_List");
  bool hadSelection = selected_ >= 0 && selected_ < static_cast<int>(rows_.size());
  const bool wasBalance = hadSelection && rows_[static_cast<size_t>(selected_)].balance;
  const qint32 wasIndex = hadSelection ? rows_[static_cast<size_t>(selected_)].index : 0;
  fill();
  selected_ = -1;
  // The test to do next: the first balance test not done, in session order.
  int next = -1;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const TestListRow& r = rows_[i];
    if (r.balance && !r.done && r.selectable &&
        (next < 0 || r.order < rows_[static_cast<size_t>(next)].order))
      next = static_cast<int>(i);
  }
  if (!settings::readBool(settings::ForceTestOrder) && hadSelection) {
    for (size_t i = 0; i < rows_.size(); ++i) {
      const TestListRow& r = rows_[i];
      if (r.balance == wasBalance && r.index == wasIndex && r.selectable && !r.done)
        selected_ = static_cast<int>(i);
    }
  }
  if (selected_ < 0) selected_ = next;
  log.step(
      QStringLiteral("Set commands, Selected=%1").arg(selected_ < 0 ? 0 : rows_[size_t(selected_)].order));
  log.completed();
}

bool TestListModel::select(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || !rows_[static_cast<size_t>(row)].selectable)
    return false;
  selected_ = row;
  return true;
}

bool TestListModel::cmdDoTestEnabled() const {
  return selected_ >= 0 && selected_ < static_cast<int>(rows_.size()) &&
         rows_[static_cast<size_t>(selected_)].selectable;
}

bool TestListModel::allDone() const {
  return std::all_of(rows_.begin(), rows_.end(), [](const TestListRow& r) { return !r.balance || r.done; });
}

void TestListModel::sortBy(int column) {
  if (column < 0 || column >= kListCols) return;
  const bool hadSelection = cmdDoTestEnabled() || selected_ >= 0;
  const TestListRow keep = hadSelection ? rows_[static_cast<size_t>(selected_)] : TestListRow{};
  sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
  sortColumn_ = column;
  fill();
  selected_ = -1;
  if (hadSelection)
    for (size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i].balance == keep.balance && rows_[i].index == keep.index) selected_ = static_cast<int>(i);
}

TestListAuto TestListModel::WhenActivated() const {
  const bool all = allDone();
  const bool enabled = cmdDoTestEnabled();
  const bool proceed = settings::readBool(settings::ProceedAutomatically) || lastCode_ == kWizNext;
  const bool stopped = lastCode_ == kWizCancel || lastCode_ == kWizBack;
  if ((enabled || all) && proceed && !stopped) {
    if (all) return TestListAuto::PressNext;
    // Only balance tests run by themselves: a vision test would only repeat its notice.
    if (rows_[static_cast<size_t>(selected_)].balance) return TestListAuto::PressTest;
  }
  if (all) return TestListAuto::FocusNext;
  return enabled ? TestListAuto::FocusTest : TestListAuto::None;
}

bool TestListModel::RenameTest(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
  const TestListRow& r = rows_[static_cast<size_t>(row)];
  QString* name =
      r.balance ? &session_.BalanceTestItem(r.index)->sName : &session_.VisionTestItem(r.index)->sName;
  QString edited = *name;
  if (!windows_.Rename(edited) || edited == *name) return false;
  *name = edited;
  changed();
  Update_List();
  return true;
}

int TestListModel::cmdDoTest_Click() {
  ProcLog log(kModule, "cmdDoTest_Click");
  if (!cmdDoTestEnabled()) {
    log.step(QStringLiteral("No test selected"));
    return kWizNone;
  }
  const TestListRow row = rows_[static_cast<size_t>(selected_)];
  if (!row.balance) {
    log.step(QStringLiteral("Vision test number = %1").arg(row.index));
    const bool hide = settings::readBool(settings::MouseHide);
    if (hide) windows_.HidePointer(true);
    showTitledMessage(Str(4400), Str(4424), MsgIcon::Information);
    if (hide) windows_.HidePointer(false);
    log.completed();
    return kWizNone;
  }
  log.step(QStringLiteral("Balance test number = %1").arg(row.index));
  BalanceTest* test = session_.BalanceTestItem(row.index);
  if (test->bIsDone != 0) {
    if (showMessage(Str(4425), MsgIcon::Question, MsgButtons::YesNo, 0, 2) != MsgResult::Yes) {
      log.step(QStringLiteral("Test data kept"));
      return kWizNone;
    }
    log.step(QStringLiteral("Clearing test data"));
    test->ClearResults();
    test->ClearZero();
    changed();
  }

  const float thr = threshold();
  BalanceTestRun run = RunForTest(*test, visit_, file_.subject, thr);
  int code = kWizNone;
  for (int step = 1; step != 0;) {
    log.step(QStringLiteral("Balance test step = %1").arg(step));
    if (step == 1) {
      ZeroTaken zero;
      code = windows_.Zero(run, zero);
      if (code == kWizNext) {
        StoreZero(*test, zero);
        changed();
        step = 2;
      } else {
        step = 0;
      }
      continue;
    }
    // The norms of the subject's age today for this kind of test, handed to the static window.
    const auto type = NormTypeFor(test->lSurface, test->lEyes);
    run.lTestType = static_cast<qint32>(type);
    run.subjectBirth = file_.subject.dtDoB;
    double L1 = 0, L2 = 0, L3 = 0, L4 = 0;
    const double age = AgeInYears(file_.subject.dtDoB, clock::nowDays());
    if (NormsLookup(age, type, L1, L2, L3, L4, NormsVersion()))
      log.step(QStringLiteral("Norms %1, age %2: %3 %4 %5 %6")
                   .arg(NormTestTypeCode(type))
                   .arg(age, 0, 'f', 1)
                   .arg(L1)
                   .arg(L2)
                   .arg(L3)
                   .arg(L4));
    code = windows_.Static(run);
    if (code == kWizBack) {
      step = 1;  // zero again for the same test
    } else {
      if (code == kWizNext || code == kWizOK) {
        StoreRun(*test, run, visit_, file_.subject);
        log.step(QStringLiteral("Stored, Done=%1").arg(test->bIsDone ? "True" : "False"));
        changed();
      }
      step = 0;
    }
  }
  windows_.UnloadTestForms();
  lastCode_ = code;
  Update_List();
  log.completed();
  return code;
}

}  // namespace tarn
