// Reading typed lengths, forces and masses back into SI units.
#include <cmath>

#include <gtest/gtest.h>

#include "support/units/units.h"

namespace tarn {
namespace {

constexpr double kIn = 0.0254;
constexpr double kFt = 0.3048;
constexpr double kLbf = 4.4482216152605;
constexpr double kLb = 0.45359237;

::testing::AssertionResult reads(const UnitParseResult& r, double expected) {
  if (!r.ok) return ::testing::AssertionFailure() << "refused: " << r.error.toStdString();
  if (std::fabs(r.si - expected) > 1e-12 * std::max(1.0, std::fabs(expected)))
    return ::testing::AssertionFailure() << "read " << r.si << ", expected " << expected;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult refused(const UnitParseResult& r) {
  if (r.ok) return ::testing::AssertionFailure() << "accepted as " << r.si;
  if (r.error.isEmpty()) return ::testing::AssertionFailure() << "refused without a message";
  return ::testing::AssertionSuccess();
}

TEST(UnitsParse, SimpleUnitsWithAndWithoutSymbol) {
  EXPECT_TRUE(reads(ParseLength(u"1.75", 3), 1.75));
  EXPECT_TRUE(reads(ParseLength(u" 1.75 m ", 3), 1.75));
  EXPECT_TRUE(reads(ParseLength(u"1.75M", 3), 1.75));
  EXPECT_TRUE(reads(ParseLength(u"175 cm", 4), 1.75));
  EXPECT_TRUE(reads(ParseLength(u"1750mm", 5), 1.75));
  EXPECT_TRUE(reads(ParseLength(u"69 in", 2), 69 * kIn));
  EXPECT_TRUE(reads(ParseLength(u"69\"", 2), 69 * kIn));
  EXPECT_TRUE(reads(ParseLength(u".5", 3), 0.5));
  EXPECT_TRUE(reads(ParseForce(u"700 N", 3), 700));
  EXPECT_TRUE(reads(ParseForce(u"102 kgf", 5), 102 * 9.80665));
  EXPECT_TRUE(reads(ParseForce(u"500 gf", 4), 0.5 * 9.80665));
  EXPECT_TRUE(reads(ParseForce(u"8 ozf", 2), 0.5 * kLbf));
  EXPECT_TRUE(reads(ParseMass(u"72.5 kg", 3), 72.5));
  EXPECT_TRUE(reads(ParseMass(u"72500 g", 4), 72.5));
  EXPECT_TRUE(reads(ParseMass(u"72500", 5), 72.5));
  EXPECT_TRUE(reads(ParseMass(u"8 oz", 2), 0.5 * kLb));
}

TEST(UnitsParse, FeetAndInchesSpellings) {
  const double h = 5 * kFt + 7 * kIn;
  EXPECT_TRUE(reads(ParseLength(u"5' 7\"", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5'7", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5 ft 7 in", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5 feet 7 inches", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5'7''", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5\u2032 7\u2033", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5 7", 1), h));
  EXPECT_TRUE(reads(ParseLength(u"5' 7.5\"", 1), h + 0.5 * kIn));
  EXPECT_TRUE(reads(ParseLength(u"5'", 1), 5 * kFt));
  EXPECT_TRUE(reads(ParseLength(u"5", 1), 5 * kFt));
  EXPECT_TRUE(reads(ParseLength(u"11.8\"", 1), 11.8 * kIn));
  EXPECT_TRUE(reads(ParseLength(u"67 in", 1), 67 * kIn));  // inches alone may exceed a foot
}

TEST(UnitsParse, PoundsAndOunces) {
  EXPECT_TRUE(reads(ParseForce(u"2 lbf 4 ozf", 1), 2.25 * kLbf));
  EXPECT_TRUE(reads(ParseForce(u"2lbf4ozf", 1), 2.25 * kLbf));
  EXPECT_TRUE(reads(ParseForce(u"2 4", 1), 2.25 * kLbf));
  EXPECT_TRUE(reads(ParseForce(u"12 ozf", 1), 0.75 * kLbf));
  EXPECT_TRUE(reads(ParseMass(u"154 lb 5.2 oz", 1), (154 + 5.2 / 16) * kLb));
  EXPECT_TRUE(reads(ParseMass(u"154 lbs", 1), 154 * kLb));
  EXPECT_TRUE(reads(ParseMass(u"1 pound 8 ounces", 1), 1.5 * kLb));
}

TEST(UnitsParse, DecimalCommaAndSigns) {
  EXPECT_TRUE(reads(ParseLength(u"1,75 m", 3), 1.75));
  EXPECT_TRUE(reads(ParseLength(u"5' 7,5\"", 1), 5 * kFt + 7.5 * kIn));
  EXPECT_TRUE(refused(ParseLength(u"1.234,5 m", 3)));
  EXPECT_TRUE(refused(ParseLength(u"1.2.3", 3)));
  EXPECT_TRUE(refused(ParseLength(u"-0.05 m", 3)));
  EXPECT_TRUE(reads(ParseLength(u"-0.05 m", 3, SignRule::AllowNegative), -0.05));
  EXPECT_TRUE(reads(ParseLength(u"\u22121' 11.6\"", 1, SignRule::AllowNegative), -(kFt + 11.6 * kIn)));
  EXPECT_TRUE(reads(ParseLength(u"+1.5", 3), 1.5));
  EXPECT_TRUE(reads(ParseLength(u"-0", 3), 0.0));
  EXPECT_TRUE(refused(ParseLength(u"1 - 2", 3, SignRule::AllowNegative)));
  EXPECT_TRUE(refused(ParseLength(u"5' -7\"", 1, SignRule::AllowNegative)));
}

TEST(UnitsParse, GarbageIsRefusedWithAMessage) {
  EXPECT_TRUE(refused(ParseLength(u"", 3)));
  EXPECT_TRUE(refused(ParseLength(u"   ", 3)));
  EXPECT_TRUE(refused(ParseLength(u"abc", 3)));
  EXPECT_TRUE(refused(ParseLength(u"m", 3)));
  EXPECT_TRUE(refused(ParseLength(u".", 3)));
  EXPECT_TRUE(refused(ParseLength(u"1.75 cm", 3)));  // another unit than the chosen one
  EXPECT_TRUE(refused(ParseLength(u"175 m", 4)));
  EXPECT_TRUE(refused(ParseLength(u"1 m 2", 3)));
  EXPECT_TRUE(refused(ParseLength(u"1e3", 3)));
  EXPECT_TRUE(refused(ParseLength(u"1.75;", 3)));
  EXPECT_TRUE(refused(ParseLength(u"5' 12\"", 1)));  // inches after feet stay below a foot
  EXPECT_TRUE(refused(ParseLength(u"7\" 5'", 1)));   // wrong order
  EXPECT_TRUE(refused(ParseLength(u"5' 6' ", 1)));
  EXPECT_TRUE(refused(ParseLength(u"5 7 2", 1)));
  EXPECT_TRUE(refused(ParseMass(u"1 lb 16 oz", 1)));
  EXPECT_TRUE(refused(ParseForce(u"2 lb", 1)));  // mass symbol for a force
  EXPECT_TRUE(refused(ParseForce(u"2 N", 0)));
  EXPECT_TRUE(refused(ParseMass(u"2", 6)));
  EXPECT_TRUE(refused(ParseLength(QString(400, u'9'), 3)));
}

TEST(UnitsParse, MessagesNameTheExpectedUnit) {
  EXPECT_TRUE(ParseLength(u"1.75 cm", 3).error.contains(u"metres"));
  EXPECT_TRUE(ParseMass(u"", 1).error.contains(u"pounds and ounces"));
  EXPECT_TRUE(ParseLength(u"-2", 3).error.contains(u"negative"));
}

// Every text the formatters write reads back to the value within the shown precision.
TEST(UnitsParse, RoundTripsFromFormattedText) {
  const double lengths[] = {1.7018, 0.3, 1.8, 0.123, 2.54, 0.01};
  const double forces[] = {1.0, 10.0, 700.0, 0.25};
  const double masses[] = {70.0, 0.0125, 3.5, 120.25};
  for (int code = 1; code <= 5; ++code) {
    for (double v : lengths) {
      const QString text = FormatLength(v, code, 4);
      const auto r = ParseLength(text, code);
      ASSERT_TRUE(r.ok) << text.toStdString() << ": " << r.error.toStdString();
      EXPECT_EQ(FormatLength(r.si, code, 4), text);
      EXPECT_NEAR(r.si, v, 0.00005 * 25.4) << text.toStdString();
    }
    for (double v : forces) {
      const QString text = FormatForce(v, code, 3);
      const auto r = ParseForce(text, code);
      ASSERT_TRUE(r.ok) << text.toStdString() << ": " << r.error.toStdString();
      EXPECT_EQ(FormatForce(r.si, code, 3), text);
    }
    for (double v : masses) {
      const QString text = FormatMass(v, code, 4);
      const auto r = ParseMass(text, code);
      ASSERT_TRUE(r.ok) << text.toStdString() << ": " << r.error.toStdString();
      EXPECT_EQ(FormatMass(r.si, code, 4), text);
    }
    EXPECT_TRUE(reads(ParseLength(FormatLength(0, code, 2), code), 0.0));
    EXPECT_TRUE(reads(ParseForce(FormatForce(0, code, 2), code), 0.0));
    EXPECT_TRUE(reads(ParseMass(FormatMass(0, code, 2), code), 0.0));
  }
  const QString negative = FormatLength(-0.6, 1, 3);
  EXPECT_TRUE(reads(ParseLength(negative, 1, SignRule::AllowNegative), -(kFt + 11.6 * kIn)));
}

}  // namespace
}  // namespace tarn
