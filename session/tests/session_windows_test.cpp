#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTextStream>

#include "balance/plate/replayplate.h"
#include "balance/plate/simulatedplate.h"
#include "balance/procedures/zerojudge.h"
#include "data/lists/list.h"
#include "session/subjectinfo.h"
#include "session/tests/session_testutil.h"
#include "session/windows/frmtfile.h"
#include "session/windows/frmtinfo.h"
#include "session/windows/frmtlist.h"
#include "session/windows/frmttemplate.h"
#include "session/windows/testsession.h"
#include "support/strings/strings.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace sessiontest;

TEST(SessionWindows, SubjectInfoChecksInOrderKeepsWhatWasTypedAndWritesOnlyWhenAllPass) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  SubjectInfo info;
  info.sNameFirst = "Ada";
  info.sSubjectID = "";
  info.dtDoB = clock::dateToDays(QDate(1961, 5, 2));
  const SubjectInfo before = info;
  frmTInfo w;
  w.SetPatientInfo(&info);
  w.setHeight(1.68);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ Testing - Subject's Info"));
  EXPECT_EQ(w.txtDOB->text(), "5/2/1961");
  EXPECT_EQ(w.txtPatientHeight->text(), "1.68 m");
  w.show();

  struct Step {
    std::function<void()> type;
    int text;
    QWidget* focus;
  };
  const Step steps[] = {
      {[] {}, 4230, w.txtNameLast},
      {[&] { w.txtNameLast->setText("Lovelace"); }, 4231, w.optMale},
      {[&] { w.optFemale->setChecked(true), w.txtDOB->clear(); }, 4232, w.txtDOB},
      {[&] { w.txtDOB->setText("2/30/1961"); }, 4233, w.txtDOB},
      {[&] { w.txtDOB->setText(ShortDateText(clock::now().date().addDays(1))); }, 4233, w.txtDOB},
      {[&] { w.txtDOB->setText("5/2/1961"), w.txtPatientHeight->setText("2.56 m"); }, 4234,
       w.txtPatientHeight},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.text);
    s.type();
    const QString typedDob = w.txtDOB->text(), typedHeight = w.txtPatientHeight->text();
    ScriptedMessages msgs{MsgResult::OK};
    w.cmdNext->click();
    EXPECT_EQ(msgs.texts(), QStringList{Str(s.text)});
    EXPECT_EQ(msgs.requests().value(0).icon, MsgIcon::Exclamation);
    EXPECT_EQ(w.focusWidget(), s.focus);
    EXPECT_TRUE(w.isVisible()) << "the window stays";
    EXPECT_EQ(w.txtDOB->text(), typedDob);
    EXPECT_EQ(w.txtPatientHeight->text(), typedHeight);
    EXPECT_EQ(w.txtNameFirst->text(), "Ada");
    EXPECT_EQ(info, before) << "nothing is written before every check passes";
  }

  // Cancel asks first; No keeps the window and everything in it.
  {
    ScriptedMessages msgs{MsgResult::No};
    w.cmdCancel->click();
    EXPECT_EQ(msgs.texts(), QStringList{Str(4235)});
    EXPECT_TRUE(w.isVisible());
  }
  w.txtPatientHeight->setText("2.55");
  ScriptedMessages none;
  w.cmdNext->click();
  EXPECT_TRUE(none.requests().isEmpty());
  EXPECT_EQ(w.result(), kWizNext);
  EXPECT_EQ(info.sNameLast, "Lovelace");
  EXPECT_EQ(info.lIsMale, kSexFemale);
  EXPECT_DOUBLE_EQ(w.fHeight(), 2.55);
  QLocale::setDefault(QLocale::system());
}

TEST(SessionWindows, FileChoiceOpensTheChosenRowOrStartsANewFile) {
  settings::writeBool(settings::HideSubjectName, true);
  const QString folder = dataFolder();
  writeSubjectFile(QDir(folder).filePath("one.kpf"), "One");
  writeSubjectFile(QDir(folder).filePath("two.kpf"), "Two");
  KM_RQList list;
  list.Refresh(10.0f, folder, ".kpf");

  frmTFile w;
  w.SetFileList(&list);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ Testing - Subject's File Selection"));
  ASSERT_EQ(w.grdFiles->rowCount(), 2);
  EXPECT_EQ(w.grdFiles->item(0, kFileColName)->text(), "(Hidden)");
  EXPECT_FALSE(w.cmdOpen->isEnabled());
  w.mnuPopUp_List_Sort_Column_Click(kFileColID);
  w.mnuPopUp_List_Sort_Column_Click(kFileColID);  // again: the other way round
  const QString last = w.rows().front().fileName;
  w.grdFiles->selectRow(0);
  EXPECT_TRUE(w.cmdOpen->isEnabled());
  w.cmdOpen->click();
  EXPECT_EQ(w.result(), kWizNext);
  EXPECT_EQ(w.FileName(), QDir(folder).filePath(last)) << "a hidden name can still be opened";

  frmTFile n;
  n.SetFileList(&list);
  n.cmdNew->click();
  EXPECT_EQ(n.result(), kWizNext);
  EXPECT_TRUE(n.FileName().isEmpty());
  frmTFile c;
  c.show();
  c.close();  // the close box
  EXPECT_EQ(c.result(), kWizCancel);
  settings::remove(settings::HideSubjectName);
}

TEST(SessionWindows, TemplateChoiceOffersTheDefaultAndRefusesAnUnreadableTemplate) {
  const QString def = installDefaultTemplate();
  const QString folder = QFileInfo(def).path();
  QFile bad(QDir(folder).filePath("AAA broken.tef"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("broken");
  bad.close();
  frmTTemplate w;
  w.setChosen(def);
  ASSERT_EQ(w.grdTemplate->rowCount(), 2);
  EXPECT_TRUE(w.grdTemplate->item(0, kTplColName)->text().endsWith("(cannot be read)"));
  EXPECT_FALSE(w.grdTemplate->item(0, 0)->flags() & Qt::ItemIsSelectable);
  EXPECT_EQ(w.Chosen(), def);
  EXPECT_TRUE(w.cmdNext->isEnabled());
  w.grdTemplate->selectRow(0);
  EXPECT_EQ(w.Chosen(), def) << "the unreadable row cannot be chosen";
  w.cmdBack->click();
  EXPECT_EQ(w.result(), kWizBack);
}

// The test list window with scripted test windows behind it.
TEST(SessionWindows, TheTestListKeepsForcedOrderAndGoesOnByItself) {
  settings::writeBool(settings::ForceTestOrder, true);
  SubjectFile file;
  file.CreateEmpty();
  file.subject.dtDoB = clock::dateToDays(QDate(1961, 5, 2));
  Visit* visit = file.AddVisit();
  visit->phys.dHeight = 1.70;
  Session* session = visit->AddSession();
  const KM_RQTemplate t = MakeDefaultTestTemplate();
  for (qint32 i = 1; i <= t.lTestCount(); ++i) AddBalanceTestFromItem(*session, *t.tiTestItem(i), {});
  ScriptedBalanceWindows tests;
  TestListModel model(file, *visit, *session, tests);
  model.Update_List();

  frmTList w;
  w.SetModel(&model);
  EXPECT_EQ(w.grdTests->item(1, kListColStatus)->text(), "Previous Not Done");
  w.grdTests->selectRow(2);
  EXPECT_EQ(model.selected(), 0) << "a test held back by the forced order cannot be selected";
  EXPECT_TRUE(w.cmdDoTest->isEnabled());

  // Shown with "ProceedAutomatically": every test runs and Next follows by itself.
  settings::writeBool(settings::ProceedAutomatically, true);
  ScriptedMessages msgs;
  EXPECT_EQ(w.exec(), kWizNext);
  EXPECT_EQ(tests.staticCalls, 4);
  EXPECT_TRUE(model.allDone());
  EXPECT_TRUE(msgs.requests().isEmpty());
  settings::remove(settings::ProceedAutomatically);
  settings::remove(settings::ForceTestOrder);
}

// Writes a quiet standing recording (Fz, M1, M2 at 100 Hz) for the replay platform.
QString writeRecording(double seconds) {
  const QString path = QDir(dataFolder()).filePath("../recording.csv");
  auto rec = demodata::makeModelRecorder(3)->record(SimulatedSubject{}, 100.0f, seconds, clock::nowDays());
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  QTextStream out(&f);
  out << "Fz,M1,M2\n";
  for (qint32 i = 0; i < rec->Count(); ++i)
    out << rec->Sample(0, i) << ',' << rec->Sample(1, i) << ',' << rec->Sample(2, i) << '\n';
  return path;
}

TEST(SessionWindows, AnUnattendedSessionGoesThroughTheRealWindowsOnEitherPlatform) {
  for (const bool replay : {false, true}) {
    SCOPED_TRACE(replay ? "replay" : "simulated");
    ForgetZero();
    std::unique_ptr<KMX_HID_Devices> driver;
    if (replay)
      driver = std::make_unique<ReplayPlateDriver>(writeRecording(30.0), ReplayOptions{});
    else
      driver = std::make_unique<SimulatedPlateDriver>(
          1, SimulatedPlateConfig{.temperatureC = 26.0, .seed = 5}, SimulatedSubject{});
    driver->PlateDevicesOpen();
    KM_RQList list;
    CurrentSubjectFile file;
    RecordingNotices notices;
    TestSessionContext ctx;
    ctx.plateDriver = driver.get();
    ctx.lists = &list;
    ctx.currentFile = &file;
    ctx.notices = &notices;
    UnattendedOptions o;
    o.timeScale = 400;
    o.stepTimeoutMs = 60000;
    const UnattendedReport r = RunUnattendedSession(ctx, o);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.testsDone, 4);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join('|').toStdString();
    EXPECT_EQ(QFileInfo(r.fileName).fileName(), replay ? "STF000002.kpf" : "STF000001.kpf");
    EXPECT_EQ(list.lFilesCount(), replay ? 2 : 1) << "the list holds the new file";
    EXPECT_EQ(notices.events.last(), "ExitingTest(false)");
    SubjectFile saved;
    ASSERT_TRUE(saved.Open(r.fileName));
    EXPECT_EQ(saved.subject.sNameLast, "Sample");
    const Session* s = saved.VisitItem(1)->SessionItem(1);
    for (const auto& t : s->BalanceTests()) {
      EXPECT_TRUE(t->bIsDone);
      EXPECT_GT(t->lStabilityClass, 0);
      EXPECT_FALSE(t->sPlate.isEmpty());
    }
    EXPECT_FALSE(file.IsOpen());
  }
}

}  // namespace
}  // namespace tarn
