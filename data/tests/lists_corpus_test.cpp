// The list file reader over the fuzzing corpus: good files load, the rest are refused cleanly.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <iterator>

#include "data/lists/list.h"
#include "data/tests/data_testutil.h"

namespace tarn {
namespace {

TEST(ListFileCorpus, EveryFileLoadsOrIsRefusedLeavingTheListEmpty) {
  struct Known {
    const char* name;
    bool loads;
    qint32 files;
  };
  const Known known[] = {
      {"two_entries.slf", true, 2}, {"empty_list.slf", true, 0}, {"text.slf", false, 0},
      {"zero_bytes.slf", false, 0}, {"truncated.slf", false, 0},
  };
  const QDir dir = datatest::corpusDir("listfile");
  const QStringList files = dir.entryList(QDir::Files, QDir::Name);
  ASSERT_GE(files.size(), 5) << dir.absolutePath().toStdString();
  int seen = 0;
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    // Loading works on a copy: the reader must not need to write.
    const QString copy = datatest::sandboxPath(name);
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(dir.filePath(name), copy));
    KM_RQList list;
    const bool loaded = list.FileLoad(copy);
    for (const Known& k : known) {
      if (name != QLatin1String(k.name)) continue;
      ++seen;
      EXPECT_EQ(loaded, k.loads);
      EXPECT_EQ(list.lFilesCount(), k.files);
      // The stored statistics of a sound list agree with its entries.
      qint32 tests = 0;
      for (qint32 i = 1; i <= list.lFilesCount(); ++i) tests += list.lfFile(i)->lTestBalanceCount();
      EXPECT_EQ(list.lSTTestBalanceCount(), tests);
    }
    EXPECT_TRUE(loaded || list.lFilesCount() == 0);
    // Whatever was read can be written again.
    EXPECT_TRUE(list.FileSave(copy));
  }
  EXPECT_EQ(seen, static_cast<int>(std::size(known))) << "every known file is in the corpus";
}

}  // namespace
}  // namespace tarn
