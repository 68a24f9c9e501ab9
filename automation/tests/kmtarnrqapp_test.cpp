// The automation object in process: the collection and the sending of events, the vetoes, and
// every method with good and bad arguments over a real list and subject file.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <memory>

#include "automation/activationfile.h"
#include "automation/tests/automation_testutil.h"
#include "data/templates/template.h"
#include "testsupport/sandbox.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '{' << l.join(" | ").toStdString() << '}';
}

namespace tarn {
namespace {

using automationtest::FakeHost;
using automationtest::RecordingClient;

TEST(Automation, RegistrationKeepsOneEntryPerInstanceAndLeavesWithTheInstance) {
  FakeHost host;
  AutomationServer server(host);
  QStringList log;
  RecordingClient ca(log, "a"), cb(log, "b");
  auto a = std::make_unique<KM_TARNRQ_APP>(server, &ca);
  auto b = std::make_unique<KM_TARNRQ_APP>(server, &cb);
  EXPECT_NE(a->key(), b->key()) << "instances made in the same millisecond still have their own keys";

  EXPECT_TRUE(a->UnRegisterForEvents()) << "never registered";
  EXPECT_EQ(server.count(), 0);
  EXPECT_TRUE(a->RegisterForEvents());
  EXPECT_TRUE(a->RegisterForEvents()) << "already registered";
  EXPECT_TRUE(b->RegisterForEvents());
  EXPECT_EQ(server.keys(), (QStringList{a->key(), b->key()}));

  server.FileOpening("x.kpf");
  EXPECT_EQ(log, (QStringList{"a:FileOpening(x.kpf)", "b:FileOpening(x.kpf)"}))
      << "each once, in collection order";

  a.reset();
  EXPECT_EQ(server.keys(), QStringList{b->key()}) << "a destroyed instance leaves the collection";
  EXPECT_TRUE(b->UnRegisterForEvents());
  log.clear();
  server.ListRefreshStart();
  EXPECT_TRUE(log.isEmpty()) << "nobody registered, nobody told";
  EXPECT_FALSE(server.HasClients());
}

// The questions go in collection order and stop at the first client that objects; a client that
// does not answer counts as agreeing and leaves the collection.
TEST(Automation, TheFirstObjectionStopsAQuestion) {
  struct Case {
    const char* name;
    std::optional<bool> recoverA, recoverB;
    std::optional<qint16> cancelA, cancelB;
    bool allowed;
    QStringList asked;
    int registeredAfter;
  };
  const std::vector<Case> cases = {
      {"nobody objects", true, true, 0, 0, true, {"a", "b"}, 2},
      {"the first objects", false, true, -1, 0, false, {"a"}, 2},
      {"the second objects", true, false, 0, 1, false, {"a", "b"}, 2},
      {"the first is silent", std::nullopt, true, std::nullopt, 0, true, {"a", "b"}, 1},
      {"silent then objecting", std::nullopt, false, std::nullopt, 5, false, {"a", "b"}, 1},
  };
  for (const Case& k : cases) {
    for (const bool recovery : {true, false}) {
      SCOPED_TRACE(std::string(k.name) + (recovery ? " (recovery)" : " (close)"));
      FakeHost host;
      AutomationServer server(host);
      QStringList log;
      RecordingClient ca(log, "a"), cb(log, "b");
      ca.recover = k.recoverA, cb.recover = k.recoverB, ca.cancel = k.cancelA, cb.cancel = k.cancelB;
      KM_TARNRQ_APP a(server, &ca), b(server, &cb);
      a.RegisterForEvents();
      b.RegisterForEvents();
      const bool allowed =
          recovery ? server.AppQueryFileRecovery("s.kpf", "~ST1.tmp") : server.AppQueryClose();
      EXPECT_EQ(allowed, k.allowed);
      QStringList asked;
      for (const QString& line : log) asked << line.section(':', 0, 0);
      EXPECT_EQ(asked, k.asked);
      EXPECT_EQ(server.count(), k.registeredAfter);
      if (recovery) {
        EXPECT_EQ(log.value(0), "a:AppQueryFileRecovery(s.kpf,~ST1.tmp)");
      }
    }
  }
}

TEST(Automation, AppCloseReturnsAtOnceAndUnloadsTheWindowOnceAfterItsTimer) {
  FakeHost host;
  AutomationServer server(host);
  auto app = std::make_unique<KM_TARNRQ_APP>(server, nullptr);
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(app->AppClose());
  EXPECT_TRUE(app->AppClose()) << "a second call while the timer runs starts no second one";
  EXPECT_EQ(host.unloads, 0) << "the call returns before the window unloads";
  app.reset();  // the client leaves at once, as a command-line client does
  ASSERT_TRUE(automationtest::waitFor([&] { return host.unloads > 0; }));
  EXPECT_GE(t.elapsed(), KM_TARNRQ_APP::kAppCloseDelayMs - 5);
  automationtest::waitFor([] { return false; }, 200);
  EXPECT_EQ(host.unloads, 1);
}

TEST(Automation, FileListAndBalanceTestsComeFromTheList) {
  FakeHost host;
  AutomationServer server(host);
  KM_TARNRQ_APP app(server, nullptr);
  qint32 n = 99;
  QList<KM_RQFileListEntry> entries;
  app.GetFileList(n, entries);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(entries, QList<KM_RQFileListEntry>{KM_RQFileListEntry{}}) << "no list: one empty element";
  EXPECT_EQ(app.sGetFilePath(), "");

  automationtest::writeDemoFiles(3);
  KM_RQList list;
  automationtest::refreshList(list);
  host.list = &list;
  app.GetFileList(n, entries);
  ASSERT_EQ(n, 3);
  ASSERT_EQ(entries.size(), 3);
  for (qint32 i = 1; i <= 3; ++i) {
    const KM_RQListFile* e = list.lfFile(i);
    EXPECT_EQ(entries[i - 1].sFileName, e->sFileName);
    EXPECT_EQ(entries[i - 1].sSubjLName, e->sSubjLName);
    EXPECT_EQ(entries[i - 1].lTestBalanceCount, e->lTestBalanceCount());
    EXPECT_EQ(entries[i - 1].lRQSessionCount, e->lSTSessionCount());
  }
  EXPECT_EQ(app.sGetFilePath(), list.sDataPath());

  const KM_RQListFile* second = list.lfFile(2);
  const qint32 count = second->lTestBalanceCount();
  ASSERT_GT(count, 0);
  EXPECT_EQ(app.GetFileBalanceTest(second->sFileName, count), *second->ltTestBalanceItem(count));
  EXPECT_GT(app.GetFileBalanceTest(second->sFileName, 1).fStability, 0.0f);
  const struct {
    QString file;
    qint32 index;
  } empty[] = {{second->sFileName, 0}, {second->sFileName, count + 1},   {second->sFileName, -1},
               {"NOSUCH.kpf", 1},      {second->sFileName.toLower(), 1}, {"", 1}};
  for (const auto& k : empty) {
    SCOPED_TRACE(k.file.toStdString() + " " + std::to_string(k.index));
    EXPECT_EQ(app.GetFileBalanceTest(k.file, k.index), KM_RQFileBalanceTest{});
  }

  EXPECT_TRUE(app.bFileAcceptable(second->sFileName)) << "a bare name is a file of the data folder";
  EXPECT_TRUE(app.bFileAcceptable(list.sDataPath() + second->sFileName));
  EXPECT_FALSE(app.bFileAcceptable("NOSUCH.kpf"));
  EXPECT_FALSE(app.bFileAcceptable(""));
}

TEST(Automation, TheTemplateListNamesEveryTemplateThatLoads) {
  FakeHost host;
  AutomationServer server(host);
  KM_TARNRQ_APP app(server, nullptr);
  const QString folder = settings::read(settings::TemplatePath);
  folders::ensureFolder(folder);
  ASSERT_TRUE(CreateDefaultTestTemplate(QDir(folder).filePath("KMTARNRQ.tef")));
  KM_RQTemplate t;
  t.sName = "Vision only";
  t.AddTest(KM_RQTemplateItem::kVision);
  ASSERT_TRUE(t.Save(QDir(folder).filePath("vision.tef")));
  QFile junk(QDir(folder).filePath("junk.tef"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a template");
  junk.close();

  qint32 n = 0;
  QList<KM_RQTemplateListEntry> list;
  app.GetTemplateList(n, list);
  ASSERT_EQ(n, 2);
  KM_RQTemplate def;
  ASSERT_TRUE(def.Load(QDir(folder).filePath("KMTARNRQ.tef")));
  EXPECT_EQ(list[0], (KM_RQTemplateListEntry{def.sName, def.lTestCountBalance(), 0,
                                             QDir(folder).filePath("KMTARNRQ.tef")}));
  EXPECT_EQ(list[1], (KM_RQTemplateListEntry{"Vision only", 0, 1, QDir(folder).filePath("vision.tef")}));
}

class AutomationOpenFile : public ::testing::Test {
 protected:
  void SetUp() override {
    host.file = &file;
    path = automationtest::writeSubjectFile("STF000001.kpf", 2);
    app.RegisterForEvents();
  }
  FakeHost host;
  AutomationServer server{host};
  QStringList log;
  RecordingClient client{log, "c"};
  KM_TARNRQ_APP app{server, &client};
  CurrentSubjectFile file;
  QString path;
};

// Every Get and Set needs an open file and, where it takes them, a visit and session that exist;
// otherwise False and the record as it was.
TEST_F(AutomationOpenFile, GetsAndSetsRefuseWhatDoesNotExist) {
  const KM_Operator op{"Ann", "Oslo", "Viken", "n"};
  const KM_SubjPhysInfo phys{1.7, 60, 2, "", 1, "", 1, "", 1, 1, ""};
  const KM_MedContacts contacts{"Dr A"};
  const KM_SubjectInfo info{"Eva"};
  // The Gets read into sentinels that no file holds: a sentinel left means the record was left alone.
  const KM_Operator opS{"sentinel"};
  const KM_SubjPhysInfo physS{9.9};
  const KM_MedContacts contactsS{"sentinel"};
  auto call = [&](qint32 v, qint32 s) {
    KM_Operator o = opS;
    KM_SubjPhysInfo p = physS;
    KM_MedContacts c = contactsS;
    KM_SubjectInfo i = info;
    QList<bool> r = {app.bSGOperatorGet(v, s, o),   app.bKMOperatorGet(v, s, o),
                     app.bSGOperatorSet(v, s, op),  app.bKMOperatorSet(v, s, op),
                     app.bVMedContactsGet(v, c),    app.bVMedContactsSet(v, contacts),
                     app.bSubjectPhysInfoGet(v, p), app.bSubjectPhysInfoSet(v, phys),
                     app.bSubjectInfoGet(i),        app.bSubjectInfoSet(info)};
    return std::tuple{r, o == opS, p == physS && c == contactsS};
  };
  const auto [closed, opUnchanged, othersUnchanged] = call(1, 1);
  EXPECT_EQ(closed, QList<bool>(10, false)) << "no file open";
  EXPECT_TRUE(opUnchanged && othersUnchanged);

  ASSERT_TRUE(file.fnFileOpen(path));
  file.setDataChanged(false);
  const struct { qint32 visit, session; } outside[] = {{0, 1}, {3, 1}, {1, 0}, {1, 2}, {-1, -1}};
  for (const auto& k : outside) {
    SCOPED_TRACE(std::to_string(k.visit) + "/" + std::to_string(k.session));
    const auto [r, opKept, visitKept] = call(k.visit, k.session);
    const bool visitExists = k.visit >= 1 && k.visit <= file.file()->VisitCount();
    // Operators need both; contacts and physical data only the visit; subject data neither.
    EXPECT_EQ(r, (QList<bool>{false, false, false, false, visitExists, visitExists, visitExists, visitExists,
                              true, true}));
    EXPECT_TRUE(opKept) << "a failed Get leaves the record as it was";
    EXPECT_EQ(visitKept, !visitExists);
  }
  EXPECT_FALSE(log.contains("c:NewSGOperator(1,2)"));
}

TEST_F(AutomationOpenFile, SetsWriteTheOpenFileAndTellTheClients) {
  ASSERT_TRUE(file.fnFileOpen(path));
  file.setDataChanged(false);
  log.clear();
  const KM_Operator sg{"Sam", "Bergen", "", "from the sibling"};
  const KM_Operator km{"Kim", "Oslo", "Viken", ""};
  EXPECT_TRUE(app.bSGOperatorSet(2, 1, sg));
  EXPECT_TRUE(app.bKMOperatorSet(2, 1, km));
  EXPECT_EQ(log, (QStringList{"c:NewSGOperator(2,1)", "c:NewKMOperator(2,1)"}));
  EXPECT_TRUE(file.bDataChanged());
  EXPECT_EQ(file.file()->VisitItem(2)->SessionItem(1)->sgOperator.sOperatorName, "Sam");
  EXPECT_EQ(file.file()->VisitItem(2)->SessionItem(1)->kmOperator.sTestingState, "Viken");
  KM_Operator back;
  EXPECT_TRUE(app.bSGOperatorGet(2, 1, back));
  EXPECT_EQ(back, sg);

  KM_MedContacts c;
  c.sReferredByName = "Dr Berg";
  c.sSendResToName = "Dr Dahl";
  c.sSendResToEmail = "dahl@example.org";
  EXPECT_TRUE(app.bVMedContactsSet(1, c));
  EXPECT_EQ(file.file()->VisitItem(1)->contacts.referredBy.sName, "Dr Berg");
  EXPECT_EQ(file.file()->VisitItem(1)->contacts.sendResultsTo.sEmail, "dahl@example.org");

  KM_SubjectInfo s;
  EXPECT_TRUE(app.bSubjectInfoGet(s));
  EXPECT_EQ(s.sNameLast, "Lind");
  EXPECT_EQ(s.sDOB, "") << "no date of birth stored";
  s.sDOB = "1961-05-02";
  s.sSubjectID = "P-17";
  EXPECT_TRUE(app.bSubjectInfoSet(s));
  KM_SubjectInfo sBack;
  EXPECT_TRUE(app.bSubjectInfoGet(sBack));
  EXPECT_EQ(sBack, s);

  // Bad input is refused whole and changes nothing.
  const SubjectInfo before = file.file()->subject;
  for (const QString& dob : {QString("02.05.1961"), QString("1961-13-01"), QString("yesterday")}) {
    KM_SubjectInfo bad = s;
    bad.sDOB = dob;
    bad.sNameLast = "Changed";
    EXPECT_FALSE(app.bSubjectInfoSet(bad)) << dob.toStdString();
  }
  KM_Operator huge = km;
  huge.sNotes = QString(automation::kMaxTextLength + 1, 'x');
  EXPECT_FALSE(app.bKMOperatorSet(1, 1, huge));
  EXPECT_EQ(file.file()->subject, before);
  EXPECT_EQ(file.file()->VisitItem(1)->SessionItem(1)->kmOperator, OperatorInfo{});
}

TEST(AutomationActivation, RegisteringWritesTheServiceFileAndNothingElse) {
  const QString path = automation::activationFilePath();
  EXPECT_TRUE(path.startsWith(testsupport::sandboxFolder())) << path.toStdString();
  EXPECT_TRUE(path.endsWith("/dbus-1/services/com.kamrithlabs.TarnRQ.service"));
  folders::ensureFolder(QFileInfo(path).absolutePath());
  const QString neighbour = QFileInfo(path).absolutePath() + "/org.example.Other.service";
  ASSERT_TRUE(folders::writePrivateFile(neighbour, "[D-BUS Service]\nName=org.example.Other\n"));

  for (const auto& [exe, line] : std::vector<std::pair<QString, QString>>{
           {"/opt/tarn/bin/tarnrq", "Exec=/opt/tarn/bin/tarnrq --automation"},
           {"/home/a b/it's/tarnrq", "Exec='/home/a b/it'\\''s/tarnrq' --automation"}}) {
    QString why;
    ASSERT_TRUE(automation::installActivationFile(exe, &why)) << why.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, (QStringList{"[D-BUS Service]", "Name=com.kamrithlabs.TarnRQ", line}));
  }
  EXPECT_TRUE(QFileInfo::exists(neighbour)) << "other services' files stay";
  EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 2)
      << "no temporary file left";
}

}  // namespace
}  // namespace tarn
