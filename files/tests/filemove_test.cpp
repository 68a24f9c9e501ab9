// Moving and copying subject files: within and across file systems, names an operator might
// type, existing targets, and failures half way that must leave the source where it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QTemporaryDir>

#include "files/filemove.h"
#include "files/tests/files_testutil.h"

namespace tarn::fm {
namespace {

using filestest::bytesOf;
using filestest::makeFolder;
using filestest::namesIn;
using filestest::SmallFileSystem;
using filestest::writeBytes;

dev_t deviceOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
}

// A folder on another file system than the sandbox: a small mount of our own, or the shared
// memory file system; null when neither is there.
struct OtherFileSystem {
  SmallFileSystem mine{"other-fs", "size=8m,mode=0700"};
  std::unique_ptr<QTemporaryDir> shm;
  QString path;
  OtherFileSystem() {
    if (mine.mounted()) {
      path = mine.path();
    } else if (QFileInfo("/dev/shm").isWritable()) {
      shm = std::make_unique<QTemporaryDir>("/dev/shm/tarnrq-test-XXXXXX");
      if (shm->isValid() && deviceOf(shm->path()) != deviceOf(testsupport::sandboxFolder()))
        path = shm->path();
    }
  }
};

QByteArray content(int bytes) {
  QByteArray b(bytes, '\0');
  for (int i = 0; i < bytes; ++i) b[i] = static_cast<char>((i * 131 + 7) & 0xff);
  return b;
}

TEST(FileMove, MovesAndCopiesWithinAndAcrossFileSystemsWhateverTheName) {
  OtherFileSystem other;
  const QString here = makeFolder("here");
  const QString there = makeFolder("there");
  const QByteArray data = content(300000);
  struct Case {
    const char* name;
    bool acrossFileSystems;
    bool move;
  };
  const Case cases[] = {
      {"plain.kpf", false, true},
      {"with space and 'quotes\" .kpf", false, true},
      {"Müller Łukasz 山田.kpf", true, true},
      {"with space and 'quotes\" .kpf", true, false},
      {"Ørsted.kpf", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.acrossFileSystems && other.path.isEmpty()) continue;
    const QString source = QDir(here).filePath(QString::fromUtf8(c.name));
    const QString target = QDir(c.acrossFileSystems ? other.path : there).filePath(QString::fromUtf8(c.name));
    QFile::remove(target);
    ASSERT_TRUE(writeBytes(source, data));
    const FileOpResult r =
        c.move ? MoveFileSafely(source, target, false) : CopyFileSafely(source, target, false);
    EXPECT_TRUE(r.done) << r.error.toStdString();
    EXPECT_EQ(r.sourceRemoved, c.move);
    EXPECT_EQ(QFileInfo::exists(source), !c.move);
    EXPECT_EQ(bytesOf(target), data);
    // Nothing else is left beside the target (no temporary copies).
    EXPECT_EQ(namesIn(QFileInfo(target).absolutePath()), QStringList{QFileInfo(target).fileName()});
    QFile::remove(target);
    QFile::remove(source);
  }
}

TEST(FileMove, AnExistingTargetIsReplacedOnlyWhenAsked) {
  OtherFileSystem other;
  const QString here = makeFolder("here");
  for (const QString& folder : {makeFolder("there"), other.path}) {
    if (folder.isEmpty()) continue;
    SCOPED_TRACE(folder.toStdString());
    const QString source = QDir(here).filePath("a.kpf");
    const QString target = QDir(folder).filePath("a.kpf");
    for (bool move : {true, false}) {
      ASSERT_TRUE(writeBytes(source, "new"));
      ASSERT_TRUE(writeBytes(target, "old"));
      FileOpResult r = move ? MoveFileSafely(source, target, false) : CopyFileSafely(source, target, false);
      EXPECT_FALSE(r.done);
      EXPECT_FALSE(r.error.isEmpty());
      EXPECT_EQ(bytesOf(target), "old");
      EXPECT_EQ(bytesOf(source), "new");
      r = move ? MoveFileSafely(source, target, true) : CopyFileSafely(source, target, true);
      EXPECT_TRUE(r.done) << r.error.toStdString();
      EXPECT_EQ(bytesOf(target), "new");
      EXPECT_EQ(QFileInfo::exists(source), !move);
      EXPECT_EQ(namesIn(folder), QStringList{"a.kpf"});
    }
  }
}

// Whatever stops a move between file systems half way, the source stays whole and no part of
// the copy is left behind.
void expectUntouched(const QString& source, const QByteArray& data, const QString& targetFolder) {
  EXPECT_EQ(bytesOf(source), data);
  EXPECT_TRUE(namesIn(targetFolder).isEmpty()) << namesIn(targetFolder).join(", ").toStdString();
}

TEST(FileMove, AFullTargetFileSystemLeavesTheSourceWhereItWas) {
  SmallFileSystem small("small-fs", "size=64k,mode=0700");
  if (!small.mounted()) GTEST_SKIP() << "no file system can be mounted here";
  const QString source = filestest::sandboxPath("data/big.kpf");
  const QByteArray data = content(400000);
  ASSERT_TRUE(writeBytes(source, data));
  for (bool move : {true, false}) {
    const QString target = QDir(small.path()).filePath("big.kpf");
    const FileOpResult r =
        move ? MoveFileSafely(source, target, false) : CopyFileSafely(source, target, false);
    EXPECT_FALSE(r.done);
    EXPECT_FALSE(r.sourceRemoved);
    EXPECT_FALSE(r.error.isEmpty());
    expectUntouched(source, data, small.path());
  }
}

TEST(FileMove, AFileSizeLimitHalfWayLeavesTheSourceWhereItWas) {
  OtherFileSystem other;
  if (other.path.isEmpty()) GTEST_SKIP() << "no second file system here";
  const QString source = filestest::sandboxPath("data/big.kpf");
  const QByteArray data = content(3 << 20);  // three copy buffers, the limit stops the second
  ASSERT_TRUE(writeBytes(source, data));
  const QString target = QDir(other.path).filePath("big.kpf");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const FileOpResult r = MoveFileSafely(source, target, false);
    ::_exit(r.done ? 1 : (r.sourceRemoved ? 2 : (r.error.isEmpty() ? 3 : 0)));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  expectUntouched(source, data, other.path);
}

TEST(FileMove, WritableFoldersAndSameFiles) {
  const QString here = makeFolder("here");
  EXPECT_TRUE(IsFolderWritable(here));
  EXPECT_TRUE(namesIn(here).isEmpty());  // the probe is gone again
  EXPECT_FALSE(IsFolderWritable(filestest::sandboxPath("missing")));
  filestest::ReadOnlyFolder ro("ro");
  if (ro.ok()) {
    EXPECT_FALSE(IsFolderWritable(ro.path()));
    EXPECT_TRUE(IsDestinationReadOnly(QDir(ro.path()).filePath("x.kpf")));
  }
  const QString a = QDir(here).filePath("a.kpf");
  ASSERT_TRUE(writeBytes(a, "x"));
  EXPECT_FALSE(IsDestinationReadOnly(a));
  EXPECT_TRUE(IsSameFile(a, here + "/../here/a.kpf"));
  EXPECT_FALSE(IsSameFile(a, QDir(here).filePath("b.kpf")));
}

}  // namespace
}  // namespace tarn::fm
