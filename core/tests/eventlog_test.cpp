#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/mail.h"
#include "core/settingkeys.h"
#include "testsupport/childprocess.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {
QString logFile() { return QDir(folders::commonDataFolder()).filePath("KMTARNRQ.log"); }

QStringList readLines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void writeFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class EventLog : public ::testing::Test {
 protected:
  void TearDown() override { eventlog::stop(); }
};

TEST_F(EventLog, StepLinesHeadersAndErrorsHaveTheirExactShape) {
  clock::setNow(QDateTime(QDate(2026, 12, 5), QTime(23, 27, 3)));
  ASSERT_TRUE(eventlog::start(logFile()));  // creates the missing folders
  EXPECT_TRUE(eventlog::isRunning());
  EXPECT_TRUE(eventlog::lastError().isEmpty());
  eventlog::writeHeader(false);
  {
    ProcLog log("frmPMain", "cmdExit_Click");
    log.step("");
    log.error("plate not responding");
    log.completed();
  }
  ProcLog("mdifrmMain", "fnFileOpen", "File = /d/a.kpf");
  ProcLog("mdifrmMain", "fnFileSave", ", File = /d/b.kpf");
  // Longer than a line made in one piece, and with text beyond ASCII past that point.
  const QString longStep = QString(700, QChar('x')) + QString::fromUtf8(" \xC3\xA9t\xC3\xA9");
  eventlog::logStep("KM_RQList", "Load", longStep);
  clock::setNow(QDateTime());

  const QStringList lines = readLines(logFile());
  ASSERT_EQ(lines.size(), 8);
  EXPECT_TRUE(lines[7].endsWith("\tKM_RQList\tLoad\t" + longStep));
  EXPECT_EQ(lines[0], "Application Version 1.0.0 - Log Started at " +
                          clock::generalDateText(QDateTime(QDate(2026, 12, 5), QTime(23, 27, 3))));
  EXPECT_TRUE(lines[0].contains("27:03")) << lines[0].toStdString();
  const QRegularExpression step("^(\\d+)\\tfrmPMain\\tcmdExit_Click\\t(.*)$");
  const QStringList expectedSteps{"Begin", "", "", "Procedure Completed"};
  for (int i = 0; i < 4; ++i) {
    const QString line = i == 2 ? lines[1 + i].mid(QString(eventlog::kErrorPrefix).size()) : lines[1 + i];
    const auto m = step.match(line);
    ASSERT_TRUE(m.hasMatch()) << lines[1 + i].toStdString();
    if (i != 2) {
      EXPECT_EQ(m.captured(2), expectedSteps[i]);
    }
  }
  EXPECT_TRUE(lines[3].startsWith("[ERROR] ")) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].endsWith("\tError: plate not responding")) << lines[3].toStdString();
  EXPECT_TRUE(lines[5].endsWith("\tmdifrmMain\tfnFileOpen\tBegin, File = /d/a.kpf"));
  EXPECT_TRUE(lines[6].endsWith("\tmdifrmMain\tfnFileSave\tBegin, File = /d/b.kpf"));
}

TEST_F(EventLog, StartAppendsAndClearLogRestartsWithClearedHeader) {
  writeFile(logFile(), "older line\n");
  ASSERT_TRUE(eventlog::start(logFile()));
  eventlog::logStep("frmPMain", "Form_Load", "Begin");
  EXPECT_EQ(readLines(logFile()).size(), 2);
  eventlog::clearLog();
  EXPECT_TRUE(eventlog::isRunning());
  eventlog::logStep("frmPMain", "Form_Activate", "Begin");
  const QStringList lines = readLines(logFile());
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith("Application Version 1.0.0 - Log Cleared at "));
  EXPECT_TRUE(lines[1].endsWith("\tfrmPMain\tForm_Activate\tBegin"));
}

TEST_F(EventLog, AStoppedOrUnopenableLogWritesNothingAndSaysWhy) {
  eventlog::logStep("m", "p", "before start");  // not started: silently nothing
  writeFile(folders::commonDataFolder() + "/blocker", "x");
  EXPECT_FALSE(eventlog::start(folders::commonDataFolder() + "/blocker/KMTARNRQ.log"));
  EXPECT_FALSE(eventlog::isRunning());
  EXPECT_TRUE(eventlog::lastError().contains("cannot be opened")) << eventlog::lastError().toStdString();
  eventlog::logStep("m", "p", "while off");
  eventlog::clearLog();  // must not throw or create anything
  EXPECT_FALSE(eventlog::isRunning());
  EXPECT_FALSE(QFile::exists(logFile()));
}

TEST_F(EventLog, AKilledProcessLeavesEveryLineAndANormalEndLeavesNoLog) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    eventlog::start(logFile());
    eventlog::writeHeader(false);
    for (int i = 0; i < 200; ++i) eventlog::logStep("frmTBStatic", "tmrReplay_Timer", QString::number(i));
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(eventlog::previousRunEndedAbnormally(folders::commonDataFolder()));
  const QStringList lines = readLines(logFile());
  ASSERT_EQ(lines.size(), 201);
  EXPECT_TRUE(lines.last().endsWith("\ttmrReplay_Timer\t199"));

  ASSERT_TRUE(eventlog::start(logFile()));
  eventlog::endNormally();
  EXPECT_FALSE(eventlog::isRunning());
  EXPECT_FALSE(QFile::exists(logFile()));
  EXPECT_FALSE(eventlog::previousRunEndedAbnormally(folders::commonDataFolder()));
}

// Bulk work logs in blocks: what a batch gathered reaches the file when the batch ends, before an
// error line, when the log stops, when a block fills, and when the process crashes.
TEST_F(EventLog, ABatchWritesItsLinesInOrderWhenItEndsOrSomethingUrgentComes) {
  ASSERT_TRUE(eventlog::start(logFile()));
  eventlog::logStep("m", "p", "before");
  {
    eventlog::Batch outer;
    eventlog::logStep("m", "p", "gathered 1");
    {
      eventlog::Batch inner;
      eventlog::logStep("m", "p", QString::fromUtf8("gathered \xC3\xA9 2"));
    }
    EXPECT_EQ(readLines(logFile()).size(), 1) << "an inner batch ending writes nothing yet";
    eventlog::logError("m", "p", "urgent");
    QStringList lines = readLines(logFile());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[2].endsWith(QString::fromUtf8("\tm\tp\tgathered \xC3\xA9 2")));
    EXPECT_TRUE(lines[3].startsWith("[ERROR] ") && lines[3].endsWith("\tm\tp\tError: urgent"));
    eventlog::logStep("m", "p", "after the error");
    EXPECT_EQ(readLines(logFile()).size(), 4);
  }
  EXPECT_TRUE(readLines(logFile()).last().endsWith("\tafter the error"));

  // Far more than a block: nothing lost, nothing out of order, nothing left once the log stops.
  {
    eventlog::Batch batch;
    for (int i = 0; i < 5000; ++i)
      eventlog::logStep("KM_RQListFile", "Load", QStringLiteral("line %1").arg(i));
    EXPECT_GT(readLines(logFile()).size(), 5) << "a full block is written";
    eventlog::stop();
  }
  const QStringList lines = readLines(logFile());
  ASSERT_EQ(lines.size(), 5005);
  for (int i = 0; i < 5000; ++i)
    ASSERT_TRUE(lines[5 + i].endsWith(QStringLiteral("\tKM_RQListFile\tLoad\tline %1").arg(i))) << i;
}

TEST_F(EventLog, ACrashDuringABatchStillLeavesItsLines) {
  const int code = testsupport::runInChild([&] {
    eventlog::start(logFile());
    eventlog::Batch batch;
    for (int i = 0; i < 300; ++i) eventlog::logStep("KM_RQListFile", "Load", QString::number(i));
    ::abort();
    return 0;
  });
  EXPECT_EQ(code, -1) << "the child crashed";
  const QStringList lines = readLines(logFile());
  ASSERT_EQ(lines.size(), 300);
  EXPECT_TRUE(lines.last().endsWith("\tLoad\t299"));
}

class ErrorLogHandOff : public EventLog {
 protected:
  void SetUp() override {
    mail::setLauncher([this](const QString& program, const QStringList& args) {
      calls << (QStringList{program} + args);
      return launcherWorks;
    });
  }
  void TearDown() override {
    mail::setLauncher({});
    EventLog::TearDown();
  }
  QList<QStringList> calls;
  bool launcherWorks = true;
  QString folder = folders::commonDataFolder();
  QString errorLog = QDir(folders::commonDataFolder()).filePath("KMTARNRQError.log");
};

TEST_F(ErrorLogHandOff, YesReplacesTheOlderErrorLogAndMailsIt) {
  writeFile(errorLog, "old crash\n");
  writeFile(logFile(), "last run\n");
  settings::write(settings::SupportEMail, "help@clinic.example");
  eventlog::handOffErrorLog(folder, true);
  EXPECT_FALSE(QFile::exists(logFile()));
  EXPECT_EQ(readFile(errorLog), "last run\n");
  ASSERT_EQ(calls.size(), 1);
  // The mail program shows what will be sent: the log itself follows the text.
  const QString body = mail::errorLogBody() + mail::errorLogShown(errorLog);
  EXPECT_TRUE(body.endsWith("\n\nlast run\n")) << body.toStdString();
  EXPECT_EQ(calls[0], (QStringList{"xdg-email", "--subject", "KM TARN™ RQ Error Log", "--body", body,
                                   "--attach", errorLog, "help@clinic.example"}));
  EXPECT_TRUE(mail::errorLogBody().startsWith("The TARN™ RQ Error Log is attached.\n\nBefore sending"));
}

TEST_F(ErrorLogHandOff, ALongLogShowsItsLastWholeLinesAndIsAttachedWhole) {
  QByteArray log;
  for (int i = 0; log.size() <= mail::kErrorLogShownBytes * 2; ++i)
    log += "line " + QByteArray::number(i) + "\n";
  writeFile(errorLog, log);
  const QString shown = mail::errorLogShown(errorLog);
  EXPECT_TRUE(shown.endsWith(QString::fromUtf8(log.right(200)))) << "the end of the log";
  EXPECT_LE(shown.size(), mail::kErrorLogShownBytes + 400);
  const QStringList lines = shown.split('\n', Qt::SkipEmptyParts);
  EXPECT_FALSE(lines.contains(QStringLiteral("line 12"))) << "the start is only in the attachment";
  const qsizetype firstLog = lines.indexOf(QRegularExpression("^line \\d+$"));
  ASSERT_GE(firstLog, 0);
  EXPECT_TRUE(log.contains("\n" + lines[firstLog].toUtf8() + "\n")) << "starts with a whole line";
}

TEST_F(EventLog, TheFirstFailedWriteEndsLoggingAndTellsTheOperatorOnce) {
  constexpr rlim_t kRoom = 4096;  // the disk is full after this many bytes
  const int code = testsupport::runInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    ScriptedMessages script;
    if (!eventlog::start(logFile())) return 10;
    const struct rlimit room { kRoom, kRoom };
    ::setrlimit(RLIMIT_FSIZE, &room);
    for (int i = 0; i < 500; ++i) eventlog::logStep("frmTBStatic", "tmrReplay_Timer", QString(60, 'x'));
    QCoreApplication::processEvents();
    const bool stopped = !eventlog::isRunning() && eventlog::lastError().contains("could not be written");
    const bool fits = QFileInfo(logFile()).size() <= qint64(kRoom);
    eventlog::clearLog();  // the next activation does not start it again
    eventlog::logStep("frmPMain", "Form_Activate", "Begin");
    QCoreApplication::processEvents();
    const bool marked = QFileInfo::exists(logFile());  // a crash now is still noticed at the next start
    if (!stopped) return 1;
    if (!fits) return 2;
    if (script.requests().size() != 1) return 3;
    return marked && !eventlog::isRunning() ? 0 : 4;
  });
  EXPECT_EQ(code, 0);
}

TEST_F(ErrorLogHandOff, NoDeletesTheLogAndMakesNoErrorLog) {
  writeFile(logFile(), "last run\n");
  eventlog::handOffErrorLog(folder, false);
  EXPECT_FALSE(QFile::exists(logFile()));
  EXPECT_FALSE(QFile::exists(errorLog));
  EXPECT_TRUE(calls.isEmpty());
}

TEST_F(ErrorLogHandOff, AFailingMailProgramLeavesTheErrorLogAndGoesOn) {
  launcherWorks = false;
  writeFile(logFile(), "last run\n");
  eventlog::handOffErrorLog(folder, true);
  EXPECT_EQ(calls.size(), 1);
  EXPECT_EQ(calls[0].last(), "support@kamrithlabs.example");
  EXPECT_TRUE(QFile::exists(errorLog));
  EXPECT_FALSE(QFile::exists(logFile()));
}

TEST(Mail, MissingMailProgramIsReportedNotThrown) {
  const QByteArray oldPath = qgetenv("PATH");
  ::setenv("PATH", "/nonexistent", 1);
  mail::MailRequest m;
  m.to << "a@b.example";
  m.subject = "s";
  EXPECT_FALSE(mail::send(m));
  ::setenv("PATH", oldPath.constData(), 1);
}

}  // namespace
}  // namespace tarn
