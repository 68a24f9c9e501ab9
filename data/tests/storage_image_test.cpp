// The database a root commit writes: the tree is kept in memory and written out whole, or patched
// onto the image it was read from, so the file must still be a sound database that other tools
// (and older readers) take as it is.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>

#include <QString>
#include <cstdio>

#include "core/folders.h"

#include "data/storage/olestg.h"
#include "data/storage/storagetree.h"
#include "data/tests/storage_testutil.h"

namespace tarn {
namespace {

using stgtest::buildSampleTree;
using stgtest::sandboxPath;
using stgtest::writeStream;

// First column of the first row as text; the error message when the statement fails.
QString queryText(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  QString out;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      const int rc = sqlite3_step(st);
      if (rc == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      else if (rc != SQLITE_DONE)
        out = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
      out = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

// Written whole (a memory root) or patched onto the image it was read from (a file root committed
// again): either way a sound database whose parents come before their children, with no row
// left of a destroyed element. Only a whole write numbers the rows densely.
TEST(StorageImage, CommittedFileIsASoundDatabaseWithAWorkingNameIndex) {
  for (const bool patched : {false, true}) {
    SCOPED_TRACE(patched ? "patched" : "written whole");
    const QString path = sandboxPath(patched ? "patched.slf" : "whole.slf");
    KMX_OLEStgTool tool;
    QStringList listing;
    {
      auto root = patched ? tool.CreateStorageFile(path, stgmode::CreateReplace) : stgtest::memoryRoot(tool);
      ASSERT_TRUE(root);
      buildSampleTree(*root);
      // Gaps in the ids: replaced and destroyed elements leave numbers unused.
      auto list = root->OpenStorage("List", stgmode::ReadWrite);
      ASSERT_TRUE(list);
      ASSERT_TRUE(list->DestroyElement("File 1"));
      ASSERT_TRUE(writeStream(*list, "FileData", {StgValue::fromLong(3)}));
      ASSERT_TRUE(writeStream(*list, QString::fromUtf8("Zoë straße"), {StgValue::fromLong(4)}));
      listing = StgListTree(*root);
      ASSERT_TRUE(patched ? root->Commit(stgcommit::Overwrite) : root->WriteToFile(path));
      EXPECT_TRUE(root->IsSavedIn(path));
    }

    EXPECT_EQ(queryText(path, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(queryText(path, "SELECT count(*) = max(id) FROM elements"), patched ? "0" : "1");
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM elements"), QString::number(listing.size() + 1));
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM elements WHERE name = 'File 1'"), "0");
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM elements WHERE id <> 1 AND parent >= id"), "0");
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM elements WHERE name_key <> upper(name)"),
              "1");  // only ë, ß
    EXPECT_EQ(queryText(path, "SELECT name_key FROM elements WHERE name LIKE 'Zo%'"),
              QString::fromUtf8("ZOË STRAßE"));
    EXPECT_EQ(queryText(path, "SELECT typeof(data) FROM elements WHERE name = 'List'"), "null");
    EXPECT_EQ(queryText(path, "SELECT typeof(data) FROM elements WHERE name = 'FileData'"), "blob");
    // The uniqueness of names within a storage is the database's own rule too.
    EXPECT_TRUE(queryText(path,
                          "INSERT INTO elements(parent, name, name_key, kind) "
                          "SELECT parent, 'x', name_key, 2 FROM elements WHERE name = 'FileData'")
                    .contains("UNIQUE"));

    auto back = tool.OpenStorageFile(path, stgmode::Read);
    ASSERT_TRUE(back);
    EXPECT_EQ(StgListTree(*back), listing);
    auto list = back->OpenStorage("LIST");
    ASSERT_TRUE(list);
    auto s = list->OpenStream(QString::fromUtf8("ZOË STRAßE"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ReadNext().toLong(), 4);
  }
}

// An empty stream is kept as an empty blob and comes back empty; an empty root still writes a file.
TEST(StorageImage, EmptyStreamsAndEmptyRootsRoundTrip) {
  const QString path = sandboxPath("empty.slf");
  KMX_OLEStgTool tool;
  {
    auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Commit(stgcommit::Overwrite));
  }
  EXPECT_EQ(queryText(path, "SELECT count(*) FROM elements"), "1");
  {
    auto file = tool.OpenStorageFile(path, stgmode::ReadWrite);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->CreateStream("Nothing"));
    ASSERT_TRUE(file->Commit(stgcommit::Overwrite));
  }
  EXPECT_EQ(queryText(path, "SELECT typeof(data) || length(data) FROM elements WHERE name = 'Nothing'"),
            "blob0");
  auto back = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(back);
  auto s = back->OpenStream("nothing");
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->atEnd());
}

// A memory root holding a file's image knows whether the file is still that image: it is then
// patched; a file replaced meanwhile by another writer is written whole, so nothing of the other
// writer's rows survives.
TEST(StorageImage, AFileReplacedMeanwhileIsWrittenWholeNotPatched) {
  const QString path = sandboxPath("shared.slf");
  KMX_OLEStgTool tool;
  {
    auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
    ASSERT_TRUE(file);
    buildSampleTree(*file);
  }
  const qint64 block = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
  auto root = tool.LoadRootStorageOnMemory("MEM_shared", block, path);
  ASSERT_TRUE(root);
  EXPECT_TRUE(root->IsSavedIn(path));
  EXPECT_FALSE(root->IsSavedIn(sandboxPath("other.slf")));
  auto list = root->OpenStorage("List", stgmode::ReadWrite);
  ASSERT_TRUE(list && writeStream(*list, "FileData", {StgValue::fromLong(9)}));
  EXPECT_FALSE(root->IsSavedIn(path));

  {  // another writer
    auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
    ASSERT_TRUE(file && writeStream(*file, "Intruder", {StgValue::fromLong(1)}));
    ASSERT_TRUE(file->Commit(stgcommit::Overwrite));
  }
  ASSERT_TRUE(root->WriteToFile(path));
  EXPECT_TRUE(root->IsSavedIn(path));
  EXPECT_EQ(queryText(path, "SELECT count(*) = max(id) FROM elements"), "1");
  EXPECT_EQ(queryText(path, "SELECT count(*) FROM elements WHERE name = 'Intruder'"), "0");
  auto back = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(back);
  EXPECT_EQ(StgListTree(*back), StgListTree(*root));

  // Patched from now on: only the changed stream's row differs.
  ASSERT_TRUE(writeStream(*list, "FileData", {StgValue::fromLong(10)}));
  const QString rowsBefore = queryText(path, "SELECT group_concat(id) FROM elements");
  ASSERT_TRUE(root->WriteToFile(path));
  EXPECT_EQ(queryText(path, "SELECT group_concat(id) FROM elements"), rowsBefore);
  back = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(back);
  EXPECT_EQ(StgListTree(*back), StgListTree(*root));

  // The same bytes written again by someone else still count as another file.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  f.close();
  ASSERT_TRUE(folders::writePrivateFile(path, bytes));
  EXPECT_FALSE(root->IsSavedIn(path));
}

// A file renamed over the list file after a reader opened it but before it read it: the reader takes
// the new file, so that a later write in place changes the file it was read from.
TEST(StorageImage, AFileRenamedOverItWhileItIsOpenedIsReadAgain) {
  const QString path = sandboxPath("list.slf");
  const QString other = sandboxPath("other.slf");
  KMX_OLEStgTool tool;
  auto sample = tool.CreateRootStorageOnMemory("MEM_a", stgmode::CreateReplace, tool.AllocMemoryBlock());
  buildSampleTree(*sample);
  ASSERT_TRUE(sample->WriteToFile(path));
  auto newer = tool.CreateRootStorageOnMemory("MEM_b", stgmode::CreateReplace, tool.AllocMemoryBlock());
  ASSERT_TRUE(writeStream(*newer, "Newer", {StgValue::fromLong(1)}));
  auto newerList = newer->CreateStorage("List");
  ASSERT_TRUE(newerList && writeStream(*newerList, "FileData", {StgValue::fromLong(5)}));
  ASSERT_TRUE(newer->WriteToFile(other));

  int locks = 0;
  stgdetail::Database::setAfterReadLockHook([&](const QString& p) {
    if (locks++ == 0) ::rename(QFile::encodeName(other).constData(), QFile::encodeName(p).constData());
  });
  auto root = tool.LoadRootStorageOnMemory("MEM_list", tool.AllocMemoryBlock(), path);
  stgdetail::Database::setAfterReadLockHook({});
  ASSERT_TRUE(root);
  EXPECT_EQ(locks, 2) << "read again once";
  EXPECT_EQ(StgListTree(*root), StgListTree(*newer));
  EXPECT_TRUE(root->IsSavedIn(path));

  auto list = root->OpenStorage("List", stgmode::ReadWrite);
  ASSERT_TRUE(list && writeStream(*list, "FileData", {StgValue::fromLong(6)}));
  ASSERT_TRUE(root->WriteToFile(path));
  auto back = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(back);
  EXPECT_EQ(StgListTree(*back), StgListTree(*root));
}

}  // namespace
}  // namespace tarn
