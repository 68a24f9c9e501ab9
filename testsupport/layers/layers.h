#pragma once
// The house's layer rules, read from the source tree: every #include and every link line must point
// down, never up or sideways where the rules forbid it.
//
//   support < core < balance < data < {session, reports, files, options} < automation < app
//
// - session, reports, files and options never use one another;
// - a module's logic (any folder but windows/) uses no windows, its own or another module's;
// - windows use their own module's logic and anything below;
// - tests, tools, benchmarks and fuzz targets use their module and below, plus the test support;
// - production code never uses the test support, and nothing uses app/ but app/ itself.
#include <string>
#include <vector>

namespace tarn::layers {

struct Violation {
  std::string where;  // "path:line" relative to the root, or "path: target"
  std::string what;
};

// Checks every .cpp, .h and .inc file and every CMakeLists.txt below root.
std::vector<Violation> Check(const std::string& root);

}  // namespace tarn::layers
