// The station's own temporary folder and the privacy of what the core writes: folders, the event
// log, the settings store with its journal files and its good copy.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "testsupport/sandbox.h"

namespace tarn {
namespace {

QString inSandbox(const QString& name) { return QDir(testsupport::sandboxFolder()).filePath(name); }

void touch(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("health data");
}

mode_t modeOf(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

// Sets an environment variable for the scope of one test.
class Env {
 public:
  Env(const char* name, const QString& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value.toLocal8Bit());
  }
  ~Env() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

TEST(TempFolder, APlantedLinkAForeignOrAnOpenFolderIsRefusedAndNothingInItIsDeleted) {
  const QString temp = inSandbox("Temp");
  const QString target = inSandbox("someone else");
  ASSERT_TRUE(QDir().mkpath(target));
  touch(target + "/their.tmp");
  struct Case {
    const char* what;
    std::function<void()> plant;
  };
  const Case cases[] = {
      {"a link to another folder", [&] { ASSERT_TRUE(QFile::link(target, temp)); }},
      {"a folder of another user",
       [&] {
         ASSERT_TRUE(QDir().mkdir(temp));
         ASSERT_EQ(::chown(QFile::encodeName(temp).constData(), 65534, 65534), 0);
         touch(temp + "/their.tmp");
       }},
      {"a folder open to everyone",
       [&] {
         ASSERT_TRUE(QDir().mkdir(temp));
         ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 0777), 0);
         touch(temp + "/their.tmp");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (::geteuid() != 0 && QString(c.what).contains("another user")) continue;  // only root can plant it
    c.plant();
    EXPECT_EQ(folders::tempFolder(), QString());
    EXPECT_FALSE(folders::tempFolderProblem().isEmpty());
    EXPECT_EQ(folders::removeTempFiles({"*.tmp", "*.img"}), 0);
    EXPECT_TRUE(QFile::exists(target + "/their.tmp"));
    if (QFileInfo(temp).isSymLink())
      EXPECT_TRUE(QFile::remove(temp));
    else
      EXPECT_TRUE(QDir(temp).removeRecursively());
  }
  EXPECT_EQ(folders::tempFolder(), temp) << "made anew";
  EXPECT_EQ(modeOf(temp), 0700u);
  EXPECT_TRUE(folders::tempFolderProblem().isEmpty());
}

TEST(TempFolder, OnlyRegularFilesDirectlyInsideAreDeleted) {
  const QString temp = folders::tempFolder();
  ASSERT_FALSE(temp.isEmpty());
  const QString outside = inSandbox("outside.kpf");
  touch(outside);
  touch(temp + "/copy.tmp");
  touch(temp + "/image.img");
  touch(temp + "/notes.txt");
  ASSERT_TRUE(QFile::link(outside, temp + "/link.tmp"));
  ASSERT_TRUE(QDir().mkpath(temp + "/folder.tmp"));
  touch(temp + "/folder.tmp/inner.tmp");
  EXPECT_EQ(folders::removeTempFiles({"*.tmp", "*.img"}), 2);
  EXPECT_FALSE(QFile::exists(temp + "/copy.tmp"));
  EXPECT_FALSE(QFile::exists(temp + "/image.img"));
  EXPECT_TRUE(QFile::exists(temp + "/notes.txt"));
  EXPECT_TRUE(QFile::exists(outside));
  EXPECT_TRUE(QFile::exists(temp + "/folder.tmp/inner.tmp"));
}

TEST(TempFolder, WithoutASandboxTheRuntimeFolderIsPreferred) {
  const QString runtime = inSandbox("runtime");  // made private by the sandbox
  const QString tmp = inSandbox("tmp");
  ASSERT_TRUE(QDir().mkpath(tmp));
  Env home("TARNRQ_HOME", QString());
  Env tmpdir("TMPDIR", tmp);
  {
    Env xdg("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(folders::tempFolder(), runtime + "/tarnrq");
    EXPECT_EQ(modeOf(runtime + "/tarnrq"), 0700u);
  }
  const QString open = inSandbox("open runtime");
  ASSERT_TRUE(QDir().mkpath(open));
  ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);
  Env xdg("XDG_RUNTIME_DIR", open);
  const QString fallback = tmp + "/tarnrq-" + QString::number(::geteuid());
  EXPECT_EQ(folders::tempFolder(), fallback) << "a runtime folder open to others is not used";
  EXPECT_EQ(modeOf(fallback), 0700u);
}

TEST(Privacy, FoldersTheLogAndTheSettingsStoreAreTheUsersAlone) {
  const mode_t old = ::umask(022);  // a usual desktop umask: others may read
  const QString nested = inSandbox("made/by/the/station");
  ASSERT_TRUE(folders::ensureFolder(nested));
  ASSERT_TRUE(eventlog::start(QDir(folders::commonDataFolder()).filePath(eventlog::kLogFileName)));
  eventlog::logStep("frmPMain", "Form_Load", "Begin");
  settings::write(settings::LastPath, "/srv/subjects");
  const QString store = folders::settingsStorePath();
  ASSERT_EQ(settingsstore::startupCheck().health, settingsstore::Health::Sound);
  ASSERT_TRUE(folders::writePrivateFile(inSandbox("written"), "bytes"));
  ::umask(old);

  for (const QString& f :
       {nested, inSandbox("made/by"), folders::commonDataFolder(), QFileInfo(store).absolutePath()})
    EXPECT_EQ(modeOf(f), 0700u) << f.toStdString();
  for (const QString& f :
       {eventlog::path(), store, store + "-wal", store + "-shm", store + ".good", inSandbox("written")})
    EXPECT_EQ(modeOf(f), 0600u) << f.toStdString();
  eventlog::stop();
}

TEST(FileNames, NamesThatAreNotUtf8RoundTripAndAreListed) {
  const QByteArray latin1 = "M\xfcller.kpf";
  const QByteArray utf8 = "M\xc3\xbcller.kpf";
  for (const QByteArray& raw : {latin1, utf8, QByteArray("a\xff\xfe\xc3.kpf"), QByteArray("\xe2\x82.kpf")})
    EXPECT_EQ(folders::encodeName(folders::decodeName(raw)), raw) << raw.toHex().toStdString();
  EXPECT_EQ(folders::decodeName(utf8), QString::fromUtf8(utf8));

  const QString dir = inSandbox("names");
  ASSERT_TRUE(QDir().mkpath(dir));
  const QByteArray path = QFile::encodeName(dir) + "/" + latin1;
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "x", 1), 1);
  ::close(fd);
  const QStringList files = folders::filesEndingIn(dir, ".KPF");
  ASSERT_EQ(files.size(), 1);
  QByteArray bytes;
  EXPECT_EQ(folders::readFile(dir + "/" + files[0], 10, &bytes), folders::ReadResult::Read);
  EXPECT_EQ(bytes, "x");
}

}  // namespace
}  // namespace tarn
