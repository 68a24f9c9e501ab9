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
  AnalyseBalanceTest(c.first, c.last, -10, data, c.geometry, c.stance, 0.12, 0.08, {}, r, true, true);
  return r;
}

// Every measure in the order of fieldsOf, with its value in each case of kCases: what the
// sample-by-sample analysis gave, except fWeightSD, the exact standard deviation of the weight
// samples worked out in rational arithmetic (the sample-by-sample analysis lost its last eight
// digits to ΣFz² − (ΣFz)²/w), and fAAve, fAMax and fParP, which leave out the filter's settling
// time at the start of the range (the second case's largest acceleration was the start's).
struct Expected {
  const char* field;
  double value[std::size(kCases)];
};
const Expected kExpected[] = {
    {"dtDate", {45123.25, 45123.25, 45123.25, 45123.25, 45123.25}},
    {"lTotalSamples", {19800, 18501, 2000, 18802, 1997}},
    {"fFrequency", {990, 990, 100, 990, 100}},
    {"fDuration", {20, 18.687878787878788, 20, 18.99191919191919, 19.97}},
    {"lStance", {1, 3, 10, 1, 1}},
    {"fThreshold", {-10, -10, -10, -10, -10}},
    {"fRotation", {0, 0.15000000596046448, 0, 0, 0.30000001192092896}},
    {"fTilt1", {0, 0.019999999552965164, 0, 0, 0}},
    {"fTilt2", {0, -0.029999999329447746, 0, 0, 0}},
    {"fLoSX", {0.12, 0.06720000000000001, 0.033600000000000005, 0.12, 0.12}},
    {"fLoSY", {0.08, 0.08, 0.08, 0.08, 0.08}},
    {"lValidSamples", {19749, 18450, 1994, 18751, 1991}},
    {"lWeightSamples", {19650, 18351, 1984, 18652, 1981}},
    {"fWeight",
     {-714.991992811829, -715.4567141934283, -714.9981616850822, -714.9917153447017, -714.9972699938971}},
    {"fWeightSD",
     {0.8662932617679632, 0.8675421395866272, 0.8525539042897978, 0.8673608846975496, 0.8525769617828932}},
    {"fValidSamples", {19749, 18450, 1994, 18751, 1991}},
    {"fSteps", {19746, 18447, 1991, 18748, 1988}},
    {"fMidIndex", {9873, 9724, 996, 9876, 998}},
    {"fPathLength",
     {4.027385263899306, 3.764939700906976, 0.44408133315944526, 3.822774705031734, 0.4434611721122136}},
    {"fVAve",
     {0.20191995397854312, 0.20205400899321874, 0.02230443662277475, 0.20186403658957847,
      0.022306900005644545}},
    {"fVMax",
     {0.02056669930383402, 0.021137115913199, 0.02483396563883699, 0.02125271340274637,
      0.024116605074691506}},
    {"fLoSRangeAP", {0.16, 0.16, 0.16, 0.16, 0.16}},
    {"fLoSRangeML", {0.24, 0.13440000000000002, 0.06720000000000001, 0.24, 0.24}},
    {"fMaxX",
     {0.008661787190972521, 0.007899796972994045, 0.008665843511170768, 0.008661787190972521,
      0.007318757508390784}},
    {"fMaxY",
     {-0.000981256789443163, -0.0009606541244452409, -0.0009810793116293351, -0.000981256789443163,
      -0.000924499349565364}},
    {"fMinX",
     {-0.0006826899882672434, -0.0016899224535536464, -0.0006900622663459349, -0.0006826899882672434,
      -0.0033388698537662647}},
    {"fMinY",
     {-0.015195433589158668, -0.015481660987818856, -0.015149521744177155, -0.015195433589158668,
      -0.01587803664950477}},
    {"fXo",
     {0.004104246354710764, 0.0026548796358637737, 0.004105467675342812, 0.003940220849555553,
      0.0014895756476909815}},
    {"fYo",
     {-0.008216027814837785, -0.008652668276210947, -0.008212257669577842, -0.00827003326702063,
      -0.009064458481234793}},
    {"fSDX",
     {0.0023929600525552717, 0.002483328677255499, 0.002395658938703368, 0.002341572226374579,
      0.0027075098045794073}},
    {"fSDY",
     {0.0038593509552344654, 0.003682661354498237, 0.0038588459051614437, 0.0038318250654529014,
      0.003645172537740182}},
    {"fMidX",
     {0.003989548601352639, 0.0031049372597201997, 0.003987890622412417, 0.003989548601352639,
      0.0019899438273122596}},
    {"fMidY",
     {-0.008088345189300915, -0.008221157556132048, -0.008065300527903245, -0.008088345189300915,
      -0.008401267999535068}},
    {"fRangeAP",
     {0.014214176799715504, 0.014521006863373615, 0.01416844243254782, 0.014214176799715504,
      0.014953537299939408}},
    {"fRangeML",
     {0.009344477179239766, 0.009589719426547691, 0.009355905777516703, 0.009344477179239766,
      0.010657627362157049}},
    {"fCorrelation",
     {0.1532678413599593, 0.3004726496456047, 0.15370235271425178, 0.15463986070296598, 0.3790030875678143}},
    {"fTheta",
     {1.4210530370681884, 1.2512383952564814, 1.420252865190369, 1.4243186623031892, 1.12161958988275}},
    {"fSigma1",
     {0.0038869198033491805, 0.003804112466126749, 0.003886673304334514, 0.003858443728877348,
      0.0038846311137019597}},
    {"fSigma2",
     {0.002347914404557046, 0.0022929553672615204, 0.0023502434120201265, 0.002297445497644943,
      0.002351070667216852}},
    {"fRadialMin",
     {0.0001233833457455667, 0.00012411669095659702, 0.00019693080348451249, 0.0002248602424675718,
      0.00020485204889453187}},
    {"fRadialMax",
     {0.008498059827105294, 0.00835121999739492, 0.00835939146078466, 0.008457248031589867,
      0.008363604768905752}},
    {"fRadialAve",
     {0.0042164208973788165, 0.004114270996179147, 0.004216997751600309, 0.004158431772311773,
      0.0042152644652084965}},
    {"fRadialSD",
     {0.0016857467696806167, 0.0016735509035125196, 0.0016846010413964492, 0.0016948058145405032,
      0.0016853809030974727}},
    {"fAbsDevExtremes[0]",
     {0.004786936342978007, 0.005244917337130272, 0.004795529941688747, 0.0047215663414169684,
      0.005829181860699802}},
    {"fAbsDevExtremes[1]",
     {9.967050204791328e-08, 2.856655655224423e-07, 2.4266505325391124e-07, 1.5972719840350036e-08,
      9.100510099298905e-06}},
    {"fAbsDevExtremes[2]",
     {0.007234771025394621, 0.007692014151765706, 0.007231178357948506, 0.0072887764775774674,
      0.00813995913166943}},
    {"fAbsDevExtremes[3]",
     {2.3424022882814755e-08, 1.5151936993626491e-07, 5.485967757333857e-06, 3.89207494136401e-07,
      7.381690965060222e-07}},
    {"fMeanAbsX",
     {0.002078217488950348, 0.0021946513826882866, 0.002078150525327181, 0.0020215649570136615,
      0.0023891582647468856}},
    {"fMeanAbsY",
     {0.0033696269160293254, 0.003207076858596304, 0.0033697961443790326, 0.0033338208955139125,
      0.0031781423906479178}},
    {"fSDAbsX",
     {0.001186191880205572, 0.0011619662460548928, 0.0011909261965301697, 0.001181531911225069,
      0.0012726601067746658}},
    {"fSDAbsY",
     {0.0018813902515474074, 0.0018099986667516625, 0.0018786878293413083, 0.0018888961863763787,
      0.0017837090855209645}},
    {"fLoSUsedMax",
     {0.09478137408986215, 0.09556500551801589, 0.14108554844781127, 0.09410153062481978,
      0.09125417503606048}},
    {"fLoSUsedMin",
     {0.03853059802434459, 0.06522332347406863, 0.09253175217850203, 0.03769654903429596,
      0.040050104323563165}},
    {"fStability",
     {0.9052186259101378, 0.9044349944819841, 0.8589144515521887, 0.9058984693751803, 0.9087458249639395}},
    {"fSwayDirection",
     {1.4210530370681884, 1.2512383952564814, 1.420252865190369, 1.4243186623031892, 1.12161958988275}},
    {"fMinSwayDirection",
     {2.9918493638630848, 2.822034722051378, 2.9910491919852653, 2.9951149890980857, 2.6924159166776462}},
    {"f95MaxSway",
     {0.015236725629128787, 0.014912120867216855, 0.015235759352991294, 0.015125099417199203,
      0.015227753965711681}},
    {"f95MinSway",
     {0.00920382446586362, 0.00898838503966516, 0.009212954175118896, 0.009005986350768177,
      0.00921619701549006}},
    {"fMinMaxRatio",
     {0.6040552734157149, 0.6027569867291935, 0.6046928125909314, 0.5954332002953449, 0.6052236617587965}},
    {"fDirectionality",
     {0.39594472658428514, 0.39724301327080647, 0.39530718740906856, 0.40456679970465514,
      0.3947763382412035}},
    {"f95Area",
     {0.00011014121317932853, 0.00010527153721136619, 0.00011024347564655988, 0.0001069841409407694,
      0.00011022433385117677}},
    {"f95APSway",
     {0.015128655744519104, 0.014436032509633089, 0.01512667594823286, 0.015020754256575373,
      0.014289076347941514}},
    {"f95MLSway",
     {0.009380403406016665, 0.009734648414841555, 0.009390983039717202, 0.00917896312738835,
      0.010613438433951277}},
    {"fAreaChange",
     {0.06204601490666275, -0.0018557811138127046, 0.06043641499227571, 0.05331918268732283,
      0.06354019075776675}},
    {"fFatigue",
     {0.017210744243212034, 0.04141209273265791, 0.037692319415713535, 0.047164678060711354,
      0.02030261421138105}},
    {"fAAve",
     {0.08112164377295675, 0.08072067418424272, 0.15881303649241732, 0.0811509809659863,
      0.15900584699569265}},
    {"fAMax",
     {0.23676338654408988, 0.232873257745959, 0.5018439886706748, 0.24208011009406188, 0.4991690059570372}},
    {"fParP",
     {3.726420429390299, 3.684971730654898, 6.517848962268063, 3.6929605152885685, 6.531116715948351}},
};

TEST(AnalysisPinned, EveryMeasureOfFiveRangesIsUnchanged) {
  // The sums are kept in four lanes (sample k in lane k % 4), so they round differently from
  // sums in sample order in the last bits. 1e-12 of the value covers that; the 1e-13 beside it
  // covers the few measures that are differences of nearly equal numbers (the smallest
  // deviation from the mean, the change of area between halves), whose last bits of their
  // operands are a larger part of them. Any real change is far above both.
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Fields got = fieldsOf(analyseCase(kCases[i]));
    ASSERT_EQ(got.size(), std::size(kExpected));
    for (std::size_t f = 0; f < got.size(); ++f) {
      ASSERT_STREQ(got[f].first, kExpected[f].field);
      const double expected = kExpected[f].value[i];
      EXPECT_NEAR(got[f].second, expected, 1e-12 * std::fabs(expected) + 1e-13)
          << kCases[i].name << ": " << got[f].first;
    }
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
