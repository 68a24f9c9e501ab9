#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "support/strings/strings.h"

namespace tarn {
namespace {

TEST(StringTable, KnownAndUnknownNumbers) {
  EXPECT_EQ(Str(100), QString::fromUtf8("Kamrith Labs TARN™ RQ"));
  EXPECT_TRUE(StrExists(100));
  EXPECT_FALSE(StrExists(99));
  EXPECT_EQ(Str(99), "#99");
}

// Every Str(N) written in the sources names a number the table holds.
TEST(StringTable, EveryNumberUsedInTheSourcesExists) {
  const QRegularExpression use(R"(\bStr\((\d+)\))");
  int uses = 0;
  QStringList missing;
  for (const char* module : {"support", "core", "balance", "data", "session", "reports", "files", "options",
                             "automation", "app"}) {
    QDirIterator it(QStringLiteral(TARNRQ_SOURCE_DIR "/") + module, {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile f(it.next());
      if (!f.open(QIODevice::ReadOnly) || f.fileName().contains("/tests/")) continue;
      const QString text = QString::fromUtf8(f.readAll());
      for (auto m = use.globalMatch(text); m.hasNext();) {
        const int id = m.next().captured(1).toInt();
        ++uses;
        if (!StrExists(id)) missing << QString("%1: %2").arg(f.fileName()).arg(id);
      }
    }
  }
  EXPECT_GT(uses, 0);
  EXPECT_TRUE(missing.isEmpty()) << missing.join('\n').toStdString();
}

}  // namespace
}  // namespace tarn
