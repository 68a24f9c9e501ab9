// Every file of the template and comment fuzz corpora goes through the readers: seeds load, the
// rest (inputs that once crashed or hung) are refused or loaded without harm.
#include <gtest/gtest.h>

#include "data/templates/comments.h"
#include "data/templates/template.h"
#include "data/tests/data_testutil.h"

namespace tarn {
namespace {

TEST(TemplateCorpus, EveryFileLoadsOrIsRefusedCleanly) {
  const QFileInfoList files = datatest::corpusDir("template_reader").entryInfoList(QDir::Files);
  ASSERT_GE(files.size(), 2);
  int loaded = 0;
  for (const QFileInfo& f : files) {
    KM_RQTemplate t;
    if (t.LoadBytes(datatest::fileBytes(f.absoluteFilePath()))) {
      ++loaded;
      EXPECT_LE(t.lTestCountBalance() + t.lTestCountVision(), t.lTestCount()) << f.fileName().toStdString();
    } else {
      EXPECT_EQ(t.lTestCount(), 0) << f.fileName().toStdString();
    }
  }
  KM_RQTemplate seed;
  ASSERT_TRUE(
      seed.Load(datatest::corpusDir("template_reader").filePath(QStringLiteral("default_plus_vision.tef"))));
  EXPECT_EQ(seed.lTestCountBalance(), 4);
  EXPECT_EQ(seed.lTestCountVision(), 1);
  EXPECT_GE(loaded, 2);
}

TEST(CommentCorpus, EveryFileLoadsOrGivesTheEmptyTemplate) {
  const QFileInfoList files = datatest::corpusDir("comments_reader").entryInfoList(QDir::Files);
  ASSERT_GE(files.size(), 2);
  for (const QFileInfo& f : files) {
    KM_RQTComments c;
    if (!c.LoadBytes(datatest::fileBytes(f.absoluteFilePath()))) {
      EXPECT_EQ(c.lTestCount(), 71) << f.fileName().toStdString();
      EXPECT_EQ(c.sComment(0), QStringLiteral("-")) << f.fileName().toStdString();
    }
  }
  KM_RQTComments seed;
  ASSERT_TRUE(seed.Load(datatest::corpusDir("comments_reader").filePath(QStringLiteral("full.cof"))));
  EXPECT_EQ(seed.sComment(71), QString::fromUtf8("Note 71 é€"));
}

}  // namespace
}  // namespace tarn
