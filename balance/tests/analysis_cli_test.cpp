// tarnrq-analyse without a process: arguments, the CSV reader and the JSON it prints.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>

#include "balance/tests/analysis_testdata.h"
#include "balance/tools/analysecli.h"
#include "testsupport/sandbox.h"

namespace tarn {
namespace {

using namespace analysistest;

std::string sandboxFile(const char* name) {
  return (testsupport::sandboxFolder() + "/" + name).toStdString();
}

std::string writeFile(const char* name, const std::string& text) {
  const std::string path = sandboxFile(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// A circle of 10 mm about (20, −10) mm at 100 Hz, as a six-component plate with positive Fz.
std::string circleCsv(int samples) {
  std::string text = "Fx_N,Fy_N,Fz_N,Mx_Nm,My_Nm,Mz_Nm\r\n";
  const auto data = record(100, circle(0.02, -0.01, 0.01, 200, (samples + 199) / 200));
  for (int i = 0; i < samples; ++i) {
    char row[160];
    std::snprintf(row, sizeof row, "0.5,-0.25,%.9g,%.9g,%.9g,0.01\r\n", -data->Sample(0, i),
                  -data->Sample(1, i), -data->Sample(2, i));
    text += row;
  }
  return text;
}

struct Outcome {
  int code;
  std::string out, error;
};

Outcome run(const std::vector<std::string>& args) {
  Outcome o;
  o.code = analysecli::Run(args, o.out, o.error);
  return o;
}

// Options written as one line, words split at spaces, then the input file.
Outcome run(const std::string& options, const std::string& file) {
  std::vector<std::string> args;
  for (const QString& w : QString::fromStdString(options).split(' ', Qt::SkipEmptyParts))
    args.push_back(w.toStdString());
  args.push_back(file);
  return run(args);
}

QJsonObject json(const std::string& text) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

const std::string kSix = "--fs 100 --layout fx-fy-fz-mx-my-mz --positive-fz ";

TEST(AnalysisCli, AnalysesASixComponentRecordingWithPositiveFz) {
  const Outcome o = run(kSix, writeFile("circle.csv", circleCsv(2000)));
  ASSERT_EQ(o.code, 0) << o.error;
  const QJsonObject r = json(o.out);
  EXPECT_EQ(r.size(), 65);  // every field, no class without age and type
  EXPECT_EQ(r["lTotalSamples"].toInt(), 2000);
  EXPECT_NEAR(r["fXo"].toDouble(), 0.02, 1e-8);
  EXPECT_NEAR(r["fYo"].toDouble(), -0.01, 1e-8);
  EXPECT_NEAR(r["fRadialAve"].toDouble(), 0.01, 1e-7);
  EXPECT_NEAR(r["fWeight"].toDouble(), -700, 1e-4);
  EXPECT_DOUBLE_EQ(r["fLoSX"].toDouble(), 0.1);
  EXPECT_EQ(r["fAbsDevExtremes"].toArray().size(), 4);
  EXPECT_FALSE(r.contains("lStabilityClass"));
}

TEST(AnalysisCli, WindowStanceLimitsAndClass) {
  const Outcome o =
      run("--fs=100 --layout=fx-fy-fz-mx-my-mz --positive-fz --from 5 --to 15 --stance 3 --los-x 0.2 "
          "--los-y 0.08 --threshold 5 --age 30 --type nseo --norms 3",
          writeFile("circle.csv", circleCsv(3000)));
  ASSERT_EQ(o.code, 0) << o.error;
  const QJsonObject r = json(o.out);
  EXPECT_EQ(r["lTotalSamples"].toInt(), 1000);
  EXPECT_DOUBLE_EQ(r["fDuration"].toDouble(), 10);
  EXPECT_EQ(r["lStance"].toInt(), 3);
  EXPECT_NEAR(r["fLoSX"].toDouble(), 2 * 0.2 * 0.28, 1e-12);
  EXPECT_DOUBLE_EQ(r["fLoSY"].toDouble(), 0.08);
  EXPECT_DOUBLE_EQ(r["fThreshold"].toDouble(), -5);
  // 1.96 · 7.07 mm against an AP limit of 80 mm: 82.7 %, below L3 = 83.9 and from L4 = 77.0
  // on for NSEO at 30 years: Severely.
  EXPECT_NEAR(r["fStability"].toDouble(), 0.8267, 1e-3);
  EXPECT_EQ(r["lStabilityClass"].toInt(), 4);
}

TEST(AnalysisCli, HeightSetsTheLimitsUnlessGiven) {
  const std::string csv = writeFile("circle.csv", circleCsv(1000));
  const auto los = *BaseLimitsOfStability(1.75);
  Outcome o = run(kSix + "--height 1.75", csv);
  ASSERT_EQ(o.code, 0) << o.error;
  EXPECT_NEAR(json(o.out)["fLoSY"].toDouble(), los.y, 1e-12);
  o = run(kSix + "--height 1.75 --los-y 0.05", csv);
  EXPECT_DOUBLE_EQ(json(o.out)["fLoSY"].toDouble(), 0.05);
  EXPECT_NEAR(json(o.out)["fLoSX"].toDouble(), los.x, 1e-12);
}

TEST(AnalysisCli, ThreeColumnLayoutReadsFzAndMomentsInOrder) {
  // Negative Fz as the plate reports it: x = −M2 / Fz = 0.03, y = M1 / Fz = −0.01.
  std::string text = "Fz\tM1\tM2\n";
  for (int i = 0; i < 50; ++i) text += "-600\t6\t18\n";
  const Outcome o = run("--fs 50", writeFile("still.tsv", text));
  ASSERT_EQ(o.code, 0) << o.error;
  EXPECT_NEAR(json(o.out)["fXo"].toDouble(), 0.03, 1e-9);
  EXPECT_NEAR(json(o.out)["fYo"].toDouble(), -0.01, 1e-9);
}

TEST(AnalysisCli, BadInputGivesOneLineAndNoOutput) {
  const std::string good = writeFile("good.csv", "Fz,M1,M2\n-700,1,2\n-700,1,2\n-700,1,2\n");
  struct Case {
    std::vector<std::string> args;
    const char* needle;
  };
  const Case cases[] = {
      // The recording, read as the replay platform reads it.
      {{"--fs", "100", sandboxFile("missing.csv")}, "Cannot open the recording"},
      {{"--fs", "100", writeFile("blank.csv", "")}, "is empty"},
      {{"--fs", "100", "--layout", "fx-fy-fz-mx-my-mz", good}, "expected Fx,Fy,Fz,Mx,My,Mz"},
      // A time column that would be read as Fz, a row with a cell too many, a value no
      // single-precision sample holds.
      {{"--fs", "100", writeFile("timed.csv", "t,Fz,M1\n0,-700,1\n0.01,-700,1\n")}, "expected Fz,M1,M2"},
      {{"--fs", "100", writeFile("wide.csv", "Fz,M1,M2\n-700,1,2\n-700,1,2,5\n")}, "line 3, has 4 values"},
      {{"--fs", "100", writeFile("huge.csv", "Fz,M1,M2\n-700,1,2\n-700,1e39,2\n")},
       "1e39 is more than a force platform can report"},
      {{"--fs", "100", writeFile("one.csv", "Fz,M1,M2\n-700,1,2\n")}, "fewer than 2 samples"},
      {{"--fs", "100", "--from", "5", good}, "fewer than 2 samples"},
      // The options.
      {{"--fs", "100", "--bogus", good}, "unknown option --bogus"},
      {{good}, "--fs is required"},
      {{"--fs", "0", good}, "--fs"},
      {{"--fs", "9.9", good}, "is not a sampling frequency"},
      {{"--fs", "1e-30", good}, "is not a sampling frequency"},
      {{"--fs", "fast", good}, "is not a number"},
      {{"--fs", "100"}, "no input file"},
      {{"--fs", "100", good, good}, "more than one input file"},
      // Values that look like placeholders are shown as typed.
      {{"--fs", "100", "%2.csv", "%1"}, "given: %2.csv and %1"},
      {{"--fs", "100", "--layout", "%1", good}, "unknown layout \"%1\""},
      {{"--fs", "100", "--layout", "fz", good}, "unknown layout"},
      {{"--fs", "100", "--stance", "14", good}, "stance code"},
      {{"--fs", "100", "--stance", "2.5", good}, "stance code"},
      {{"--fs", "100", "--los-x", "-1", good}, "--los-x"},
      {{"--fs", "100", "--threshold", "-3", good}, "negative"},
      {{"--fs", "100", "--threshold", "1e39", good}, "is not a force threshold"},
      {{"--fs", "100", "--tilt1", "2", good}, "tilt"},
      {{"--fs", "100", "--rotation", "7", good}, "is not a rotation angle"},
      {{"--fs", "100", "--rotation", "-1e39", good}, "is not a rotation angle"},
      {{"--fs", "100", "--from", "3", "--to", "2", good}, "--from must come before --to"},
      {{"--fs", "100", "--from", "1e300", good}, "beyond the longest test"},
      {{"--to", "3e7", "--fs", "100", good}, "beyond the longest test"},
      {{"--fs", "100", "--type", "XYZ", "--age", "30", good}, "unknown test type"},
      {{"--fs", "100", "--age", "30", good}, "needs both --age and --type"},
      {{"--fs", "100", "--age", "-2", "--type", "NSEO", good}, "is not an age"},
      {{"--fs", "100", "--norms", "4", "--age", "30", "--type", "NSEO", good}, "norms version"},
      {{"--fs", "100", "--height", "3", good}, "height"},
      {{"--fs", "100", "--positive-fz=1", good}, "takes no value"},
      {{"--fs", "100", "--stance"}, "needs a value"},
  };
  for (const Case& c : cases) {
    const Outcome o = run(c.args);
    EXPECT_NE(o.code, 0) << c.needle;
    EXPECT_TRUE(o.out.empty()) << c.needle;
    EXPECT_NE(o.error.find(c.needle), std::string::npos) << o.error;
    EXPECT_EQ(o.error.find('\n'), std::string::npos) << o.error;
  }
}

TEST(AnalysisCli, ErrorsNeverRepeatControlBytes) {
  // From the file and from the command line alike.
  const std::string esc = "\x1b]0;title\x07\x1b[2J\r";
  const std::vector<std::string> argsList[] = {
      {"--fs", "100", writeFile("esc.csv", "Fz,M1,M2\n-700," + esc + ",2\n")},
      {"--fs", "100", writeFile("esc2.csv", "Fz,M1," + esc + "\n-700,1,2\n")},
      {"--fs", "100", "--stance", esc, sandboxFile("x.csv")},
      {"--fs", "100", "--" + esc, sandboxFile("x.csv")},
  };
  for (const auto& args : argsList) {
    const Outcome o = run(args);
    EXPECT_NE(o.code, 0);
    ASSERT_FALSE(o.error.empty());
    for (const char ch : o.error)
      EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) << o.error;
  }
}

TEST(AnalysisCli, UnloadedRecordingIsNotAnalysed) {
  // Fz positive without --positive-fz: read as an unloaded plate.
  const Outcome o = run("--fs 100 --layout fx-fy-fz-mx-my-mz", writeFile("light.csv", circleCsv(200)));
  EXPECT_EQ(o.code, 3);
  EXPECT_NE(o.error.find("Not enough valid samples in the test!"), std::string::npos);
  EXPECT_TRUE(o.out.empty());
}

}  // namespace
}  // namespace tarn
