#include "balance/tools/analysecli.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>

#include "balance/norms/norms.h"
#include "balance/plate/plate.h"
#include "core/clock.h"
#include "core/eventlog.h"

namespace tarn::analysecli {
namespace {

constexpr char kModule[] = "tarnrq-analyse";
constexpr double kDefaultLoS = 0.1;  // m

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A finite number in plain decimal or exponent form, optionally quoted or with a leading '+'.
bool parseNumber(std::string_view text, double& value) {
  std::string_view s = trim(text);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = trim(s.substr(1, s.size() - 2));
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

std::vector<std::string_view> split(std::string_view line, char sep) {
  std::vector<std::string_view> cells;
  size_t start = 0;
  while (true) {
    const size_t pos = line.find(sep, start);
    cells.push_back(line.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
    if (pos == std::string_view::npos) break;
    start = pos + 1;
  }
  return cells;
}

struct Columns {
  int fz, m1, m2, needed;
  const char* names[6];
};

Columns columnsOf(Layout layout) {
  if (layout == Layout::FxFyFzMxMyMz) return {2, 3, 4, 6, {"Fx", "Fy", "Fz", "Mx", "My", "Mz"}};
  return {0, 1, 2, 3, {"Fz", "M1", "M2", nullptr, nullptr, nullptr}};
}

const char* layoutName(Layout layout) {
  return layout == Layout::FxFyFzMxMyMz ? "fx-fy-fz-mx-my-mz" : "fz-m1-m2";
}

void appendNumber(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

}  // namespace

std::string Usage() {
  return "Usage: tarnrq-analyse [options] FILE.csv\n"
         "  --fs HZ                  sampling frequency (required)\n"
         "  --layout fz-m1-m2|fx-fy-fz-mx-my-mz   columns of the file (default fz-m1-m2)\n"
         "  --positive-fz            Fz is positive under load (Fz and moments are negated)\n"
         "  --from SEC --to SEC      analyse only this window of the recording\n"
         "  --stance N               stance code 1..13 (default 1)\n"
         "  --los-x M --los-y M      base limits of stability, half-widths (default 0.1)\n"
         "  --height M               derive the base limits of stability from the height\n"
         "  --threshold N            force threshold in newtons (default 10)\n"
         "  --rotation RAD --tilt1 RAD --tilt2 RAD   plate angles (default 0)\n"
         "  --age YEARS --type NSEO|NSEC|PSEO|PSEC [--norms 1|2|3]   add the stability class\n";
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error) {
  bool haveFs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      if (!o.file.empty()) {
        error = "more than one input file given: " + o.file + " and " + arg;
        return false;
      }
      o.file = arg;
      continue;
    }
    std::string value;
    bool inlineValue = false;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    if (arg == "--help" || arg == "--positive-fz") {
      if (inlineValue) {
        error = "option " + arg + " takes no value";
        return false;
      }
      (arg == "--help" ? o.help : o.positiveFz) = true;
      continue;
    }
    static const char* const kValued[] = {"--fs",    "--layout", "--from",   "--to",        "--stance",
                                          "--los-x", "--los-y",  "--height", "--threshold", "--rotation",
                                          "--tilt1", "--tilt2",  "--age",    "--type",      "--norms"};
    if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued)) {
      error = "unknown option " + arg;
      return false;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (arg == "--layout") {
      if (value == "fz-m1-m2") {
        o.layout = Layout::FzM1M2;
      } else if (value == "fx-fy-fz-mx-my-mz") {
        o.layout = Layout::FxFyFzMxMyMz;
      } else {
        error = "unknown layout \"" + value + "\" (fz-m1-m2 or fx-fy-fz-mx-my-mz)";
        return false;
      }
      continue;
    }
    if (arg == "--type") {
      const auto type = NormTestTypeFromCode(QString::fromStdString(value));
      if (!type) {
        error = "unknown test type \"" + value + "\" (NSEO, NSEC, PSEO or PSEC)";
        return false;
      }
      o.type = type;
      continue;
    }
    double v;
    if (!parseNumber(value, v)) {
      error = "option " + arg + ": \"" + value + "\" is not a number";
      return false;
    }
    const auto bad = [&](const char* what) {
      error = "option " + arg + ": " + value + " " + what;
      return false;
    };
    if (arg == "--fs") {
      if (v <= 0 || v > 100000) return bad("is not a sampling frequency (0 < HZ <= 100000)");
      o.fs = v;
      haveFs = true;
    } else if (arg == "--from" || arg == "--to") {
      if (v < 0) return bad("is negative");
      (arg == "--from" ? o.from : o.to) = v;
    } else if (arg == "--stance" || arg == "--norms") {
      const bool stance = arg == "--stance";
      if (v != std::floor(v) || v < 1 || v > (stance ? 13 : 3))
        return bad(stance ? "is not a stance code (1..13)" : "is not a norms version (1, 2 or 3)");
      if (stance)
        o.stance = static_cast<qint32>(v);
      else
        o.normsVersion = static_cast<int>(v);
    } else if (arg == "--los-x" || arg == "--los-y") {
      if (v <= 0 || v > 2) return bad("is not a half-width in metres (0 < M <= 2)");
      (arg == "--los-x" ? o.losX : o.losY) = v;
    } else if (arg == "--height") {
      if (!BaseLimitsOfStability(v)) return bad("is not a height in metres (0.5..2.6)");
      o.height = v;
    } else if (arg == "--threshold") {
      if (v < 0) return bad("is negative");
      o.threshold = v;
    } else if (arg == "--rotation") {
      o.geometry.rotation = static_cast<float>(v);
    } else if (arg == "--tilt1" || arg == "--tilt2") {
      if (std::fabs(v) >= std::numbers::pi / 2) return bad("is not a tilt angle (below pi/2 in size)");
      (arg == "--tilt1" ? o.geometry.tilt1 : o.geometry.tilt2) = static_cast<float>(v);
    } else if (arg == "--age") {
      if (v > 150) return bad("is not an age in years");
      o.age = v;
    }
  }
  if (o.help) return true;
  if (o.file.empty()) {
    error = "no input file given";
    return false;
  }
  if (!haveFs) {
    error = "the sampling frequency --fs is required";
    return false;
  }
  if (o.from && o.to && *o.from >= *o.to) {
    error = "--from must come before --to";
    return false;
  }
  if ((o.age || o.type || o.normsVersion) && !(o.age && o.type)) {
    error = "the stability class needs both --age and --type";
    return false;
  }
  return true;
}

bool ReadPlateCsv(const std::string& path, Layout layout, bool positiveFz, PlateTestDataBuffer& data,
                  std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const Columns cols = columnsOf(layout);
  std::string line;
  long row = 0;
  char sep = ',';
  bool haveHeader = false;
  const float sign = positiveFz ? -1.0f : 1.0f;
  while (std::getline(in, line)) {
    ++row;
    const std::string_view text = trim(line);
    if (text.empty()) continue;
    if (!haveHeader) {
      if (text.find(',') == std::string_view::npos) {
        if (text.find('\t') != std::string_view::npos)
          sep = '\t';
        else if (text.find(';') != std::string_view::npos)
          sep = ';';
      }
      const auto cells = split(text, sep);
      if (static_cast<int>(cells.size()) < cols.needed) {
        error = path + ": missing column: the header has " + std::to_string(cells.size()) +
                " column(s), layout " + layoutName(layout) + " needs " + std::to_string(cols.needed);
        return false;
      }
      haveHeader = true;
      continue;
    }
    const auto cells = split(text, sep);
    if (static_cast<int>(cells.size()) < cols.needed) {
      error = path + ": row " + std::to_string(row) + ": missing column: " + std::to_string(cells.size()) +
              " cell(s), layout " + layoutName(layout) + " needs " + std::to_string(cols.needed);
      return false;
    }
    double v[6];
    for (int c = 0; c < cols.needed; ++c) {
      if (!parseNumber(cells[c], v[c])) {
        error = path + ": row " + std::to_string(row) + ", column " + std::to_string(c + 1) + " (" +
                cols.names[c] + "): \"" + std::string(trim(cells[c])) + "\" is not a number";
        return false;
      }
    }
    data.append(sign * static_cast<float>(v[cols.fz]), sign * static_cast<float>(v[cols.m1]),
                sign * static_cast<float>(v[cols.m2]));
  }
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (!haveHeader) {
    error = path + ": the file is empty";
    return false;
  }
  return true;
}

std::string ResultToJson(const AnalysisResult& r, std::optional<qint32> stabilityClass) {
  std::string out = "{";
  bool firstKey = true;
  const auto key = [&](const char* name) {
    if (!firstKey) out += ", ";
    firstKey = false;
    out += '"';
    out += name;
    out += "\": ";
  };
  const auto num = [&](const char* name, double v) {
    key(name);
    appendNumber(out, v);
  };
  const auto whole = [&](const char* name, qint32 v) {
    key(name);
    out += std::to_string(v);
  };
  num("dtDate", r.dtDate);
  whole("lTotalSamples", r.lTotalSamples);
  num("fFrequency", r.fFrequency);
  num("fDuration", r.fDuration);
  whole("lStance", r.lStance);
  num("fThreshold", r.fThreshold);
  num("fRotation", r.fRotation);
  num("fTilt1", r.fTilt1);
  num("fTilt2", r.fTilt2);
  num("fLoSX", r.fLoSX);
  num("fLoSY", r.fLoSY);
  whole("lValidSamples", r.lValidSamples);
  whole("lWeightSamples", r.lWeightSamples);
  num("fWeight", r.fWeight);
  num("fWeightSD", r.fWeightSD);
  num("fValidSamples", r.fValidSamples);
  num("fSteps", r.fSteps);
  num("fMidIndex", r.fMidIndex);
  num("fPathLength", r.fPathLength);
  num("fVAve", r.fVAve);
  num("fVMax", r.fVMax);
  num("fLoSRangeAP", r.fLoSRangeAP);
  num("fLoSRangeML", r.fLoSRangeML);
  num("fMaxX", r.fMaxX);
  num("fMaxY", r.fMaxY);
  num("fMinX", r.fMinX);
  num("fMinY", r.fMinY);
  num("fXo", r.fXo);
  num("fYo", r.fYo);
  num("fSDX", r.fSDX);
  num("fSDY", r.fSDY);
  num("fMidX", r.fMidX);
  num("fMidY", r.fMidY);
  num("fRangeAP", r.fRangeAP);
  num("fRangeML", r.fRangeML);
  num("fCorrelation", r.fCorrelation);
  num("fTheta", r.fTheta);
  num("fSigma1", r.fSigma1);
  num("fSigma2", r.fSigma2);
  num("fRadialMin", r.fRadialMin);
  num("fRadialMax", r.fRadialMax);
  num("fRadialAve", r.fRadialAve);
  num("fRadialSD", r.fRadialSD);
  key("fAbsDevExtremes");
  out += '[';
  for (int i = 0; i < 4; ++i) {
    if (i) out += ", ";
    appendNumber(out, r.fAbsDevExtremes[i]);
  }
  out += ']';
  num("fMeanAbsX", r.fMeanAbsX);
  num("fMeanAbsY", r.fMeanAbsY);
  num("fSDAbsX", r.fSDAbsX);
  num("fSDAbsY", r.fSDAbsY);
  num("fLoSUsedMax", r.fLoSUsedMax);
  num("fLoSUsedMin", r.fLoSUsedMin);
  num("fStability", r.fStability);
  num("fSwayDirection", r.fSwayDirection);
  num("fMinSwayDirection", r.fMinSwayDirection);
  num("f95MaxSway", r.f95MaxSway);
  num("f95MinSway", r.f95MinSway);
  num("fMinMaxRatio", r.fMinMaxRatio);
  num("fDirectionality", r.fDirectionality);
  num("f95Area", r.f95Area);
  num("f95APSway", r.f95APSway);
  num("f95MLSway", r.f95MLSway);
  num("fAreaChange", r.fAreaChange);
  num("fFatigue", r.fFatigue);
  num("fAAve", r.fAAve);
  num("fAMax", r.fAMax);
  num("fParP", r.fParP);
  if (stabilityClass) whole("lStabilityClass", *stabilityClass);
  out += "}";
  return out;
}

int Run(const std::vector<std::string>& args, std::string& out, std::string& error) {
  ProcLog log(kModule, "Run");
  Options o;
  if (!ParseArguments(args, o, error)) {
    log.error(QString::fromStdString(error));
    return 2;
  }
  if (o.help) {
    out = Usage();
    return 0;
  }
  PlateTestDataBuffer all(static_cast<float>(o.fs), clock::kMissingDate);
  if (!ReadPlateCsv(o.file, o.layout, o.positiveFz, all, error)) {
    log.error(QString::fromStdString(error));
    return 2;
  }

  // The window [from, to) in samples.
  const qint64 count = all.Count();
  const qint64 first = o.from ? std::llround(*o.from * o.fs) : 0;
  const qint64 end = o.to ? std::min<qint64>(std::llround(*o.to * o.fs), count) : count;
  const qint64 n = end - first;
  if (n < 2) {
    error = o.file + ": fewer than 2 samples to analyse (" + std::to_string(std::max<qint64>(n, 0)) + ")";
    log.error(QString::fromStdString(error));
    return 2;
  }
  PlateTestDataBuffer window(static_cast<float>(o.fs), clock::kMissingDate);
  window.reserve(static_cast<qint32>(n));
  for (qint64 i = first; i < end; ++i)
    window.append(all.Sample(0, static_cast<qint32>(i)), all.Sample(1, static_cast<qint32>(i)),
                  all.Sample(2, static_cast<qint32>(i)));

  LimitsOfStability los{kDefaultLoS, kDefaultLoS};
  if (o.height) los = *BaseLimitsOfStability(*o.height);
  if (o.losX) los.x = *o.losX;
  if (o.losY) los.y = *o.losY;

  // The stance rule with the factory factors: the tool does not depend on a station's settings.
  AnalysisResult r;
  AnalyseBalanceTest(0, static_cast<qint32>(n - 1), -static_cast<float>(o.threshold), window, o.geometry,
                     o.stance, los.x, los.y, StanceFactors{}, r, true, true);
  if (r.lWeightSamples <= 10) {
    error =
        o.file + ": Not enough valid samples in the test! (" + std::to_string(r.lValidSamples) + " valid)";
    log.error(QString::fromStdString(error));
    return 3;
  }
  std::optional<qint32> cls;
  if (o.age && o.type) {
    const auto c = StabilityClass(static_cast<float>(r.fStability), *o.age, *o.type,
                                  o.normsVersion.value_or(kDefaultNormsVersion));
    if (c) cls = static_cast<qint32>(*c);
  }
  out = ResultToJson(r, cls) + "\n";
  log.completed();
  return 0;
}

}  // namespace tarn::analysecli
