#pragma once
// The test list of a session without its window: the rows and their texts, which test may be
// started (forced order, no platform), running one balance test as zero then static test with the
// norms handed over, renaming, and whether the list goes on by itself when it becomes active.
#include <QString>
#include <functional>
#include <vector>

#include "balance/procedures/balancetestrun.h"
#include "session/sessionrecords.h"

namespace tarn {

// The zeroing and static test windows as the test list uses them, and the rename dialog.
class BalanceTestWindows {
 public:
  virtual ~BalanceTestWindows() = default;
  virtual bool PlatformConnected() const = 0;
  // The zero for the run: Next (zero is the zero in force), Back or Cancel.
  virtual int Zero(BalanceTestRun& run, ZeroTaken& zero) = 0;
  // The test on the plate just zeroed: on Next or OK, run is the saved run; else Back or Cancel.
  virtual int Static(BalanceTestRun& run) = 0;
  // The rename dialog on a test's name; true when OK changed it.
  virtual bool Rename(QString& name) = 0;
  virtual void HidePointer(bool hidden) { (void)hidden; }
  // The test windows and dialogs that may still be loaded after a test.
  virtual void UnloadTestForms() {}
};

enum TestListColumn {
  kListColNumber = 0,
  kListColGenre,
  kListColType,
  kListColName,
  kListColStatus,
  kListCols
};

struct TestListRow {
  QString cells[kListCols];
  bool balance = true;
  qint32 index = 0;  // 1-based into the session's balance or vision tests
  qint32 order = 0;  // place in the session, 1-based
  bool done = false;
  bool selectable = false;
};

// What the list does when it becomes active.
enum class TestListAuto { None, PressNext, PressTest, FocusNext, FocusTest };

class TestListModel {
 public:
  TestListModel(SubjectFile& file, Visit& visit, Session& session, BalanceTestWindows& windows);

  QStringList Titles() const;
  // Fills the rows again and selects the test to do next.
  void Update_List();
  const std::vector<TestListRow>& rows() const { return rows_; }  // display order
  int selected() const { return selected_; }                      // into rows(); -1 for none
  bool select(int row);  // refused (false, selection kept) for a row that cannot be selected
  bool cmdDoTestEnabled() const;
  bool allDone() const;  // every balance test is done (vision tests cannot be run here)
  // A click on the titles: by that column; the same column again reverses the order.
  void sortBy(int column);

  // Runs the selected test; returns the code the last test window left (kWizNone when none ran).
  int cmdDoTest_Click();
  int lastTestCode() const { return lastCode_; }
  bool RenameTest(int row);
  TestListAuto WhenActivated() const;

  Session& session() const { return session_; }
  // Called after every change of the file's records (the driver writes the working copy).
  std::function<void()> onChange;

 private:
  void changed();
  void fill();

  SubjectFile& file_;
  Visit& visit_;
  Session& session_;
  BalanceTestWindows& windows_;
  std::vector<TestListRow> rows_;
  int selected_ = -1;
  int sortColumn_ = kListColNumber;
  bool sortAscending_ = true;
  int lastCode_;
};

}  // namespace tarn
