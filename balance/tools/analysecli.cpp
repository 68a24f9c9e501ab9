#include "balance/tools/analysecli.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "balance/norms/norms.h"
#include "balance/plate/plate.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "support/strings/strings.h"

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

// Text from the command line as a message may quote it: no control characters, not too long.
std::string shown(const std::string& text) {
  return PrintableExcerpt(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())))
      .toStdString();
}

// Table text `id` with its placeholders filled in one pass (a value holding "%2" stays as it is).
template <typename... Args>
std::string say(int id, const Args&... args) {
  if constexpr (sizeof...(Args) == 0)
    return Str(id).toStdString();
  else
    return Str(id).arg(QString::fromStdString(std::string(args))...).toStdString();
}

// The largest window a test can hold, in samples.
constexpr double kMaxSamples = std::numeric_limits<qint32>::max();
constexpr double kMinFs = 10, kMaxFs = 100000;  // Hz

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

std::string Usage() { return say(3720); }

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error) {
  bool haveFs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      if (!o.file.empty()) {
        error = say(3721, shown(o.file), shown(arg));
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
        error = say(3722, shown(arg));
        return false;
      }
      (arg == "--help" ? o.help : o.positiveFz) = true;
      continue;
    }
    static const char* const kValued[] = {"--fs",    "--layout", "--from",   "--to",        "--stance",
                                          "--los-x", "--los-y",  "--height", "--threshold", "--rotation",
                                          "--tilt1", "--tilt2",  "--age",    "--type",      "--norms"};
    if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued)) {
      error = say(3723, shown(arg));
      return false;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = say(3724, arg);
        return false;
      }
      value = args[++i];
    }
    if (arg == "--layout") {
      if (value == "fz-m1-m2") {
        o.layout = RecordingLayout::FzM1M2;
      } else if (value == "fx-fy-fz-mx-my-mz") {
        o.layout = RecordingLayout::FxFyFzMxMyMz;
      } else {
        error = say(3725, shown(value));
        return false;
      }
      continue;
    }
    if (arg == "--type") {
      const auto type = NormTestTypeFromCode(QString::fromStdString(value));
      if (!type) {
        error = say(3726, shown(value));
        return false;
      }
      o.type = type;
      continue;
    }
    double v;
    if (!parseNumber(value, v)) {
      error = say(3727, arg, shown(value));
      return false;
    }
    const auto bad = [&](int what) {
      error = say(3728, arg, shown(value), say(what));
      return false;
    };
    if (arg == "--fs") {
      if (v < kMinFs || v > kMaxFs) return bad(3729);
      o.fs = v;
      haveFs = true;
    } else if (arg == "--from" || arg == "--to") {
      if (v < 0) return bad(3730);
      (arg == "--from" ? o.from : o.to) = v;
    } else if (arg == "--stance" || arg == "--norms") {
      const bool stance = arg == "--stance";
      if (v != std::floor(v) || v < 1 || v > (stance ? 13 : 3)) return bad(stance ? 3731 : 3732);
      if (stance)
        o.stance = static_cast<qint32>(v);
      else
        o.normsVersion = static_cast<int>(v);
    } else if (arg == "--los-x" || arg == "--los-y") {
      if (v <= 0 || v > 2) return bad(3733);
      (arg == "--los-x" ? o.losX : o.losY) = v;
    } else if (arg == "--height") {
      if (!BaseLimitsOfStability(v)) return bad(3734);
      o.height = v;
    } else if (arg == "--threshold") {
      if (v < 0) return bad(3730);
      if (v > 100000) return bad(3735);
      o.threshold = v;
    } else if (arg == "--rotation") {
      if (std::fabs(v) > std::numbers::pi) return bad(3736);
      o.geometry.rotation = static_cast<float>(v);
    } else if (arg == "--tilt1" || arg == "--tilt2") {
      if (std::fabs(v) >= std::numbers::pi / 2) return bad(3737);
      (arg == "--tilt1" ? o.geometry.tilt1 : o.geometry.tilt2) = static_cast<float>(v);
    } else if (arg == "--age") {
      if (v < 0 || v > 150) return bad(3738);
      o.age = v;
    }
  }
  if (o.help) return true;
  if (o.file.empty()) {
    error = say(3739);
    return false;
  }
  if (!haveFs) {
    error = say(3740);
    return false;
  }
  if (o.from && o.to && *o.from >= *o.to) {
    error = say(3741);
    return false;
  }
  // The window in samples must fit a test's sample count.
  for (const auto& [name, t] : {std::pair{"--from", o.from}, std::pair{"--to", o.to}}) {
    if (t && *t * o.fs > kMaxSamples) {
      error = say(3742, name, std::to_string(*t));
      return false;
    }
  }
  if ((o.age || o.type || o.normsVersion) && !(o.age && o.type)) {
    error = say(3743);
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
  RecordingCsv rec;
  QString readError;
  if (!ReadRecordingCsv(QFile::decodeName(o.file.c_str()), {o.layout, o.positiveFz}, rec, readError)) {
    error = readError.toStdString();
    log.error(readError);
    return 2;
  }

  // The window [from, to) in samples; both bounds were checked to fit.
  const auto count = static_cast<qint64>(rec.fz.size());
  const qint64 first = o.from ? std::min<qint64>(std::llround(*o.from * o.fs), count) : 0;
  const qint64 end = o.to ? std::min<qint64>(std::llround(*o.to * o.fs), count) : count;
  const qint64 n = end - first;
  if (n < 2) {
    error = say(3744, shown(o.file), std::to_string(std::max<qint64>(n, 0)));
    log.error(QString::fromStdString(error));
    return 2;
  }
  const auto slice = [&](const std::vector<float>& v) {
    return std::vector<float>(v.begin() + first, v.begin() + end);
  };
  const PlateTestDataBuffer window(static_cast<float>(o.fs), clock::kMissingDate, slice(rec.fz),
                                   slice(rec.m1), slice(rec.m2));

  LimitsOfStability los{kDefaultLoS, kDefaultLoS};
  if (o.height) los = *BaseLimitsOfStability(*o.height);
  if (o.losX) los.x = *o.losX;
  if (o.losY) los.y = *o.losY;

  // The stance rule with the factory factors: the tool does not depend on a station's settings.
  AnalysisResult r;
  AnalyseBalanceTest(0, static_cast<qint32>(n - 1), -static_cast<float>(o.threshold), window, o.geometry,
                     o.stance, los.x, los.y, StanceFactors{}, r, true, true);
  if (r.lWeightSamples <= 10) {
    error = say(3745, shown(o.file), Str(3402).toStdString(), std::to_string(r.lValidSamples));
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
