#pragma once
// Centre-of-pressure sway measures of one static balance test.
//
// Units are SI throughout: metres, newtons, seconds, radians. A loaded plate reports negative
// Fz, so the force threshold arrives negated (−10 N for the usual 10 N). The routines keep no
// state between calls and may run on several threads at once.
#include <QtGlobal>

#include <optional>
#include <span>
#include <vector>

namespace tarn {

class KMX_PlateTestData;
class KMX_BalancePlate;

struct AnalysisResult {
  double dtDate = 0;         // acquisition start, day count from 1899-12-30
  qint32 lTotalSamples = 0;  // last − first + 1
  double fFrequency = 0;     // fs, Hz
  double fDuration = 0;      // lTotalSamples / fs
  qint32 lStance = 0;
  double fThreshold = 0;  // thrFz as passed (negative)
  double fRotation = 0, fTilt1 = 0, fTilt2 = 0;
  double fLoSX = 0, fLoSY = 0;  // limits of stability after the stance rule (half-widths)
  qint32 lValidSamples = 0;
  qint32 lWeightSamples = 0;
  double fWeight = 0;  // mean Fz of the weight samples (negative); 0 when too few
  double fWeightSD = 0;
  double fValidSamples = 0;
  double fSteps = 0;
  double fMidIndex = 0;  // sample index at which the valid count reaches half of it
  double fPathLength = 0;
  double fVAve = 0;
  double fVMax = 0;
  double fLoSRangeAP = 0, fLoSRangeML = 0;
  double fMaxX = 0, fMaxY = 0, fMinX = 0, fMinY = 0;
  double fXo = 0, fYo = 0;
  double fSDX = 0, fSDY = 0;
  double fMidX = 0, fMidY = 0;
  double fRangeAP = 0, fRangeML = 0;
  double fCorrelation = 0;
  double fTheta = 0;  // principal sway direction in [−π/2, π/2]; 0 = ML, π/2 = AP
  double fSigma1 = 0, fSigma2 = 0;
  double fRadialMin = 0, fRadialMax = 0;
  double fRadialAve = 0, fRadialSD = 0;
  // max abs(X − fXo), min abs(X − fXo), max abs(Y − fYo), min abs(Y − fYo)
  double fAbsDevExtremes[4] = {0, 0, 0, 0};
  double fMeanAbsX = 0, fMeanAbsY = 0, fSDAbsX = 0, fSDAbsY = 0;
  double fLoSUsedMax = 0, fLoSUsedMin = 0;
  double fStability = 0;  // 0..1
  double fSwayDirection = 0;
  double fMinSwayDirection = 0;
  double f95MaxSway = 0, f95MinSway = 0;
  double fMinMaxRatio = 0;
  double fDirectionality = 0;
  double f95Area = 0;
  double f95APSway = 0, f95MLSway = 0;
  double fAreaChange = 0;
  double fFatigue = 0;
  double fAAve = 0, fAMax = 0;
  double fParP = 0;
};

// The plate's mounting angles (radians) as the analysis uses them.
struct PlateGeometry {
  float rotation = 0;
  float tilt1 = 0;
  float tilt2 = 0;
};

// Stances, numbered as in the stance list of the test window.
enum KM_RQStance : qint32 {
  StanceNormal = 1,
  StanceFeetShoulderWidth = 2,
  StanceFeetTogether = 3,
  StanceHeelsTogetherToesApart = 4,
  StanceHeelToToeRFront = 5,
  StanceHeelToToeLFront = 6,
  StanceHeelToToeDominantFront = 7,
  StanceHeelToToeDominantBack = 8,
  StanceSingleLegR = 9,
  StanceSingleLegL = 10,
  StanceSingleLegDominant = 11,
  StanceSingleLegNonDominant = 12,
  StanceOther = 13,
};

// Per-mille factors of the stance rule: the ML width of one foot relative to a two-foot
// stance, and the AP length of two feet in line relative to one foot. The defaults are the
// factory settings.
struct StanceFactors {
  qint32 kX = 280;
  qint32 kY = 2000;
};
// "LoS X One Foot" and "LoS Y Two Feet" as stored now. Callers read them once and hand them to
// the analysis, which never reads the settings store itself (it runs on worker threads).
StanceFactors ReadStanceFactors();

// Limits of stability for a stance from the base half-widths. Codes outside 1..13 keep the
// base values, like the two-foot stances.
void StanceLimits(qint32 stance, double losX, double losY, const StanceFactors& k, double& fLoSX,
                  double& fLoSY);

// The whole analysis. first/last: sample range (first < 1 means 0; last < 1 or past the end
// means the last sample); thrFz: negated force threshold (N); losX, losY: base ML and AP
// half-widths of the limits of stability (m), which the stance factors widen or narrow by the
// stance. Fields whose formula would divide by zero or overflow keep their previous value.
void AnalyseBalanceTest(qint32 first, qint32 last, float thrFz, const KMX_BalancePlate& plate, qint32 stance,
                        double losX, double losY, const StanceFactors& factors, AnalysisResult& result,
                        bool withHalves, bool withDynamics);
// The same on stored test data and the plate angles it was recorded with.
void AnalyseBalanceTest(qint32 first, qint32 last, float thrFz, const KMX_PlateTestData& data,
                        const PlateGeometry& geometry, qint32 stance, double losX, double losY,
                        const StanceFactors& factors, AnalysisResult& result, bool withHalves,
                        bool withDynamics);

// Largest and smallest ratio of the radius of ellipse 1 to that of ellipse 2 over 3600
// directions. Each ellipse: centre (x, y), semi-axes a (along its angle) and b, angle in degrees.
void EllipseRadiusRatio(double x1, double y1, double a1, double b1, double angleDeg1, double x2, double y2,
                        double a2, double b2, double angleDeg2, double& maxRatio, double& minRatio);

// 20 Hz-style low-pass and decimation: picks the decimation factor n for fs from the fixed
// ladder (0 = none), filters the series with a Butterworth low-pass at fc designed for fs, and
// leaves every n-th filtered sample (from the first; count / n of them) in out. Returns n.
int LowPassFilter(std::span<const double> in, std::vector<double>& out, float fs, float fc);
// Only the decimation factor of the ladder.
int DecimationFactor(float fs, float fc);
// Whether the analysis and the low-pass may use 256-bit vector instructions where the
// processor has them (they may unless told otherwise). Either way the results are the same to
// the last bit; the switch lets that be checked on a processor that has them.
void AllowWideVectors(bool allowed);

// Two-argument arctangent that reads tiny components as zero: 0 when both abs(x) and abs(y)
// are below 1e−7, ±π/2 by the sign of y when only abs(x) is.
double AngleOf(double y, double x);

// Base limits of stability of a subject standing with both feet on the plate.
struct LimitsOfStability {
  double x = 0;  // ML half-width, m
  double y = 0;  // AP half-width, m
};
// From the subject's height (m) and, when known, the distance between the outer edges of the
// feet (m; 0 = feet hip-width apart). The rule:
//  - foot length ≈ 0.152 × height, foot breadth ≈ 0.055 × height and hip breadth ≈ 0.191 ×
//    height (segment proportions of adult anthropometry);
//  - the CoP can be held over about 60 % of the base of support: it cannot stay at the heel,
//    toe or outer edges without losing balance;
//  - AP: 60 % of the foot length, centred, so y = 0.30 × foot length;
//  - ML: 60 % of the stance width (hip breadth plus one foot breadth when the feet are
//    hip-width apart), so x = 0.30 × stance width.
// For 1.75 m: y ≈ 0.080 m, x ≈ 0.129 m. The one-foot and heel-to-toe stances follow from these
// through the stance rule (one foot's usable half-width, ≈ 0.017 × height, is about a quarter of
// the two-foot one, close to the default kX of 280 ‰).
// nullopt for a height outside 0.5..2.6 m or a negative or absurd stance width.
std::optional<LimitsOfStability> BaseLimitsOfStability(double heightM, double stanceWidthM = 0);

}  // namespace tarn
