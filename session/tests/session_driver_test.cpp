#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include "data/lists/list.h"
#include "data/records/recordfromrun.h"
#include "session/filesave.h"
#include "session/tests/session_testutil.h"
#include "support/strings/strings.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace sessiontest;

struct Rig {
  RecordingNotices notices;
  CurrentSubjectFile file{&notices};
  ScriptedWindows windows;
  KM_RQList list;
  TestSessionDriver driver{file, windows, &list};
  Rig() { installDefaultTemplate(); }
};

// A button code as a lambda's int result.
int at(int code) { return code; }

QString firstNewFile() { return QDir(dataFolder()).filePath("STF000001.kpf"); }

int doneTests(const QString& path) {
  SubjectFile f;
  if (!f.Open(path)) return -1;
  int n = 0;
  for (const auto& v : f.Visits())
    for (const auto& s : v->Sessions())
      for (const auto& t : s->BalanceTests()) n += t->bIsDone != 0;
  return n;
}

TEST(SessionDriver, AWholeSessionEndsInTheSavedFileAndTheRefreshedList) {
  Rig rig;
  ScriptedMessages msgs;
  const SessionOutcome out = rig.driver.cmdBegin_Click();
  EXPECT_EQ(out.end, SessionEnd::Saved);
  EXPECT_EQ(out.fileName, firstNewFile());
  EXPECT_EQ(rig.windows.shown, (QList<int>{0, 1, 3, 5, 7}));
  EXPECT_TRUE(msgs.requests().isEmpty()) << msgs.texts().join('|').toStdString();
  EXPECT_EQ(rig.notices.events,
            (QStringList{"EnteringTest(false)", "FileOpening(STF000001.kpf)", "NewVisit(1)",
                         "NewSession(1,1)", "EnteringSbjInfo(1,1)", "ExitingSbjInfo(1,1)",
                         "FileSaving(STF000001.kpf)", "FileClosing(STF000001.kpf)", "ExitingTest(false)"}));
  EXPECT_EQ(rig.windows.resultTests, (std::vector<QString>{"B10001", "B10002", "B10003", "B10004"}));
  EXPECT_EQ(rig.windows.closeForms, 1);

  // The file holds what the session did, and nothing of the session is left open.
  EXPECT_FALSE(rig.file.IsOpen());
  EXPECT_TRUE(settings::read(settings::LastName).isEmpty());
  EXPECT_TRUE(QDir(folders::tempFolder()).entryList({"~ST*"}, QDir::Files).isEmpty());
  EXPECT_EQ(QFile::permissions(out.fileName) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions{});
  SubjectFile f;
  ASSERT_TRUE(f.Open(out.fileName));
  EXPECT_EQ(f.subject.sNameLast, "Lovelace");
  EXPECT_EQ(f.sTitle, "Ada Lovelace");
  ASSERT_EQ(f.VisitCount(), 1);
  const Visit* v = f.VisitItem(1);
  EXPECT_EQ(v->phys.dHeight, 1.68);
  EXPECT_NEAR(v->phys.dMass, 72.0, 1.0) << "the visit keeps the weight the platform measured";
  ASSERT_EQ(v->SessionCount(), 1);
  const Session* s = v->SessionItem(1);
  EXPECT_EQ(s->sName, QString::fromUtf8("KMTARNRQ (TARN™ RQ)"));
  ASSERT_EQ(s->BalanceTestCount(), 4);
  const auto los = BaseLimitsOfStability(1.68);
  for (qint32 i = 1; i <= 4; ++i) {
    SCOPED_TRACE(i);
    const BalanceTest* t = s->BalanceTestItem(i);
    EXPECT_EQ(t->sTestID, QStringLiteral("B1%1").arg(i, 4, 10, QChar('0')));
    EXPECT_EQ(t->lTestType, i) << "NSEO, NSEC, PSEO, PSEC in template order";
    EXPECT_EQ(rig.windows.balance.staticTestTypes[size_t(i - 1)], i);
    EXPECT_TRUE(t->bIsDone);
    ASSERT_TRUE(t->TestData());
    EXPECT_EQ(t->TestData()->Count(), 64 * 20);
    EXPECT_EQ(t->sPlateSerial, "SCR-0001");
    EXPECT_EQ(t->fZeroAve1, -7000000.0f);
    EXPECT_TRUE(t->hasZero());
    EXPECT_FLOAT_EQ(t->fLoSY, float(los->y));
    EXPECT_GT(t->fStability, 0.5f);
    EXPECT_GE(t->lStabilityClass, 1);
    EXPECT_NEAR(t->fWeight, 72.0, 1.0);
    EXPECT_NEAR(t->fBMI, t->fWeight / (1.68 * 1.68), 1e-3);
    EXPECT_GT(t->lBMIClass, 0);
  }
  ASSERT_EQ(rig.list.lFilesCount(), 1);
  EXPECT_EQ(rig.list.lfFile(1)->lTestBalanceCount(), 4);
}

TEST(SessionDriver, AnExistingFileGetsANewVisitAndSessionAndKeepsItsOldVersionAsBackup) {
  Rig rig;
  const QString path = QDir(dataFolder()).filePath("ada.kpf");
  writeSubjectFile(path, "Lovelace", clock::nowDays() - 1.0);
  const QByteArray before = bytesOf(path);
  rig.windows.fileChoice.push_back([&](QString& n) {
    n = path;
    return at(kWizNext);
  });
  ScriptedMessages msgs;
  const SessionOutcome out = rig.driver.cmdBegin_Click();
  ASSERT_EQ(out.end, SessionEnd::Saved);
  EXPECT_EQ(out.fileName, path);
  EXPECT_EQ(bytesOf(BackupNames(path)[0]), before) << "the version before the session is the first backup";
  SubjectFile f;
  ASSERT_TRUE(f.Open(path));
  ASSERT_EQ(f.VisitCount(), 2) << "the last visit was a day old";
  EXPECT_EQ(f.VisitItem(1)->SessionCount(), 0);
  EXPECT_EQ(f.VisitItem(2)->SessionCount(), 1);
  EXPECT_DOUBLE_EQ(f.VisitItem(2)->phys.dHeight, 1.68) << "offered from the earlier visit and confirmed";
  EXPECT_EQ(doneTests(path), 4);
  EXPECT_EQ(rig.notices.events.mid(1, 3),
            (QStringList{"FileOpening(ada.kpf)", "NewVisit(2)", "NewSession(2,1)"}));
}

struct ButtonCase {
  const char* name;
  std::function<void(ScriptedWindows&)> script;
  QList<MsgResult> answers;  // to the messages of the run, in order
  QList<int> shown;
  SessionEnd end;
  int savedTests;  // done tests in the file on disk; -1: no file
};

TEST(SessionDriver, EachButtonOfEachStepGoesWhereItShould) {
  const auto file = [](int code) {
    return [code](QString& n) {
      n.clear();
      return code;
    };
  };
  const auto info = [](int code) {
    return [code](SubjectInfoStep& s) { return code == kWizNext ? ScriptedWindows::fillSubject(s) : code; };
  };
  const auto list = [](int code) {
    return [code](TestListModel& l) {
      ScriptedWindows::runAllTests(l);
      return code;
    };
  };
  const ButtonCase cases[] = {
      {"file: cancel",
       [&](ScriptedWindows& w) { w.fileChoice.push_back(file(kWizCancel)); },
       {},
       {0},
       SessionEnd::Cancelled,
       -1},
      {"template: back",
       [&](ScriptedWindows& w) { w.templateChoice.push_back([](QString&) { return at(kWizBack); }); },
       {},
       {0, 1, 0, 1, 3, 5, 7},
       SessionEnd::Saved,
       4},
      {"template: cancel",
       [&](ScriptedWindows& w) { w.templateChoice.push_back([](QString&) { return at(kWizCancel); }); },
       {},
       {0, 1},
       SessionEnd::Cancelled,
       -1},
      {"info: cancel, don't save",
       [&](ScriptedWindows& w) { w.subjectInfo.push_back(info(kWizCancel)); },
       {MsgResult::No},
       {0, 1, 3},
       SessionEnd::Cancelled,
       -1},
      {"info: back undoes the new file",
       [&](ScriptedWindows& w) { w.subjectInfo.push_back(info(kWizBack)); },
       {},
       {0, 1, 3, 1, 3, 5, 7},
       SessionEnd::Saved,
       4},
      {"list: back keeps the tests",
       [&](ScriptedWindows& w) { w.testList.push_back(list(kWizBack)); },
       {},
       {0, 1, 3, 5, 3, 5, 7},
       SessionEnd::Saved,
       4},
      {"list: cancel, save",
       [&](ScriptedWindows& w) { w.testList.push_back(list(kWizCancel)); },
       {MsgResult::Yes},
       {0, 1, 3, 5},
       SessionEnd::Cancelled,
       4},
      {"results: back",
       [&](ScriptedWindows& w) { w.results.push_back(kWizBack); },
       {},
       {0, 1, 3, 5, 7, 5, 7},
       SessionEnd::Saved,
       4},
      {"results: OK, save",
       [&](ScriptedWindows& w) { w.results.push_back(kWizOK); },
       {MsgResult::Yes},
       {0, 1, 3, 5, 7},
       SessionEnd::LeftWithOK,
       4},
      {"results: cancel, don't save",
       [&](ScriptedWindows& w) { w.results.push_back(kWizCancel); },
       {MsgResult::No},
       {0, 1, 3, 5, 7},
       SessionEnd::Cancelled,
       -1},
  };
  for (const ButtonCase& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(firstNewFile());
    Rig rig;
    c.script(rig.windows);
    ScriptedMessages msgs;
    for (MsgResult a : c.answers) msgs.answer(a);
    const SessionOutcome out = rig.driver.cmdBegin_Click();
    EXPECT_EQ(rig.windows.shown, c.shown);
    EXPECT_EQ(out.end, c.end);
    EXPECT_EQ(msgs.requests().size(), c.answers.size()) << msgs.texts().join('|').toStdString();
    for (const QString& t : msgs.texts()) EXPECT_EQ(t, Str(4002));
    EXPECT_EQ(doneTests(firstNewFile()), c.savedTests);
    EXPECT_EQ(rig.windows.balance.staticCalls, c.savedTests < 0 && c.shown.size() < 4 ? 0 : 4)
        << "each test ran once";
    EXPECT_FALSE(rig.file.IsOpen());
    EXPECT_EQ(rig.notices.events.last(),
              c.end == SessionEnd::Cancelled ? "ExitingTest(true)" : "ExitingTest(false)");
    SubjectFile f;
    if (c.savedTests > 0 && f.Open(firstNewFile())) {
      EXPECT_EQ(f.VisitCount(), 1);
      EXPECT_EQ(f.SessionCount(), 1) << "an undone step leaves no session behind";
    }
  }
}

TEST(SessionDriver, AnsweringCancelToTheSaveQuestionKeepsTheFileForTheNextSession) {
  Rig rig;
  rig.windows.testList.push_back([](TestListModel& l) {
    l.cmdDoTest_Click();  // one test, then Cancel
    return at(kWizCancel);
  });
  {
    ScriptedMessages msgs{MsgResult::Cancel};
    const SessionOutcome out = rig.driver.cmdBegin_Click();
    EXPECT_EQ(out.end, SessionEnd::Cancelled);
    EXPECT_TRUE(out.fileStillOpen);
    EXPECT_EQ(msgs.texts(), QStringList{Str(4002)});
  }
  EXPECT_TRUE(rig.file.IsOpen());
  EXPECT_EQ(settings::read(settings::LastName), firstNewFile());
  EXPECT_FALSE(QFile::exists(firstNewFile()));

  // The next Testing goes on with the same file and session from the subject's information.
  rig.windows.shown.clear();
  rig.notices.events.clear();
  ScriptedMessages msgs;
  const SessionOutcome out = rig.driver.cmdBegin_Click();
  EXPECT_TRUE(out.resumed);
  EXPECT_EQ(out.end, SessionEnd::Saved);
  EXPECT_EQ(rig.windows.shown, (QList<int>{3, 5, 7}));
  EXPECT_EQ(rig.notices.events.first(), "EnteringTest(true)");
  EXPECT_EQ(rig.windows.balance.staticCalls, 4);
  EXPECT_EQ(doneTests(firstNewFile()), 4);
}

TEST(SessionDriver, AHeightConfirmedAfterBackReachesTheTestsAlreadyRecorded) {
  Rig rig;
  rig.windows.testList.push_back([](TestListModel& l) {
    l.cmdDoTest_Click();
    l.cmdDoTest_Click();
    return at(kWizBack);
  });
  rig.windows.subjectInfo.push_back(&ScriptedWindows::fillSubject);
  rig.windows.subjectInfo.push_back([](SubjectInfoStep& s) {
    EXPECT_DOUBLE_EQ(s.heightM, 1.68) << "the height confirmed before is offered";
    s.heightM = 1.80;
    s.info.dtDoB = clock::dateToDays(QDate(1935, 5, 2));  // a typing error in the year, corrected
    return at(kWizNext);
  });
  ScriptedMessages msgs;
  ASSERT_EQ(rig.driver.cmdBegin_Click().end, SessionEnd::Saved);
  EXPECT_EQ(rig.windows.shown, (QList<int>{0, 1, 3, 5, 3, 5, 7}));
  EXPECT_EQ(rig.windows.balance.staticCalls, 4) << "the first two tests were not run again";
  const auto los = BaseLimitsOfStability(1.80);
  EXPECT_FLOAT_EQ(float(rig.windows.balance.staticLimits[2].second), float(los->y));

  SubjectFile f;
  ASSERT_TRUE(f.Open(firstNewFile()));
  EXPECT_EQ(f.VisitItem(1)->phys.dHeight, 1.80);
  const Session* s = f.VisitItem(1)->SessionItem(1);
  for (const auto& t : s->BalanceTests()) {
    SCOPED_TRACE(t->sTestID.toStdString());
    EXPECT_FLOAT_EQ(t->fLoSY, float(los->y)) << "recorded before or after, every test has today's limits";
    EXPECT_FLOAT_EQ(t->fHeight, 1.80f);
    const auto cls = ClassifyStability(t->fStability, f.subject.dtDoB, t->dtDate,
                                       static_cast<KM_RQNormTestType>(t->lTestType));
    ASSERT_TRUE(cls);
    EXPECT_EQ(t->lStabilityClass, qint32(*cls)) << "classed for the corrected age";
  }
  // The score of a test recorded before the change was computed again with the wider limits.
  const BalanceTestRun again = RunFromBalanceTest(*s->BalanceTestItem(1), f.subject.dtDoB);
  EXPECT_FLOAT_EQ(s->BalanceTestItem(1)->fStability, float(again.result.fStability));
}

TEST(SessionDriver, AKillDuringTheTestListIsRecoveredAtTheSubjectInformation) {
  installDefaultTemplate();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Rig rig;
    rig.windows.balance.beforeStatic = [](int call) {
      if (call == 3) ::kill(::getpid(), SIGKILL);  // while the subject stands for the third test
    };
    ScriptedMessages msgs;
    rig.driver.cmdBegin_Click();
    ::_exit(3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(settings::read(settings::LastName), firstNewFile());
  ASSERT_TRUE(QFile::exists(settings::read(settings::LastTemp)));
  EXPECT_FALSE(QFile::exists(firstNewFile())) << "a new file exists only once saved";

  Rig rig;
  ScriptedMessages msgs{MsgResult::Yes, MsgResult::Yes};
  ASSERT_TRUE(rig.file.fnFileRecover());
  // The subject file was never saved, so the moved-or-deleted notice comes before the question.
  EXPECT_EQ(msgs.texts(), (QStringList{Str(4005), Str(4006)}));
  const SessionOutcome out = rig.driver.cmdBegin_Click();
  EXPECT_TRUE(out.resumed);
  EXPECT_EQ(out.end, SessionEnd::Saved);
  EXPECT_EQ(rig.windows.shown, (QList<int>{3, 5, 7}));
  EXPECT_EQ(rig.windows.balance.staticCalls, 2) << "the two recorded tests were kept";
  EXPECT_EQ(rig.windows.balance.zeroCalls, 2);
  EXPECT_EQ(doneTests(firstNewFile()), 4);
  SubjectFile f;
  ASSERT_TRUE(f.Open(firstNewFile()));
  EXPECT_EQ(f.SessionCount(), 1);
  EXPECT_EQ(f.subject.sNameLast, "Lovelace");
}

TEST(SessionDriver, SettingsAndAutomationClientsSkipTheChoiceWindows) {
  struct Case {
    const char* name;
    std::function<void()> setup;
    SessionStart start;
    QList<int> shown;
    QString file;
    int messages;
  };
  const Case cases[] = {
      {"hidden file choice",
       [] { settings::write(settings::HideSubjectFile, -1); },
       {},
       {1, 3, 5, 7},
       "STF000001.kpf",
       0},
      {"no template choice",
       [] { settings::write(settings::AllowTestTemplate, 0); },
       {},
       {0, 3, 5, 7},
       "STF000001.kpf",
       0},
      {"client names both", [] {}, {true, "named.kpf", true, "KMTARNRQ"}, {3, 5, 7}, "named.kpf", 0},
      {"client names no file", [] {}, {true, "", false, ""}, {1, 3, 5, 7}, "STF000001.kpf", 0},
      {"unreadable template",
       [] {
         QFile f(QDir(settings::read(settings::TemplatePath)).filePath("KMTARNRQ.tef"));
         f.open(QIODevice::WriteOnly);
         f.write("damaged");
       },
       {},
       {0, 1},
       "",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.setup();
    ScriptedMessages msgs;
    const SessionOutcome out = rig.driver.cmdBegin_Click(c.start);
    EXPECT_EQ(rig.windows.shown, c.shown);
    EXPECT_EQ(msgs.requests().size(), c.messages);
    if (c.messages == 0) {
      EXPECT_EQ(out.end, SessionEnd::Saved);
      EXPECT_EQ(out.fileName, QDir(dataFolder()).filePath(c.file));
      EXPECT_EQ(doneTests(out.fileName), 4);
      QFile::remove(out.fileName);
    } else {
      EXPECT_EQ(msgs.texts()[0],
                Str(4013).arg(QDir(settings::read(settings::TemplatePath)).filePath("KMTARNRQ.tef")));
      EXPECT_EQ(out.end, SessionEnd::Cancelled);
      EXPECT_TRUE(settings::read(settings::LastName).isEmpty()) << "no file was opened for nothing";
    }
    settings::remove(settings::HideSubjectFile);
    settings::remove(settings::AllowTestTemplate);
  }
}

}  // namespace
}  // namespace tarn
