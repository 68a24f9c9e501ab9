#pragma once
// Data folders with subject files, small file systems and file helpers for the file manager tests.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include "data/lists/list.h"
#include "data/tests/lists_testutil.h"
#include "testsupport/sandbox.h"

#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tarn::filestest {

inline QString sandboxPath(const QString& rel) {
  const QString p = QDir(testsupport::sandboxFolder()).filePath(rel);
  QDir().mkpath(QFileInfo(p).absolutePath());
  return p;
}

inline QString makeFolder(const QString& rel) {
  const QString p = QDir(testsupport::sandboxFolder()).filePath(rel);
  QDir().mkpath(p);
  return p;
}

inline QByteArray bytesOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A subject file with one steady NSEO test (see liststest::writeSimpleFile).
inline QString writeSubject(const QString& folder, const QString& name, const QString& lastName = "Doe") {
  const QString path = QDir(folder).filePath(name);
  EXPECT_TRUE(liststest::writeSimpleFile(path, lastName)) << path.toStdString();
  return path;
}

// The data-folder list of a folder, as the main window's refresh leaves it.
inline std::unique_ptr<KM_RQList> listOf(const QString& folder) {
  auto list = std::make_unique<KM_RQList>();
  list->setWorkerThreads(1);
  list->Refresh(10.0f, folder, ".kpf");
  return list;
}

inline QStringList namesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A separate small file system in the sandbox, where the test may mount one (as an
// administrator); otherwise not mounted(), and the caller falls back or skips.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const QString& rel, const char* options = "size=256k,mode=0700") {
    path_ = makeFolder(rel);
    mounted_ =
        ::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, options) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }
  const QString& path() const { return path_; }
  // Makes it read-only (remount); false when that is not possible here.
  bool makeReadOnly() {
    return mounted_ && ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                               nullptr) == 0;
  }

 private:
  QString path_;
  bool mounted_ = false;
};

// A folder where no file can be made: a read-only mount where the test may mount one, else a
// folder without write permission (which binds everyone but an administrator).
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& rel) : fs_(rel) {
    if (fs_.mounted()) {
      ok_ = fs_.makeReadOnly();
    } else {
      ok_ = QFile::setPermissions(fs_.path(), QFile::ReadOwner | QFile::ExeOwner) &&
            ::access(QFile::encodeName(fs_.path()).constData(), W_OK) != 0;
    }
  }
  ~ReadOnlyFolder() {
    if (!fs_.mounted())
      QFile::setPermissions(fs_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  bool ok() const { return ok_; }
  const QString& path() const { return fs_.path(); }

 private:
  SmallFileSystem fs_;
  bool ok_ = false;
};

}  // namespace tarn::filestest
