// Which recordings no platform can give: the samples that make a stored test a damaged one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "balance/plate/plate.h"
#include "balance/procedures/plausibility.h"

namespace tarn {
namespace {

TEST(Plausibility, FirstImplausibleSampleOfARecording) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    int channel;
    float value;
    qint32 expected;  // with the value at sample 7 of 20
  };
  const Case cases[] = {
      {"a heavy subject", 0, -19000.0f, -1},
      {"a hard step off the edge", 1, -9000.0f, -1},
      {"NaN force", 0, kNaN, 7},
      {"infinite moment", 2, -kInf, 7},
      {"a spike of -8e7 N m", 1, -8e7f, 7},
      {"a force past any platform", 0, -25000.0f, 7},
      {"NaN moment", 2, kNaN, 7},
  };
  for (const Case& c : cases) {
    PlateTestDataBuffer data(100.0f, 45000.0);
    for (int i = 0; i < 20; ++i) {
      float s[3] = {-700.0f, 7.0f, -3.0f};
      if (i == 7) s[c.channel] = c.value;
      data.append(s[0], s[1], s[2]);
    }
    EXPECT_EQ(plausible::firstImplausibleSample(data), c.expected) << c.what;
  }
  PlateTestDataBuffer badRate(kNaN, 45000.0);
  badRate.append(-700.0f, 0, 0);
  EXPECT_EQ(plausible::firstImplausibleSample(badRate), 0) << "a recording without a usable frequency";
  EXPECT_EQ(plausible::firstImplausibleSample(PlateTestDataBuffer(100.0f, 45000.0)), -1) << "empty";
}

}  // namespace
}  // namespace tarn
