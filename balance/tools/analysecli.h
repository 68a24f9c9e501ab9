#pragma once
// The command-line analysis of a recorded test (tarnrq-analyse): arguments, the recording (read
// as the replay platform reads it), the JSON of the measures. Kept apart from main() so that
// every bad input can be tested.
#include <optional>
#include <string>
#include <vector>

#include "balance/analysis/analysis.h"
#include "balance/norms/normtypes.h"
#include "balance/plate/recordingcsv.h"

namespace tarn::analysecli {

struct Options {
  std::string file;
  double fs = 0;
  RecordingLayout layout = RecordingLayout::FzM1M2;
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
// Values no recording or plate can have are refused: a rate below 10 Hz, a rotation beyond
// ±π, a window beyond 2³¹ samples, a negative age.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

// One JSON object keyed by the field names; lStabilityClass is added when given.
std::string ResultToJson(const AnalysisResult& r, std::optional<qint32> stabilityClass = std::nullopt);

// The whole command: the JSON on success (exit code 0), or a one-line message and a non-zero
// code. The usage text for --help.
int Run(const std::vector<std::string>& args, std::string& out, std::string& error);
std::string Usage();

}  // namespace tarn::analysecli
