// The list file reader over the fuzzing corpus: good files load, the rest are refused cleanly.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "data/lists/list.h"
#include "data/tests/data_testutil.h"

namespace tarn {
namespace {

TEST(ListFileCorpus, EveryFileLoadsOrIsRefusedLeavingTheListEmpty) {
  const QDir dir = datatest::corpusDir("listfile");
  const QStringList files = dir.entryList(QDir::Files, QDir::Name);
  ASSERT_GE(files.size(), 5) << dir.absolutePath().toStdString();
  for (const QString& name : files) {
    // Loading works on a copy: the reader must not need to write.
    const QString copy = datatest::sandboxPath(name);
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(dir.filePath(name), copy));
    KM_RQList list;
    const bool loaded = list.FileLoad(copy);
    if (name == "two_entries.slf") {
      EXPECT_TRUE(loaded);
      EXPECT_EQ(list.lFilesCount(), 2);
      EXPECT_EQ(list.lSTTestBalanceCount(),
                list.lfFile(1)->lTestBalanceCount() + list.lfFile(2)->lTestBalanceCount());
    } else if (name == "empty_list.slf") {
      EXPECT_TRUE(loaded);
      EXPECT_EQ(list.lFilesCount(), 0);
    } else if (name == "text.slf" || name == "zero_bytes.slf" || name == "truncated.slf") {
      EXPECT_FALSE(loaded) << name.toStdString();
    }
    EXPECT_TRUE(loaded || list.lFilesCount() == 0) << name.toStdString();
    // Whatever was read can be written again.
    EXPECT_TRUE(list.FileSave(copy)) << name.toStdString();
  }
}

}  // namespace
}  // namespace tarn
