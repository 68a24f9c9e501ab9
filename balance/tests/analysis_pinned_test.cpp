// Every measure of five fixed ranges of recordings, pinned to the values the straightforward
// sample-by-sample analysis produced. The fast paths (fused passes, two samples at a time,
// interleaved filter channels) must give the same numbers up to rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>
#include <utility>
#include <vector>

#include "balance/analysis/analysis.h"
#include "balance/plate/plate.h"

namespace tarn {
namespace {

using Fields = std::vector<std::pair<const char*, double>>;

Fields fieldsOf(const AnalysisResult& r) {
  return {{"dtDate", r.dtDate},
          {"lTotalSamples", r.lTotalSamples},
          {"fFrequency", r.fFrequency},
          {"fDuration", r.fDuration},
          {"lStance", r.lStance},
          {"fThreshold", r.fThreshold},
          {"fRotation", r.fRotation},
          {"fTilt1", r.fTilt1},
          {"fTilt2", r.fTilt2},
          {"fLoSX", r.fLoSX},
          {"fLoSY", r.fLoSY},
          {"lValidSamples", r.lValidSamples},
          {"lWeightSamples", r.lWeightSamples},
          {"fWeight", r.fWeight},
          {"fWeightSD", r.fWeightSD},
          {"fValidSamples", r.fValidSamples},
          {"fSteps", r.fSteps},
          {"fMidIndex", r.fMidIndex},
          {"fPathLength", r.fPathLength},
          {"fVAve", r.fVAve},
          {"fVMax", r.fVMax},
          {"fLoSRangeAP", r.fLoSRangeAP},
          {"fLoSRangeML", r.fLoSRangeML},
          {"fMaxX", r.fMaxX},
          {"fMaxY", r.fMaxY},
          {"fMinX", r.fMinX},
          {"fMinY", r.fMinY},
          {"fXo", r.fXo},
          {"fYo", r.fYo},
          {"fSDX", r.fSDX},
          {"fSDY", r.fSDY},
          {"fMidX", r.fMidX},
          {"fMidY", r.fMidY},
          {"fRangeAP", r.fRangeAP},
          {"fRangeML", r.fRangeML},
          {"fCorrelation", r.fCorrelation},
          {"fTheta", r.fTheta},
          {"fSigma1", r.fSigma1},
          {"fSigma2", r.fSigma2},
          {"fRadialMin", r.fRadialMin},
          {"fRadialMax", r.fRadialMax},
          {"fRadialAve", r.fRadialAve},
          {"fRadialSD", r.fRadialSD},
          {"fAbsDevExtremes[0]", r.fAbsDevExtremes[0]},
          {"fAbsDevExtremes[1]", r.fAbsDevExtremes[1]},
          {"fAbsDevExtremes[2]", r.fAbsDevExtremes[2]},
          {"fAbsDevExtremes[3]", r.fAbsDevExtremes[3]},
          {"fMeanAbsX", r.fMeanAbsX},
          {"fMeanAbsY", r.fMeanAbsY},
          {"fSDAbsX", r.fSDAbsX},
          {"fSDAbsY", r.fSDAbsY},
          {"fLoSUsedMax", r.fLoSUsedMax},
          {"fLoSUsedMin", r.fLoSUsedMin},
          {"fStability", r.fStability},
          {"fSwayDirection", r.fSwayDirection},
          {"fMinSwayDirection", r.fMinSwayDirection},
          {"f95MaxSway", r.f95MaxSway},
          {"f95MinSway", r.f95MinSway},
          {"fMinMaxRatio", r.fMinMaxRatio},
          {"fDirectionality", r.fDirectionality},
          {"f95Area", r.f95Area},
          {"f95APSway", r.f95APSway},
          {"f95MLSway", r.f95MLSway},
          {"fAreaChange", r.fAreaChange},
          {"fFatigue", r.fFatigue},
          {"fAAve", r.fAAve},
          {"fAMax", r.fAMax},
          {"fParP", r.fParP}};
}

// Noise in [−1, 1) from a fixed 64-bit generator, so the recording is the same on every
// library (the standard distributions are not).
struct Noise {
  std::uint64_t state;
  double operator()() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 4503599627370496.0 - 1;  // 53 bits over 2^52
  }
};

// Quiet standing under about 715 N with plate noise, a jolt the weight must leave out, a
// stretch of too little load and one sample of no load at all (both invalid).
PlateTestDataBuffer recording(float fs, double seconds) {
  constexpr double kTwoPi = 2 * std::numbers::pi;
  PlateTestDataBuffer d(fs, 45123.25);
  Noise noise{42};
  const int n = static_cast<int>(std::lround(fs * seconds));
  for (int i = 0; i < n; ++i) {
    const double t = i / static_cast<double>(fs);
    const double x = 0.004 + 0.003 * std::sin(kTwoPi * 0.31 * t + 0.4) +
                     0.0015 * std::sin(kTwoPi * 0.87 * t + 1.1) + 0.0002 * noise();
    const double y = -0.008 + 0.005 * std::sin(kTwoPi * 0.23 * t + 2.0) +
                     0.002 * std::sin(kTwoPi * 0.61 * t) + 0.0002 * noise();
    double fz = -715 + 1.5 * noise();
    if (t >= 6.0 && t < 6.1) fz = -820;  // a jolt: valid, but no weight sample
    if (t >= 12.0 && t < 12.05) fz = -4;
    if (i == n * 3 / 4) fz = 0;
    d.append(static_cast<float>(fz), static_cast<float>(y * fz), static_cast<float>(-x * fz));
  }
  return d;
}

struct Case {
  const char* name;
  float fs;
  qint32 first, last;
  PlateGeometry geometry;
  qint32 stance;
};

const Case kCases[] = {
    {"990 Hz, whole test", 990, 0, -1, {}, StanceNormal},
    {"990 Hz, rotated and tilted plate, part of the test",
     990,
     500,
     19000,
     {0.15f, 0.02f, -0.03f},
     StanceFeetTogether},
    {"100 Hz, whole test", 100, 0, -1, {}, StanceSingleLegL},
    // Odd first samples: the gaps and the end of the first half fall on the other sample of a
    // pair than above.
    {"990 Hz, odd start and end", 990, 501, 19302, {}, StanceNormal},
    {"100 Hz, odd start, rotated plate", 100, 3, -1, {0.3f, 0, 0}, StanceNormal},
};

AnalysisResult analyseCase(const Case& c) {
  const PlateTestDataBuffer data = recording(c.fs, 20);
  AnalysisResult r;
  AnalyseBalanceTest(c.first, c.last, -10, data, c.geometry, c.stance, 0.12, 0.08, r, true, true);
  return r;
}

// The values the sample-by-sample analysis gave, in the order of fieldsOf, one row per case;
// fWeightSD is the exact standard deviation of the weight samples, worked out in rational
// arithmetic (the sample-by-sample analysis lost its last eight digits to ΣFz² − (ΣFz)²/w).
const double kExpected[][68] = {
    // 990 Hz, whole test
    {45123.25,
     19800,
     990,
     20,
     1,
     -10,
     0,
     0,
     0,
     0.12,
     0.080000000000000002,
     19749,
     19650,
     -714.99199281182905,
     0.8662932617679632,
     19749,
     19746,
     9873,
     4.0273852638993057,
     0.20191995397854312,
     0.020566699303834021,
     0.16,
     0.23999999999999999,
     0.0086617871909725214,
     -0.00098125678944316298,
     -0.00068268998826724343,
     -0.015195433589158668,
     0.004104246354710764,
     -0.0082160278148377848,
     0.0023929600525552717,
     0.0038593509552344654,
     0.0039895486013526386,
     -0.0080883451893009155,
     0.014214176799715504,
     0.0093444771792397657,
     0.1532678413599593,
     1.4210530370681884,
     0.0038869198033491805,
     0.0023479144045570458,
     0.00012338334574556669,
     0.0084980598271052945,
     0.0042164208973788165,
     0.0016857467696806167,
     0.0047869363429780074,
     9.9670502047913279e-08,
     0.0072347710253946214,
     2.3424022882814755e-08,
     0.0020782174889503479,
     0.0033696269160293254,
     0.0011861918802055719,
     0.0018813902515474074,
     0.094781374089862147,
     0.038530598024344588,
     0.9052186259101378,
     1.4210530370681884,
     2.9918493638630848,
     0.015236725629128787,
     0.0092038244658636196,
     0.60405527341571486,
     0.39594472658428514,
     0.00011014121317932853,
     0.015128655744519104,
     0.0093804034060166654,
     0.062046014906662748,
     0.017210744243212034,
     0.081183397075667019,
     0.23676338654408988,
     3.7336419642633505},
    // 990 Hz, rotated and tilted plate, part of the test
    {45123.25,
     18501,
     990,
     18.687878787878788,
     3,
     -10,
     0.15000000596046448,
     0.019999999552965164,
     -0.029999999329447746,
     0.06720000000000001,
     0.080000000000000002,
     18450,
     18351,
     -715.4567141934283,
     0.8675421395866272,
     18450,
     18447,
     9724,
     3.7649397009069761,
     0.20205400899321874,
     0.021137115913199001,
     0.16,
     0.13440000000000002,
     0.0078997969729940453,
     -0.00096065412444524092,
     -0.0016899224535536464,
     -0.015481660987818856,
     0.0026548796358637737,
     -0.008652668276210947,
     0.002483328677255499,
     0.003682661354498237,
     0.0031049372597201997,
     -0.0082211575561320482,
     0.014521006863373615,
     0.0095897194265476913,
     0.30047264964560472,
     1.2512383952564814,
     0.0038041124661267489,
     0.0022929553672615204,
     0.00012411669095659702,
     0.0083512199973949201,
     0.0041142709961791467,
     0.0016735509035125196,
     0.0052449173371302716,
     2.8566556552244229e-07,
     0.0076920141517657064,
     1.5151936993626491e-07,
     0.0021946513826882866,
     0.003207076858596304,
     0.0011619662460548928,
     0.0018099986667516625,
     0.095565005518015889,
     0.065223323474068631,
     0.90443499448198406,
     1.2512383952564814,
     2.8220347220513782,
     0.014912120867216855,
     0.0089883850396651598,
     0.60275698672919353,
     0.39724301327080647,
     0.00010527153721136619,
     0.014436032509633089,
     0.0097346484148415555,
     -0.0018557811138127046,
     0.041412092732657911,
     0.081166142854582068,
     0.29210321454064014,
     3.6848813548419384},
    // 100 Hz, whole test
    {45123.25,
     2000,
     100,
     20,
     10,
     -10,
     0,
     0,
     0,
     0.033600000000000005,
     0.080000000000000002,
     1994,
     1984,
     -714.99816168508221,
     0.8525539042897978,
     1994,
     1991,
     996,
     0.44408133315944526,
     0.022304436622774749,
     0.02483396563883699,
     0.16,
     0.06720000000000001,
     0.0086658435111707684,
     -0.00098107931162933512,
     -0.00069006226634593486,
     -0.015149521744177155,
     0.0041054676753428119,
     -0.0082122576695778417,
     0.0023956589387033678,
     0.0038588459051614437,
     0.0039878906224124168,
     -0.0080653005279032446,
     0.01416844243254782,
     0.0093559057775167032,
     0.15370235271425178,
     1.420252865190369,
     0.003886673304334514,
     0.0023502434120201265,
     0.00019693080348451249,
     0.0083593914607846594,
     0.004216997751600309,
     0.0016846010413964492,
     0.0047955299416887467,
     2.4266505325391124e-07,
     0.0072311783579485063,
     5.4859677573338567e-06,
     0.002078150525327181,
     0.0033697961443790326,
     0.0011909261965301697,
     0.0018786878293413083,
     0.14108554844781127,
     0.092531752178502027,
     0.85891445155218871,
     1.420252865190369,
     2.9910491919852653,
     0.015235759352991294,
     0.0092129541751188957,
     0.60469281259093144,
     0.39530718740906856,
     0.00011024347564655988,
     0.015126675948232859,
     0.0093909830397172021,
     0.060436414992275707,
     0.037692319415713535,
     0.15859821129506263,
     0.50184398867067481,
     6.5552454171947172},
    // 990 Hz, odd start and end
    {45123.25,
     18802,
     990,
     18.991919191919191,
     1,
     -10,
     0,
     0,
     0,
     0.12,
     0.080000000000000002,
     18751,
     18652,
     -714.99171534470167,
     0.8673608846975496,
     18751,
     18748,
     9876,
     3.8227747050317342,
     0.20186403658957847,
     0.02125271340274637,
     0.16,
     0.23999999999999999,
     0.0086617871909725214,
     -0.00098125678944316298,
     -0.00068268998826724343,
     -0.015195433589158668,
     0.003940220849555553,
     -0.0082700332670206309,
     0.0023415722263745789,
     0.0038318250654529014,
     0.0039895486013526386,
     -0.0080883451893009155,
     0.014214176799715504,
     0.0093444771792397657,
     0.15463986070296598,
     1.4243186623031892,
     0.0038584437288773478,
     0.002297445497644943,
     0.0002248602424675718,
     0.0084572480315898667,
     0.0041584317723117733,
     0.0016948058145405032,
     0.0047215663414169684,
     1.5972719840350036e-08,
     0.0072887764775774674,
     3.8920749413640099e-07,
     0.0020215649570136615,
     0.0033338208955139125,
     0.0011815319112250689,
     0.0018888961863763787,
     0.094101530624819782,
     0.037696549034295958,
     0.90589846937518026,
     1.4243186623031892,
     2.9951149890980857,
     0.015125099417199203,
     0.0090059863507681772,
     0.59543320029534486,
     0.40456679970465514,
     0.00010698414094076939,
     0.015020754256575373,
     0.0091789631273883499,
     0.05331918268732283,
     0.047164678060711354,
     0.08141741140049219,
     0.2626801748345251,
     3.6906312275703193},
    // 100 Hz, odd start, rotated plate
    {45123.25,
     1997,
     100,
     19.969999999999999,
     1,
     -10,
     0.30000001192092896,
     0,
     0,
     0.12,
     0.080000000000000002,
     1991,
     1981,
     -714.99726999389713,
     0.8525769617828932,
     1991,
     1988,
     998,
     0.44346117211221359,
     0.022306900005644545,
     0.024116605074691506,
     0.16,
     0.23999999999999999,
     0.0073187575083907839,
     -0.00092449934956536403,
     -0.0033388698537662647,
     -0.015878036649504771,
     0.0014895756476909815,
     -0.0090644584812347925,
     0.0027075098045794073,
     0.0036451725377401822,
     0.0019899438273122596,
     -0.008401267999535068,
     0.014953537299939408,
     0.010657627362157049,
     0.37900308756781431,
     1.1216195898827499,
     0.0038846311137019597,
     0.0023510706672168519,
     0.00020485204889453187,
     0.0083636047689057517,
     0.0042152644652084965,
     0.0016853809030974727,
     0.0058291818606998023,
     9.1005100992989051e-06,
     0.0081399591316694293,
     7.3816909650602225e-07,
     0.0023891582647468856,
     0.0031781423906479178,
     0.0012726601067746658,
     0.0017837090855209645,
     0.091254175036060481,
     0.040050104323563165,
     0.90874582496393952,
     1.1216195898827499,
     2.6924159166776462,
     0.015227753965711681,
     0.0092161970154900595,
     0.60522366175879649,
     0.39477633824120351,
     0.00011022433385117677,
     0.014289076347941514,
     0.010613438433951277,
     0.063540190757766749,
     0.020302614211381052,
     0.15926736292412427,
     0.49916900595703723,
     6.5656129719745255}};

TEST(AnalysisPinned, EveryMeasureOfFiveRangesIsUnchanged) {
  // The sums are kept in an even-sample and an odd-sample lane, so they round differently from
  // sums in sample order in the last bits. 1e-12 of the value covers that; the 1e-13 beside it
  // covers the few measures that are differences of nearly equal numbers (the smallest
  // deviation from the mean, the change of area between halves), whose last bits of their
  // operands are a larger part of them. Any real change is far above both.
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Fields got = fieldsOf(analyseCase(kCases[i]));
    ASSERT_EQ(got.size(), std::size(kExpected[i]));
    for (std::size_t f = 0; f < got.size(); ++f)
      EXPECT_NEAR(got[f].second, kExpected[i][f], 1e-12 * std::fabs(kExpected[i][f]) + 1e-13)
          << kCases[i].name << ": " << got[f].first;
  }
}

TEST(AnalysisPinned, WideAndNarrowLanesGiveTheSameBits) {
  // Where the processor has 256-bit vectors the passes use them; every measure must come out
  // exactly as with 128-bit ones.
  for (const Case& c : kCases) {
    const Fields wide = fieldsOf(analyseCase(c));
    AllowWideVectors(false);
    const Fields narrow = fieldsOf(analyseCase(c));
    AllowWideVectors(true);
    for (std::size_t f = 0; f < wide.size(); ++f)
      EXPECT_EQ(wide[f].second, narrow[f].second) << c.name << ": " << wide[f].first;
  }
}

}  // namespace
}  // namespace tarn
