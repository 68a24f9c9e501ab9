#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "app/tests/apptest.h"
#include "core/windows/frmpprogress.h"
#include "data/lists/folderindex.h"
#include "data/tools/demodata.h"

namespace tarn::app::testing {
namespace {

class ListRefresh : public AppTest {
 protected:
  static QString dataFolder() { return folders::withSlash(settings::read(settings::LastPath)); }

  static void writeDemoFiles(int count) {
    demodata::Options o;
    o.files = count;
    o.seed = 3;
    o.minVisits = o.maxVisits = 1;
    auto recorder = demodata::makeModelRecorder(3);
    QString error;
    ASSERT_EQ(demodata::writeDemoFolder(dataFolder(), o, *recorder, &error), count) << error.toStdString();
  }

  // The list events the window logged, "procedure: step" in log order, from line `from` on.
  static QStringList listEvents(int from = 0) {
    QStringList out;
    const QStringList lines = logLines();
    for (int i = from; i < lines.size(); ++i) {
      const QStringList f = lines[i].split('\t');
      if (f.size() >= 4 && f[1] == "frmPMain" && f[2].startsWith("prv_objLists_")) out << f[2] + ": " + f[3];
    }
    return out;
  }

  static QString indexFile() {
    return QDir(folders::commonDataFolder()).filePath(QString::fromLatin1(folderindex::kIndexFileName));
  }

  bool anyCommandEnabled() const {
    for (auto* b : {window->cmdBegin, window->cmdFileMngm, window->cmdOptions, window->cmdReportReprint,
                    window->cmdExit})
      if (b->isEnabled()) return true;
    return false;
  }
};

TEST_F(ListRefresh, DemoFilesAreListedWithProgressInPassOrder) {
  writeDemoFiles(3);
  ASSERT_TRUE(load());
  // A first start has an empty list: nothing to remove, three to add, three to read.
  EXPECT_EQ(listEvents(), QStringList({"prv_objLists_RefreshAddNew: Adding New Files ... (3 files)",
                                       "prv_objLists_RefreshUpdate: Updating List Entries ... (3 files)"}));
  ASSERT_TRUE(station->lists());
  EXPECT_EQ(station->lists()->lFilesCount(), 3);
  EXPECT_EQ(station->lists()->lfFile(1)->sFileName, "DEMO000001.kpf");
  EXPECT_GT(station->lists()->lSTTestBalanceCount(), 0);
  EXPECT_FALSE(station->progressWindow());  // unloaded again

  // The list file and the folder index sit in the common data folder.
  const QString listFile = QDir(folders::commonDataFolder()).filePath("RQList000001.slf");
  EXPECT_TRUE(QFileInfo(listFile).isFile());
  EXPECT_EQ(folderindex::readValue(indexFile(), QString::fromLatin1(folderindex::kSection), dataFolder(),
                                   QString()),
            "RQList000001.slf");

  // One file gone, one new: all three passes, in order, each logged once.
  ASSERT_TRUE(QFile::remove(dataFolder() + "DEMO000002.kpf"));
  ASSERT_TRUE(QFile::copy(dataFolder() + "DEMO000003.kpf", dataFolder() + "DEMO000009.kpf"));
  const int from = logLines().size();
  station->Lists_Refresh();
  EXPECT_EQ(listEvents(from),
            QStringList({"prv_objLists_RefreshDelOld: Removing Deleted Files ... (3 files)",
                         "prv_objLists_RefreshAddNew: Adding New Files ... (1 files)",
                         "prv_objLists_RefreshUpdate: Updating List Entries ... (3 files)"}));
  EXPECT_EQ(station->lists()->lFilesCount(), 3);
  EXPECT_EQ(station->lists()->lfFile(3)->sFileName, "DEMO000009.kpf");
  // The same list file is used again for the same folder.
  EXPECT_FALSE(QFileInfo::exists(QDir(folders::commonDataFolder()).filePath("RQList000002.slf")));
}

TEST_F(ListRefresh, ProgressWindowIsUpWhileTheListRefreshesAndButtonsWaitForTheCaller) {
  writeDemoFiles(2);
  ASSERT_TRUE(load());
  window->show();
  bool started = false, progressAtStart = true, ended = false, visibleAtEnd = false, enabledAtEnd = true;
  QString titleAtEnd, messageAtEnd;
  station->setListRefreshNotices(
      [&] {
        started = true;
        progressAtStart = station->progressWindow() && station->progressWindow()->isVisible();
      },
      [&] {
        ended = true;
        frmPProgress* p = station->progressWindow();
        visibleAtEnd = p && p->isVisible();
        if (p) titleAtEnd = p->windowTitle(), messageAtEnd = p->lblMessage->text();
        station->Commands_Update();  // as a platform event would during the refresh
        enabledAtEnd = anyCommandEnabled();
      });
  station->Lists_Refresh();
  EXPECT_TRUE(started);
  EXPECT_FALSE(progressAtStart);  // it appears with the first progress event
  ASSERT_TRUE(ended);
  EXPECT_TRUE(visibleAtEnd);
  EXPECT_EQ(titleAtEnd, "KM TARN™ RQ - Updating File List");
  EXPECT_EQ(messageAtEnd, "Updating List Entries ...");
  EXPECT_FALSE(enabledAtEnd);
  EXPECT_FALSE(station->progressWindow());
  EXPECT_FALSE(anyCommandEnabled());  // until the caller runs Commands_Update
  station->Commands_Update();
  EXPECT_TRUE(window->cmdExit->isEnabled());
  const QStringList steps = AppTest::steps("Lists_Refresh");
  EXPECT_LT(steps.indexOf("Raising ListRefreshStart"), steps.indexOf("Raising ListRefreshEnd"));
}

TEST_F(ListRefresh, EmptyDataFolderWritesAnEmptyListWithoutAProgressWindow) {
  ASSERT_TRUE(load());
  EXPECT_TRUE(listEvents().isEmpty());
  EXPECT_EQ(station->lists()->lFilesCount(), 0);
  EXPECT_TRUE(QFileInfo(QDir(folders::commonDataFolder()).filePath("RQList000001.slf")).isFile());
  EXPECT_TRUE(QFileInfo(indexFile()).isFile());
  EXPECT_TRUE(steps("Form_Load").contains("Creating Lists Object"));
  EXPECT_TRUE(steps("Lists_Refresh").contains("Raising ListRefreshEnd"));
  // Start-up leaves the commands to Commands_Update, which ran after the refresh.
  EXPECT_TRUE(window->cmdExit->isEnabled());
}

TEST_F(ListRefresh, ListSettingsNameTheListFile) {
  settings::write(settings::ListPrefix, "Clinic");
  settings::write(settings::ListExt, "lst2");
  const QString other = QDir(folders::documentsFolder()).filePath("other");
  ASSERT_TRUE(QDir().mkpath(other));
  settings::write(settings::LastPath, other);
  ASSERT_TRUE(load());
  EXPECT_TRUE(QFileInfo(QDir(folders::commonDataFolder()).filePath("Clinic000001.lst2")).isFile());
  EXPECT_EQ(station->lists()->sDataPath(), folders::withSlash(other));
}

TEST_F(ListRefresh, MissingDataFolderIsReportedAndNoListIsMadeForIt) {
  const QString gone = QDir(folders::documentsFolder()).filePath("gone");
  settings::write(settings::LastPath, gone);
  ASSERT_TRUE(load());
  int reported = 0;
  for (const MessageRequest& m : messages) reported += m.text.contains("\"" + gone + "/\" cannot be found");
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(station->lists()->lFilesCount(), 0);
  EXPECT_FALSE(QFileInfo::exists(QDir(folders::commonDataFolder()).filePath("RQList000001.slf")));
  EXPECT_FALSE(QFileInfo::exists(indexFile()));
  EXPECT_TRUE(window->cmdExit->isEnabled());
}

TEST_F(ListRefresh, CloseDuringTheRefreshWaitsForTheListToBeSavedAndReadsNoMoreFiles) {
  writeDemoFiles(1);
  ASSERT_TRUE(load());
  writeDemoFiles(3);  // two more files to read
  window->show();
  bool stillOpen = false;
  const qint64 opened = KM_RQListFile::subjectFilesOpened();
  station->setListRefreshNotices([&] { window->close(); },
                                 [&] { stillOpen = window->isVisible() && QFileInfo::exists(logFile()); });
  station->Lists_Refresh();
  EXPECT_TRUE(stillOpen);
  // A termination signal is answered now, not after every file of the folder was read.
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), opened);
  EXPECT_EQ(station->lists()->lFilesCount(), 3);
  EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
  EXPECT_FALSE(QFileInfo::exists(logFile()));  // an orderly end after all
}

}  // namespace
}  // namespace tarn::app::testing
