#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <set>
#include <vector>

#include "support/strings/strings.h"

namespace tarn {
namespace {

struct Source {
  QString path, text;
};

// Every header and source of the modules, tests left out: what the program itself shows.
const std::vector<Source>& programSources() {
  static const std::vector<Source> sources = [] {
    std::vector<Source> out;
    for (const char* module : {"support", "core", "balance", "data", "session", "reports", "files", "options",
                               "automation", "app"}) {
      QDirIterator it(QStringLiteral(TARNRQ_SOURCE_DIR "/") + module, {"*.cpp", "*.h"}, QDir::Files,
                      QDirIterator::Subdirectories);
      while (it.hasNext()) {
        QFile f(it.next());
        if (f.fileName().contains("/tests/") || !f.open(QIODevice::ReadOnly)) continue;
        out.push_back({f.fileName(), QString::fromUtf8(f.readAll())});
      }
    }
    return out;
  }();
  return sources;
}

bool isTable(const Source& s) { return s.path.endsWith("support/strings/stringtable.cpp"); }

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
  for (const Source& s : programSources()) {
    for (auto m = use.globalMatch(s.text); m.hasNext();) {
      const int id = m.next().captured(1).toInt();
      ++uses;
      if (!StrExists(id)) missing << QString("%1: %2").arg(s.path).arg(id);
    }
  }
  EXPECT_GT(uses, 0);
  EXPECT_TRUE(missing.isEmpty()) << missing.join('\n').toStdString();
}

// Every number of the table is asked for somewhere: written out (in Str(N) or in a table of
// numbers), or reached from a base as Str(base + k), where base is a number or a named constant
// of the same file. A run from a base may skip one number (the adult BMI classes start at 6).
// Numbers that merely appear for another reason count as used: the check never fails wrongly,
// it only finds texts that nothing names at all.
TEST(StringTable, EveryNumberInTheTableIsUsed) {
  std::set<int> table;
  const QRegularExpression entry(R"(^\s*\{(\d+),)", QRegularExpression::MultilineOption);
  for (const Source& s : programSources())
    if (isTable(s))
      for (auto m = entry.globalMatch(s.text); m.hasNext();) table.insert(m.next().captured(1).toInt());
  ASSERT_GT(table.size(), 100u);

  std::set<int> used;
  const QRegularExpression number(R"(\b(\d{3,5})\b)"), offset(R"(\bStr\(\s*(\w+)\s*\+)"),
      numberPlus(R"(\b(\d{3,5})\s*\+\s*[A-Za-z_])");
  for (const Source& s : programSources()) {
    if (isTable(s)) continue;
    for (auto m = number.globalMatch(s.text); m.hasNext();) used.insert(m.next().captured(1).toInt());
    for (auto m = offset.globalMatch(s.text); m.hasNext();) {
      const QString base = m.next().captured(1);
      bool numeric = false;
      int id = base.toInt(&numeric);
      if (!numeric) {
        const auto c = QRegularExpression("\\b" + base + R"(\s*=\s*(\d+))").match(s.text);
        if (!c.hasMatch()) continue;
        id = c.captured(1).toInt();
      }
      for (++id; table.count(id) || table.count(id + 1); ++id) used.insert(id);
    }
    // A number handed on with a counter added (add(box, 18032 + k)) starts a run the same way.
    for (auto m = numberPlus.globalMatch(s.text); m.hasNext();)
      for (int id = m.next().captured(1).toInt() + 1; table.count(id) || table.count(id + 1); ++id)
        used.insert(id);
  }
  // The printed report families are reached as a family's base plus an offset chosen by class, age
  // group and page (FamilyText); their selection has tests of its own.
  for (int id : table)
    if (id >= 19000 && id <= 21999) used.insert(id);
  // Numbered by the clinic's documentation for the printing the results window will get.
  used.insert(17920);

  QStringList unused;
  for (int id : table)
    if (!used.count(id)) unused << QString::number(id);
  EXPECT_TRUE(unused.isEmpty()) << "never used: " << unused.join(", ").toStdString();
}

}  // namespace
}  // namespace tarn
