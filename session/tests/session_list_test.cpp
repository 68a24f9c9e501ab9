#include <gtest/gtest.h>

#include "session/tests/session_testutil.h"
#include "support/strings/strings.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace sessiontest;

// A session of the default template plus one vision test in third place.
struct ListRig {
  SubjectFile file;
  Visit* visit;
  Session* session;
  ScriptedBalanceWindows windows;
  int changes = 0;
  std::unique_ptr<TestListModel> list;

  explicit ListRig(bool withVision = true) {
    file.CreateEmpty();
    file.subject.dtDoB = clock::dateToDays(QDate(1961, 5, 2));
    file.subject.lIsMale = kSexFemale;
    visit = file.AddVisit();
    visit->phys.dHeight = 1.70;
    session = visit->AddSession();
    const KM_RQTemplate t = MakeDefaultTestTemplate();
    for (qint32 i = 1; i <= t.lTestCount(); ++i) {
      AddBalanceTestFromItem(*session, *t.tiTestItem(i), {});
      if (i == 2 && withVision) {
        KM_RQTemplateItem v;
        v.lLong[0] = KM_RQTemplateItem::kVision;
        v.sName = "Acuity";
        v.setHighContrast(true);
        AddVisionTestFromItem(*session, v);
      }
    }
    list = std::make_unique<TestListModel>(file, *visit, *session, windows);
    list->onChange = [this] { ++changes; };
    list->Update_List();
  }
  QStringList column(int c) const {
    QStringList out;
    for (const auto& r : list->rows()) out << r.cells[c];
    return out;
  }
  void markDone(int balanceIndex) {
    BalanceTestRun run = RunForTest(*session->BalanceTestItem(balanceIndex), *visit, file.subject, 10.0f);
    windows.record(run);
    StoreRun(*session->BalanceTestItem(balanceIndex), run, *visit, file.subject);
  }
};

TEST(TestList, RowsReadAsTheOperatorExpects) {
  ListRig rig;
  rig.session->BalanceTestItem(2)->dtZeroDate = clock::nowDays();  // zeroed, then cancelled
  rig.markDone(1);
  rig.list->Update_List();
  EXPECT_EQ(rig.list->Titles(), (QStringList{"#", "Genre", "Type", "Name", "Status"}));
  EXPECT_EQ(rig.column(kListColNumber), (QStringList{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(rig.column(kListColGenre), (QStringList{"Balance", "Balance", "Vision", "Balance", "Balance"}));
  EXPECT_EQ(rig.column(kListColType), (QStringList{"No Foam, Eyes Open", "No Foam, Eyes Closed",
                                                   "Hi-Contrast", "Foam, Eyes Open", "Foam, Eyes Closed"}));
  EXPECT_EQ(rig.column(kListColName)[0], "Firm Surface - Eyes Open");
  EXPECT_EQ(rig.column(kListColStatus),
            (QStringList{"Done", "Zero Done", "To Be Done", "To Be Done", "To Be Done"}));
  EXPECT_EQ(rig.list->rows()[size_t(rig.list->selected())].order, 2) << "the next test to do is offered";

  // A click on the titles sorts by that column; again reverses it; the selection stays on its test.
  rig.list->sortBy(kListColName);
  EXPECT_EQ(rig.column(kListColNumber), (QStringList{"3", "2", "1", "5", "4"}));
  EXPECT_EQ(rig.list->rows()[size_t(rig.list->selected())].order, 2);
  rig.list->sortBy(kListColName);
  EXPECT_EQ(rig.column(kListColNumber), (QStringList{"4", "5", "1", "2", "3"}));
  rig.list->sortBy(kListColNumber);
  EXPECT_EQ(rig.column(kListColNumber), (QStringList{"1", "2", "3", "4", "5"}));
}

TEST(TestList, ForcedOrderAndAMissingPlatformDecideWhatCanBeStarted) {
  struct Case {
    const char* name;
    bool forced, platform;
    int doneUpTo;  // balance tests 1..doneUpTo are done
    QStringList status;
    std::vector<bool> selectable;
    int selectedOrder;
  };
  const QString np = " - No Platform";
  const Case cases[] = {
      {"forced, two done",
       true,
       true,
       2,
       {"Done", "Done", "To Be Done", "To Be Done", "Previous Not Done"},
       {true, true, true, true, false},
       4},
      {"forced, none done",
       true,
       true,
       0,
       {"To Be Done", "Previous Not Done", "Previous Not Done", "Previous Not Done", "Previous Not Done"},
       {true, false, false, false, false},
       1},
      {"free order",
       false,
       true,
       0,
       {"To Be Done", "To Be Done", "To Be Done", "To Be Done", "To Be Done"},
       {true, true, true, true, true},
       1},
      {"no platform",
       false,
       false,
       1,
       {"Done" + np, "To Be Done" + np, "To Be Done", "To Be Done" + np, "To Be Done" + np},
       {false, false, true, false, false},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings::writeBool(settings::ForceTestOrder, c.forced);
    ListRig rig;
    rig.windows.platform = c.platform;
    for (int i = 1; i <= c.doneUpTo; ++i) rig.markDone(i);
    rig.list->Update_List();
    EXPECT_EQ(rig.column(kListColStatus), c.status);
    EXPECT_EQ(rig.list->selected() < 0 ? 0 : rig.list->rows()[size_t(rig.list->selected())].order,
              c.selectedOrder);
    EXPECT_EQ(rig.list->cmdDoTestEnabled(), c.selectedOrder > 0);
    for (size_t i = 0; i < rig.list->rows().size(); ++i) {
      EXPECT_EQ(rig.list->rows()[i].selectable, c.selectable[i]) << i;
      EXPECT_EQ(rig.list->select(int(i)), c.selectable[i]);
    }
  }
  settings::remove(settings::ForceTestOrder);
}

TEST(TestList, RunningATestGoesThroughZeroAndStaticWithTheNormsHandedOver) {
  ListRig rig;
  ScriptedMessages msgs;
  // Zero, static test Back (zero again), zero, static Next.
  rig.windows.staticCodes = {kWizBack, kWizNext};
  ASSERT_TRUE(rig.list->select(3));  // "Foam, Eyes Open"
  EXPECT_EQ(rig.list->cmdDoTest_Click(), kWizNext);
  EXPECT_EQ(rig.windows.zeroCalls, 2);
  EXPECT_EQ(rig.windows.staticCalls, 2);
  EXPECT_EQ(rig.windows.staticTestTypes, (std::vector<qint32>{3, 3}));
  const auto los = BaseLimitsOfStability(1.70);
  EXPECT_DOUBLE_EQ(rig.windows.staticLimits[0].second, los->y);
  const BalanceTest* t = rig.session->BalanceTestItem(3);
  EXPECT_TRUE(t->bIsDone);
  EXPECT_EQ(t->sPlateSerial, "SCR-0001");
  EXPECT_EQ(t->lZeroSurface, kSurfaceFoam);
  EXPECT_GE(rig.changes, 2) << "the zero and the test each reach the working copy";
  EXPECT_EQ(rig.column(kListColStatus)[3], "Done");
  EXPECT_TRUE(msgs.requests().isEmpty());

  // Cancel in the zero leaves the test as it was.
  rig.windows.zeroCodes = {kWizCancel};
  ASSERT_TRUE(rig.list->select(0));
  EXPECT_EQ(rig.list->cmdDoTest_Click(), kWizCancel);
  EXPECT_FALSE(rig.session->BalanceTestItem(1)->bIsDone);
  EXPECT_EQ(rig.list->lastTestCode(), kWizCancel);
}

TEST(TestList, ADoneTestIsOnlyRunAgainWhenTheOperatorAgrees) {
  ListRig rig;
  rig.markDone(1);
  rig.list->Update_List();
  const auto data = rig.session->BalanceTestItem(1)->TestData();
  const float stability = rig.session->BalanceTestItem(1)->fStability;
  ASSERT_TRUE(rig.list->select(0));
  {
    ScriptedMessages msgs{MsgResult::No};
    EXPECT_EQ(rig.list->cmdDoTest_Click(), kWizNone);
    ASSERT_EQ(msgs.requests().size(), 1);
    EXPECT_EQ(msgs.texts()[0], Str(4425));
    EXPECT_EQ(msgs.requests()[0].defaultButton, 2) << "No is the default";
  }
  EXPECT_EQ(rig.session->BalanceTestItem(1)->TestData(), data);
  EXPECT_EQ(rig.session->BalanceTestItem(1)->fStability, stability);
  EXPECT_EQ(rig.windows.zeroCalls, 0);
  EXPECT_EQ(rig.changes, 0);

  ScriptedMessages msgs{MsgResult::Yes};
  rig.windows.zeroCodes = {kWizCancel};
  ASSERT_TRUE(rig.list->select(0));
  rig.list->cmdDoTest_Click();
  EXPECT_FALSE(rig.session->BalanceTestItem(1)->TestData()) << "Yes deletes the test data";
  EXPECT_FALSE(rig.session->BalanceTestItem(1)->hasZero());
}

TEST(TestList, AVisionTestOnlyShowsItsNoticeAndRenamingChangesTheName) {
  ListRig rig;
  rig.windows.platform = false;
  rig.list->Update_List();
  ScriptedMessages msgs;
  ASSERT_TRUE(rig.list->select(2));
  EXPECT_EQ(rig.list->cmdDoTest_Click(), kWizNone);
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_EQ(msgs.texts()[0], "Sorry, Vision Tests are not yet implemented, but are coming soon!");
  EXPECT_EQ(msgs.requests()[0].title, QString::fromUtf8("KM TARN™ RQ Testing - Test Selection"));
  EXPECT_EQ(rig.windows.zeroCalls, 0);

  EXPECT_FALSE(rig.list->RenameTest(0)) << "the dialog was cancelled";
  rig.windows.renameTo = "Romberg, firm";
  EXPECT_TRUE(rig.list->RenameTest(0));
  EXPECT_EQ(rig.session->BalanceTestItem(1)->sName, "Romberg, firm");
  EXPECT_EQ(rig.column(kListColName)[0], "Romberg, firm");
  EXPECT_EQ(rig.changes, 1);
}

TEST(TestList, GoingOnByItself) {
  struct Case {
    const char* name;
    bool proceedSetting;
    int done;   // balance tests done before
    int leave;  // the code the test windows leave on a run of the next test (kWizNone: no run)
    TestListAuto expected;
  };
  const Case cases[] = {
      {"first activation", false, 0, kWizNone, TestListAuto::FocusTest},
      {"proceed setting", true, 0, kWizNone, TestListAuto::PressTest},
      {"after a test ended with Next", false, 1, kWizNext, TestListAuto::PressTest},
      {"after the last test", false, 3, kWizNext, TestListAuto::PressNext},
      {"proceed, but the zero was cancelled", true, 1, kWizCancel, TestListAuto::FocusTest},
      {"proceed, but the zero went back", true, 1, kWizBack, TestListAuto::FocusTest},
      {"all done, nothing pressed", false, 4, kWizNone, TestListAuto::FocusNext},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings::writeBool(settings::ProceedAutomatically, c.proceedSetting);
    ListRig rig(false);
    for (int i = 1; i <= c.done; ++i) rig.markDone(i);
    rig.list->Update_List();
    if (c.leave != kWizNone) {
      if (c.leave != kWizNext) rig.windows.zeroCodes = {c.leave};
      EXPECT_EQ(rig.list->cmdDoTest_Click(), c.leave);
    }
    EXPECT_EQ(rig.list->WhenActivated(), c.expected);
  }
  settings::remove(settings::ProceedAutomatically);
}

}  // namespace
}  // namespace tarn
