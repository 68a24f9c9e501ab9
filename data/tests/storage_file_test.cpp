// Storage files: memory image to file and back, whole-file replacement, damaged and foreign files.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <csignal>

#include "data/storage/olestg.h"
#include "data/tests/storage_testutil.h"

namespace tarn {
namespace {

using datatest::execSql;
using datatest::fileBytes;
using datatest::writeBytes;
using stgtest::buildSampleTree;
using stgtest::memoryRoot;
using stgtest::sandboxPath;
using stgtest::writeStream;

// The list file's save: build in memory, then copy into a freshly created file.
void saveSample(const QString& path) {
  KMX_OLEStgTool tool;
  const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
  ASSERT_TRUE(tool.ResizeMemoryBlock(h, QFileInfo(path).size() / 4096 * 4096 + 1048576));
  auto mem = tool.CreateRootStorageOnMemory("MEM_" + path, stgmode::CreateReplace, h, 0, true);
  buildSampleTree(*mem);
  ASSERT_TRUE(mem->Commit(stgcommit::Overwrite));
  QFile::remove(path);
  auto file = tool.CreateStorageFile(path, stgmode::CreateReplace, 0, true);
  ASSERT_TRUE(file);
  ASSERT_TRUE(mem->CopyTo(*file));
  ASSERT_TRUE(mem->CopyElementTo(KMX_OLEStorage::summaryInfoStreamName(), *file));
  ASSERT_TRUE(file->Commit(stgcommit::Overwrite));
  ASSERT_TRUE(tool.ReleaseMemoryBlock(h));
}

QStringList sampleListing() {
  KMX_OLEStgTool tool;
  auto mem = memoryRoot(tool);
  buildSampleTree(*mem);
  return StgListTree(*mem);
}

TEST(StorageFile, MemoryRootCopiedIntoANewFileGivesACompleteFile) {
  const QString path = sandboxPath("RQList000001.slf");
  saveSample(path);
  KMX_OLEStgTool tool;
  EXPECT_TRUE(tool.IsStorageFile(path));

  // The list file's load: open for copying, copy into a memory root, read from there.
  auto file = tool.OpenStorageFile(path, stgmode::PriorityDenyNone);
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->isWritable());
  EXPECT_FALSE(file->CreateStream("Nope"));
  auto mem = memoryRoot(tool, "MEM_" + path);
  ASSERT_TRUE(file->CopyTo(*mem));
  ASSERT_TRUE(mem->Commit(0));
  file.reset();
  const QStringList listing = StgListTree(*mem);
  QStringList sorted = listing, want = sampleListing();
  sorted.sort();
  want.sort();
  EXPECT_EQ(sorted, want);
  EXPECT_TRUE(
      listing.contains("List/File 2/Data: String \"subject2.kpf\", Long 2000, Date 45002.5, Boolean 0"))
      << listing.join('\n').toStdString();
  ASSERT_TRUE(mem->OpenSummaryInfo());
  EXPECT_EQ(mem->GetSummaryProperty("Subject"), "Kamrith Labs MARC");

  // Read-only opens give the same picture directly.
  auto ro = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(ro);
  EXPECT_EQ(StgListTree(*ro), listing);
  EXPECT_TRUE(ro->Commit(0));  // nothing to write
  EXPECT_FALSE(tool.OpenStorageFile(path, stgmode::PriorityDenyNone | 2));
}

TEST(StorageFile, ReadWriteOpenWritesTheFileBackOnlyOnRootCommit) {
  const QString path = sandboxPath("rw.slf");
  saveSample(path);
  KMX_OLEStgTool tool;
  {
    auto root = tool.OpenStorageFile(path, stgmode::ReadWrite);
    ASSERT_TRUE(root);
    ASSERT_TRUE(writeStream(*root, "Uncommitted", {StgValue::fromLong(1)}));
    ASSERT_TRUE(
        root->OpenStorage("List", stgmode::ReadWrite)->Commit(0));  // a sub-storage commit writes no file
  }
  EXPECT_FALSE(tool.OpenStorageFile(path, stgmode::Read)->OpenStream("Uncommitted"));
  {
    auto root = tool.OpenStorageFile(path, stgmode::ReadWrite);
    ASSERT_TRUE(root->DestroyElement("List"));
    ASSERT_TRUE(writeStream(*root, "Added", {StgValue::fromLong(2)}));
    ASSERT_TRUE(root->Commit(stgcommit::Overwrite));
  }
  auto back = tool.OpenStorageFile(path, stgmode::Read);
  EXPECT_EQ(back->OpenStream("Added")->ReadNext().toLong(), 2);
  EXPECT_FALSE(back->OpenStorage("List"));
}

TEST(StorageFile, OldFileStaysUntilTheNewOneIsCompletelyWritten) {
  const QString path = sandboxPath("keep.slf");
  saveSample(path);
  const QByteArray before = fileBytes(path);
  ASSERT_FALSE(before.isEmpty());
  KMX_OLEStgTool tool;

  // Created over an existing file and dropped without a commit: the old file is untouched.
  {
    auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
    ASSERT_TRUE(writeStream(*file, "Partial", {StgValue::fromLong(1)}));
  }
  EXPECT_EQ(fileBytes(path), before);

  // A commit that cannot write the whole image fails and leaves the old file and no leftovers.
  auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
  auto big = file->CreateStream("Big");
  for (int i = 0; i < 20000; ++i) ASSERT_TRUE(big->Write(StgValue::fromDouble(i)));
  ASSERT_TRUE(big->Commit(0));
  const QStringList bigListing = StgListTree(*file);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 16384;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool committed = file->Commit(stgcommit::Overwrite);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(committed);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(QDir(QFileInfo(path).path()).entryList({"keep*"}, QDir::Files), QStringList{"keep.slf"});

  // With room again the same root commits and the file is the new one, whole.
  ASSERT_TRUE(file->Commit(stgcommit::Overwrite));
  auto back = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(back);
  EXPECT_EQ(StgListTree(*back), bigListing);
  ASSERT_EQ(bigListing.size(), 1);
  EXPECT_TRUE(bigListing[0].endsWith(", Double 19999"));

  EXPECT_FALSE(tool.CreateStorageFile(sandboxPath("no/such/folder.slf"), stgmode::CreateReplace));
  EXPECT_FALSE(tool.CreateStorageFile(testsupport::sandboxFolder(), stgmode::CreateReplace));
  EXPECT_FALSE(tool.CreateStorageFile(sandboxPath("x.slf"), stgmode::ReadWrite));  // no create bit
}

TEST(StorageFile, MissingEmptyForeignTruncatedAndDamagedFilesFailCleanly) {
  KMX_OLEStgTool tool;
  const QString good = sandboxPath("good.slf");
  saveSample(good);
  const QByteArray image = fileBytes(good);
  ASSERT_GE(image.size(), 3 * 4096);

  auto rejects = [&](const QString& file, bool looksLikeOurs) {
    SCOPED_TRACE(file.toStdString());
    EXPECT_EQ(tool.IsStorageFile(file), looksLikeOurs);
    EXPECT_FALSE(tool.OpenStorageFile(file, stgmode::PriorityDenyNone));
    EXPECT_FALSE(tool.OpenStorageFile(file, stgmode::ReadWrite));
  };
  rejects(sandboxPath("missing.slf"), false);
  writeBytes(sandboxPath("empty.slf"), QByteArray());
  rejects(sandboxPath("empty.slf"), false);
  writeBytes(sandboxPath("text.slf"), QByteArray("RQList\r\n").repeated(200));
  rejects(sandboxPath("text.slf"), false);

  // Another program's database, and one wearing our mark over another layout.
  execSql(sandboxPath("foreign.slf"), "CREATE TABLE t(x); INSERT INTO t VALUES(1)");
  rejects(sandboxPath("foreign.slf"), false);
  execSql(sandboxPath("mimic.slf"),
          "PRAGMA application_id = 1414419284; PRAGMA user_version = 1; CREATE TABLE elements(x)");
  rejects(sandboxPath("mimic.slf"), true);

  writeBytes(sandboxPath("truncated.slf"), image.left(image.size() / 2));
  rejects(sandboxPath("truncated.slf"), true);

  QByteArray clobbered = image;
  for (qsizetype i = 4096; i < 2 * 4096; ++i) clobbered[i] = char(0x55);  // the table's root page
  writeBytes(sandboxPath("clobbered.slf"), clobbered);
  rejects(sandboxPath("clobbered.slf"), true);
}

TEST(StorageFile, DamagedValuesAndStrayRowsInASoundDatabase) {
  const QString path = sandboxPath("values.slf");
  saveSample(path);
  // Unknown tag, a string claiming more than there is, a value cut short; a row whose parent
  // comes after it and one that is its own parent (both unreachable), an unknown kind.
  execSql(path,
          "INSERT INTO elements VALUES(1000, 1, 'BadTag', 'BADTAG', 2, X'0901000000');"
          "INSERT INTO elements VALUES(1001, 1, 'BadLen', 'BADLEN', 2, X'02070000000141FFFFFF7F4100');"
          "INSERT INTO elements VALUES(1002, 1, 'Short', 'SHORT', 2, X'0201000000' || X'0501');"
          "INSERT INTO elements VALUES(1003, 1004, 'Orphan', 'ORPHAN', 1, NULL);"
          "INSERT INTO elements VALUES(1004, 1004, 'Loop', 'LOOP', 1, NULL);"
          "INSERT INTO elements VALUES(1005, 1, 'Odd', 'ODD', 9, NULL);"
          // The same name under another key: a second element of one name is left out.
          "INSERT INTO elements VALUES(1006, 1, 'badtag', 'ELSE', 2, X'0201000000');");
  KMX_OLEStgTool tool;
  auto root = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(root);
  const QStringList listing = StgListTree(*root);
  EXPECT_TRUE(listing.contains("BadTag: <damaged value in stream \"BadTag\">"))
      << listing.join('\n').toStdString();
  EXPECT_TRUE(listing.contains("BadLen: Long 7, <damaged value in stream \"BadLen\">"));
  EXPECT_TRUE(listing.contains("Short: Long 1, <damaged value in stream \"Short\">"));
  EXPECT_TRUE(listing.filter("Orphan").isEmpty());
  EXPECT_TRUE(listing.filter("Loop").isEmpty());
  EXPECT_TRUE(listing.filter("Odd").isEmpty());
  EXPECT_TRUE(listing.filter("badtag").isEmpty());
  EXPECT_FALSE(root->OpenStorage("Odd"));
  auto s = root->OpenStream("BadLen");
  EXPECT_EQ(s->ReadNext(StgType::Long).toLong(), 7);
  EXPECT_THROW(s->ReadNext(StgType::String).toString(), StorageError);
  EXPECT_TRUE(s->atEnd());  // damage ends the stream
}

// Every seed and every crasher the fuzzer ever found must still read without harm; the hand-made
// seeds also have known outcomes.
TEST(StorageFile, FuzzCorpusFilesReadWithoutHarm) {
  const QStringList folders = {datatest::corpusDir("storage").path()};
  const QHash<QString, QString> expected = {
      {"valid-sample.slf", "List/File 2/TestB 1/Data: Double 0.5, Integer -2"},
      {"valid-values.slf",
       "All: String \"Zoë\", Long -2147483648, Integer -32768, Single 9.99999935e-39, "
       "Double 0, Date -36522, Boolean 0"},
      {"mutated-strlen.slf", "List/Version: <damaged value in stream \"Version\">"},
      {"mutated-tag.slf", "List/File 2/Data: <damaged value in stream \"Data\">"},
      {"mutated-pagesize.slf", "rejected"},
      {"mutated-btree.slf", "rejected"},
      {"truncated-sample.slf", "rejected"},
  };
  int known = 0;
  KMX_OLEStgTool tool;
  for (const QString& folder : folders) {
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
      const QString file = it.next();
      const QString name = QFileInfo(file).fileName();
      SCOPED_TRACE(file.toStdString());
      auto root = tool.OpenStorageImage(fileBytes(file), name);
      QStringList listing;
      if (root) {
        root->OpenSummaryInfo();
        listing = StgListTree(*root);
        auto mem = memoryRoot(tool);
        EXPECT_TRUE(root->CopyTo(*mem));
        EXPECT_EQ(StgListTree(*mem), listing);
      }
      EXPECT_TRUE(root || !name.startsWith("valid-"));
      if (expected.contains(name)) {
        ++known;
        if (expected[name] == "rejected")
          EXPECT_FALSE(root);
        else
          EXPECT_TRUE(listing.contains(expected[name])) << listing.join('\n').toStdString();
      }
    }
  }
  EXPECT_EQ(known, expected.size());
}

}  // namespace
}  // namespace tarn
