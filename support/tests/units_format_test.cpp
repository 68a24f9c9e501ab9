// Display text of lengths, forces and masses in the five unit codes.
#include <limits>

#include <gtest/gtest.h>

#include "support/units/units.h"

namespace tarn {
namespace {

TEST(UnitsNumber, RoundsHalfAwayFromZeroOnTheDecimalForm) {
  EXPECT_EQ(FormatNumber(2.5, 0), "3");
  EXPECT_EQ(FormatNumber(-2.5, 0), "-3");
  EXPECT_EQ(FormatNumber(0.125, 2), "0.13");
  EXPECT_EQ(FormatNumber(2.675, 2), "2.68");  // the double is 2.67499999999999982
  EXPECT_EQ(FormatNumber(1.005, 2), "1.01");
  EXPECT_EQ(FormatNumber(9.995, 2), "10.00");
  EXPECT_EQ(FormatNumber(999.5, 0), "1000");
  EXPECT_EQ(FormatNumber(0.0004, 3), "0.000");
  EXPECT_EQ(FormatNumber(-0.0004, 3), "0.000");  // no "-0.000"
  EXPECT_EQ(FormatNumber(-0.0005, 3), "-0.001");
  EXPECT_EQ(FormatNumber(0.000123456, 7), "0.0001235");
  EXPECT_EQ(FormatNumber(123456789.0, 0), "123456789");
  EXPECT_EQ(FormatNumber(1e20, 1), "100000000000000000000.0");
  EXPECT_EQ(FormatNumber(12.3, -2), "12");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN(), 2), "");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity(), 2), "");
}

TEST(UnitsPattern, DecimalsFollowTheUnit) {
  EXPECT_EQ(UnitPattern(Quantity::Length, 3, 3), "0.000");
  EXPECT_EQ(UnitPattern(Quantity::Length, 4, 3), "0.0");
  EXPECT_EQ(UnitPattern(Quantity::Length, 4, 2), "0");  // "0." alone has no decimals
  EXPECT_EQ(UnitPattern(Quantity::Length, 5, 2), "0");  // n - 3 < 0
  EXPECT_EQ(UnitPattern(Quantity::Length, 1, 4), "0.00");
  EXPECT_EQ(UnitPattern(Quantity::Force, 5, 2), "0.000");
  EXPECT_EQ(UnitPattern(Quantity::Force, 2, 2), "0.0");
  EXPECT_EQ(UnitPattern(Quantity::Force, 4, 2), "0");
  EXPECT_EQ(UnitPattern(Quantity::Force, 1, 2), "0.00");
  EXPECT_EQ(UnitPattern(Quantity::Mass, 1, 2), "0.0");
  EXPECT_EQ(UnitPattern(Quantity::Mass, 2, 2), "0");
  EXPECT_EQ(UnitPattern(Quantity::Mass, 5, 4), "0.0");
}

TEST(UnitsFormat, ZeroTexts) {
  const char* length[] = {"0' 0\"", "0\"", "0 m", "0 cm", "0 mm"};
  const char* force[] = {"0 lbf 0 ozf", "0 ozf", "0 N", "0 gf", "0 kgf"};
  const char* mass[] = {"0 lb 0 oz", "0 oz", "0 kg", "0 g", "0 g"};
  for (int code = 1; code <= 5; ++code) {
    for (int n : {0, 2, 5}) {
      EXPECT_EQ(FormatLength(0.0, code, n), length[code - 1]);
      EXPECT_EQ(FormatForce(-0.0, code, n), force[code - 1]);
      EXPECT_EQ(FormatMass(0.0, code, n), mass[code - 1]);
    }
  }
}

TEST(UnitsFormat, CodesOutsideOneToFiveGiveNoText) {
  for (int code : {0, 6, -1}) {
    EXPECT_EQ(FormatLength(1.0, code, 2), "");
    EXPECT_EQ(FormatLength(0.0, code, 2), "");
    EXPECT_EQ(FormatForce(1.0, code, 2), "");
    EXPECT_EQ(FormatMass(1.0, code, 2), "");
  }
}

TEST(UnitsFormat, SimpleUnits) {
  EXPECT_EQ(FormatLength(0.123, 4, 2), "12 cm");
  EXPECT_EQ(FormatLength(0.123, 4, 3), "12.3 cm");
  EXPECT_EQ(FormatLength(1.7549, 3, 2), "1.75 m");
  EXPECT_EQ(FormatLength(0.0125, 5, 4), "12.5 mm");
  EXPECT_EQ(FormatLength(0.0254, 2, 3), "1.0\"");
  EXPECT_EQ(FormatLength(-0.0127, 2, 4), "-0.50\"");
  EXPECT_EQ(FormatForce(1.0, 5, 2), "0.102 kgf");
  EXPECT_EQ(FormatForce(9.80665, 4, 2), "1000 gf");
  EXPECT_EQ(FormatForce(700.0, 3, 1), "700.0 N");
  EXPECT_EQ(FormatForce(1.0, 2, 2), "3.6 ozf");  // 3.5969 ozf
  EXPECT_EQ(FormatMass(72.456, 3, 1), "72.5 kg");
  EXPECT_EQ(FormatMass(0.0125, 4, 4), "12.5 g");
  EXPECT_EQ(FormatMass(0.0125, 5, 3), "13 g");
  EXPECT_EQ(FormatMass(1.0, 2, 3), "35.3 oz");  // 35.274 oz
}

TEST(UnitsFormat, FeetAndInches) {
  EXPECT_EQ(FormatLength(1.7018, 1, 2), "5' 7\"");    // 67 in
  EXPECT_EQ(FormatLength(1.7145, 1, 3), "5' 7.5\"");  // 67.5 in
  EXPECT_EQ(FormatLength(0.3, 1, 4), "11.81\"");      // no whole foot
  EXPECT_EQ(FormatLength(1.8288, 1, 2), "6' 0\"");    // exactly 6 ft
  EXPECT_EQ(FormatLength(1.828, 1, 2), "6' 0\"");     // 71.97 in rounds into the next foot
  EXPECT_EQ(FormatLength(1.8, 1, 2), "5' 11\"");      // 70.87 in
  EXPECT_EQ(FormatLength(-0.6, 1, 3), "-1' 11.6\"");  // one sign for the whole value
  EXPECT_EQ(FormatLength(-0.0001, 1, 2), "0\"");
}

TEST(UnitsFormat, PoundsAndOunces) {
  // 10 N = 2.2481 lbf = 2 lbf 3.97 ozf.
  EXPECT_EQ(FormatForce(10.0, 1, 2), "2 lbf 3.97 ozf");
  EXPECT_EQ(FormatForce(1.0, 1, 1), "0 lbf 3.6 ozf");
  EXPECT_EQ(FormatForce(-10.0, 1, 0), "-2 lbf 4 ozf");
  // 70 kg = 154.3236 lb = 154 lb 5.18 oz.
  EXPECT_EQ(FormatMass(70.0, 1, 2), "154 lb 5.2 oz");
  EXPECT_EQ(FormatMass(70.0, 1, 1), "154 lb 5 oz");
  EXPECT_EQ(FormatMass(0.45359237, 1, 2), "1 lb 0.0 oz");
  EXPECT_EQ(FormatMass(0.45359, 1, 1), "1 lb 0 oz");  // 15.9999 oz carries into the pound
}

}  // namespace
}  // namespace tarn
