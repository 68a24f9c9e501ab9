#pragma once
// Recordings with a known centre of pressure for the analysis tests: the moments are built from
// the intended CoP with the relation the analysis inverts (x′ = −M2 / Fz, y′ = M1 / Fz, then the
// plate rotation), and Fz is reduced by the plate's tilt as a tilted plate would report it.
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "balance/analysis/analysis.h"
#include "balance/plate/plate.h"

namespace tarn::analysistest {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kStepNoise = 4.64503121170875e-6;

struct Cop {
  double x, y;
};

// fz: the true vertical force of each sample (negative when loaded).
inline std::shared_ptr<PlateTestDataBuffer> record(float fs, const std::vector<Cop>& cop,
                                                   const std::function<double(int)>& fz,
                                                   const PlateGeometry& g = {}) {
  auto data = std::make_shared<PlateTestDataBuffer>(fs, 45000.5);
  const double c = std::cos(static_cast<double>(g.rotation)), s = std::sin(static_cast<double>(g.rotation));
  const double tilt = std::cos(static_cast<double>(g.tilt1)) * std::cos(static_cast<double>(g.tilt2));
  for (int i = 0; i < static_cast<int>(cop.size()); ++i) {
    const double f = fz(i);
    // Plate frame from the station frame: the inverse of the rotation the analysis applies.
    const double xp = cop[i].x * c - cop[i].y * s;
    const double yp = cop[i].x * s + cop[i].y * c;
    data->append(static_cast<float>(f * tilt), static_cast<float>(yp * f), static_cast<float>(-xp * f));
  }
  return data;
}

inline std::shared_ptr<PlateTestDataBuffer> record(float fs, const std::vector<Cop>& cop, double fz = -700,
                                                   const PlateGeometry& g = {}) {
  return record(
      fs, cop, [fz](int) { return fz; }, g);
}

// `turns` turns of a circle of radius r about (cx, cy), `perTurn` samples per turn, starting on
// the +x axis and running anticlockwise.
inline std::vector<Cop> circle(double cx, double cy, double r, int perTurn, int turns) {
  std::vector<Cop> v;
  for (int i = 0; i < perTurn * turns; ++i) {
    const double a = 2 * kPi * i / perTurn;
    v.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return v;
}

// Sway-like CoP: a sum of slow sinusoids with random phases (0.05..1 Hz) plus a little fast
// noise, scaled to the exact standard deviations asked for, ML along x and AP along y.
inline std::vector<Cop> sway(float fs, double seconds, double sdML, double sdAP, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> phase(0, 2 * kPi), freq(0.05, 1.0), jitter(-1, 1);
  const int n = static_cast<int>(std::lround(fs * seconds));
  std::vector<double> comp[2];
  for (auto& c : comp) {
    c.assign(n, 0);
    for (int k = 0; k < 12; ++k) {
      const double f = freq(rng), p = phase(rng), amp = 1.0 / (1 + 4 * f);
      for (int i = 0; i < n; ++i) c[i] += amp * std::sin(2 * kPi * f * i / fs + p);
    }
    for (int i = 0; i < n; ++i) c[i] += 0.02 * jitter(rng);
    double mean = 0, var = 0;
    for (double x : c) mean += x;
    mean /= n;
    for (double x : c) var += (x - mean) * (x - mean);
    const double sd = std::sqrt(var / (n - 1));
    for (double& x : c) x = (x - mean) / sd;
  }
  std::vector<Cop> v(n);
  for (int i = 0; i < n; ++i) v[i] = {0.005 + sdML * comp[0][i], -0.01 + sdAP * comp[1][i]};
  return v;
}

// Standard deviation (n − 1) of m values spread evenly round a circle of radius r.
inline double circleSD(double r, int m) { return r * std::sqrt(m / (2.0 * (m - 1))); }

}  // namespace tarn::analysistest
