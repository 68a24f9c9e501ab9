#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "testsupport/layers/layers.h"

namespace tarn {
namespace {

// A small source tree in a temporary folder; each case plants one file and reads the verdict.
class LayerTree : public ::testing::Test {
 protected:
  void put(const QString& rel, const QByteArray& text) {
    const QString path = dir_.filePath(rel);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  std::vector<layers::Violation> check() { return layers::Check(dir_.path().toStdString()); }
  QTemporaryDir dir_;
};

TEST_F(LayerTree, AllowedUsesPass) {
  put("core/settings.cpp", "#include \"support/units/units.h\"\n#include <QString>\n#include \"local.h\"\n");
  put("balance/windows/frm.cpp", "#include \"balance/analysis/analysis.h\"\n#include \"core/windows/x.h\"\n");
  put("session/driver.cpp", "#include \"data/lists/list.h\"\n");
  put("session/tests/driver_test.cpp",
      "#include \"testsupport/sandbox.h\"\n#include \"session/windows/w.h\"\n");
  put("automation/object.cpp", "#include \"session/driver.h\"\n#include \"files/commands.h\"\n");
  put("app/frmpmain.cpp", "#include \"reports/windows/frmtreport.h\"\n");
  put("data/tools/demo.cpp", "#include \"balance/plate/simulatedplate.h\"\n");
  put("session/CMakeLists.txt",
      "tarn_logic_library(tarnrq_session DEPS tarnrq_data tarnrq_core SOURCES a.cpp)\n"
      "tarn_windows_library(tarnrq_session_windows DEPS tarnrq_session tarnrq_balance_windows SOURCES "
      "w.cpp)\n"
      "tarn_tests(session_tests DEPS tarnrq_session tarnrq_testsupport SOURCES t.cpp)\n");
  const auto found = check();
  for (const auto& v : found) ADD_FAILURE() << v.where << ": " << v.what;
}

TEST_F(LayerTree, EveryKindOfWrongUseIsFound) {
  struct Case {
    const char* file;
    const char* include;
    const char* why;
  } cases[] = {
      {"core/a.cpp", "data/lists/list.h", "higher layer"},
      {"session/b.cpp", "reports/model.h", "sibling"},
      {"files/c.h", "options/passwordgate.h", "sibling"},
      {"balance/procedures/d.cpp", "balance/windows/frmtbzero.h", "its module's windows"},
      {"data/e.cpp", "core/windows/showmodal.h", "logic uses windows"},
      {"core/f.cpp", "testsupport/scriptedmessages.h", "test support"},
      {"automation/g.cpp", "app/frmpmain.h", "app/"},
      {"reports/windows/h.cpp", "session/windows/frmnotes.h", "sibling"},
      {"data/i.cpp", "data/tools/demodata.h", "tests or tools"},
  };
  for (const Case& c : cases) {
    QTemporaryDir fresh;
    dir_.swap(fresh);
    put(c.file, QByteArray("// one wrong include\n#include \"") + c.include + "\"\n");
    const auto found = check();
    ASSERT_EQ(found.size(), 1u) << c.file << " -> " << c.include;
    EXPECT_EQ(found[0].where, std::string(c.file) + ":2");
    EXPECT_NE(found[0].what.find(c.why), std::string::npos) << found[0].what;
  }
}

TEST_F(LayerTree, WrongLinkLinesAreFound) {
  put("core/CMakeLists.txt",
      "tarn_logic_library(tarnrq_core DEPS tarnrq_support # fine\n"
      "  tarnrq_data Qt6::Core SOURCES a.cpp)\n");
  put("reports/CMakeLists.txt",
      "tarn_windows_library(tarnrq_reports_windows DEPS tarnrq_reports SOURCES w.cpp)\n"
      "target_link_libraries(tarnrq_reports PUBLIC tarnrq_files tarnrq_balance_windows)\n");
  auto found = check();
  std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.what < b.what; });
  ASSERT_EQ(found.size(), 3u);
  EXPECT_NE(found[0].what.find("core uses data"), std::string::npos) << found[0].what;
  EXPECT_NE(found[1].what.find("logic uses windows of balance"), std::string::npos) << found[1].what;
  EXPECT_NE(found[2].what.find("reports uses its sibling files"), std::string::npos) << found[2].what;
}

}  // namespace
}  // namespace tarn
