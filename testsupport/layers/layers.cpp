#include "testsupport/layers/layers.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace tarn::layers {
namespace {

// Where a file or a library sits: its module, and whether it is windows, test-side or plain logic.
struct Place {
  std::string module;
  enum Kind { Logic, Windows, TestSide } kind = Logic;
};

// The rank of every module; equal ranks are siblings that never use each other.
const std::map<std::string, int> kRank = {
    {"support", 0}, {"core", 1},    {"balance", 2},    {"data", 3}, {"session", 4},      {"reports", 4},
    {"files", 4},   {"options", 4}, {"automation", 5}, {"app", 6},  {"testsupport", -1},  // test side only
    {"bench", 7},   {"fuzz", 7},
};

std::optional<Place> placeOfPath(const std::string& rel) {
  const auto slash = rel.find('/');
  if (slash == std::string::npos) return std::nullopt;
  Place p;
  p.module = rel.substr(0, slash);
  if (!kRank.count(p.module)) return std::nullopt;
  const std::string rest = rel.substr(slash + 1);
  auto under = [&](const char* folder) { return rest.rfind(folder, 0) == 0; };
  if (under("windows/"))
    p.kind = Place::Windows;
  else if (p.module == "app" && !under("tests/"))
    p.kind = Place::Windows;  // the composition root
  else if (under("tests/") || under("tools/") || p.module == "testsupport" || p.module == "bench" ||
           p.module == "fuzz")
    p.kind = Place::TestSide;
  return p;
}

// Library targets by name: tarnrq_<module> (logic), tarnrq_<module>_windows, and a few named ones.
std::optional<Place> placeOfTarget(const std::string& target) {
  static const std::map<std::string, Place> named = {
      {"tarnrq_app", {"app", Place::Windows}},
      {"tarnrq_demodata", {"data", Place::TestSide}},
      {"tarnrq_analyse_cli", {"balance", Place::TestSide}},
      {"tarnrq_testsupport", {"testsupport", Place::TestSide}},
      {"tarnrq_testmain_core", {"testsupport", Place::TestSide}},
      {"tarnrq_testmain_gui", {"testsupport", Place::TestSide}},
  };
  if (auto it = named.find(target); it != named.end()) return it->second;
  static const std::regex lib("tarnrq_([a-z]+)(_windows)?");
  std::smatch m;
  if (!std::regex_match(target, m, lib) || !kRank.count(m[1].str())) return std::nullopt;
  return Place{m[1].str(), m[2].matched ? Place::Windows : Place::Logic};
}

// Why `from` may not use `to`, or empty when it may.
std::string forbidden(const Place& from, const Place& to) {
  if (to.module == "testsupport")
    return from.kind == Place::TestSide ? "" : "production code uses the test support";
  if (to.module == "app" && from.module != "app") return "nothing but app/ uses app/";
  if (to.kind == Place::TestSide && from.module != to.module && from.kind != Place::TestSide)
    return "production code uses another module's tool";
  if (from.module == to.module) {
    if (from.kind == Place::Logic && to.kind == Place::Windows) return "logic uses its module's windows";
    if (from.kind == Place::Logic && to.kind == Place::TestSide)
      return "logic uses its module's tests or tools";
    return "";
  }
  const int a = kRank.at(from.module), b = kRank.at(to.module);
  if (from.module == "testsupport") return b <= kRank.at("core") ? "" : "the test support reaches above core";
  if (b > a) return from.module + " uses " + to.module + ", a higher layer";
  if (b == a) return from.module + " uses its sibling " + to.module;
  if (from.kind == Place::Logic && to.kind == Place::Windows) return "logic uses windows of " + to.module;
  return "";
}

void checkIncludes(const fs::path& root, const fs::path& file, std::vector<Violation>& out) {
  const std::string rel = fs::relative(file, root).generic_string();
  const auto from = placeOfPath(rel);
  if (!from) return;
  std::ifstream in(file);
  static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    std::smatch m;
    if (!std::regex_search(line, m, include)) continue;
    const auto to = placeOfPath(m[1].str());
    if (!to) continue;  // a file of the same folder or a generated header
    if (const std::string why = forbidden(*from, *to); !why.empty())
      out.push_back({rel + ":" + std::to_string(n), why + " (" + m[1].str() + ")"});
  }
}

// The library targets a CMakeLists.txt defines and what each links.
void checkLinks(const fs::path& root, const fs::path& file, std::vector<Violation>& out) {
  std::ifstream in(file);
  std::stringstream text;
  for (std::string line; std::getline(in, line);) text << line.substr(0, line.find('#')) << ' ';
  const std::string all = text.str();
  static const std::regex call(
      R"((tarn_logic_library|tarn_windows_library|tarn_tests|target_link_libraries)\s*\(([^)]*)\))");
  const std::string rel = fs::relative(file, root).generic_string();
  const std::string folder = rel.substr(0, rel.find('/'));
  for (auto it = std::sregex_iterator(all.begin(), all.end(), call); it != std::sregex_iterator(); ++it) {
    std::istringstream words((*it)[2].str());
    std::string target, w;
    words >> target;
    const bool tarnCall = (*it)[1].str() != "target_link_libraries";
    std::optional<Place> from = placeOfTarget(target);
    if ((*it)[1].str() == "tarn_tests" || (!from && kRank.count(folder)))
      from = Place{folder, Place::TestSide};  // test programs and the folder's executables
    if (!from) continue;
    bool inDeps = !tarnCall;
    while (words >> w) {
      if (w == "DEPS") {
        inDeps = true;
        continue;
      }
      if (w == "SOURCES" || w == "MAIN") {
        inDeps = false;
        continue;
      }
      if (!inDeps || w == "PUBLIC" || w == "PRIVATE" || w == "INTERFACE") continue;
      const auto to = placeOfTarget(w);
      if (!to) continue;  // Qt, SQLite and other outside libraries
      if (const std::string why = forbidden(*from, *to); !why.empty())
        out.push_back({rel + ": " + target, why + " (links " + w + ")"});
    }
  }
}

}  // namespace

std::vector<Violation> Check(const std::string& rootText) {
  const fs::path root = fs::absolute(rootText);
  std::vector<Violation> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (it->is_directory() && (name == "build" || name.front() == '.' || name == "corpus")) {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file()) continue;
    const std::string ext = p.extension().string();
    if (ext == ".cpp" || ext == ".h" || ext == ".inc")
      checkIncludes(root, p, out);
    else if (name == "CMakeLists.txt")
      checkLinks(root, p, out);
  }
  return out;
}

}  // namespace tarn::layers
