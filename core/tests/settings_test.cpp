#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <csignal>
#include <thread>

#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "testsupport/childprocess.h"

namespace tarn {
namespace {
constexpr Hive CU = Hive::CurrentUser;
const QString kKey = QStringLiteral("Software\\Kamrith Labs, LLC.\\TARN RQ");

// Writes a value with a given type straight into the store, as another program might have.
void rawInsert(const QString& key, const QString& name, int type, const QByteArray& sqlValue) {
  settingsstore::closeConnection();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(folders::settingsStorePath()).constData(), &db), SQLITE_OK);
  const QByteArray sql = "INSERT OR REPLACE INTO setting_values VALUES(0, '" + key.toCaseFolded().toUtf8() +
                         "', '" + name.toCaseFolded().toUtf8() + "', '" + name.toUtf8() + "', " +
                         QByteArray::number(type) + ", " + sqlValue + ")";
  char* err = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err), SQLITE_OK) << err;
  sqlite3_free(err);
  sqlite3_close(db);
}

// The text of the first column of the first row of a query on the store.
QByteArray queryStore(const char* sql) {
  settingsstore::closeConnection();
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  QByteArray out;
  if (sqlite3_open(QFile::encodeName(folders::settingsStorePath()).constData(), &db) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  sqlite3_finalize(s);
  sqlite3_close(db);
  return out;
}

TEST(Settings, MissingValuesGiveTheDefault) {
  EXPECT_FALSE(QFile::exists(folders::settingsStorePath()));
  EXPECT_EQ(SettingReadLong(CU, kKey, "FullScreen", 7), 7);
  EXPECT_EQ(SettingReadString(CU, kKey, "NormsVersion", "  3 "), "3");  // the default is trimmed too
  EXPECT_EQ(SettingCountValues(CU, kKey), 0);
  EXPECT_FALSE(SettingDeleteValue(CU, kKey, "FullScreen"));
  EXPECT_FALSE(QFile::exists(folders::settingsStorePath())) << "reads must not create the store";
}

TEST(Settings, NumbersAndTextsRoundTripWithTheirTypes) {
  SettingWriteLong(CU, kKey, "MainWinPosW", -2147483647 - 1);
  SettingWriteLong(CU, kKey, "MainWinPosH", 2147483647);
  SettingWriteString(CU, kKey, "NormsVersion", "  2 ");
  EXPECT_EQ(SettingReadLong(CU, kKey, "MainWinPosW", 0), -2147483647 - 1);
  EXPECT_EQ(SettingReadLong(CU, kKey, "MainWinPosH", 0), 2147483647);
  EXPECT_EQ(SettingReadString(CU, kKey, "NormsVersion", "3"), "2");
  // Wrong type either way: the default.
  EXPECT_EQ(SettingReadLong(CU, kKey, "NormsVersion", 99), 99);
  EXPECT_EQ(SettingReadString(CU, kKey, "MainWinPosW", "dflt"), "dflt");
  // Overwriting changes the type.
  SettingWriteString(CU, kKey, "MainWinPosW", "9600");
  EXPECT_EQ(SettingReadLong(CU, kKey, "MainWinPosW", 5), 5);
  EXPECT_EQ(SettingCountValues(CU, kKey), 3);
}

TEST(Settings, EmptyTextIsStoredAsOneBlankAndReadsAsTheDefault) {
  SettingWriteString(CU, kKey + "\\Files", "Last Name", "");
  EXPECT_EQ(SettingCountValues(CU, kKey + "\\Files"), 1);
  EXPECT_EQ(SettingReadString(CU, kKey + "\\Files", "Last Name", ""), "");
  EXPECT_EQ(SettingReadString(CU, kKey + "\\Files", "Last Name", "C:/x.kpf"), "C:/x.kpf");
  EXPECT_EQ(queryStore("SELECT value FROM setting_values WHERE name='Last Name'"), " ");
}

TEST(Settings, TextLimitIs512BytesAndTextIsCutAtNul) {
  const QString fits(512, 'a');
  SettingWriteString(CU, kKey, "Fits", fits);
  EXPECT_EQ(SettingReadString(CU, kKey, "Fits", "d"), fits);
  SettingWriteString(CU, kKey, "TooLong", QString(513, 'a'));
  EXPECT_EQ(SettingReadString(CU, kKey, "TooLong", "d"), "d");
  // 256 two-byte characters are 512 bytes; one more character is too long.
  SettingWriteString(CU, kKey, "Wide", QString(256, QChar(0xE9)));
  EXPECT_EQ(SettingReadString(CU, kKey, "Wide", "d").size(), 256);
  SettingWriteString(CU, kKey, "Wider", QString(257, QChar(0xE9)));
  EXPECT_EQ(SettingReadString(CU, kKey, "Wider", "d"), "d");
  SettingWriteString(CU, kKey, "Nul", QString("abc") + QChar(0) + "def");
  EXPECT_EQ(SettingReadString(CU, kKey, "Nul", "d"), "abc");
  SettingWriteString(CU, kKey, "LeadNul", QString(QChar(0)) + "def");
  EXPECT_EQ(SettingReadString(CU, kKey, "LeadNul", "d"), "d");
}

TEST(Settings, ValuesStoredByOthersWithOtherTypesAreIgnored) {
  SettingWriteLong(CU, kKey, "Seed", 1);  // creates the store and its tables
  rawInsert(kKey, "NumberAsText", 1, "'42'");
  rawInsert(kKey, "Binary", 3, "x'0102'");
  rawInsert(kKey, "TextTypedInteger", 1, "17");
  EXPECT_EQ(SettingReadLong(CU, kKey, "NumberAsText", -5), -5);
  EXPECT_EQ(SettingReadLong(CU, kKey, "Binary", -5), -5);
  EXPECT_EQ(SettingReadString(CU, kKey, "Binary", "d"), "d");
  EXPECT_EQ(SettingReadString(CU, kKey, "TextTypedInteger", "d"), "d");
  EXPECT_EQ(SettingCountValues(CU, kKey), 4);
}

TEST(Settings, KeyPathsAndNamesAreCaseInsensitiveAndKeepTheirSpelling) {
  SettingWriteLong(CU, kKey, "Units Lenght", 2);
  EXPECT_EQ(SettingReadLong(CU, kKey.toUpper(), "UNITS LENGHT", 0), 2);
  EXPECT_EQ(SettingReadLong(CU, kKey.toLower() + "\\", "units lenght", 0), 2);
  SettingWriteLong(CU, kKey.toUpper(), "units lenght", 1);  // same value, not a second one
  EXPECT_EQ(SettingCountValues(CU, kKey), 1);
  EXPECT_EQ(SettingReadLong(CU, kKey, "Units Lenght", 0), 1);
  // Non-ASCII letters fold too.
  SettingWriteString(CU, "Software\\ÄRZTE", "Größe", "x");
  EXPECT_EQ(SettingReadString(CU, "software\\ärzte", "GRÖßE", "d"), "x");
  // The hives are apart.
  EXPECT_EQ(SettingReadLong(Hive::ClassesRoot, kKey, "Units Lenght", 0), 0);
}

TEST(Settings, WritingCreatesEveryMissingLevelOfTheKey) {
  const QString deep = kKey + "\\TestSettings\\PlateZero";
  EXPECT_FALSE(SettingKeyExists(CU, "Software"));
  SettingWriteLong(CU, deep, "Duration (ms)", 3000);
  for (const char* k : {"Software", "Software\\Kamrith Labs, LLC.", "Software\\Kamrith Labs, LLC.\\TARN RQ",
                        "Software\\Kamrith Labs, LLC.\\TARN RQ\\TestSettings"}) {
    EXPECT_TRUE(SettingKeyExists(CU, k)) << k;
    EXPECT_EQ(SettingCountValues(CU, k), 0) << k;
  }
  EXPECT_EQ(SettingCountValues(CU, deep), 1);
  // The key with a leading backslash is a key of its own, right below the hive.
  SettingWriteLong(CU, "\\Test", "BeepEnd", 0);
  EXPECT_TRUE(SettingKeyExists(CU, "\\Test"));
  EXPECT_FALSE(SettingKeyExists(CU, "Test"));
  EXPECT_EQ(SettingReadLong(CU, "\\Test", "BeepEnd", 1), 0);
}

TEST(Settings, DeleteAndCount) {
  SettingWriteLong(CU, kKey, "A", 1);
  SettingWriteString(CU, kKey, "B", "b");
  SettingWriteLong(CU, kKey + "\\Files", "C", 1);  // a subkey's values are not counted
  EXPECT_EQ(SettingCountValues(CU, kKey), 2);
  EXPECT_TRUE(SettingDeleteValue(CU, kKey, "a"));
  EXPECT_FALSE(SettingDeleteValue(CU, kKey, "A"));
  EXPECT_EQ(SettingReadLong(CU, kKey, "A", 9), 9);
  EXPECT_EQ(SettingCountValues(CU, kKey), 1);
  EXPECT_TRUE(SettingKeyExists(CU, kKey)) << "deleting the last value keeps the key";
}

TEST(Settings, ExpandableTextIsReadExpanded) {
  ::setenv("TARNRQ_TEST_DIR", "/data/clinic", 1);
  ::unsetenv("TARNRQ_TEST_UNSET");
  SettingWriteExpandString(CU, kKey, "Path",
                           "$TARNRQ_TEST_DIR/sub ${TARNRQ_TEST_DIR}x $TARNRQ_TEST_UNSET. $5");
  EXPECT_EQ(SettingReadString(CU, kKey, "Path", "d"), "/data/clinic/sub /data/clinicx . $5");
  EXPECT_EQ(SettingReadLong(CU, kKey, "Path", 3), 3);
  SettingWriteString(CU, kKey, "Plain", "$TARNRQ_TEST_DIR");
  EXPECT_EQ(SettingReadString(CU, kKey, "Plain", "d"), "$TARNRQ_TEST_DIR");
}

TEST(Settings, DescriptorsCarryTheirDefaultsAndFolderDefaults) {
  EXPECT_EQ(settings::read(settings::UnitsLength), 3);
  EXPECT_EQ(settings::read(settings::UnitsLength, settings::kUnitsNeverChosen), -1);
  EXPECT_EQ(settings::read(settings::SelectedCmdColorON), static_cast<qint32>(0x8000000F));
  EXPECT_EQ(settings::read(settings::LastPath), folders::documentsFolder());
  EXPECT_EQ(settings::read(settings::FManagerColumnsFile), folders::userDataFolder() + "/RQFMColumns.vcl");
  settings::write(settings::LastPath, "/srv/subjects");
  EXPECT_EQ(settings::read(settings::LastPath), "/srv/subjects");
  settings::writeBool(settings::MouseMove, true);
  EXPECT_EQ(settings::read(settings::MouseMove), -1);
  EXPECT_TRUE(settings::readBool(settings::MouseMove));
  EXPECT_EQ(SettingReadLong(CU, "Software\\Kamrith Labs, LLC.\\TARN RQ", "MouseMove", 0), -1);
  EXPECT_EQ(settings::printDefault(settings::ReportKind::Internal, settings::ReportPage::ID), 0);
  EXPECT_EQ(settings::printDefault(settings::ReportKind::Subject, settings::ReportPage::PageNums), 1);
  EXPECT_EQ(settings::reportPage(settings::ReportKind::Internal, settings::ReportPage::Referrals).def, 0);
  EXPECT_STREQ(settings::reportPage(settings::ReportKind::External, settings::ReportPage::Cover).name,
               "External Cover");
  EXPECT_STREQ(settings::referralDoc(1).name, "GeneralAIntro");
  EXPECT_STREQ(settings::referralDoc(48).name, "BMICOverweight");
  EXPECT_STREQ(settings::referralDoc(48).key, settings::kReferralSubjectKey);
  EXPECT_STREQ(settings::referralDoc(49).key, settings::kReferralExternalKey);
  EXPECT_STREQ(settings::referralDoc(49).name, "GeneralAIntro");
}

// Several writers with their own connections at once: no write lost, the store stays sound.
TEST(Settings, ConcurrentWritersInThreadsAndProcesses) {
  SettingWriteLong(CU, kKey, "Seed", 0);
  settingsstore::closeConnection();  // no open connection may cross the fork
  constexpr int kPerWriter = 150;
  auto writer = [&](int id) {
    for (int i = 0; i < kPerWriter; ++i) {
      SettingWriteLong(CU, kKey + "\\W" + QString::number(id), "V" + QString::number(i), i * id);
      SettingWriteString(CU, kKey, "Shared", QString("writer %1 step %2").arg(id).arg(i));
    }
    settingsstore::closeConnection();
  };
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      writer(10 + c);
      ::_exit(settingsstore::lastError().isEmpty() ? 0 : 3);
    }
  }
  std::thread t1(writer, 1), t2(writer, 2);
  t1.join();
  t2.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int id : {1, 2, 10, 11}) {
    const QString key = kKey + "\\W" + QString::number(id);
    EXPECT_EQ(SettingCountValues(CU, key), kPerWriter) << id;
    EXPECT_EQ(SettingReadLong(CU, key, "V149", -1), 149 * id);
  }
  EXPECT_TRUE(SettingReadString(CU, kKey, "Shared", "").endsWith("step 149"));
  EXPECT_EQ(queryStore("PRAGMA integrity_check"), "ok");
}

TEST(Settings, DamagedStoreReadsDefaultsIsKeptAsideAndLogged) {
  const QString path = folders::settingsStorePath();
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  const QByteArray garbage = QByteArray("this is not a database ").repeated(300);
  f.write(garbage);
  f.close();
  const QString log = QDir(folders::commonDataFolder()).filePath("KMTARNRQ.log");
  ASSERT_TRUE(eventlog::start(log));

  EXPECT_EQ(SettingReadLong(CU, kKey, "FullScreen", 4), 4);
  const QStringList aside =
      QFileInfo(path).absoluteDir().entryList({"settings.sqlite.damaged-*"}, QDir::Files);
  ASSERT_EQ(aside.size(), 1);
  QFile kept(QFileInfo(path).absoluteDir().filePath(aside.first()));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), garbage) << "the damaged file is kept untouched";

  // A fresh store takes writes again.
  SettingWriteLong(CU, kKey, "FullScreen", -1);
  EXPECT_EQ(SettingReadLong(CU, kKey, "FullScreen", 4), -1);
  eventlog::stop();
  QFile lf(log);
  ASSERT_TRUE(lf.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(lf.readAll());
  EXPECT_TRUE(text.contains("[ERROR] ")) << text.toStdString();
  EXPECT_TRUE(text.contains("is damaged")) << text.toStdString();
}

TEST(Settings, UnreachableStoreGivesDefaultsAndWritesNothing) {
  // A file where the store's folder should be: the folder cannot be made.
  const QString config = QFileInfo(folders::settingsStorePath()).absolutePath();
  QFile blocker(config);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  SettingWriteLong(CU, kKey, "FullScreen", -1);
  EXPECT_FALSE(settingsstore::lastError().isEmpty());
  EXPECT_EQ(SettingReadLong(CU, kKey, "FullScreen", 0), 0);
  EXPECT_EQ(SettingCountValues(CU, kKey), 0);
  EXPECT_TRUE(QFileInfo(config).isFile());
}

// A batch lands whole or not at all: a write refused half-way (the store runs out of room, say)
// leaves every value of the batch as it was, and a batch dropped without commit writes nothing.
TEST(Settings, WriteBatchLandsWholeOrNotAtAll) {
  SettingWriteLong(CU, kKey, "A", 1);
  SettingWriteString(CU, kKey, "B", "old");
  {
    settingsstore::WriteBatch batch;
    SettingWriteLong(CU, kKey, "A", 2);
    SettingWriteString(CU, kKey, "B", "new");
    SettingWriteLong(CU, kKey + "\\Sub", "C", 3);
    EXPECT_TRUE(batch.commit());
  }
  EXPECT_EQ(SettingReadLong(CU, kKey, "A", 0), 2);
  EXPECT_EQ(SettingReadString(CU, kKey, "B", ""), "new");
  EXPECT_EQ(SettingReadLong(CU, kKey + "\\Sub", "C", 0), 3);

  {
    settingsstore::WriteBatch batch;
    SettingWriteLong(CU, kKey, "A", 5);
  }  // not committed
  EXPECT_EQ(SettingReadLong(CU, kKey, "A", 0), 2);

  // A store that runs out of room at the commit: a child whose files cannot grow past 1 KB.
  settingsstore::closeConnection();
  const int code = testsupport::runInChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1024, 1024};
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
    settingsstore::WriteBatch batch;
    SettingWriteLong(CU, kKey, "A", 7);
    SettingWriteString(CU, kKey, "B", QString(600, 'x'));
    SettingWriteLong(CU, kKey, "D", 8);
    return batch.commit() ? 1 : 0;
  });
  ASSERT_EQ(code, 0) << "the commit must fail and say so";
  EXPECT_EQ(SettingReadLong(CU, kKey, "A", 0), 2);
  EXPECT_EQ(SettingReadString(CU, kKey, "B", ""), "new");
  EXPECT_EQ(SettingReadLong(CU, kKey, "D", 0), 0);
  SettingWriteLong(CU, kKey, "A", 9);  // outside a batch every write is its own again
  EXPECT_EQ(SettingReadLong(CU, kKey, "A", 0), 9);
}

// Overwrites the store as a crash of the disk or a stray program would, journal files gone.
void damageStore() {
  settingsstore::closeConnection();
  const QString path = folders::settingsStorePath();
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(QByteArray("this is not a database ").repeated(300));
  f.close();
  QFile::remove(path + "-wal");
  QFile::remove(path + "-shm");
}

TEST(SettingsStore, ADamagedStoreIsRestoredFromItsGoodCopyAndTheStartUpIsTold) {
  settingsstore::startupCheck();  // a notice an earlier test of this process left is told first
  settings::write(settings::LastPath, "/srv/subjects");
  settings::write(settings::Key1, "digest");
  ASSERT_EQ(settingsstore::startupCheck().health, settingsstore::Health::Sound);  // keeps the copy
  settings::write(settings::LastPath, "/srv/after-the-copy");
  damageStore();

  EXPECT_EQ(settings::read(settings::LastPath), "/srv/subjects") << "the copy, not the default";
  EXPECT_EQ(settings::read(settings::Key1), "digest");
  const settingsstore::Report r = settingsstore::startupCheck();
  EXPECT_EQ(r.health, settingsstore::Health::Restored);
  EXPECT_FALSE(r.detail.isEmpty()) << "when the copy was taken";
  EXPECT_EQ(settingsstore::startupCheck().health, settingsstore::Health::Sound) << "told once";
  EXPECT_EQ(settingsstore::damagedCopies().size(), 1);
}

TEST(SettingsStore, WithoutASoundCopyTheLossIsToldAndAFreshStoreTakesWrites) {
  settings::write(settings::LastPath, "/srv/subjects");
  ASSERT_EQ(settingsstore::startupCheck().health, settingsstore::Health::Sound);
  damageStore();
  // The copy is damaged too: nothing to restore.
  QFile copy(folders::settingsStorePath() + ".good");
  ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
  copy.write("garbage");
  copy.close();

  EXPECT_EQ(settings::read(settings::LastPath), folders::documentsFolder());
  const settingsstore::Report r = settingsstore::startupCheck();
  EXPECT_EQ(r.health, settingsstore::Health::Lost);
  EXPECT_TRUE(r.detail.contains(".damaged-")) << r.detail.toStdString();
  settings::write(settings::LastPath, "/srv/again");
  EXPECT_EQ(settings::read(settings::LastPath), "/srv/again");
}

TEST(SettingsStore, AStoreThatCannotBeWrittenIsReportedNotDefaulted) {
  settings::write(settings::LastPath, "/srv/subjects");
  settingsstore::closeConnection();
  const QString folder = QFileInfo(folders::settingsStorePath()).absolutePath();
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
  const int code = testsupport::runInChild([] {
    if (!testsupport::actAsOperator()) return 10;
    const settingsstore::Report r = settingsstore::startupCheck();
    return r.health == settingsstore::Health::Unwritable && !r.why.isEmpty() ? 0 : 1;
  });
  ::chmod(QFile::encodeName(folder).constData(), 0700);
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace tarn
