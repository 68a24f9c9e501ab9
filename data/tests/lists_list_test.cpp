// The data-folder list: the three refresh passes and their events, statistics, the list file,
// damaged and foreign list files, the folder index, and parallel rebuilds.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sqlite3.h>
#include <unistd.h>

#include "core/clock.h"
#include "core/folders.h"
#include "data/lists/folderindex.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"
#include "data/storage/olestg.h"
#include "data/storage/storagetree.h"
#include "data/tests/data_testutil.h"
#include "data/tests/lists_testutil.h"
#include "testsupport/childprocess.h"

namespace tarn {
namespace {

using liststest::EventLog;
using liststest::writeSimpleFile;

QString dataFolder() {
  const QString d = testsupport::sandboxFolder() + "/data";
  QDir().mkpath(d);
  return d;
}

QString at(const QString& folder, const QString& name) { return QDir(folder).filePath(name); }

QStringList names(const KM_RQList& list) {
  QStringList out;
  for (int i = 1; i <= list.lFilesCount(); ++i) out << list.lfFile(i)->sFileName;
  return out;
}

// Files; visits, sessions; with tests: visits, sessions, files, balance, vision and BMI tests;
// files with bad balance, bad vision, underweight, overweight.
// clang-format off
std::vector<qint32> stats(const KM_RQList& l) {
  return {l.lFilesCount(), l.lVisitCount(), l.lSessionCount(),
          l.lSTVisitCount(), l.lSTSessionCount(), l.lSTFilesCount(),
          l.lSTTestBalanceCount(), l.lSTTestVisionCount(), l.lSTTestBMICount(),
          l.lSTBadBalanceFilesCount(), l.lSTBadVisionFilesCount(), l.lSTUnderweightFilesCount(),
          l.lSTOverweightFilesCount()};
}
// clang-format on

TEST(DataList, ThreePassesSendTheirEventsInOrder) {
  const QString d = dataFolder();
  ASSERT_TRUE(writeSimpleFile(at(d, "b.kpf"), "B"));
  ASSERT_TRUE(writeSimpleFile(at(d, "a.kpf"), "A"));
  ASSERT_TRUE(writeSimpleFile(at(d, "c.kpf"), "C"));
  QFile(at(d, "notes.txt")).open(QIODevice::WriteOnly);
  KM_RQList list;
  EventLog ev;
  list.setEvents(&ev);
  EXPECT_EQ(list.Refresh(10.0f, d, "kpf"), 3);
  EXPECT_EQ(list.sDataPath(), d + "/");
  EXPECT_EQ(list.sDataExt(), ".kpf");
  EXPECT_EQ(ev.seen.join(' '), "A(3,1) A(3,2) A(3,3) U(3,1) U(3,2) U(3,3)");
  EXPECT_EQ(names(list), (QStringList{"a.kpf", "b.kpf", "c.kpf"}));

  // b renamed to B.kpf (another name by case), a deleted, d added.
  ASSERT_TRUE(QFile::rename(at(d, "b.kpf"), at(d, "B.kpf")));
  ASSERT_TRUE(QFile::remove(at(d, "a.kpf")));
  ASSERT_TRUE(writeSimpleFile(at(d, "d.kpf"), "D"));
  ev.seen.clear();
  EXPECT_EQ(list.Refresh(10.0f, "", ""), 2);  // the stored path and extension are used
  // a goes (the same index is looked at again), b goes, c stays; then B and d are added.
  EXPECT_EQ(ev.seen.join(' '), "D(3,1) D(2,1) D(1,1) A(2,1) A(2,2) U(3,1) U(3,2) U(3,3)");
  EXPECT_EQ(names(list), (QStringList{"c.kpf", "B.kpf", "d.kpf"}));
  EXPECT_EQ(list.lfFile(2)->sSubjLName, "B");  // computed from scratch under its new name
  EXPECT_EQ(list.lfFile(0)->sFileName, "");
  EXPECT_EQ(list.lfFile(4), nullptr);

  // Nothing changed: no file is read again.
  const qint64 opened = KM_RQListFile::subjectFilesOpened();
  ev.seen.clear();
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 0);
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), opened);
  EXPECT_EQ(ev.seen.join(' '), "D(3,1) D(3,2) D(3,3) U(3,1) U(3,2) U(3,3)");
}

TEST(DataList, NothingToScanEmptyFolderAndEmptyListFile) {
  KM_RQList list;
  EXPECT_EQ(list.Refresh(10.0f, "", ".kpf"), -1);
  EXPECT_EQ(list.Refresh(10.0f, testsupport::sandboxFolder() + "/missing", ".kpf"), -1);
  EXPECT_EQ(list.sDataPath(), "");

  const QString d = dataFolder();
  ASSERT_TRUE(writeSimpleFile(at(d, "a.kpf"), "A"));
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 1);
  EXPECT_EQ(list.lSTFilesCount(), 1);
  // Another folder that does not exist: the list is not scanned again under its name.
  EXPECT_EQ(list.Refresh(10.0f, testsupport::sandboxFolder() + "/missing", ".kpf"), -1);
  EXPECT_EQ(list.sDataPath(), d + "/");
  EXPECT_EQ(list.lFilesCount(), 1);
  ASSERT_TRUE(QFile::remove(at(d, "a.kpf")));
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 0);
  EXPECT_EQ(stats(list), std::vector<qint32>(13));

  // Saved, the empty list has no entries.
  const QString file = testsupport::sandboxFolder() + "/empty.slf";
  EXPECT_FALSE(list.FileSave(""));  // no path known yet: nothing happens
  EXPECT_FALSE(QFile::exists(file));
  ASSERT_TRUE(list.FileSave(file));
  KMX_OLEStgTool tool;
  auto stg = tool.OpenStorageFile(file, stgmode::Read)->OpenStorage("List", stgmode::Read);
  EXPECT_EQ(stg->OpenStream("FileData", stgmode::Read)->ReadNext().toLong(), 0);
  QString name;
  int storages = 0;
  for (auto t = stg->EnumElements(0, name); t != StgElementType::End; t = stg->EnumElements(1, name))
    storages += t == StgElementType::Storage;
  EXPECT_EQ(storages, 0);
}

// Subject with one visit and the given tests: (type, sway amplitude); BMI from mass at 1.80 m.
void writeSubject(const QString& path, double massKg, std::initializer_list<std::pair<int, double>> tests,
                  bool withVision = false) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.subject.dtDoB = 29221.0;
  f.subject.lIsMale = kSexMale;
  Visit* v = f.AddVisit();
  v->phys.dHeight = 1.80;
  v->phys.dMass = massKg;
  Session* s = v->AddSession();
  for (const auto& [type, amp] : tests)
    liststest::addBalance(s, type, 45000.5, liststest::swayRecording(amp, amp, 45000.5));
  if (withVision) liststest::addVision(s, 3, 45000.5, 0.5, 2);
  ASSERT_TRUE(f.Save(path));
}

TEST(DataList, StatisticsKnownAnswers) {
  const QString d = dataFolder();
  writeSubject(at(d, "1.kpf"), 75, {{1, 0.002}, {2, 0.002}});      // normal balance, normal weight
  writeSubject(at(d, "2.kpf"), 50, {{1, 0.002}, {3, 0.3}}, true);  // reduced, underweight, vision 2
  writeSubject(at(d, "3.kpf"), 100, {{4, 0.002}});                 // obese
  writeSubject(at(d, "4.kpf"), 85, {});                            // no tests at all
  KM_RQList list;
  list.Refresh(10.0f, d, ".kpf");
  EXPECT_EQ(stats(list), (std::vector<qint32>{4, 4, 4, 3, 3, 3, 5, 1, 5, 1, 1, 1, 1}));
  EXPECT_FLOAT_EQ(list.fMinCoPFzForAnalysis(), 10.0f);
}

// Subject with one visit per (date, mass at 1.80 m) and one steady NSEO test in each; born 1980
// unless no date of birth is given.
void writeVisits(const QString& path, std::initializer_list<std::pair<double, double>> visits,
                 double birth = 29221.0) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.subject.dtDoB = birth;
  f.subject.lIsMale = kSexFemale;
  for (const auto& [date, mass] : visits) {
    Visit* v = f.AddVisit();
    v->phys.dHeight = 1.80;
    v->phys.dMass = mass;
    liststest::addBalance(v->AddSession(), 1, date, liststest::swayRecording(0.002, 0.002, date));
  }
  ASSERT_TRUE(f.Save(path));
}

TEST(DataList, StatisticsOfFilesThatOnlyOneRuleTellsApart) {
  const QString d = dataFolder();
  // BMI 21.6 first, 16.7 lowest, 23.1 last: underweight by its lowest class only. 26.2 first,
  // 30.9 highest, 22.2 last: overweight by its highest class only.
  writeVisits(at(d, "1.kpf"), {{45000.5, 70}, {45100.5, 54}, {45200.5, 75}});
  writeVisits(at(d, "2.kpf"), {{45000.5, 85}, {45100.5, 100}, {45200.5, 72}});
  // Vision tests only: a file with tests, and one with a reduced vision class.
  {
    SubjectFile f;
    ASSERT_TRUE(f.CreateEmpty());
    liststest::addVision(f.AddVisit()->AddSession(), 1, 45000.5, 0.5, 2);
    ASSERT_TRUE(f.Save(at(d, "3.kpf")));
  }
  // No date of birth: steady tests that no norms can class are not reduced balance.
  writeVisits(at(d, "4.kpf"), {{45000.5, 70}}, clock::kMissingDate);
  // A balance test never run: a file with tests, no result, nothing reduced, no BMI.
  {
    SubjectFile f;
    ASSERT_TRUE(f.CreateEmpty());
    f.subject.dtDoB = 29221.0;
    Visit* v = f.AddVisit();
    v->phys.dHeight = 1.80;
    v->phys.dMass = 54;
    liststest::addBalance(v->AddSession(), 2, 45000.5, nullptr);
    ASSERT_TRUE(f.Save(at(d, "5.kpf")));
  }
  KM_RQList list;
  list.Refresh(10.0f, d, ".kpf");
  ASSERT_EQ(list.lFilesCount(), 5);
  EXPECT_EQ(list.lfFile(4)->fBMinLowestStabClass(), 0);
  EXPECT_EQ(stats(list), (std::vector<qint32>{5, 9, 9, 9, 9, 5, 8, 1, 7, 0, 1, 1, 1}));
}

TEST(DataList, ListFileRoundTripAndLayout) {
  const QString d = dataFolder();
  writeSubject(at(d, "1.kpf"), 75, {{1, 0.002}, {2, 0.004}});
  writeSubject(at(d, "2.kpf"), 50, {{1, 0.002}, {3, 0.3}}, true);
  KM_RQList list;
  list.Refresh(10.0f, d, ".kpf");
  const QString file = testsupport::sandboxFolder() + "/lists/RQList000001.slf";
  ASSERT_TRUE(list.FileSave(file));
  EXPECT_EQ(list.sFileName(), file);

  KMX_OLEStgTool tool;
  auto root = tool.OpenStorageFile(file, stgmode::Read);
  ASSERT_TRUE(root);
  ASSERT_TRUE(root->OpenSummaryInfo());
  EXPECT_EQ(root->GetSummaryProperty("Subject"), "Kamrith Labs MARC");
  EXPECT_EQ(root->GetSummaryProperty("Title"), "File List");
  EXPECT_EQ(root->GetSummaryProperty("Comments"), "Kamrith Labs TARN RQ Subject's File List");
  auto stg = root->OpenStorage("List", stgmode::Read);
  ASSERT_TRUE(stg);
  auto data = stg->OpenStream("Data", stgmode::Read);
  EXPECT_EQ(data->ReadNext().toString(), d + "/");
  for (int i = 0; i < 4; ++i) data->ReadNext();
  EXPECT_EQ(data->ReadNext().toLong(), 4);  // balance tests
  EXPECT_EQ(stg->OpenStream("FileData", stgmode::Read)->ReadNext().toLong(), 2);
  EXPECT_TRUE(stg->OpenStorage("File 2", stgmode::Read));
  EXPECT_FALSE(stg->OpenStorage("File 3", stgmode::Read));
  root.reset();

  KM_RQList back;
  ASSERT_TRUE(back.FileLoad(file));
  EXPECT_EQ(stats(back), stats(list));
  EXPECT_EQ(back.sDataPath(), "");  // the folder always comes from the caller
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(back.lfFile(i)->sFileName, list.lfFile(i)->sFileName);
    EXPECT_EQ(back.lfFile(i)->balanceSummaries(), list.lfFile(i)->balanceSummaries());
    EXPECT_EQ(back.lfFile(i)->lFileSize, list.lfFile(i)->lFileSize);
  }
  // The loaded entries are current: a refresh reads nothing.
  EXPECT_EQ(back.Refresh(10.0f, d, ".kpf"), 0);

  // One file gone: the saved list holds no stale entry.
  ASSERT_TRUE(QFile::remove(at(d, "1.kpf")));
  back.Refresh(10.0f, d, ".kpf");
  ASSERT_TRUE(back.FileSave(""));  // the path it was loaded from
  root = tool.OpenStorageFile(file, stgmode::Read);
  stg = root->OpenStorage("List", stgmode::Read);
  EXPECT_EQ(stg->OpenStream("FileData", stgmode::Read)->ReadNext().toLong(), 1);
  EXPECT_TRUE(stg->OpenStorage("File 1", stgmode::Read));
  EXPECT_FALSE(stg->OpenStorage("File 2", stgmode::Read));
}

TEST(DataList, ForeignDamagedOrMissingListFilesLoadEmpty) {
  const QString d = dataFolder();
  ASSERT_TRUE(writeSimpleFile(at(d, "a.kpf"), "A"));
  KM_RQList list;
  list.Refresh(10.0f, d, ".kpf");
  const QString file = testsupport::sandboxFolder() + "/l.slf";
  ASSERT_TRUE(list.FileSave(file));

  KM_RQList other;
  auto refused = [&](const QString& path, const QString& identification = QString(kListIdentification)) {
    other.Refresh(10.0f, d, ".kpf");
    EXPECT_FALSE(other.FileLoad(path, identification));
    EXPECT_EQ(stats(other), std::vector<qint32>(13));
  };
  refused(file, "Some Other Maker");
  EXPECT_TRUE(other.FileLoad(file, "kamrith labs marc"));  // case does not matter
  EXPECT_EQ(other.lFilesCount(), 1);
  refused(testsupport::sandboxFolder() + "/none.slf");

  // Cut in half: not a readable storage file any more. The next refresh rebuilds it.
  const QByteArray whole = datatest::fileBytes(file);
  datatest::writeBytes(file, whole.left(whole.size() / 2));
  refused(file);
  EXPECT_EQ(other.Refresh(10.0f, d, ".kpf"), 1);
  EXPECT_TRUE(other.FileSave(file));
  EXPECT_TRUE(other.FileLoad(file));
  EXPECT_EQ(other.lFilesCount(), 1);

  // A storage file whose list lost an entry's data.
  {
    KMX_OLEStgTool tool;
    auto root = tool.OpenStorageFile(file, stgmode::ReadWrite);
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->OpenStorage("List", stgmode::ReadWrite)
                    ->OpenStorage("File 1", stgmode::ReadWrite)
                    ->DestroyElement("Data"));
    ASSERT_TRUE(root->Commit(stgcommit::Overwrite));
  }
  refused(file);
}

TEST(DataList, DamagedSubjectFileDoesNotStopTheRefresh) {
  const QString d = dataFolder();
  ASSERT_TRUE(writeSimpleFile(at(d, "a.kpf"), "A"));
  datatest::writeBytes(at(d, "b.kpf"), QByteArray("SQLite format 3\0 and then nothing sensible", 40));
  ASSERT_TRUE(writeSimpleFile(at(d, "c.kpf"), "C"));
  KM_RQList list;
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 3);
  ASSERT_EQ(list.lFilesCount(), 3);
  EXPECT_EQ(list.lfFile(2)->sFileName, "b.kpf");
  EXPECT_EQ(list.lfFile(2)->lTestBalanceCount(), 0);
  EXPECT_EQ(list.lfFile(2)->lFileSize, 40);
  EXPECT_EQ(list.lfFile(3)->sSubjLName, "C");
  EXPECT_EQ(list.lSTFilesCount(), 2);
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 0);  // not retried until it changes
}

TEST(DataList, ParallelRebuildEqualsSerial) {
  const QString d = dataFolder();
  for (int i = 0; i < 9; ++i)
    ASSERT_TRUE(writeSimpleFile(at(d, QString("s%1.kpf").arg(i)), QString("S%1").arg(i), 45000.5 + i,
                                0.002 + 0.01 * i, i % 3));
  KM_RQList serial, parallel;
  EventLog evS, evP;
  serial.setEvents(&evS);
  parallel.setEvents(&evP);
  serial.setWorkerThreads(1);
  parallel.setWorkerThreads(4);
  EXPECT_EQ(serial.Refresh(10.0f, d, ".kpf"), 9);
  EXPECT_EQ(parallel.Refresh(10.0f, d, ".kpf"), 9);
  EXPECT_EQ(evS.seen, evP.seen);

  EXPECT_EQ(stats(serial), stats(parallel));

  // What each would store, value by value.
  KMX_OLEStgTool tool;
  auto a = tool.CreateRootStorageOnMemory("MEM_a", stgmode::CreateReplace, tool.AllocMemoryBlock());
  auto b = tool.CreateRootStorageOnMemory("MEM_b", stgmode::CreateReplace, tool.AllocMemoryBlock());
  ASSERT_TRUE(serial.Save(a.get()));
  ASSERT_TRUE(parallel.Save(b.get()));
  const QStringList stored = StgListTree(*a);
  EXPECT_EQ(stored.filter(QRegularExpression("^List/File \\d+/TestB \\d+/Data:")).size(), 9 + 9);
  EXPECT_EQ(stored, StgListTree(*b));
}

TEST(DataList, AStopRequestReadsNoFurtherSubjectFiles) {
  const QString d = dataFolder();
  for (const char* n : {"a", "b", "c"}) ASSERT_TRUE(writeSimpleFile(at(d, QString(n) + ".kpf"), n));
  KM_RQList list;
  list.setWorkerThreads(1);
  // The program is told to end while the second file is being read.
  struct StopAtSecond : EventLog {
    KM_RQList* list = nullptr;
    void RefreshUpdate(qint32 t, qint32 c) override {
      EventLog::RefreshUpdate(t, c);
      if (c == 2) list->requestStop();
    }
  } ev;
  ev.list = &list;
  list.setEvents(&ev);
  const qint64 opened = KM_RQListFile::subjectFilesOpened();
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 1);
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), opened + 1);
  EXPECT_EQ(list.lfFile(1)->sSubjLName, "a");
  EXPECT_EQ(list.lFilesCount(), 3) << "every file is listed, read or not";
  // The next refresh reads what was left.
  list.setEvents(nullptr);
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 2);
  EXPECT_EQ(list.lfFile(3)->sSubjLName, "c");
}

TEST(DataList, ANameThatIsNotValidUtf8IsListedAndRead) {
  const QString d = dataFolder();
  ASSERT_TRUE(writeSimpleFile(at(d, "plain.kpf"), "Plain"));
  const QByteArray latin1 = QFile::encodeName(d) + "/M\xfcller.kpf";  // written by an older system
  ASSERT_EQ(::rename(QFile::encodeName(at(d, "plain.kpf")).constData(), latin1.constData()), 0);
  KM_RQList list;
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 1);
  ASSERT_EQ(list.lFilesCount(), 1);
  EXPECT_FALSE(list.lfFile(1)->isDamaged()) << list.lfFile(1)->damageText().toStdString();
  EXPECT_EQ(list.lfFile(1)->sSubjLName, "Plain");
  EXPECT_EQ(list.lfFile(1)->lTestBalanceCount(), 1);
  EXPECT_EQ(list.Refresh(10.0f, d, ".kpf"), 0) << "and found up to date";
}

TEST(DataList, WhatAnInterruptedSaveLeftIsRemovedAtTheNextRefresh) {
  const QString d = dataFolder();
  ASSERT_TRUE(writeSimpleFile(at(d, "a.kpf"), "A"));
  // A station killed while saving, after the new file was written and before it replaced a.kpf.
  ASSERT_EQ(testsupport::runInChild([&] {
              SubjectFile::setBeforeRenameHook([](const QString&) -> bool { ::_exit(0); });
              SubjectFile f;
              f.Open(at(d, "a.kpf"));
              f.Save();
              return 1;
            }),
            0);
  const QStringList left = QDir(d).entryList({".a.kpf.*.tmp"}, QDir::Files | QDir::Hidden);
  ASSERT_EQ(left.size(), 1);
  // A save of this very process still running, and files that only look alike.
  const QString running = folders::hiddenTempPath(at(d, "b.kpf"));
  for (const QString& f : {running, at(d, ".c.kpf.12.tmp"), at(d, "notes.tmp")}) {
    QFile file(f);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  KM_RQList list;
  list.Refresh(10.0f, d, ".kpf");
  EXPECT_FALSE(QFile::exists(at(d, left[0])));
  for (const QString& f : {running, at(d, ".c.kpf.12.tmp"), at(d, "notes.tmp")})
    EXPECT_TRUE(QFile::exists(f)) << f.toStdString();
  EXPECT_EQ(list.lfFile(1)->sSubjLName, "A");
}

TEST(FolderIndex, ValuesAndNewNames) {
  const QString dir = testsupport::sandboxFolder() + "/common";
  const QString index = dir + "/RQFoldLst.lst";
  EXPECT_EQ(folderindex::readValue(index, "KMTARNRQFolders", "/data/", "none"), "none");
  ASSERT_TRUE(folderindex::writeValue(index, "KMTARNRQFolders", "/data/", "RQList000001.slf"));
  ASSERT_TRUE(folderindex::writeValue(index, "KMTARNRQFolders", "/data/x=y/", "RQList000002.slf"));
  ASSERT_TRUE(folderindex::writeValue(index, "KMTARNRQFolders", "/data/", "RQList000003.slf"));
  EXPECT_EQ(folderindex::readValue(index, "kmtarnrqfolders", "/data/", ""), "RQList000003.slf");
  EXPECT_EQ(folderindex::readValue(index, "KMTARNRQFolders", "/data/x=y/", ""), "RQList000002.slf");
  EXPECT_EQ(folderindex::readValue(index, "KMTARNRQFolders", "/DATA/", ""), "");
  EXPECT_FALSE(folderindex::writeValue(index, "KMTARNRQFolders", "", "x"));
  QFile f(index);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(f.readAll()),
            "[KMTARNRQFolders]\n/data/=RQList000003.slf\n/data/x=y/=RQList000002.slf\n");

  EXPECT_EQ(folderindex::newListFileName(dir, "RQList", "slf"), "RQList000001.slf");
  QFile(dir + "/RQList000001.slf").open(QIODevice::WriteOnly);
  EXPECT_EQ(folderindex::newListFileName(dir, "RQList", ".slf"), "RQList000002.slf");
}

TEST(ListsRefresh, NamesListFilesPerFolderAndReusesThem) {
  const QString d1 = dataFolder();
  const QString d2 = testsupport::sandboxFolder() + "/data2";
  QDir().mkpath(d2);
  ASSERT_TRUE(writeSimpleFile(at(d1, "a.kpf"), "A"));
  ListsRefreshParams p;
  p.listFolder = testsupport::sandboxFolder() + "/common";
  p.dataPath = d1;
  QStringList notices;
  p.onStart = [&] { notices << "start"; };
  p.onEnd = [&] { notices << "end"; };
  KM_RQList list;
  ListsRefreshResult r = ListsRefresh(list, p);
  EXPECT_TRUE(r.ok);
  EXPECT_FALSE(r.loaded);
  EXPECT_EQ(r.rebuilt, 1);
  EXPECT_EQ(r.listFile, p.listFolder + "/RQList000001.slf");
  EXPECT_EQ(notices, (QStringList{"start", "end"}));

  p.dataPath = d2;
  KM_RQList list2;
  r = ListsRefresh(list2, p);
  EXPECT_EQ(r.listFile, p.listFolder + "/RQList000002.slf");
  EXPECT_EQ(list2.lFilesCount(), 0);

  p.dataPath = d1 + "/";
  KM_RQList again;
  r = ListsRefresh(again, p);
  EXPECT_EQ(r.listFile, p.listFolder + "/RQList000001.slf");
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.rebuilt, 0);
  EXPECT_EQ(again.lFilesCount(), 1);
  EXPECT_EQ(folderindex::readValue(p.listFolder + "/RQFoldLst.lst", "KMTARNRQFolders", d1 + "/", ""),
            "RQList000001.slf");

  // A data folder that does not exist is reported; the list keeps the folder it had, and no
  // list file or index line is made for the missing one.
  p.dataPath = testsupport::sandboxFolder() + "/gone";
  notices.clear();
  r = ListsRefresh(again, p);
  EXPECT_TRUE(r.missingFolder);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(notices.isEmpty());
  EXPECT_EQ(again.lFilesCount(), 1);
  EXPECT_EQ(again.sDataPath(), d1 + "/");
  EXPECT_FALSE(QFile::exists(p.listFolder + "/RQList000003.slf"));
  EXPECT_EQ(folderindex::readValue(p.listFolder + "/RQFoldLst.lst", "KMTARNRQFolders", p.dataPath + "/", ""),
            "");
}

// What the list file holds, read back into a new list: names, subjects and statistics.
QStringList fileContents(const QString& listFile) {
  KM_RQList back;
  if (!back.FileLoad(listFile)) return {"<not loaded>"};
  QStringList out;
  for (qint32 i = 1; i <= back.lFilesCount(); ++i)
    out << back.lfFile(i)->sFileName + "=" + back.lfFile(i)->sSubjLName + "/" +
               QString::number(back.lfFile(i)->lTestBalanceCount());
  out << QStringLiteral("tests %1 visits %2").arg(back.lSTTestBalanceCount()).arg(back.lVisitCount());
  return out;
}

QStringList listContents(const KM_RQList& list) {
  QStringList out;
  for (qint32 i = 1; i <= list.lFilesCount(); ++i)
    out << list.lfFile(i)->sFileName + "=" + list.lfFile(i)->sSubjLName + "/" +
               QString::number(list.lfFile(i)->lTestBalanceCount());
  out << QStringLiteral("tests %1 visits %2").arg(list.lSTTestBalanceCount()).arg(list.lVisitCount());
  return out;
}

// A refresh writes the list file only when something changed, then only the entries that did;
// whatever happened, the file reads back as the list in memory.
TEST(ListsRefresh, TheListFileIsWrittenOnlyWithWhatChanged) {
  const QString d = dataFolder();
  for (const char* n : {"a", "b", "c", "d"}) ASSERT_TRUE(writeSimpleFile(at(d, QString(n) + ".kpf"), n));
  ListsRefreshParams p;
  p.listFolder = testsupport::sandboxFolder() + "/common";
  p.dataPath = d;
  KM_RQList list;
  const ListsRefreshResult first = ListsRefresh(list, p);
  ASSERT_TRUE(first.ok);
  const qint64 opened = KM_RQListFile::subjectFilesOpened();

  struct Step {
    const char* what;
    std::function<void()> change;
    bool freshList;  // as at a new start of the station
    qint32 rebuilt;  // entries read again
    bool written;    // the list file was replaced
  };
  const Step steps[] = {
      // The kept list was written but never read: it is what its file holds, of this folder.
      {"nothing changed, same list", [] {}, false, 0, false},
      {"nothing changed, new start", [] {}, true, 0, false},
      {"one subject file saved again",
       [&] { ASSERT_TRUE(writeSimpleFile(at(d, "b.kpf"), "B2", 45001.5, 0.002, 1)); }, false, 1, true},
      {"a file removed: later entries move down", [&] { ASSERT_TRUE(QFile::remove(at(d, "a.kpf"))); }, false,
       0, true},
      {"a file added", [&] { ASSERT_TRUE(writeSimpleFile(at(d, "e.kpf"), "E")); }, true, 1, true},
      {"another process wrote the list file meanwhile",
       [&] {
         KM_RQList other;
         ASSERT_TRUE(other.FileLoad(first.listFile));
         ASSERT_TRUE(writeSimpleFile(at(d, "c.kpf"), "C2"));
         other.Refresh(p.minCoPFz, d, ".kpf");
         ASSERT_TRUE(other.FileSave(first.listFile));
         ASSERT_TRUE(writeSimpleFile(at(d, "d.kpf"), "D2"));
       },
       false, 1, true},  // c as the other process read it comes with the list file; d is read
  };
  qint64 expectedOpened = opened;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    const QString before = folders::fileStamp(first.listFile);
    KM_RQList fresh;
    KM_RQList& l = step.freshList ? fresh : list;
    const ListsRefreshResult r = ListsRefresh(l, p);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.rebuilt, step.rebuilt);
    expectedOpened += step.rebuilt;
    EXPECT_EQ(folders::fileStamp(first.listFile) != before, step.written);
    EXPECT_FALSE(l.isModified());
    EXPECT_EQ(fileContents(first.listFile), listContents(l));
    if (step.freshList) {  // the kept list takes this step's change from the file, reading nothing
      list.clear();
      ASSERT_EQ(ListsRefresh(list, p).rebuilt, 0);
    }
  }
  EXPECT_EQ(fileContents(first.listFile),
            (QStringList{"b.kpf=B2/2", "c.kpf=C2/1", "d.kpf=D2/1", "e.kpf=E/1", "tests 5 visits 4"}));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), expectedOpened + 1);  // and the other process's one
}

// Every stream of the list's storage with its values, sorted: two files that list the same
// lines hold the same list, whatever the order of their rows.
QStringList storedList(KMX_OLEStorage& root) {
  auto sub = root.OpenStorage(QString::fromLatin1(KM_RQList::kDefaultStorageName), stgmode::Read);
  if (!sub) return {"<no list storage>"};
  QStringList lines = StgListTree(*sub);
  lines.sort();
  return lines;
}

QStringList storedList(const QString& listFile) {
  KMX_OLEStgTool tool;
  auto root = tool.OpenStorageFile(listFile, stgmode::Read);
  return root ? storedList(*root) : QStringList{"<not readable>"};
}

// What a whole write of the list in memory would store.
QStringList wholeWriteOf(KM_RQList& list) {
  KMX_OLEStgTool tool;
  const qint64 block = tool.AllocMemoryBlock();
  auto root = tool.CreateRootStorageOnMemory("MEM_whole", stgmode::CreateReplace, block);
  if (!root || !list.Save(root.get(), QString::fromLatin1(KM_RQList::kDefaultStorageName)))
    return {"<not saved>"};
  return storedList(*root);
}

// A rollback journal beside the file that a reader would play back: it starts with the magic.
bool hotJournal(const QString& listFile) {
  QFile f(listFile + "-journal");
  static const QByteArray magic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
  return f.open(QIODevice::ReadOnly) && f.read(8) == magic;
}

QString fileIdentity(const QString& path) { return folders::fileStamp(path).section(':', 0, 1); }

// Changed entries of a list that is what its file holds go into that file itself; a list file
// another writer replaced is written whole. Either way the file stores what a whole write would.
TEST(ListsRefresh, ChangedEntriesGoIntoTheFileItselfUnlessAnotherWriterReplacedIt) {
  const QString d = dataFolder();
  for (const char* n : {"a", "b", "c"}) ASSERT_TRUE(writeSimpleFile(at(d, QString(n) + ".kpf"), n));
  ListsRefreshParams p;
  p.listFolder = testsupport::sandboxFolder() + "/common";
  p.dataPath = d;
  KM_RQList list;
  const ListsRefreshResult first = ListsRefresh(list, p);
  ASSERT_TRUE(first.ok);

  // Runs its work once, at the first entry of the update pass: between the load and the save.
  struct Meanwhile : KM_RQListEvents {
    std::function<void()> work;
    void RefreshDelOld(qint32, qint32) override {}
    void RefreshAddNew(qint32, qint32) override {}
    void RefreshUpdate(qint32, qint32) override {
      if (work) std::exchange(work, nullptr)();
    }
  };
  QString replacedAs;  // the file the other writer put there
  // Files kept open: file numbers are reused as soon as a file is gone.
  std::vector<std::unique_ptr<QFile>> held;
  auto hold = [&] {
    held.push_back(std::make_unique<QFile>(first.listFile));
    ASSERT_TRUE(held.back()->open(QIODevice::ReadOnly));
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    std::function<void()> meanwhile;
    bool inPlace;  // the same file afterwards, not a new one renamed over it
  };
  const Step steps[] = {
      {"one subject file saved again",
       [&] { ASSERT_TRUE(writeSimpleFile(at(d, "b.kpf"), "B2", 45001.5, 0.002, 1)); }, nullptr, true},
      {"a file removed and one added",
       [&] {
         ASSERT_TRUE(QFile::remove(at(d, "a.kpf")));
         ASSERT_TRUE(writeSimpleFile(at(d, "f.kpf"), "F", 45002.5, 0.002, 2));
       },
       nullptr, true},
      {"the same entry changed twice in a row", [&] { ASSERT_TRUE(writeSimpleFile(at(d, "b.kpf"), "B3")); },
       nullptr, true},
      {"another process wrote its own list whole over the file during the refresh",
       [&] { ASSERT_TRUE(writeSimpleFile(at(d, "c.kpf"), "C2")); },
       [&] {
         KM_RQList other;
         other.Refresh(p.minCoPFz, d, ".kpf");
         ASSERT_TRUE(other.FileSave(first.listFile));
         hold();
         replacedAs = fileIdentity(first.listFile);
       },
       false},
      {"after the whole write, in place again", [&] { ASSERT_TRUE(writeSimpleFile(at(d, "f.kpf"), "F2")); },
       nullptr, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    Meanwhile events;
    events.work = step.meanwhile;
    list.setEvents(&events);
    replacedAs.clear();
    held.clear();
    hold();  // so that a new file cannot take its number
    const QString before = fileIdentity(first.listFile);
    const ListsRefreshResult r = ListsRefresh(list, p);
    list.setEvents(nullptr);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(fileIdentity(first.listFile) == before, step.inPlace);
    if (!replacedAs.isEmpty()) {
      EXPECT_NE(fileIdentity(first.listFile), replacedAs);
    }
    EXPECT_FALSE(hotJournal(first.listFile));
    EXPECT_EQ(storedList(first.listFile), wholeWriteOf(list));
    EXPECT_EQ(fileContents(first.listFile), listContents(list));
  }
  EXPECT_EQ(fileContents(first.listFile),
            (QStringList{"b.kpf=B3/1", "c.kpf=C2/1", "f.kpf=F2/1", "tests 3 visits 3"}));
}

// A station killed while its changes go into the list file leaves the list as it was before;
// the next reader puts it back, and the next refresh brings it up to date.
TEST(ListsRefresh, AKilledInPlaceWriteLeavesTheOldList) {
  struct Case {
    const char* what;
    bool pagesWritten;   // changed pages already in the file when the process dies
    bool replacedWhole;  // then another process writes its list whole, reading nothing first
  };
  const Case cases[] = {{"killed before any page reached the file", false, false},
                        {"killed with the changed pages in the file", true, false},
                        {"killed with the pages in the file, then a whole write", true, true}};
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString d = dataFolder() + QString::number(++round);
    QDir().mkpath(d);
    for (const char* n : {"a", "b", "c"}) ASSERT_TRUE(writeSimpleFile(at(d, QString(n) + ".kpf"), n));
    ListsRefreshParams p;
    p.listFolder = testsupport::sandboxFolder() + "/common";
    p.dataPath = d;
    KM_RQList list;
    const ListsRefreshResult first = ListsRefresh(list, p);
    ASSERT_TRUE(first.ok);
    const QStringList old = storedList(first.listFile);
    ASSERT_TRUE(writeSimpleFile(at(d, "b.kpf"), "B2", 45001.5, 0.002, 1));

    const bool flush = c.pagesWritten;
    ASSERT_EQ(testsupport::runInChild([&] {
                stgdetail::Database::setBeforeFileCommitHook([flush](sqlite3* db) {
                  if (flush && sqlite3_db_cacheflush(db) != SQLITE_OK) ::_exit(2);
                  ::_exit(0);
                });
                KM_RQList child;
                ListsRefresh(child, p);
                return 1;  // the write never reached its commit
              }),
              0);
    ASSERT_TRUE(QFile::exists(first.listFile + "-journal"));
    EXPECT_EQ(hotJournal(first.listFile), c.pagesWritten);
    if (c.replacedWhole) {  // the old journal must not be played back into the new file
      KM_RQList other;
      other.Refresh(p.minCoPFz, d, ".kpf");
      ASSERT_TRUE(other.FileSave(first.listFile));
      EXPECT_EQ(storedList(first.listFile), wholeWriteOf(other));
    } else {
      EXPECT_EQ(storedList(first.listFile), old);
    }
    EXPECT_FALSE(hotJournal(first.listFile));

    const ListsRefreshResult r = ListsRefresh(list, p);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rebuilt, c.replacedWhole ? 0 : 1);
    EXPECT_FALSE(hotJournal(first.listFile));
    EXPECT_EQ(storedList(first.listFile), wholeWriteOf(list));
    EXPECT_EQ(fileContents(first.listFile),
              (QStringList{"a.kpf=a/1", "b.kpf=B2/2", "c.kpf=c/1", "tests 4 visits 3"}));
  }
}

}  // namespace
}  // namespace tarn
