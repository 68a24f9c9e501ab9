#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "session/currentfile.h"
#include "session/filesave.h"
#include "session/tests/session_testutil.h"
#include "support/strings/strings.h"
#include "testsupport/sandbox.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace sessiontest;

// Everything that lies in a folder, hidden files included, with its contents.
QMap<QString, QByteArray> folderContents(const QString& folder) {
  QMap<QString, QByteArray> out;
  for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden))
    out[n] = bytesOf(QDir(folder).filePath(n));
  return out;
}

// Opens path, names the subject `lastName` and saves it, `times` times.
void saveGenerations(const QString& path, const QStringList& names) {
  CurrentSubjectFile cur;
  ASSERT_TRUE(cur.fnFileOpen(path));
  for (const QString& n : names) {
    cur.file()->subject.sNameLast = n;
    cur.setDataChanged(true);
    ASSERT_TRUE(cur.fnDataSave(true));
  }
  ASSERT_FALSE(cur.fnFileClose(true));
}

TEST(SessionFile, NewNamesCountUpFromSTF000001) {
  const QString folder = dataFolder();
  EXPECT_EQ(CurrentSubjectFile::NewSubjectFileName(folder, ".kpf"), QDir(folder).filePath("STF000001.kpf"));
  writeSubjectFile(QDir(folder).filePath("STF000001.kpf"), "One");
  EXPECT_EQ(CurrentSubjectFile::NewSubjectFileName(folder, "kpf"), QDir(folder).filePath("STF000002.kpf"));
}

TEST(SessionFile, FiveSavesKeepFourGenerationsBesideTheFileInADottedFolder) {
  const QString folder = QDir(dataFolder()).filePath("Clinic.v2");
  QDir().mkpath(folder);
  const QString path = QDir(folder).filePath("STF000001.kpf");
  writeSubjectFile(path, "Gen 0");
  saveGenerations(path, {"Gen 1", "Gen 2", "Gen 3", "Gen 4", "Gen 5"});

  EXPECT_EQ(lastNameIn(path), "Gen 5");
  const QStringList backups = BackupNames(path);
  EXPECT_EQ(backups.first(), QDir(folder).filePath("STF000001.bak"));
  const QStringList expected = {"Gen 4", "Gen 3", "Gen 2", "Gen 1"};  // Gen 0 is the generation lost
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lastNameIn(backups[i]), expected[i]) << backups[i].toStdString();
  EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 5) << "nothing else is left beside it";
  EXPECT_TRUE(QDir(dataFolder()).entryList({"Clinic*"}, QDir::Files).isEmpty());
}

struct SaveFault {
  const char* name;
  std::function<void(const QString&folder, const QString&file)> fault, repair;
  int reason;  // string number the message must contain
};

TEST(SessionFile, AFailedSaveChangesNothingSaysWhyAndKeepsTheData) {
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const SaveFault faults[] = {
      {"disk full",
       [&](const QString&, const QString&) {
         setReplaceStageHook([&](const QString& stage) {
           if (stage != "begin") return;
           rlimit small = old;
           small.rlim_cur = 4096;
           setrlimit(RLIMIT_FSIZE, &small);
         });
       },
       [&](const QString&, const QString&) {
         setReplaceStageHook({});
         setrlimit(RLIMIT_FSIZE, &old);
       },
       4021},
      {"read-only folder",
       [](const QString& d, const QString&) { QFile::setPermissions(d, QFile::ReadOwner | QFile::ExeOwner); },
       [](const QString& d, const QString&) {
         QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
       },
       4003},
      {"read-only file", [](const QString&, const QString& f) { QFile::setPermissions(f, QFile::ReadOwner); },
       [](const QString&, const QString& f) {
         QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner);
       },
       4003},
      {"folder vanished", [](const QString& d, const QString&) { QDir().rename(d, d + ".away"); },
       [](const QString& d, const QString&) { QDir().rename(d + ".away", d); }, 4023},
  };
  auto* previousSignal = std::signal(SIGXFSZ, SIG_IGN);
  for (const SaveFault& f : faults) {
    SCOPED_TRACE(f.name);
    const QString folder = QDir(dataFolder()).filePath(f.name);
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath("STF000001.kpf");
    writeSubjectFile(path, "Gen 0");
    saveGenerations(path, {"Gen 1", "Gen 2"});
    const auto before = folderContents(folder);

    CurrentSubjectFile cur;
    ASSERT_TRUE(cur.fnFileOpen(path));
    cur.file()->subject.sNameLast = "Recorded";
    // A big enough file that a small size limit stops its copy.
    cur.file()->subject.sNotes = QString(20000, QLatin1Char('x'));
    cur.setDataChanged(true);
    f.fault(folder, path);
    ScriptedMessages msgs;
    const bool saved = cur.fnDataSave(true);
    f.repair(folder, path);
    EXPECT_FALSE(saved);
    ASSERT_EQ(msgs.requests().size(), 1);
    EXPECT_TRUE(msgs.texts()[0].contains(Str(f.reason))) << msgs.texts()[0].toStdString();
    EXPECT_TRUE(msgs.texts()[0].contains(Str(4025)));
    EXPECT_EQ(msgs.requests()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(folderContents(folder), before)
        << "the file and its backups are as they were, nothing left over";
    EXPECT_TRUE(cur.IsOpen());
    EXPECT_TRUE(cur.bDataChanged());
    EXPECT_EQ(settings::read(settings::LastTemp), cur.sTempName());
    EXPECT_EQ(settings::read(settings::LastName), path);
    if (f.reason != 4003) {
      EXPECT_EQ(lastNameIn(cur.sTempName()), "Recorded") << "the working copy has the data";
    }

    // Once the fault is gone the same data saves.
    EXPECT_TRUE(cur.fnDataSave(false));
    EXPECT_EQ(lastNameIn(path), "Recorded");
    EXPECT_EQ(lastNameIn(BackupNames(path)[0]), "Gen 2");
  }
  std::signal(SIGXFSZ, previousSignal);
}

TEST(SessionFile, AKillAtAnyPointOfASaveLeavesTheOldOrTheNewFileWhole) {
  const QStringList stages = {"begin",       "copied",      "rolled .bk3", "rolled .bk2",
                              "rolled .bk1", "rolled .bak", "backed up",   "replaced"};
  for (const QString& stage : stages) {
    SCOPED_TRACE(stage.toStdString());
    const QString folder = QDir(dataFolder()).filePath(stage);
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath("subject.kpf");
    writeSubjectFile(path, "Gen 0");
    saveGenerations(path, {"Gen 1", "Gen 2", "Gen 3", "Gen 4", "Old"});

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CurrentSubjectFile cur;
      if (!cur.fnFileOpen(path)) ::_exit(2);
      cur.file()->subject.sNameLast = "New";
      cur.setDataChanged(true);
      setReplaceStageHook([&](const QString& s) {
        if (s == stage) ::kill(::getpid(), SIGKILL);
      });
      cur.fnDataSave(true);
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the stage was reached";
    const bool renamed = stage == "replaced";
    EXPECT_EQ(lastNameIn(path), renamed ? "New" : "Old");
    for (const QString& b : BackupNames(path)) {
      if (QFile::exists(b)) {
        EXPECT_NE(lastNameIn(b), "<damaged>") << b.toStdString();
      }
    }

    // The next save tidies what the killed one left and works.
    saveGenerations(path, {"After"});
    EXPECT_EQ(lastNameIn(path), "After");
    EXPECT_TRUE(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty());
  }
}

// The step texts one procedure wrote to the event log at path, in order.
QStringList procedureSteps(const QString& path, const QString& procedure) {
  QFile f(path);
  QStringList out;
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
    const QStringList fields = line.split('\t');
    if (fields.size() >= 4 && fields[2] == procedure) out << fields[3];
  }
  return out;
}

TEST(SessionFile, RecoveryAsksFirstThenResumesOrForgets) {
  struct Case {
    const char* name;
    bool subjectFilePresent, goodTemp, clientAllows;
    MsgResult answer;
    QList<int> messages;
    bool recovered;
  };
  const Case cases[] = {
      {"yes", true, true, true, MsgResult::Yes, {4006}, true},
      {"file moved", false, true, true, MsgResult::Yes, {4005, 4006}, true},
      {"no good temp", true, false, true, MsgResult::Yes, {}, false},
      {"no", true, true, true, MsgResult::No, {4006}, false},
      {"client refuses", true, true, false, MsgResult::Yes, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = QDir(dataFolder()).filePath(QString("%1.kpf").arg(c.name));
    writeSubjectFile(path, "Saved");
    QString temp;
    {
      CurrentSubjectFile crashed;
      ASSERT_TRUE(crashed.fnFileOpen(path));
      crashed.file()->subject.sNameLast = "Unsaved";
      ASSERT_TRUE(crashed.SaveWorkingCopy());
      temp = crashed.sTempName();
      // The program dies here: nothing closes the file, the working copy and the pair stay.
    }
    if (!c.goodTemp) QFile(temp).resize(0);
    if (!c.subjectFilePresent) QFile::remove(path);

    RecordingNotices notices;
    notices.allowRecovery = c.clientAllows;
    CurrentSubjectFile cur(&notices);
    ScriptedMessages msgs{c.answer};
    const QString logPath = QDir(testsupport::sandboxFolder()).filePath(QString("%1.log").arg(c.name));
    ASSERT_TRUE(eventlog::start(logPath));
    EXPECT_EQ(cur.fnFileRecover(), c.recovered);
    QList<int> shown;
    for (const QString& t : msgs.texts())
      for (int id : {4005, 4006})
        if (t == Str(id)) shown << id;
    EXPECT_EQ(shown, c.messages);
    EXPECT_EQ(msgs.texts().size(), c.messages.size());
    EXPECT_EQ(notices.events.contains("AppQueryFileRecovery(tmp)"), true);
    if (c.recovered) {
      ASSERT_TRUE(cur.IsOpen());
      EXPECT_EQ(cur.file()->subject.sNameLast, "Unsaved");
      EXPECT_EQ(cur.sFileName(), path);
      EXPECT_EQ(settings::read(settings::LastTemp), temp);
      EXPECT_TRUE(cur.bDataChanged());
      ASSERT_TRUE(cur.fnDataSave(false));
      EXPECT_EQ(lastNameIn(path), "Unsaved");
    } else {
      EXPECT_FALSE(cur.IsOpen());
      EXPECT_TRUE(settings::read(settings::LastName).isEmpty());
      EXPECT_TRUE(settings::read(settings::LastTemp).isEmpty());
    }
    if (c.answer == MsgResult::No) {
      EXPECT_FALSE(QFile::exists(temp)) << "no health data stays in the temp folder";
    }
    EXPECT_FALSE(cur.fnFileRecover()) << "the pair is used once";

    // Both calls, whichever way they ended, close their lines in the log.
    eventlog::stop();
    const QStringList steps = procedureSteps(logPath, "fnFileRecover");
    EXPECT_EQ(steps.filter(QRegularExpression("^Begin")).size(), 2) << steps.join(" | ").toStdString();
    EXPECT_EQ(steps.count("Procedure Completed"), 2) << steps.join(" | ").toStdString();
    EXPECT_EQ(steps.last(), "Procedure Completed") << steps.join(" | ").toStdString();
  }
}

TEST(SessionFile, AForeignOrDamagedFileIsRefusedAndNothingChanges) {
  const QString junk = QDir(dataFolder()).filePath("junk.kpf");
  {
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a subject file at all");
  }
  const QString foreign = QDir(dataFolder()).filePath("foreign.kpf");
  {
    SubjectFile f;
    f.CreateEmpty("Some Other Program");
    ASSERT_TRUE(f.Save(foreign));
  }
  for (const QString& path : {junk, foreign}) {
    const QByteArray before = bytesOf(path);
    CurrentSubjectFile cur;
    ScriptedMessages msgs;
    EXPECT_FALSE(CurrentSubjectFile::fnFileIsAcceptable(path));
    EXPECT_FALSE(cur.fnFileOpen(path));
    EXPECT_EQ(msgs.texts(), QStringList{Str(4000)});
    EXPECT_FALSE(cur.IsOpen());
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_TRUE(settings::read(settings::LastName).isEmpty());
    EXPECT_TRUE(QDir(folders::tempFolder()).entryList({"~ST*"}, QDir::Files).isEmpty());
  }
}

TEST(SessionFile, AVisitADayOldGetsANewOneAtOpen) {
  struct Case {
    QDateTime visit, now;
    int visits;
  };
  const QDate d(2025, 3, 10);
  const Case cases[] = {
      {QDateTime(d.addDays(-1), QTime(23, 59)), QDateTime(d, QTime(0, 1)), 2},
      {QDateTime(d, QTime(0, 1)), QDateTime(d, QTime(23, 59)), 1},
      {QDateTime(d.addYears(-1), QTime(9, 0)), QDateTime(d, QTime(9, 0)), 2},
  };
  for (const Case& c : cases) {
    const QString path = QDir(dataFolder()).filePath("visits.kpf");
    QFile::remove(path);
    writeSubjectFile(path, "Visits", clock::toDays(c.visit));
    clock::setNow(c.now);
    CurrentSubjectFile cur;
    ASSERT_TRUE(cur.fnFileOpen(path));
    EXPECT_EQ(cur.file()->VisitCount(), c.visits) << c.visit.toString().toStdString();
    if (c.visits == 2) {
      const Visit* v = cur.file()->VisitItem(2);
      EXPECT_EQ(v->dtDate, clock::dateToDays(c.now.date()));
      EXPECT_EQ(v->phys.dHeight, 1.68) << "the physical information carries over";
    }
    EXPECT_EQ(cur.bDataChanged(), c.visits == 2);
    cur.fnFileClose(true);
  }
  clock::setNow(QDateTime());
}

}  // namespace
}  // namespace tarn
