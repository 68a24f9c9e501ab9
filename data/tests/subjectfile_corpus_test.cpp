// Every file of the subject-file fuzz corpus goes through the reader: the seeds open, everything
// else either opens or is refused with a message, and nothing crashes.
#include <gtest/gtest.h>

#include "data/subjectfile/subjectfile.h"
#include "data/tests/data_testutil.h"

namespace tarn {
namespace {

TEST(SubjectFileCorpus, EveryFileOpensOrIsRefusedWithAMessage) {
  const QDir dir = datatest::corpusDir("subjectfile_reader");
  const QFileInfoList files = dir.entryInfoList(QDir::Files);
  ASSERT_GE(files.size(), 3);
  for (const QFileInfo& f : files) {
    SubjectFile s;
    if (s.Open(f.absoluteFilePath())) {
      // Every recording is read in full (the sanitizers watch the reading).
      for (qint32 v = 1; v <= s.VisitCount(); ++v)
        for (qint32 k = 1; k <= s.VisitItem(v)->SessionCount(); ++k)
          for (qint32 t = 1; t <= s.VisitItem(v)->SessionItem(k)->BalanceTestCount(); ++t)
            s.VisitItem(v)->SessionItem(k)->BalanceTestItem(t)->TestData();
    } else {
      EXPECT_FALSE(s.IsOpen());
      EXPECT_FALSE(s.LastError().isEmpty()) << f.fileName().toStdString();
    }
  }
  SubjectFile small;
  ASSERT_TRUE(small.Open(dir.filePath(QStringLiteral("small.kpf")))) << small.LastError().toStdString();
  EXPECT_EQ(small.subject.sNameLast, QStringLiteral("Doe"));
  ASSERT_EQ(small.VisitCount(), 1);
  const auto data = small.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->TestData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->Count(), 40);
  EXPECT_EQ(data->Sample(0, 39), -661.0f);
  SubjectFile other;
  EXPECT_FALSE(other.Open(dir.filePath(QStringLiteral("other_identification.kpf"))));
}

}  // namespace
}  // namespace tarn
