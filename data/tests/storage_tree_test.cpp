// Storages: names, opening, copying, moving, destroying, enumerating, summary information.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <functional>

#include "data/storage/olestg.h"
#include "data/tests/storage_testutil.h"

namespace tarn {
namespace {

using stgtest::buildSampleTree;
using stgtest::memoryRoot;
using stgtest::writeStream;
using StorageNames = stgtest::MemoryRootTest;
using StorageTree = stgtest::MemoryRootTest;

QStringList enumerate(KMX_OLEStorage& st) {
  QStringList out;
  QString name;
  for (auto t = st.EnumElements(0, name); t != StgElementType::End; t = st.EnumElements(1, name))
    out << QString("%1:%2").arg(name).arg(int(t));
  EXPECT_TRUE(name.isEmpty());
  return out;
}

TEST_F(StorageNames, CompoundFileRules) {
  EXPECT_TRUE(root->CreateStream(QString(31, 'x')));
  EXPECT_FALSE(root->CreateStream(QString(32, 'x')));
  EXPECT_FALSE(root->CreateStorage(QString()));
  for (const char* bad : {"a/b", "a\\b", "a:b", "a!b"}) {
    EXPECT_FALSE(root->CreateStream(bad)) << bad;
    EXPECT_FALSE(root->CreateStorage(bad)) << bad;
    EXPECT_FALSE(root->OpenStream(bad)) << bad;
  }
  EXPECT_TRUE(root->CreateStream(KMX_OLEStorage::summaryInfoStreamName()));  // control characters are fine

  // Unique without regard to case: a create replaces, a plain open finds either spelling.
  ASSERT_TRUE(writeStream(*root, "File 1", {StgValue::fromLong(1)}));
  auto st = root->CreateStorage("FILE 1");
  ASSERT_TRUE(st);
  EXPECT_FALSE(root->OpenStream("file 1"));  // now a storage
  EXPECT_TRUE(root->OpenStorage("fIlE 1"));
  EXPECT_EQ(enumerate(*root).filter("FILE 1", Qt::CaseInsensitive), QStringList{"FILE 1:1"});
  // Create without the create bit refuses an existing name.
  EXPECT_FALSE(root->CreateStorage("File 1", stgmode::ReadWrite));
  EXPECT_TRUE(root->CreateStorage("File 2", stgmode::ReadWrite));
}

TEST_F(StorageTree, MissingElementsOpenAsNoObject) {
  ASSERT_TRUE(writeStream(*root, "Version", {StgValue::fromString("v")}));
  root->CreateStorage("List");
  EXPECT_FALSE(root->OpenStorage("Absent", stgmode::Read));
  EXPECT_FALSE(root->OpenStream("Absent", stgmode::ReadWrite));
  EXPECT_FALSE(root->OpenStorage("Version", stgmode::Read));  // a stream of that name
  EXPECT_FALSE(root->OpenStream("List", stgmode::Read));      // a storage of that name
  EXPECT_FALSE(root->OpenStorage("List", 3));                 // not an open mode
  auto ro = root->OpenStorage("List", stgmode::Read);
  ASSERT_TRUE(ro);
  EXPECT_FALSE(ro->CreateStream("Data"));  // read-only storage
  EXPECT_FALSE(ro->OpenStream("Data", stgmode::ReadWrite));
}

TEST_F(StorageTree, EnumerationListsChildrenInCreationOrderAndSurvivesDestroying) {
  buildSampleTree(*root);
  auto list = root->OpenStorage("List", stgmode::ReadWrite);
  EXPECT_EQ(enumerate(*list), (QStringList{"Version:2", "FileData:2", "File 1:1", "File 2:1"}));

  // The list's save pattern: destroy every sub-storage while enumerating.
  QString name;
  int destroyed = 0;
  for (auto t = list->EnumElements(0, name); t != StgElementType::End; t = list->EnumElements(1, name)) {
    if (t == StgElementType::Storage) destroyed += list->DestroyElement(name) ? 1 : 0;
  }
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(enumerate(*list), (QStringList{"Version:2", "FileData:2"}));
  EXPECT_EQ(StgListTree(*root).filter("TestB").size(), 0);  // grandchildren went too

  // What was just enumerated opens as itself, whatever the case of its name, and not as an element
  // of that name that was made again after the enumeration.
  ASSERT_EQ(list->EnumElements(0, name), StgElementType::Stream);
  ASSERT_EQ(name, "Version");
  EXPECT_EQ(list->OpenStream("VERSION")->ReadNext().toString(), "KM RQLists");
  ASSERT_TRUE(list->DestroyElement("Version"));
  ASSERT_TRUE(writeStream(*list, "Version", {StgValue::fromString("again")}));
  EXPECT_EQ(list->OpenStream(name)->ReadNext().toString(), "again");
  EXPECT_EQ(list->OpenStream("FileData")->ReadNext().toLong(), 2) << "another name is looked up";

  auto empty = root->CreateStorage("Empty");
  EXPECT_EQ(empty->EnumElements(0, name), StgElementType::End);
  EXPECT_EQ(empty->EnumElements(1, name), StgElementType::End);
}

TEST_F(StorageTree, DestroyedElementsLeaveStaleObjectsThatRefuseWork) {
  auto file = root->CreateStorage("File 1");
  auto data = file->CreateStream("Data");
  ASSERT_TRUE(data->Write(StgValue::fromLong(1)));
  ASSERT_TRUE(writeStream(*root, "Other", {StgValue::fromLong(3), StgValue::fromLong(4)}));
  auto other = root->OpenStream("Other");
  EXPECT_EQ(other->ReadNext().toLong(), 3);
  EXPECT_FALSE(root->DestroyElement("Absent"));
  ASSERT_TRUE(writeStream(*root, "Gone", {}));
  ASSERT_TRUE(root->DestroyElement("Gone"));
  EXPECT_EQ(other->ReadNext().toLong(), 4) << "another element's removal leaves a stream alone";
  ASSERT_TRUE(root->DestroyElement("File 1"));
  EXPECT_TRUE(file->isReverted());
  EXPECT_FALSE(file->CreateStream("Other"));
  EXPECT_FALSE(data->Write(StgValue::fromLong(2)));
  EXPECT_TRUE(data->ReadNext().isError());
  // A new element gets a new identity; the stale stream must not write into it.
  auto again = root->CreateStorage("File 1");
  ASSERT_TRUE(writeStream(*again, "Data", {StgValue::fromLong(7)}));
  data.reset();
  EXPECT_EQ(again->OpenStream("Data")->ReadNext().toLong(), 7);
}

TEST_F(StorageTree, CopyToCopiesEverythingIntoEmptyAndNonEmptyRoots) {
  auto src = memoryRoot(tool, "MEM_src");
  buildSampleTree(*src);
  const QStringList want = StgListTree(*src);
  ASSERT_GE(want.size(), 9);

  auto empty = memoryRoot(tool, "MEM_a");  // whole-database path
  ASSERT_TRUE(src->CopyTo(*empty));
  EXPECT_EQ(StgListTree(*empty), want);
  ASSERT_TRUE(writeStream(*empty, "Extra", {StgValue::fromLong(1)}));  // still writable afterwards

  auto busy = memoryRoot(tool, "MEM_b");  // element-by-element path, replacing same names
  auto oldList = busy->CreateStorage("List");
  ASSERT_TRUE(writeStream(*oldList, "Stale", {StgValue::fromLong(1)}));
  ASSERT_TRUE(writeStream(*busy, "Keep", {StgValue::fromLong(2)}));
  ASSERT_TRUE(src->CopyTo(*busy));
  QStringList got = StgListTree(*busy);
  EXPECT_TRUE(got.removeOne("Keep: Long 2"));
  EXPECT_EQ(got, want);

  // Into a sub-storage of the same tree, but never into itself.
  auto sub = src->CreateStorage("Backup");
  auto list = src->OpenStorage("List", stgmode::ReadWrite);
  ASSERT_TRUE(list->CopyTo(*sub));
  EXPECT_EQ(StgListTree(*sub), StgListTree(*list));
  EXPECT_FALSE(src->CopyTo(*sub));
}

TEST_F(StorageTree, CopyAndMoveOneElement) {
  auto src = memoryRoot(tool, "MEM_src");
  buildSampleTree(*src);
  auto dst = memoryRoot(tool, "MEM_dst");
  ASSERT_TRUE(writeStream(*dst, KMX_OLEStorage::summaryInfoStreamName(), {StgValue::fromString("old")}));

  // The list file's summary replacement: copy one stream over a same-named one.
  ASSERT_TRUE(src->MoveElementTo(KMX_OLEStorage::summaryInfoStreamName(), *dst, QString(), stgmove::Copy));
  ASSERT_TRUE(dst->OpenSummaryInfo());
  EXPECT_EQ(dst->GetSummaryProperty("Subject"), "Kamrith Labs MARC");

  auto list = src->OpenStorage("List", stgmode::ReadWrite);
  ASSERT_TRUE(list->CopyElementTo("File 2", *dst));
  EXPECT_EQ(StgListTree(*dst->OpenStorage("File 2")), StgListTree(*list->OpenStorage("File 2")));
  EXPECT_TRUE(list->OpenStorage("File 2"));

  ASSERT_TRUE(list->MoveElementTo("File 1", *dst, "Moved", stgmove::Move));
  EXPECT_FALSE(list->OpenStorage("File 1"));
  EXPECT_EQ(dst->OpenStorage("Moved")->OpenStorage("TestB 1")->OpenStream("Data")->ReadNext().toDouble(),
            0.125);

  EXPECT_FALSE(list->CopyElementTo("Absent", *dst));
  EXPECT_FALSE(src->CopyElementTo("List", *list));  // into its own child
  EXPECT_FALSE(list->MoveElementTo("File 2", *dst, QString(), 7));
}

TEST_F(StorageTree, SummaryInformationProperties) {
  ASSERT_TRUE(root->OpenSummaryInfo());  // none yet: empty set
  EXPECT_EQ(root->GetSummaryProperty("Title"), QString());
  EXPECT_FALSE(root->SetSummaryProperty(" ", "x"));
  for (const char* p : {"Subject", "Title", "Comments", "Author", "Keywords", "Template", "AppName"})
    ASSERT_TRUE(root->SetSummaryProperty(p, QString()));
  root->SetSummaryProperty("Subject", "Kamrith Labs MARC");
  root->SetSummaryProperty("title", "File List");  // same property, any case
  ASSERT_TRUE(root->WriteSummaryInfo());

  auto other = root->OpenStorage(KMX_OLEStorage::summaryInfoStreamName());
  EXPECT_FALSE(other);  // it is a stream
  auto s = root->OpenStream(KMX_OLEStorage::summaryInfoStreamName());
  ASSERT_TRUE(s);
  EXPECT_EQ(s->ReadNext().toString(), "Subject");

  root->SetSummaryProperty("Subject", "changed, not written");
  ASSERT_TRUE(root->OpenSummaryInfo());
  EXPECT_EQ(root->GetSummaryProperty("SUBJECT"), "Kamrith Labs MARC");
  EXPECT_EQ(root->GetSummaryProperty("Title"), "File List");
  EXPECT_EQ(root->GetSummaryProperty("Comments"), QString());

  // An odd number of values is damage.
  ASSERT_TRUE(writeStream(*root, KMX_OLEStorage::summaryInfoStreamName(), {StgValue::fromString("Title")}));
  EXPECT_FALSE(root->OpenSummaryInfo());
  EXPECT_EQ(root->GetSummaryProperty("Title"), QString());
}

TEST(StorageTool, MemoryBlocksAndModes) {
  KMX_OLEStgTool tool;
  const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
  EXPECT_NE(h, 0);
  EXPECT_TRUE(tool.ResizeMemoryBlock(h, 4096 * 3 + 1048576));
  EXPECT_FALSE(tool.ResizeMemoryBlock(h + 100, 10));
  EXPECT_EQ(tool.AllocMemoryBlock(0, 0), 0);
  EXPECT_FALSE(tool.CreateRootStorageOnMemory("MEM_x", stgmode::CreateReplace, h + 100, 0, true));
  EXPECT_FALSE(tool.CreateRootStorageOnMemory("MEM_x", stgmode::Read, h, 0, true));
  auto root = tool.CreateRootStorageOnMemory("MEM_x", stgmode::CreateReplace, h, 0, true);
  ASSERT_TRUE(root);
  EXPECT_TRUE(root->isRoot());
  EXPECT_TRUE(tool.ReleaseMemoryBlock(h));
  EXPECT_FALSE(tool.ReleaseMemoryBlock(h));
  // A root outlives its block while held.
  EXPECT_TRUE(writeStream(*root, "Data", {StgValue::fromLong(1)}));
  EXPECT_TRUE(root->Commit(stgcommit::Overwrite));
  EXPECT_FALSE(root->Commit(0x100));
}

// Children are found by name without regard to case however many a storage holds, before and
// after some are destroyed and made again, in memory and read back from a file.
TEST_F(StorageTree, ChildrenAreFoundWhateverTheirNumber) {
  // Either side of the number from which a storage's children are found through the index.
  for (const int count : {3, 64, 65, 150}) {
    SCOPED_TRACE(count);
    auto st = root->CreateStorage(QString("Holder %1").arg(count));
    ASSERT_TRUE(st);
    for (int k = 1; k <= count; ++k)
      ASSERT_TRUE(writeStream(*st, QString("Item %1").arg(k), {StgValue::fromLong(k)}));
    for (int k = 1; k <= count; k += 2) ASSERT_TRUE(st->DestroyElement(QString("ITEM %1").arg(k)));
    for (int k = 1; k <= count; k += 4)
      ASSERT_TRUE(writeStream(*st, QString("item %1").arg(k), {StgValue::fromLong(-k)}));
    EXPECT_FALSE(st->CreateStream("iTeM 2", stgmode::ReadWrite));  // taken, whatever the case
    auto check = [count](KMX_OLEStorage& holder) {
      for (int k = 1; k <= count; ++k) {
        auto s = holder.OpenStream(QString("Item %1").arg(k).toUpper());
        const bool there = k % 2 == 0 || k % 4 == 1;
        ASSERT_EQ(bool(s), there) << k;
        if (s) {
          EXPECT_EQ(s->ReadNext().toLong(), k % 2 == 0 ? k : -k);
        }
      }
      EXPECT_FALSE(holder.OpenStream("Item 0"));
      // In creation order: the survivors first, then the ones made again.
      QStringList want;
      for (int k = 2; k <= count; k += 2) want << QString("Item %1:2").arg(k);
      for (int k = 1; k <= count; k += 4) want << QString("item %1:2").arg(k);
      EXPECT_EQ(enumerate(holder), want);
    };
    check(*st);
    const QString path = stgtest::sandboxPath(QString("holder%1.slf").arg(count));
    ASSERT_TRUE(root->WriteToFile(path));
    auto back = tool.LoadRootStorageOnMemory("MEM_back", tool.AllocMemoryBlock(), path);
    ASSERT_TRUE(back);
    auto holder = back->OpenStorage(QString("holder %1").arg(count));
    ASSERT_TRUE(holder);
    check(*holder);
  }
}

// Streams read from a file share their bytes with the tree they were read into; copies taken into
// other roots, and streams still open, must keep working once that tree is gone.
TEST_F(StorageTree, CopiesOfAFileTreeOutliveIt) {
  buildSampleTree(*root);
  const QString path = stgtest::sandboxPath("shared.slf");
  ASSERT_TRUE(root->WriteToFile(path));
  const QStringList want = StgListTree(*root);
  auto load = [&] { return tool.LoadRootStorageOnMemory("MEM_file", tool.AllocMemoryBlock(), path); };

  // Each copy from a tree of its own, which goes before the copy is read.
  auto copied = [&](const std::function<bool(KMX_OLEStorage&, KMX_OLEStorage&)>& copy,
                    const std::function<void(KMX_OLEStorage&)>& prepare = {}) {
    auto dest = memoryRoot(tool, "MEM_dest");
    if (prepare) prepare(*dest);
    auto fromFile = load();
    EXPECT_TRUE(fromFile && copy(*fromFile, *dest));
    return dest;
  };
  auto whole = copied([](auto& src, auto& dest) { return src.CopyTo(dest); });  // a fresh root: whole
  EXPECT_EQ(StgListTree(*whole), want);
  auto busy = copied([](auto& src, auto& dest) { return src.CopyTo(dest); },  // element by element
                     [](auto& dest) { writeStream(dest, "Keep", {StgValue::fromLong(1)}); });
  QStringList got = StgListTree(*busy);
  EXPECT_TRUE(got.removeOne("Keep: Long 1"));
  EXPECT_EQ(got, want);
  auto one = copied([](auto& src, auto& dest) { return src.CopyElementTo("List", dest); });
  EXPECT_EQ(StgListTree(*one), want.filter(QRegularExpression("^List")));

  // Streams still open, one of them written back into the tree unchanged, then changed.
  auto fromFile = load();
  ASSERT_TRUE(fromFile);
  auto open = fromFile->OpenStorage("List")->OpenStorage("File 2")->OpenStream("Data");
  auto rewrite =
      fromFile->OpenStorage("List", stgmode::ReadWrite)->OpenStream("FileData", stgmode::ReadWrite);
  ASSERT_TRUE(open && rewrite && rewrite->Commit(0));
  fromFile.reset();
  EXPECT_EQ(open->ReadNext().toString(), "subject2.kpf");
  EXPECT_EQ(open->ReadNext().toLong(), 2000);
  ASSERT_TRUE(rewrite->Write(StgValue::fromLong(5)));
  ASSERT_TRUE(rewrite->Commit(0));
}

}  // namespace
}  // namespace tarn
