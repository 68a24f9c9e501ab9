#include "balance/analysis/analysis.h"

#include <liquid/liquid.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <type_traits>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
// The 256-bit paths need GCC on x86-64: its target pragma compiles the sample passes a second
// time for AVX2. Elsewhere the 128-bit paths serve alone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TARN_WIDE_AVAILABLE 1
#include <immintrin.h>
#else
#define TARN_WIDE_AVAILABLE 0
#endif

#include "balance/balancesettings.h"
#include "balance/plate/plate.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"

namespace tarn {
namespace {

constexpr char kModule[] = "Analysis";
constexpr double kPi = std::numbers::pi;
constexpr double kZ95 = 1.96;  // two-sided 95 % quantile of the normal distribution
constexpr double kDegreesPerRadian = 57.29577951308238;
constexpr double kExtremeStart = 1e10;
// Subtracted from every path step: the length a still CoP would gain per step from plate noise.
constexpr double kStepNoise = 4.64503121170875e-6;
constexpr qint32 kMinWeightSamples = 11;
constexpr qint32 kWeightSeedSamples = 10;  // join the weight mean unconditionally
constexpr double kWeightTolerance = 0.02;  // then only within 2 % of the running mean
constexpr float kFilterCutoffHz = 20;
constexpr int kEllipseDirections = 3600;

// Butterworth low-pass: fourth order, as two second-order sections.
constexpr int kFilterOrder = 4;
constexpr int kSections = kFilterOrder / 2;
// The dynamics start where what the filter started from has faded to this part of itself.
constexpr double kSettledFraction = 1e-3;

// ---- Checked arithmetic -------------------------------------------------------------------
// A measure whose formula would divide by zero or overflow keeps its previous value and the
// analysis goes on; these helpers assign only finite results.

bool checkedQuotient(double num, double den, double& q) {
  if (den == 0 || !std::isfinite(num) || !std::isfinite(den)) return false;
  q = num / den;
  return std::isfinite(q);
}

void safeDiv(double num, double den, double& field) {
  double q;
  if (checkedQuotient(num, den, q)) field = q;
}

void safeSet(double value, double& field) {
  if (std::isfinite(value)) field = value;
}

// field = √(abs(num) / den)
void safeSqrtDiv(double num, double den, double& field) {
  double q;
  if (checkedQuotient(std::fabs(num), den, q)) field = std::sqrt(q);
}

// Sample standard deviation from running sums: √(abs(Σq² − (Σq)² / n) / (n − 1)).
void safeSampleSD(double sumSq, double sum, double n, double& field) {
  double sqOverN;
  if (checkedQuotient(sum * sum, n, sqOverN)) safeSqrtDiv(sumSq - sqOverN, n - 1, field);
}

// Round to nearest, ties to even, whatever the floating-point environment says.
double roundHalfEven(double v) {
  const double r = std::round(v);  // ties away from zero
  if (std::fabs(v - std::trunc(v)) == 0.5) return 2.0 * std::round(v / 2.0);
  return r;
}

// cos 2tΔ and sin 2tΔ of the first half of the 3600 comparison directions, built once.
struct DoubleAngles {
  double cos2[kEllipseDirections / 2];
  double sin2[kEllipseDirections / 2];
};

const DoubleAngles& doubleAngles() {
  static const DoubleAngles table = [] {
    DoubleAngles t;
    for (int i = 0; i < kEllipseDirections / 2; ++i) {
      const double angle = 2 * (2 * kPi * i / kEllipseDirections);
      t.cos2[i] = std::cos(angle);
      t.sin2[i] = std::sin(angle);
    }
    return t;
  }();
  return table;
}

// ---- Pairs ---------------------------------------------------------------------------------
// Two doubles handled by one instruction: pairs of filter states, two ellipse directions, half
// of a four-lane value of the sample passes. Each lane is its own IEEE double operation, so a
// lane computes exactly what the scalar code would, term by term and in the same order.
typedef double Pair __attribute__((vector_size(16)));

// Lane by lane std::min(a, b) and std::max(a, b): b where b < a (b > a), else a.
inline Pair minPair(Pair a, Pair b) {
#ifdef __SSE2__
  return _mm_min_pd(b, a);
#else
  return Pair{std::min(a[0], b[0]), std::min(a[1], b[1])};
#endif
}
inline Pair maxPair(Pair a, Pair b) {
#ifdef __SSE2__
  return _mm_max_pd(b, a);
#else
  return Pair{std::max(a[0], b[0]), std::max(a[1], b[1])};
#endif
}
inline Pair absPair(Pair a) {
#ifdef __SSE2__
  return _mm_andnot_pd(_mm_set1_pd(-0.0), a);  // clears the sign bits, as std::fabs does
#else
  return Pair{std::fabs(a[0]), std::fabs(a[1])};
#endif
}

constexpr double kZeroRadiusSq = 1e-20;  // a zero radius counts as 1e-10

// Lane by lane: kZeroRadiusSq where the squared radius is 0 or below, else itself.
inline Pair floorZeroRadius(Pair r2) {
#ifdef __SSE2__
  const __m128d low = _mm_cmple_pd(r2, _mm_setzero_pd());
  return _mm_or_pd(_mm_and_pd(low, _mm_set1_pd(kZeroRadiusSq)), _mm_andnot_pd(low, r2));
#else
  return Pair{r2[0] <= 0 ? kZeroRadiusSq : r2[0], r2[1] <= 0 ? kZeroRadiusSq : r2[1]};
#endif
}

// Lane by lane √v, correctly rounded as std::sqrt.
inline Pair sqrtPair(Pair v) {
#ifdef __SSE2__
  return _mm_sqrt_pd(v);
#else
  return Pair{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}

// √v for the per-sample loops: the same correctly rounded square root as std::sqrt, without
// the check for a negative argument that std::sqrt makes to set errno.
inline double sqrtOf(double v) {
#ifdef __SSE2__
  return _mm_cvtsd_f64(_mm_sqrt_pd(_mm_set1_pd(v)));
#else
  return std::sqrt(v);
#endif
}

// ---- Working arrays ------------------------------------------------------------------------
// One set per thread, grown as needed and reused, so repeated calls do not allocate.
struct Scratch {
  std::vector<float> raw[3];       // the samples as read, when the data has no channel arrays
  std::vector<double> fz, m1, m2;  // the analysed range, Fz tilt-corrected
  std::vector<double> x, y;        // CoP of each sample
  std::vector<unsigned char> valid;
  std::vector<double> lfz, lm1, lm2, lx, ly, vx, vy;  // filtered and decimated
  std::vector<unsigned char> lvalid, vvalid;
};

Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

// The conditions every part of one test is analysed with.
struct Conditions {
  float thrFz;
  PlateGeometry geometry;
  double cosPhi, sinPhi;
  qint32 stance;
  double fLoSX, fLoSY;
  float fs;
  double date;
};

// CoP of one sample. Valid when the load reaches the threshold (Fz, in single precision, at or
// below the negated threshold); a zero Fz has no CoP whatever the threshold.
inline bool copOf(double fz, double m1, double m2, const Conditions& c, double& x, double& y) {
  if (!(static_cast<float>(fz) <= c.thrFz) || fz == 0) return false;
  const double perFz = 1 / fz;
  const double xp = -m2 * perFz;
  const double yp = m1 * perFz;
  if (c.geometry.rotation != 0) {
    x = xp * c.cosPhi + yp * c.sinPhi;
    y = -xp * c.sinPhi + yp * c.cosPhi;
  } else {
    x = xp;
    y = yp;
  }
  return true;
}

// ---- Low-pass design and run ---------------------------------------------------------------

constexpr int kStates = 2 * kSections;  // two per section
constexpr int kMaxDecimation = 256;
constexpr int kMinJump = 4;  // below this the jump costs more than running every sample

struct LowPass {
  bool bypass = true;  // cut-off at or above Nyquist: nothing to remove
  double b[kSections][3] = {};
  double a[kSections][3] = {};
  qint32 preroll = 0;  // samples the filter settles over before the series starts
  qint32 settle = 0;   // samples until the start has faded to kSettledFraction
  // Decimation by n: only every n-th output is kept, so the filter jumps from one kept sample
  // to the next in one step: s ← P·s + Σₘ Gₘ·u(m), with P = Aⁿ and Gₘ = Aⁿ⁻¹⁻ᵐ·B, where A, B
  // (and C, D for the output y = C·s + D·u) are the per-sample recursion as a linear system.
  int n = 1;
  double P[kStates][kStates] = {};
  double G[kMaxDecimation][kStates] = {};
  double C[kStates] = {};
  double D = 0;
  // P and G as state pairs for the two-lane jump: PT[k][h] = (P[2h][k], P[2h+1][k]) is the
  // part of column k for states 2h and 2h + 1, G2[m][h] = (G[m][2h], G[m][2h+1]).
  Pair PT[kStates][kStates / 2] = {};
  Pair G2[kMaxDecimation][kStates / 2] = {};
};

// One sample through the sections, transposed direct form II; s holds (s1, s2) of each section.
inline double sosStep(const LowPass& f, double* s, double u) {
  for (int k = 0; k < kSections; ++k) {
    const double* b = f.b[k];
    const double* a = f.a[k];
    double* st = s + 2 * k;
    const double y = b[0] * u + st[0];
    st[0] = b[1] * u - a[1] * y + st[1];
    st[1] = b[2] * u - a[2] * y;
    u = y;
  }
  return u;
}

// The state in which a constant input u has been standing for ever.
void sosSteadyState(const LowPass& f, double* s, double u) {
  for (int k = 0; k < kSections; ++k) {
    const double* b = f.b[k];
    const double* a = f.a[k];
    const double gain = (b[0] + b[1] + b[2]) / (1 + a[1] + a[2]);  // 1 after the rescaling below
    s[2 * k] = (gain - b[0]) * u;
    s[2 * k + 1] = (b[2] - a[2] * gain) * u;
    u *= gain;
  }
}

void designSections(LowPass& f, double rel) {
  float b[3 * kSections], a[3 * kSections];
  if (liquid_iirdes(LIQUID_IIRDES_BUTTER, LIQUID_IIRDES_LOWPASS, LIQUID_IIRDES_SOS, kFilterOrder,
                    static_cast<float>(rel), 0, 1, 60, b, a) != LIQUID_OK)
    return;
  f.bypass = false;
  // The coefficients come in single precision: rescale each section to exactly unit gain at DC
  // so that a steady load passes unchanged.
  for (int k = 0; k < kSections; ++k) {
    const double a0 = a[3 * k];
    for (int i = 0; i < 3; ++i) {
      f.b[k][i] = b[3 * k + i] / a0;
      f.a[k][i] = a[3 * k + i] / a0;
    }
    const double dc = (f.b[k][0] + f.b[k][1] + f.b[k][2]) / (1 + f.a[k][1] + f.a[k][2]);
    for (double& bk : f.b[k]) bk /= dc;
  }
  // Long enough for the slowest pole to forget the start to a millionth.
  double slowest = 0;
  for (int k = 0; k < kSections; ++k) {
    const std::complex<double> root = std::sqrt(std::complex<double>(f.a[k][1] * f.a[k][1] - 4 * f.a[k][2]));
    slowest = std::max({slowest, std::abs((-f.a[k][1] + root) / 2.0), std::abs((-f.a[k][1] - root) / 2.0)});
  }
  f.preroll =
      slowest > 0 && slowest < 1 ? static_cast<qint32>(std::ceil(std::log(1e-6) / std::log(slowest))) : 0;
  f.settle = slowest > 0 && slowest < 1
                 ? static_cast<qint32>(std::ceil(std::log(kSettledFraction) / std::log(slowest)))
                 : 0;
}

// The jump over n samples, read off sosStep itself: a unit state k with no input gives column k
// of A and C[k]; a unit input from rest gives B and D.
void buildJump(LowPass& f, int n) {
  f.n = n;
  double A[kStates][kStates], B[kStates];
  for (int k = 0; k < kStates; ++k) {
    double s[kStates] = {};
    s[k] = 1;
    f.C[k] = sosStep(f, s, 0);
    for (int r = 0; r < kStates; ++r) A[r][k] = s[r];
  }
  double s[kStates] = {};
  f.D = sosStep(f, s, 1);
  std::copy(s, s + kStates, B);
  // G(n−1) = B, G(m) = A·G(m+1); P = A·(A^(n−1)), built alongside.
  std::copy(B, B + kStates, f.G[n - 1]);
  double power[kStates][kStates] = {};  // A^(n−1−m) as m goes down
  for (int r = 0; r < kStates; ++r) power[r][r] = 1;
  for (int m = n - 2; m >= -1; --m) {
    double next[kStates][kStates] = {};
    for (int r = 0; r < kStates; ++r)
      for (int c = 0; c < kStates; ++c)
        for (int k = 0; k < kStates; ++k) next[r][c] += A[r][k] * power[k][c];
    std::copy(&next[0][0], &next[0][0] + kStates * kStates, &power[0][0]);
    if (m >= 0) {
      for (int r = 0; r < kStates; ++r) {
        f.G[m][r] = 0;
        for (int k = 0; k < kStates; ++k) f.G[m][r] += power[r][k] * B[k];
      }
    }
  }
  std::copy(&power[0][0], &power[0][0] + kStates * kStates, &f.P[0][0]);  // A^n
  for (int h = 0; h < kStates / 2; ++h) {
    for (int k = 0; k < kStates; ++k) f.PT[k][h] = Pair{f.P[2 * h][k], f.P[2 * h + 1][k]};
    for (int m = 0; m < n; ++m) f.G2[m][h] = Pair{f.G[m][2 * h], f.G[m][2 * h + 1]};
  }
}

// The filter for a rate with its decimation, designed once per rate on each thread (the design
// allocates inside the library).
const LowPass& lowPassFor(float fs, float fc) {
  thread_local float cachedFs = -1, cachedFc = -1;
  thread_local LowPass cached;
  if (fs == cachedFs && fc == cachedFc) return cached;
  cached = LowPass();
  const double rel = static_cast<double>(fc) / fs;
  if (fs > 0 && fc > 0 && rel < 0.5) designSections(cached, rel);
  const int n = DecimationFactor(fs, fc);
  cached.n = n > 1 ? n : 1;
  if (!cached.bypass && cached.n >= kMinJump) buildJump(cached, cached.n);
  cachedFs = fs;
  cachedFc = fc;
  return cached;
}

// The jump from kept sample to kept sample, for K series whose filters have reached states s.
// Output of a kept sample: y = D·u + C·s, summed over the states in order. Then the state of
// the next one: s ← P·s + Σₘ Gₘ·u(m), each state summing P·s over k first, then the inputs in
// two chains, even m and odd m (n is even), so that an addition need not wait for the one
// before; the chains are added at the end. Two ways to run it that give the same bits: with
// the states in pairs, and with all four states of a series in one 256-bit register where the
// processor has them.
template <int K>
void jumpPairs(const LowPass& f, const double* const* in, double* const* out, qint32 kept,
               const double (*s)[kStates]) {
  // st[c][h] holds states 2h and 2h + 1 of series c; the series side by side, so every input
  // sample is loaded once and the pairs stay in registers.
  constexpr int H = kStates / 2;
  const int n = f.n;
  Pair st[K][H];
  for (int c = 0; c < K; ++c)
    for (int h = 0; h < H; ++h) st[c][h] = Pair{s[c][2 * h], s[c][2 * h + 1]};
  for (qint32 j = 0;; ++j) {
    const qint64 i0 = static_cast<qint64>(j) * n;
    for (int c = 0; c < K; ++c) {
      double y = f.D * in[c][i0];
      for (int h = 0; h < H; ++h) {
        y += f.C[2 * h] * st[c][h][0];
        y += f.C[2 * h + 1] * st[c][h][1];
      }
      out[c][j] = y;
    }
    if (j + 1 == kept) break;
    Pair even[K][H], odd[K][H];
    for (int c = 0; c < K; ++c) {
      for (int h = 0; h < H; ++h) even[c][h] = odd[c][h] = Pair{0, 0};
      for (int k = 0; k < kStates; ++k) {
        const double sk = st[c][k / 2][k % 2];
        for (int h = 0; h < H; ++h) even[c][h] += f.PT[k][h] * Pair{sk, sk};
      }
    }
#pragma GCC unroll 2
    for (int m = 0; m < n; m += 2) {
      for (int c = 0; c < K; ++c) {
        const double u0 = in[c][i0 + m], u1 = in[c][i0 + m + 1];
        for (int h = 0; h < H; ++h) {
          even[c][h] += f.G2[m][h] * Pair{u0, u0};
          odd[c][h] += f.G2[m + 1][h] * Pair{u1, u1};
        }
      }
    }
    for (int c = 0; c < K; ++c)
      for (int h = 0; h < H; ++h) st[c][h] = even[c][h] + odd[c][h];
  }
}

#if TARN_WIDE_AVAILABLE
// PT[k] is column k of P and G2[m] is Gₘ, four doubles in state order either way. Without
// fused multiply-add, so every lane rounds as in jumpPairs.
template <int K>
__attribute__((target("avx2"))) void jumpWide(const LowPass& f, const double* const* in, double* const* out,
                                              qint32 kept, const double (*s)[kStates]) {
  static_assert(kStates == 4);
  const int n = f.n;
  __m256d st[K];
  for (int c = 0; c < K; ++c) st[c] = _mm256_loadu_pd(s[c]);
  for (qint32 j = 0;; ++j) {
    const qint64 i0 = static_cast<qint64>(j) * n;
    alignas(32) double sc[K][kStates];
    for (int c = 0; c < K; ++c) {
      _mm256_store_pd(sc[c], st[c]);
      double y = f.D * in[c][i0];
      for (int k = 0; k < kStates; ++k) y += f.C[k] * sc[c][k];
      out[c][j] = y;
    }
    if (j + 1 == kept) break;
    __m256d even[K], odd[K];
    for (int c = 0; c < K; ++c) {
      even[c] = odd[c] = _mm256_setzero_pd();
      for (int k = 0; k < kStates; ++k)
        even[c] =
            _mm256_add_pd(even[c], _mm256_mul_pd(_mm256_loadu_pd(&f.PT[k][0][0]), _mm256_set1_pd(sc[c][k])));
    }
#pragma GCC unroll 2
    for (int m = 0; m < n; m += 2) {
      const __m256d g0 = _mm256_loadu_pd(&f.G2[m][0][0]), g1 = _mm256_loadu_pd(&f.G2[m + 1][0][0]);
      for (int c = 0; c < K; ++c) {
        even[c] = _mm256_add_pd(even[c], _mm256_mul_pd(g0, _mm256_broadcast_sd(in[c] + i0 + m)));
        odd[c] = _mm256_add_pd(odd[c], _mm256_mul_pd(g1, _mm256_broadcast_sd(in[c] + i0 + m + 1)));
      }
    }
    for (int c = 0; c < K; ++c) st[c] = _mm256_add_pd(even[c], odd[c]);
  }
}

// Whether the filter's jump and the sample passes use 256-bit registers: where the processor
// has AVX2, unless AllowWideVectors said not to.
std::atomic<bool> g_wideAllowed{true};

bool wideLanesAvailable() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && g_wideAllowed.load(std::memory_order_relaxed);
}
#else
template <int K>
void jumpWide(const LowPass& f, const double* const* in, double* const* out, qint32 kept,
              const double (*s)[kStates]) {
  jumpPairs<K>(f, in, out, kept, s);
}
std::atomic<bool> g_wideAllowed{false};
bool wideLanesAvailable() { return false; }
#endif

// Runs the filter over K series at once (independent recursions interleave well) and keeps
// every n-th output from the first, count / n of them.
//
// Forward only, not forward-backward: the three series share the filter, so the CoP (a ratio of
// them) sees one common delay, and sway lives far below the 20 Hz cut-off where the phase is
// nearly linear, so speeds and accelerations are not distorted. A backward pass would double
// the cost for no change in the measures.
//
// Start-up: a filter started from rest, or even from the first sample's steady state, lags a
// CoP that is already moving and shows a false burst of speed at the start of the test. So the
// filter first settles over the series mirrored through its first sample (2·x₀ − x_k, k = L..1),
// which continues the starting slope, and only then runs over the series itself. That start still
// hangs on one noisy sample: plate noise in x₀ is doubled into a step that the filter turns into
// speed and acceleration for a few tenths of a second, so the dynamics skip that stretch (see
// analyseDynamics).
template <int K>
qint32 runLowPass(const LowPass& f, const double* const* in, double* const* out, qint32 count) {
  const int n = f.n;
  const qint32 kept = count / n;
  if (kept <= 0) return 0;
  if (f.bypass) {
    for (int c = 0; c < K; ++c)
      for (qint32 j = 0; j < kept; ++j) out[c][j] = in[c][static_cast<qint64>(j) * n];
    return kept;
  }
  double s[K][kStates];
  const qint32 preroll = std::min(f.preroll, count - 1);
  for (int c = 0; c < K; ++c) {
    const double x0 = in[c][0];
    sosSteadyState(f, s[c], 2 * x0 - in[c][preroll]);
    for (qint32 k = preroll; k >= 1; --k) sosStep(f, s[c], 2 * x0 - in[c][k]);
  }
  if (n < kMinJump) {  // sample by sample: cheaper than the jump for small n
    for (qint32 j = 0; j < kept; ++j) {
      const qint64 i0 = static_cast<qint64>(j) * n;
      for (int c = 0; c < K; ++c) {
        out[c][j] = sosStep(f, s[c], in[c][i0]);
        if (j + 1 < kept)
          for (int m = 1; m < n; ++m) sosStep(f, s[c], in[c][i0 + m]);
      }
    }
    return kept;
  }
  if (wideLanesAvailable())
    jumpWide<K>(f, in, out, kept, s);
  else
    jumpPairs<K>(f, in, out, kept, s);
  return kept;
}

// ---- Analysis of a loaded range ------------------------------------------------------------

void writeHeader(qint32 first, qint32 last, const Conditions& c, AnalysisResult& r) {
  r.dtDate = c.date;
  r.lTotalSamples = last - first + 1;
  r.fFrequency = c.fs;
  safeDiv(r.lTotalSamples, c.fs, r.fDuration);
  r.lStance = c.stance;
  r.fThreshold = c.thrFz;
  r.fRotation = c.geometry.rotation;
  r.fTilt1 = c.geometry.tilt1;
  r.fTilt2 = c.geometry.tilt2;
  r.fLoSX = c.fLoSX;
  r.fLoSY = c.fLoSY;
}

// The weight: steps off the plate and other jolts stay out of it. After the first ten samples,
// which join unconditionally, a sample joins when abs(Fz − mean) / abs(mean) < 2 %, with
// mean = ΣFz / w, multiplied through by w so no division is needed. The rule depends on every
// sample before, so it runs one sample at a time, in sample order.
//
// The spread is summed about the first weight sample: Σ(Fz − Fz₁)² − (Σ(Fz − Fz₁))² / w is the
// same sum of squares as ΣFz² − (ΣFz)² / w, without losing most of its digits to the
// subtraction of two nearly equal numbers (a body weight of 700 N against a spread of 1 N).
struct WeightSums {
  qint32 w = 0;
  double sfz = 0;          // ΣFz
  double first = 0;        // Fz₁
  double sd = 0, sdd = 0;  // Σ(Fz − Fz₁), Σ(Fz − Fz₁)²

  void add(double fz) {
    if (w < kWeightSeedSamples || std::fabs(fz * w - sfz) < kWeightTolerance * std::fabs(sfz)) {
      if (w == 0) first = fz;
      ++w;
      sfz += fz;
      const double d = fz - first;
      sd += d;
      sdd += d * d;
    }
  }
};

// Sums over the valid samples of one range, as the position measures take them.
struct PositionSums {
  qint32 n = 0;
  double sx = 0, sy = 0;             // Σx, Σy
  double cxx = 0, cyy = 0, cxy = 0;  // centred: Σ(x − x̄)², Σ(y − ȳ)², Σ(x − x̄)(y − ȳ)
  double minX = kExtremeStart, minY = kExtremeStart, maxX = -kExtremeStart, maxY = -kExtremeStart;
  WeightSums weight;
};

// Weight samples and weight of a range; false when there are too few for any measure.
bool weightMeasures(const PositionSums& p, AnalysisResult& r) {
  r.lValidSamples = p.n;
  r.fValidSamples = p.n;
  const WeightSums& wt = p.weight;
  r.lWeightSamples = wt.w;
  if (wt.w > 0) r.fWeight = wt.sfz / wt.w;
  if (wt.w < kMinWeightSamples) {
    r.fWeight = 0;
    return false;
  }
  safeSampleSD(wt.sdd, wt.sd, wt.w, r.fWeightSD);
  return true;
}

// Position, direction, ellipse and stability of a range from its sums.
void positionMeasures(const PositionSums& p, AnalysisResult& r) {
  const double n = p.n;
  const double cxx = p.cxx, cyy = p.cyy, cxy = p.cxy;
  const double minX = p.minX, minY = p.minY, maxX = p.maxX, maxY = p.maxY;

  // Position: mean CoP, standard deviations and correlation.
  safeDiv(p.sx, n, r.fXo);
  safeDiv(p.sy, n, r.fYo);
  safeSqrtDiv(cxx, n - 1, r.fSDX);
  safeSqrtDiv(cyy, n - 1, r.fSDY);
  safeDiv(cxy, std::sqrt(std::fabs(cxx * cyy)), r.fCorrelation);

  // Principal direction of sway and the spread along and across it.
  double theta = 0.5 * AngleOf(2 * cxy, cxx - cyy);
  while (theta < -kPi / 2) theta += kPi;
  while (theta > kPi / 2) theta -= kPi;
  r.fTheta = theta;
  const double ct = std::cos(theta), st = std::sin(theta);
  safeSqrtDiv(ct * ct * cxx + st * st * cyy + 2 * cxy * ct * st, n - 1, r.fSigma1);
  safeSqrtDiv(st * st * cxx + ct * ct * cyy - 2 * cxy * ct * st, n - 1, r.fSigma2);

  // 95 % confidence ellipse and ranges.
  safeSet(2 * kZ95 * r.fSigma1, r.f95MaxSway);
  safeSet(2 * kZ95 * r.fSigma2, r.f95MinSway);
  safeDiv(r.fSigma2, r.fSigma1, r.fMinMaxRatio);
  r.fDirectionality = 1 - r.fMinMaxRatio;
  safeSet(kZ95 * kZ95 * kPi * r.fSigma1 * r.fSigma2, r.f95Area);
  safeSet(2 * kZ95 * r.fSDY, r.f95APSway);
  safeSet(2 * kZ95 * r.fSDX, r.f95MLSway);
  r.fSwayDirection = theta;
  r.fMinSwayDirection = theta + kPi / 2;
  r.fMaxX = maxX;
  r.fMinX = minX;
  r.fMaxY = maxY;
  r.fMinY = minY;
  r.fMidX = (maxX + minX) / 2;
  r.fMidY = (maxY + minY) / 2;
  r.fRangeAP = maxY - minY;
  r.fRangeML = maxX - minX;
  r.fLoSRangeAP = 2 * r.fLoSY;
  r.fLoSRangeML = 2 * r.fLoSX;

  // Stability: how far the sway ellipse reaches towards the limits of stability.
  EllipseRadiusRatio(0, 0, kZ95 * r.fSigma1, kZ95 * r.fSigma2, theta * kDegreesPerRadian, 0, 0, r.fLoSX,
                     r.fLoSY, 0, r.fLoSUsedMax, r.fLoSUsedMin);
  r.fStability = std::clamp(1 - r.fLoSUsedMax, 0.0, 1.0);
  if (std::isnan(r.fStability)) r.fStability = 0;
}

// Validity pass: tilt-corrected Fz and validity of each sample; returns how many are valid.
// Valid when the load reaches the threshold (Fz in single precision at or below the negated
// threshold); a zero Fz has no CoP whatever the threshold.
qint32 validityPass(const float* rawFz, qint32 total, const Conditions& c, Scratch& s) {
  const PlateGeometry& g = c.geometry;
  const double tiltDiv2 = g.tilt2 != 0 ? std::cos(static_cast<double>(g.tilt2)) : 1.0;
  const double tiltDiv1 = g.tilt1 != 0 ? std::cos(static_cast<double>(g.tilt1)) : 1.0;
  double* Fz = s.fz.data();
  unsigned char* valid = s.valid.data();
  qint32 n = 0;
  qint32 k = 0;
  if (g.tilt1 == 0 && g.tilt2 == 0) {
#ifdef __SSE2__
    // Untilted, four samples at a time: Fz is the float itself widened, so the test is the
    // float comparison, exactly as in the scalar loop below (NaN fails the first part and
    // passes the second there too).
    const __m128 thr = _mm_set1_ps(c.thrFz);
    const __m128i one = _mm_set1_epi8(1);
    __m128i counts = _mm_setzero_si128();  // valid samples per lane
    for (; k + 4 <= total; k += 4) {
      const __m128 f = _mm_loadu_ps(rawFz + k);
      const __m128 ok = _mm_and_ps(_mm_cmple_ps(f, thr), _mm_cmpneq_ps(f, _mm_setzero_ps()));
      _mm_storeu_pd(Fz + k, _mm_cvtps_pd(f));
      _mm_storeu_pd(Fz + k + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
      const __m128i ok32 = _mm_castps_si128(ok);  // all ones where valid
      counts = _mm_sub_epi32(counts, ok32);
      const __m128i ok8 = _mm_packs_epi16(_mm_packs_epi32(ok32, ok32), _mm_setzero_si128());
      const int flags = _mm_cvtsi128_si32(_mm_and_si128(ok8, one));  // bytes 1 or 0, lane order
      std::memcpy(valid + k, &flags, sizeof flags);
    }
    alignas(16) qint32 lane[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), counts);
    n = lane[0] + lane[1] + lane[2] + lane[3];
#endif
  }
  const auto run = [&](auto tilted) {
    for (; k < total; ++k) {
      double fz = rawFz[k];
      if constexpr (decltype(tilted)::value) fz = fz / tiltDiv2 / tiltDiv1;
      const bool ok = static_cast<float>(fz) <= c.thrFz && fz != 0;
      Fz[k] = fz;
      valid[k] = ok;
      n += ok;
    }
  };
  if (g.tilt1 != 0 || g.tilt2 != 0)
    run(std::true_type());
  else
    run(std::false_type());
  return n;
}

// Two doubles from two consecutive floats.
inline Pair widenPair(const float* v) {
#ifdef __SSE2__
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i_u*>(v))));
#else
  return Pair{v[0], v[1]};
#endif
}

inline Pair loadPair(const double* v) {
  Pair p;
  std::memcpy(&p, v, sizeof p);
  return p;
}

inline void storePair(double* v, Pair p) { std::memcpy(v, &p, sizeof p); }

// What the position pass gathers.
struct PositionPass {
  PositionSums whole, firstHalf, secondHalf;  // without the centred sums, which come after
  qint32 mid = -1;
  double path = 0;
  qint32 steps = 0;
};

// What the radial pass gathers over the whole range.
struct RadialSums {
  double sd = 0, sadX = 0, sadY = 0;  // Σd, Σ|dx|, Σ|dy|, d the distance from the mean CoP
  double maxD2 = -kExtremeStart, minD2 = kExtremeStart;
  double maxAdX = -kExtremeStart, maxAdY = -kExtremeStart, minAdX = kExtremeStart, minAdY = kExtremeStart;
};

struct CentredSums {
  double cxx = 0, cyy = 0, cxy = 0;
};

namespace lanes {
#define TARN_WIDE_LANES 0
#include "balance/analysis/samplepasses.inc"
#undef TARN_WIDE_LANES
}  // namespace lanes

#if TARN_WIDE_AVAILABLE
#pragma GCC push_options
#pragma GCC target("avx2")
namespace wideLanes {
#define TARN_WIDE_LANES 1
#include "balance/analysis/samplepasses.inc"
#undef TARN_WIDE_LANES
}  // namespace wideLanes
#pragma GCC pop_options
#endif

PositionPass positionPass(const float* rawM1, const float* rawM2, qint32 total, qint32 half,
                          const Conditions& c, Scratch& s) {
  const bool rotated = c.geometry.rotation != 0;
#if TARN_WIDE_AVAILABLE
  if (wideLanesAvailable())
    return rotated ? wideLanes::positionPass<true>(rawM1, rawM2, total, half, c, s)
                   : wideLanes::positionPass<false>(rawM1, rawM2, total, half, c, s);
#endif
  return rotated ? lanes::positionPass<true>(rawM1, rawM2, total, half, c, s)
                 : lanes::positionPass<false>(rawM1, rawM2, total, half, c, s);
}

void radialPass(const Scratch& s, qint32 from, qint32 to, double ox, double oy, RadialSums& whole,
                CentredSums& centred) {
#if TARN_WIDE_AVAILABLE
  if (wideLanesAvailable()) return wideLanes::radialPass(s, from, to, ox, oy, whole, centred);
#endif
  lanes::radialPass(s, from, to, ox, oy, whole, centred);
}

// Radial measures and the path, over the valid samples; cxx + cyy = Σd².
void radialMeasures(const RadialSums& a, const CentredSums& whole, double path, qint32 steps, float fs,
                    AnalysisResult& r) {
  const double n = r.fValidSamples;
  r.fPathLength = std::max(path, 0.0);
  r.fSteps = steps;
  double perStep;
  if (checkedQuotient(r.fPathLength, steps, perStep)) safeSet(perStep * fs, r.fVAve);
  r.fRadialMax = std::sqrt(a.maxD2);
  r.fRadialMin = std::sqrt(a.minD2);
  safeDiv(a.sd, n, r.fRadialAve);
  safeSampleSD(whole.cxx + whole.cyy, a.sd, n, r.fRadialSD);
  r.fAbsDevExtremes[0] = a.maxAdX;
  r.fAbsDevExtremes[1] = a.minAdX;
  r.fAbsDevExtremes[2] = a.maxAdY;
  r.fAbsDevExtremes[3] = a.minAdY;
  safeDiv(a.sadX, n, r.fMeanAbsX);
  safeDiv(a.sadY, n, r.fMeanAbsY);
  // Σ|dx|² is Σdx².
  safeSampleSD(whole.cxx, a.sadX, n, r.fSDAbsX);
  safeSampleSD(whole.cyy, a.sadY, n, r.fSDAbsY);
}

// Velocity of each valid sample from its valid neighbours: central difference inside a run,
// one-sided at its ends; a sample without valid neighbours has none. Returns the sum and
// largest magnitude over the samples from `from` on that have one, and how many do; the earlier
// ones are computed all the same, as the neighbours of the next differences.
qint32 differentiate(const double* px, const double* py, const unsigned char* ok, qint32 m, double* vx,
                     double* vy, unsigned char* vok, qint32 from, double& sumMag, double& maxMag) {
  // Sums and differences in locals, every array element written once: the stores (bytes in
  // particular) might otherwise be taken to change the inputs and force them to be read again.
  qint32 count = 0;
  double sum = 0, largest = 0;
  for (qint32 i = 0; i < m; ++i) {
    const bool prev = i > 0 && ok[i - 1];
    const bool next = i + 1 < m && ok[i + 1];
    double dx, dy;
    if (!ok[i] || !(prev || next)) {
      vok[i] = 0;
      continue;
    }
    if (prev && next) {
      dx = (px[i + 1] - px[i - 1]) / 2;
      dy = (py[i + 1] - py[i - 1]) / 2;
    } else if (prev) {
      dx = px[i] - px[i - 1];
      dy = py[i] - py[i - 1];
    } else {
      dx = px[i + 1] - px[i];
      dy = py[i + 1] - py[i];
    }
    vx[i] = dx;
    vy[i] = dy;
    vok[i] = 1;
    if (i < from) continue;
    const double mag = sqrtOf(dx * dx + dy * dy);
    sum += mag;
    largest = std::max(largest, mag);
    ++count;
  }
  sumMag = sum;
  maxMag = largest;
  return count;
}

// Speeds, accelerations and the p parameter from the filtered, decimated series.
void analyseDynamics(Scratch& s, qint32 total, const Conditions& c, AnalysisResult& r) {
  const LowPass& filter = lowPassFor(c.fs, kFilterCutoffHz);
  const int n = DecimationFactor(c.fs, kFilterCutoffHz);
  const qint32 m = total / filter.n;
  for (auto* v : {&s.lfz, &s.lm1, &s.lm2, &s.lx, &s.ly, &s.vx, &s.vy}) v->resize(m);
  s.lvalid.resize(m);
  s.vvalid.resize(m);

  // Low-pass all three channels with the same filter, then decimate.
  const double* in[3] = {s.fz.data(), s.m1.data(), s.m2.data()};
  double* out[3] = {s.lfz.data(), s.lm1.data(), s.lm2.data()};
  runLowPass<3>(filter, in, out, total);

  // Validity and CoP again, on the filtered samples.
  for (qint32 i = 0; i < m; ++i) {
    double x = 0, y = 0;
    s.lvalid[i] = copOf(s.lfz[i], s.lm1[i], s.lm2[i], c, x, y);
    if (s.lvalid[i]) {
      s.lx[i] = x;
      s.ly[i] = y;
    } else {
      s.lx[i] = i > 0 ? s.lx[i - 1] : 0;
      s.ly[i] = i > 0 ? s.ly[i - 1] : 0;
    }
  }

  // The measures count the decimated samples from the first one at which the filter's start has
  // faded to a thousandth (about seven time constants of its slowest pole, 0.15 to 0.2 s), so
  // no speed or acceleration of the start reaches them. The samples before still serve as
  // neighbours of the first differences counted, so those are central differences too.
  const qint32 from = std::min<qint32>(m, (filter.settle + filter.n - 1) / filter.n);
  double sumV, maxV, sumA, maxA;
  const qint32 nv = differentiate(s.lx.data(), s.ly.data(), s.lvalid.data(), m, s.vx.data(), s.vy.data(),
                                  s.vvalid.data(), from, sumV, maxV);
  // Accelerations reuse the CoP arrays: the positions are not needed any more.
  const qint32 na = differentiate(s.vx.data(), s.vy.data(), s.vvalid.data(), m, s.lx.data(), s.ly.data(),
                                  s.lvalid.data(), from, sumA, maxA);

  // Per decimated step to per second; an undecimated series keeps its own rate.
  const double rate = n > 1 ? static_cast<double>(c.fs) / n : c.fs;
  double vMean = 0, aMean = 0;
  const bool haveV = nv > 0 && checkedQuotient(sumV, nv, vMean);
  const bool haveA = na > 0 && checkedQuotient(sumA, na, aMean);
  if (haveV) safeSet(maxV * rate, r.fVMax);
  if (haveA) {
    safeSet(maxA * rate * rate, r.fAMax);
    safeSet(aMean * rate * rate, r.fAAve);
  }
  // p = ā · mean radius / v̄², all per decimated step, so it has no unit.
  if (haveV && haveA) safeDiv(aMean * r.fRadialAve, vMean * vMean, r.fParP);
}

void analyse(qint32 first, qint32 last, float thrFz, const KMX_PlateTestData& data, const PlateGeometry& g,
             qint32 stance, double losX, double losY, const StanceFactors& factors, AnalysisResult& r,
             bool withHalves, bool withDynamics) {
  ProcLog log(kModule, "AnalyseBalanceTest",
              QStringLiteral("first %1, last %2, stance %3").arg(first).arg(last).arg(stance));
  const qint32 count = data.Count();
  if (first < 1) first = 0;
  if (last < 1 || last > count - 1) last = count - 1;
  if (first > last) first = last;
  if (first == last) {
    log.step(QStringLiteral("One sample or none: nothing to analyse"));
    log.completed();
    return;
  }

  Conditions c;
  c.thrFz = thrFz;
  c.geometry = g;
  c.cosPhi = std::cos(static_cast<double>(g.rotation));
  c.sinPhi = std::sin(static_cast<double>(g.rotation));
  c.stance = stance;
  StanceLimits(stance, losX, losY, factors, c.fLoSX, c.fLoSY);
  c.fs = data.Frequency();
  c.date = data.DateTime();
  writeHeader(first, last, c, r);

  // Read the samples once, from the channel arrays themselves when the data has them.
  Scratch& s = scratch();
  const qint32 total = last - first + 1;
  for (auto* v : {&s.fz, &s.m1, &s.m2}) v->resize(total);
  s.x.resize(total);
  s.y.resize(total);
  s.valid.resize(total);
  const float* raw[3];
  if (const auto* buffer = dynamic_cast<const PlateTestDataBuffer*>(&data)) {
    for (int ch = 0; ch < 3; ++ch) raw[ch] = buffer->channel(ch) + first;
  } else {
    for (int ch = 0; ch < 3; ++ch) {
      s.raw[ch].resize(total);
      for (qint32 k = 0; k < total; ++k) s.raw[ch][k] = data.Sample(ch, first + k);
      raw[ch] = s.raw[ch].data();
    }
  }
  // Validity first: the count of valid samples sets the middle sample, so the position pass
  // can end the first half's sums on its way.
  const qint32 n = validityPass(raw[0], total, c, s);
  const auto half = static_cast<qint32>(roundHalfEven(n / 2.0));
  PositionPass pos = positionPass(raw[1], raw[2], total, half, c, s);
  if (!weightMeasures(pos.whole, r)) {
    log.step(QStringLiteral("Fewer than %1 weight samples: no measures").arg(kMinWeightSamples));
    log.completed();
    return;
  }
  r.fMidIndex = first + pos.mid;

  // Distances from the mean CoP, over each half in turn so that each half's centred sums come
  // out on the way; the whole range's are their total.
  const qint32 mid = pos.mid;
  double ox = 0, oy = 0;
  safeDiv(pos.whole.sx, pos.whole.n, ox);
  safeDiv(pos.whole.sy, pos.whole.n, oy);
  RadialSums radial;
  CentredSums about[2];  // each half's, about the mean CoP of the whole range
  radialPass(s, 0, mid + 1, ox, oy, radial, about[0]);
  radialPass(s, mid + 1, total, ox, oy, radial, about[1]);
  const CentredSums whole = {about[0].cxx + about[1].cxx, about[0].cyy + about[1].cyy,
                             about[0].cxy + about[1].cxy};
  pos.whole.cxx = whole.cxx;
  pos.whole.cyy = whole.cyy;
  pos.whole.cxy = whole.cxy;
  positionMeasures(pos.whole, r);
  radialMeasures(radial, whole, pos.path, pos.steps, c.fs, r);

  // Halves: both are analysed like a test of their own (without halves or dynamics),
  // first..mid and mid + 1..last. Only their ellipse area and LoS use are wanted, which need
  // only their position sums and whether their weight is enough; a half of one sample
  // computes nothing. A half's centred sums follow from those about the whole range's mean:
  // with e = Σ(x − x̄) over the half's n samples, Σ(x − x̄ₕ)² = Σ(x − x̄)² − e²/n.
  if (withHalves) {
    AnalysisResult h[2];
    const qint32 from[2] = {0, mid + 1};
    const qint32 to[2] = {mid, total - 1};
    PositionSums* sums[2] = {&pos.firstHalf, &pos.secondHalf};
    for (int part = 0; part < 2; ++part) {
      PositionSums& p = *sums[part];
      if (from[part] >= to[part] || p.n == 0) continue;
      const double ex = p.sx - p.n * ox, ey = p.sy - p.n * oy;
      p.cxx = about[part].cxx - ex * ex / p.n;
      p.cyy = about[part].cyy - ey * ey / p.n;
      p.cxy = about[part].cxy - ex * ey / p.n;
      writeHeader(first + from[part], first + to[part], c, h[part]);
      if (weightMeasures(p, h[part])) positionMeasures(p, h[part]);
    }
    safeDiv(h[1].f95Area - h[0].f95Area, h[0].f95Area, r.fAreaChange);
    safeDiv(h[1].fLoSUsedMax - h[0].fLoSUsedMax, h[0].fLoSUsedMax, r.fFatigue);
  }

  if (withDynamics) {
    if (c.fs > 0)
      analyseDynamics(s, total, c, r);
    else
      log.step(QStringLiteral("No sampling frequency: no dynamics"));
  }
  log.completed();
}

}  // namespace

StanceFactors ReadStanceFactors() {
  return {settings::read(settings::LoSXOneFoot), settings::read(settings::LoSYTwoFeet)};
}

void StanceLimits(qint32 stance, double losX, double losY, const StanceFactors& k, double& fLoSX,
                  double& fLoSY) {
  const double kx = k.kX / 1000.0, ky = k.kY / 1000.0;
  fLoSX = losX;
  fLoSY = losY;
  switch (stance) {
    case StanceFeetTogether:  // two feet side by side, no gap
      fLoSX = 2 * losX * kx;
      break;
    case StanceHeelToToeRFront:
    case StanceHeelToToeLFront:
    case StanceHeelToToeDominantFront:
    case StanceHeelToToeDominantBack:  // one foot wide, two feet long
      fLoSX = losX * kx;
      fLoSY = losY * ky;
      break;
    case StanceSingleLegR:
    case StanceSingleLegL:
    case StanceSingleLegDominant:
    case StanceSingleLegNonDominant:
      fLoSX = losX * kx;
      break;
    default:
      break;
  }
}

void AnalyseBalanceTest(qint32 first, qint32 last, float thrFz, const KMX_BalancePlate& plate, qint32 stance,
                        double losX, double losY, const StanceFactors& factors, AnalysisResult& result,
                        bool withHalves, bool withDynamics) {
  const auto data = plate.TestData();
  if (!data) {
    ProcLog log(kModule, "AnalyseBalanceTest");
    log.error(QStringLiteral("The plate holds no test data"));
    return;
  }
  const PlateGeometry g{plate.RotationAngle(), plate.TiltAngle1(), plate.TiltAngle2()};
  analyse(first, last, thrFz, *data, g, stance, losX, losY, factors, result, withHalves, withDynamics);
}

void AnalyseBalanceTest(qint32 first, qint32 last, float thrFz, const KMX_PlateTestData& data,
                        const PlateGeometry& geometry, qint32 stance, double losX, double losY,
                        const StanceFactors& factors, AnalysisResult& result, bool withHalves,
                        bool withDynamics) {
  analyse(first, last, thrFz, data, geometry, stance, losX, losY, factors, result, withHalves, withDynamics);
}

void EllipseRadiusRatio(double x1, double y1, double a1, double b1, double angleDeg1, double x2, double y2,
                        double a2, double b2, double angleDeg2, double& maxRatio, double& minRatio) {
  const double al1 = angleDeg1 * kPi / 180, al2 = angleDeg2 * kPi / 180;
  const double delta = 2 * kPi / kEllipseDirections;
  // Squared radii are compared; the square root is taken once at the end.
  double maxSq = -1, minSq = std::numeric_limits<double>::infinity();
  const auto compare = [&](double r1sq, double r2sq) {
    if (r2sq <= 0) r2sq = kZeroRadiusSq;
    const double q = r1sq / r2sq;
    maxSq = std::max(maxSq, q);
    minSq = std::min(minSq, q);
  };

  if (x1 == 0 && y1 == 0 && x2 == 0 && y2 == 0) {
    // Both centred, as the analysis uses it. The point of direction t is R(α)·(a·cos u, b·sin u)
    // with u = t·Δ − α; the rotation keeps its length, so
    //   r² = a²·cos²u + b²·sin²u = (a² + b²)/2 + (a² − b²)/2 · cos 2u,
    //   cos 2u = cos 2tΔ · cos 2α + sin 2tΔ · sin 2α.
    // Directions t and t + 1800 then give the same radii, so half the turn is enough.
    const DoubleAngles& da = doubleAngles();
    const double p1 = (a1 * a1 + b1 * b1) / 2, q1 = (a1 * a1 - b1 * b1) / 2;
    const double p2 = (a2 * a2 + b2 * b2) / 2, q2 = (a2 * a2 - b2 * b2) / 2;
    const double c1 = q1 * std::cos(2 * al1), s1 = q1 * std::sin(2 * al1);
    const double c2 = q2 * std::cos(2 * al2), s2 = q2 * std::sin(2 * al2);
    // Two directions at a time, t in one lane and t + 1 in the other; each lane computes what
    // compare() would, and the largest and smallest ratio do not depend on the order seen.
    const Pair P1 = {p1, p1}, C1 = {c1, c1}, S1 = {s1, s1};
    const Pair P2 = {p2, p2}, C2 = {c2, c2}, S2 = {s2, s2};
    Pair maxQ = {maxSq, maxSq}, minQ = {minSq, minSq};
    for (int t = 0; t < kEllipseDirections / 2; t += 2) {
      const Pair cos2 = {da.cos2[t], da.cos2[t + 1]}, sin2 = {da.sin2[t], da.sin2[t + 1]};
      const Pair r1sq = maxPair(P1 + C1 * cos2 + S1 * sin2, Pair{0, 0});  // never below 0 by rounding
      const Pair r2sq = P2 + C2 * cos2 + S2 * sin2;
      const Pair q = r1sq / floorZeroRadius(r2sq);
      maxQ = maxPair(maxQ, q);
      minQ = minPair(minQ, q);
    }
    maxSq = std::max(maxQ[0], maxQ[1]);
    minSq = std::min(minQ[0], minQ[1]);
  } else {
    // Anywhere: walk the directions, turning (cos u, sin u) by Δ each time.
    const double ca1 = std::cos(al1), sa1 = std::sin(al1), ca2 = std::cos(al2), sa2 = std::sin(al2);
    const double cd = std::cos(delta), sd = std::sin(delta);
    double cu1 = ca1, su1 = -sa1, cu2 = ca2, su2 = -sa2;  // u = −α at t = 0
    for (int t = 0; t < kEllipseDirections; ++t) {
      const double ex1 = a1 * cu1, ey1 = b1 * su1;  // point of the ellipse before its rotation
      const double px1 = x1 + ca1 * ex1 - sa1 * ey1, py1 = y1 + sa1 * ex1 + ca1 * ey1;
      const double ex2 = a2 * cu2, ey2 = b2 * su2;
      const double px2 = x2 + ca2 * ex2 - sa2 * ey2, py2 = y2 + sa2 * ex2 + ca2 * ey2;
      compare(px1 * px1 + py1 * py1, px2 * px2 + py2 * py2);
      const double n1 = cu1 * cd - su1 * sd, n2 = cu2 * cd - su2 * sd;
      su1 = su1 * cd + cu1 * sd;
      cu1 = n1;
      su2 = su2 * cd + cu2 * sd;
      cu2 = n2;
    }
  }
  maxRatio = maxSq >= 0 ? std::sqrt(maxSq) : -kExtremeStart;
  minRatio = std::isfinite(minSq) ? std::sqrt(minSq) : kExtremeStart;
}

void AllowWideVectors(bool allowed) { g_wideAllowed.store(allowed, std::memory_order_relaxed); }

int DecimationFactor(float fs, float fc) {
  // (factor, divisor): the first with fs·factor / divisor ≤ fc sets n.
  struct Rung {
    int factor, divisor, n;
  };
  static constexpr Rung kLadder[] = {{45, 100, 0},   {45, 200, 0},    {46, 400, 2},
                                     {46, 800, 4},   {46, 1600, 8},   {46, 3200, 16},
                                     {46, 6400, 32}, {46, 12800, 64}, {46, 25600, 128}};
  for (const Rung& rung : kLadder)
    if (static_cast<double>(fs) * rung.factor / rung.divisor <= fc) return rung.n;
  return 256;
}

int LowPassFilter(std::span<const double> in, std::vector<double>& out, float fs, float fc) {
  const LowPass& filter = lowPassFor(fs, fc);
  const auto count = static_cast<qint32>(in.size());
  out.resize(count / filter.n);
  const double* src[1] = {in.data()};
  double* dst[1] = {out.data()};
  runLowPass<1>(filter, src, dst, count);
  return DecimationFactor(fs, fc);
}

double AngleOf(double y, double x) {
  constexpr double tiny = 1e-7;
  if (std::fabs(x) < tiny) {
    if (std::fabs(y) < tiny) return 0;
    return y > 0 ? kPi / 2 : -kPi / 2;
  }
  return std::atan2(y, x);
}

std::optional<LimitsOfStability> BaseLimitsOfStability(double heightM, double stanceWidthM) {
  if (!(heightM >= 0.5 && heightM <= 2.6) || !(stanceWidthM >= 0 && stanceWidthM <= 1.5)) {
    ProcLog log(kModule, "BaseLimitsOfStability");
    log.error(QStringLiteral("Height %1 m or stance width %2 m out of range").arg(heightM).arg(stanceWidthM));
    return std::nullopt;
  }
  constexpr double kFootLength = 0.152, kFootBreadth = 0.055, kHipBreadth = 0.191;  // × height
  constexpr double kUsableHalf = 0.30;  // 60 % of the base of support, centred
  const double footLength = kFootLength * heightM;
  const double width = stanceWidthM > 0 ? stanceWidthM : (kHipBreadth + kFootBreadth) * heightM;
  return LimitsOfStability{kUsableHalf * width, kUsableHalf * footLength};
}

}  // namespace tarn
