// The list refresh as the station and tarnrq-list run it, several at once: the folder index and
// the list files it names, their leftovers, saves that fail, and what the files and the log let
// others see.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "core/eventlog.h"
#include "core/folders.h"
#include "data/lists/folderindex.h"
#include "data/lists/listrefresh.h"
#include "data/templates/comments.h"
#include "data/templates/template.h"
#include "data/tests/data_testutil.h"
#include "data/tests/lists_testutil.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using liststest::writeSimpleFile;

QString inSandbox(const QString& name) {
  const QString path = QDir(testsupport::sandboxFolder()).filePath(name);
  return path;
}

QString mkdir(const QString& name) {
  const QString path = inSandbox(name);
  QDir().mkpath(path);
  return path;
}

ListsRefreshParams paramsFor(const QString& dataPath) {
  ListsRefreshParams p;
  p.listFolder = inSandbox("common");
  p.dataPath = dataPath;
  return p;
}

QString indexPath() { return inSandbox("common/RQFoldLst.lst"); }

QString mappedFile(const QString& folder) {
  return folderindex::readValue(indexPath(), folderindex::kSection, folders::withSlash(folder), QString());
}

QStringList listFiles() { return QDir(inSandbox("common")).entryList({"*.slf"}, QDir::Files); }

// Last names of a refreshed list, in order.
QStringList subjects(const KM_RQList& list) {
  QStringList out;
  for (qint32 i = 1; i <= list.lFilesCount(); ++i) out << list.lfFile(i)->sSubjLName;
  return out;
}

// A subject file without tests: quick to read again.
bool writeSubject(const QString& path, const QString& lastName) {
  SubjectFile f;
  if (!f.CreateEmpty()) return false;
  f.subject.sNameLast = lastName;
  f.AddVisit();
  return f.Save(path);
}

// Two folders whose files have the same names and sizes but hold different subjects.
class TwoFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writeSubject(one + "/a.kpf", "One"));
    ASSERT_TRUE(writeSubject(two + "/a.kpf", "Two"));
    ASSERT_EQ(QFileInfo(one + "/a.kpf").size(), QFileInfo(two + "/a.kpf").size());
  }
  QString one = mkdir("one");
  QString two = mkdir("two");
};

TEST_F(TwoFolders, RefreshedByTwoProcessesAtOnceNeitherEverShowsTheOthersSubject) {
  constexpr int kRuns = 50;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(run);
    ASSERT_TRUE(QDir(inSandbox("common")).removeRecursively());  // no index and no list files yet
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
      children[k] = ::fork();
      ASSERT_GE(children[k], 0);
      if (children[k] == 0) {
        char c;
        if (::read(go[0], &c, 1) != 1) ::_exit(3);
        KM_RQList list;
        list.setWorkerThreads(1);
        ::_exit(ListsRefresh(list, paramsFor(k == 0 ? one : two)).ok ? 0 : 1);
      }
    }
    ASSERT_EQ(::write(go[1], "go", 2), 2);  // both start together
    for (const pid_t child : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ::close(go[0]);
    ::close(go[1]);

    // Both folders are in the index, each with a list file of its own.
    EXPECT_FALSE(mappedFile(one).isEmpty());
    EXPECT_FALSE(mappedFile(two).isEmpty());
    EXPECT_NE(mappedFile(one), mappedFile(two));
    // What the station shows next of each folder is that folder's subject.
    for (const auto& [folder, subject] : {std::pair{one, QString("One")}, std::pair{two, QString("Two")}}) {
      KM_RQList list;
      const ListsRefreshResult r = ListsRefresh(list, paramsFor(folder));
      EXPECT_TRUE(r.ok);
      EXPECT_EQ(subjects(list), QStringList{subject}) << folder.toStdString();
    }
  }
}

TEST_F(TwoFolders, AListFileOfAnotherFolderIsNeverTakenForThisOnesList) {
  KM_RQList first;
  ASSERT_TRUE(ListsRefresh(first, paramsFor(one)).ok);
  // The index maps the second folder to the first one's list (edited by hand, or left so by an
  // older version of the station).
  ASSERT_TRUE(
      folderindex::writeValue(indexPath(), folderindex::kSection, folders::withSlash(two), mappedFile(one)));
  KM_RQList list;
  const ListsRefreshResult r = ListsRefresh(list, paramsFor(two));
  EXPECT_FALSE(r.loaded);
  EXPECT_EQ(subjects(list), QStringList{"Two"});
}

TEST_F(TwoFolders, ListFilesNoFolderUsesAreRemovedOthersStay) {
  KM_RQList list;
  ASSERT_TRUE(ListsRefresh(list, paramsFor(one)).ok);
  const QString common = inSandbox("common");
  for (const char* name : {"RQList000005.slf", "RQList000006.slf", "RQList7.slf", "Other000008.slf"}) {
    QFile f(QDir(common).filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(ListsRefresh(list, paramsFor(two)).ok);
  EXPECT_EQ(listFiles(),
            (QStringList{"Other000008.slf", "RQList000001.slf", "RQList000002.slf", "RQList7.slf"}));
  EXPECT_EQ(mappedFile(two), "RQList000002.slf");
}

TEST(ListsRefresh, AFolderWhosePathHoldsALineBreakKeepsItsListFile) {
  const QString odd = mkdir("odd\nfolder");
  ASSERT_TRUE(writeSimpleFile(odd + "/a.kpf", "Odd"));
  for (int i = 0; i < 3; ++i) {
    KM_RQList list;
    const ListsRefreshResult r = ListsRefresh(list, paramsFor(odd));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.loaded, i > 0) << i;
    EXPECT_EQ(subjects(list), QStringList{"Odd"});
  }
  EXPECT_EQ(listFiles(), QStringList{"RQList000001.slf"});
  EXPECT_EQ(mappedFile(odd), "RQList000001.slf");
}

TEST(ListsRefresh, AListThatCannotBeSavedIsToldToTheOperator) {
  const QString d = mkdir("data");
  ASSERT_TRUE(writeSimpleFile(d + "/a.kpf", "A"));
  // Its list file cannot be written (as on a full disk: here a folder stands in its place).
  ASSERT_TRUE(folderindex::writeValue(indexPath(), folderindex::kSection, d + "/", "RQList000009.slf"));
  ASSERT_TRUE(QDir().mkpath(inSandbox("common/RQList000009.slf")));
  ScriptedMessages script;
  KM_RQList list;
  const ListsRefreshResult r = ListsRefresh(list, paramsFor(d));
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(script.requests().size(), 1);
  EXPECT_EQ(script.requests()[0].icon, MsgIcon::Exclamation);
  EXPECT_TRUE(script.requests()[0].text.contains(r.listFile)) << script.requests()[0].text.toStdString();
}

mode_t modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

TEST(Privacy, SubjectFilesListsTheIndexAndTemplatesAreTheUsersAlone) {
  const mode_t old = ::umask(022);  // a usual desktop umask: others may read
  const QString d = mkdir("data");
  ASSERT_TRUE(writeSimpleFile(d + "/new.kpf", "New"));
  ASSERT_TRUE(writeSimpleFile(d + "/shared.kpf", "Shared"));
  ASSERT_EQ(::chmod(QFile::encodeName(d + "/shared.kpf").constData(), 0644), 0);
  ASSERT_TRUE(writeSimpleFile(d + "/shared.kpf", "Shared"));  // saved again over a readable one
  KM_RQList list;
  const ListsRefreshResult r = ListsRefresh(list, paramsFor(d));
  ASSERT_TRUE(r.ok);
  KM_RQTemplate t = MakeDefaultTestTemplate();
  ASSERT_TRUE(t.Save(inSandbox("KMTARNRQ.tef")));
  KM_RQTComments c;
  ASSERT_TRUE(c.Save(inSandbox("KMTARNRQ.cof")));
  ::umask(old);

  for (const QString& f : {d + "/new.kpf", d + "/shared.kpf", r.listFile, indexPath(),
                           inSandbox("KMTARNRQ.tef"), inSandbox("KMTARNRQ.cof")})
    EXPECT_EQ(modeOf(f), 0600u) << f.toStdString();
  EXPECT_EQ(modeOf(inSandbox("common")), 0700u);
}

TEST(Privacy, TheLogNamesNoSubjectAndCarriesNoHealthData) {
  const QString d = mkdir("Clinic");
  ASSERT_TRUE(writeSimpleFile(d + "/Quux Zebediah.kpf", "Quux"));
  datatest::writeBytes(d + "/Quux Damaged.kpf", "not a subject file");
  ASSERT_TRUE(eventlog::start(inSandbox("KMTARNRQ.log")));
  KM_RQList list;
  ASSERT_TRUE(ListsRefresh(list, paramsFor(d)).ok);
  ASSERT_EQ(list.lFilesCount(), 2);
  eventlog::stop();
  const QString log = QString::fromUtf8(datatest::fileBytes(inSandbox("KMTARNRQ.log")));
  ASSERT_TRUE(log.contains("KM_RQListFile\tRebuild")) << "the steps are still there";
  for (const char* secret : {"Quux", "Zebediah", "BMI ", "sex", "Age ", "class "})
    EXPECT_FALSE(log.contains(secret, Qt::CaseSensitive)) << secret << "\n" << log.toStdString();
}

}  // namespace
}  // namespace tarn
