#pragma once
// The command-line analysis of a recorded test (tarnrq-analyse): arguments, the CSV of samples,
// the JSON of the measures. Kept apart from main() so that every bad input can be tested.
#include <optional>
#include <string>
#include <vector>

#include "balance/analysis/analysis.h"
#include "balance/norms/normtypes.h"

namespace tarn {

class PlateTestDataBuffer;

namespace analysecli {

enum class Layout {
  FzM1M2,        // Fz, M1, M2
  FxFyFzMxMyMz,  // six-component plate: M1 = Mx, M2 = My
};

struct Options {
  std::string file;
  double fs = 0;
  Layout layout = Layout::FzM1M2;
  bool positiveFz = false;         // the file's Fz is positive under load
  std::optional<double> from, to;  // seconds
  qint32 stance = StanceNormal;
  std::optional<double> losX, losY;  // base half-widths, m (default 0.1, or from --height)
  std::optional<double> height;      // m
  double threshold = 10;             // N, positive
  PlateGeometry geometry;
  std::optional<double> age;  // years
  std::optional<KM_RQNormTestType> type;
  std::optional<int> normsVersion;
  bool help = false;
};

// Parses the arguments after the program name. On failure, error holds a one-line message.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

// Reads the samples of a CSV file (header row, one sample per row) into the buffer, with Fz
// and both moments negated for a positive-Fz file (the CoP stays the same). Comma-separated;
// a header with tabs or semicolons and no comma selects that separator instead.
bool ReadPlateCsv(const std::string& path, Layout layout, bool positiveFz, PlateTestDataBuffer& data,
                  std::string& error);

// One JSON object keyed by the field names; lStabilityClass is added when given.
std::string ResultToJson(const AnalysisResult& r, std::optional<qint32> stabilityClass = std::nullopt);

// The whole command: the JSON on success (exit code 0), or a one-line message and a non-zero
// code. The usage text for --help.
int Run(const std::vector<std::string>& args, std::string& out, std::string& error);
std::string Usage();

}  // namespace analysecli
}  // namespace tarn
