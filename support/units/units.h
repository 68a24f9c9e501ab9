#pragma once
// Display units. Measures are kept in SI units (metres, newtons, kilograms); these routines turn
// a value into text in the unit the user chose and read typed text back into SI units. They take
// the unit code (1-5) as an argument; reading the user's choice is the caller's business.
//
// Unit codes:    length               force                          mass
//   1            feet and inches      pound-force and ounce-force    pounds and ounces
//   2            inches (")           ounce-force (ozf)              ounces (oz)
//   3            metres (m)           newtons (N)                    kilograms (kg)
//   4            centimetres (cm)     gram-force (gf)                grams (g)
//   5            millimetres (mm)     kilogram-force (kgf)           grams (g)
//
// Numbers are written with a decimal point, no thousands separators, rounded half away from zero
// on the value's 15-significant-digit decimal form (so 2.675 with two decimals is "2.68", as the
// operator reading it would expect, although the binary double is slightly below 2.675).
// A value that rounds to zero carries no minus sign.
#include <QString>
#include <QStringView>

namespace tarn {

enum class Quantity { Length, Force, Mass };

inline constexpr int kFirstUnitCode = 1;
inline constexpr int kLastUnitCode = 5;
inline constexpr int kSIUnitCode = 3;

// Conversion constants.
inline constexpr double kMetresPerInch = 0.0254;
inline constexpr double kInchesPerFoot = 12.0;
inline constexpr double kNewtonsPerPoundForce = 4.4482216152605;
inline constexpr double kNewtonsPerKilogramForce = 9.80665;
inline constexpr double kKilogramsPerPound = 0.45359237;
inline constexpr double kOuncesPerPound = 16.0;

// Decimals shown in a unit for a count meant for the SI unit (may come out zero or negative,
// which means no decimals). For the composite codes (1) it applies to the second part (inches,
// ounces); the first part is always whole.
int UnitDecimals(Quantity quantity, int unitCode, int siDecimals);

// The number pattern of that count: "0." followed by that many "0", and "0" when there are none.
QString UnitPattern(Quantity quantity, int unitCode, int siDecimals);

// A number with a fixed count of decimals (<= 0: none), rounded as described above; empty for
// infinities and NaN.
QString FormatNumber(double value, int decimals);

// Value in SI units → text with its unit ("1.75 m", "5' 9\"", "1 lbf 3.5 ozf"). Exactly zero
// gives the unit's fixed zero text ("0 m", "0' 0\"", "0 lb 0 oz"); a code outside 1-5 or a
// value that is not finite gives an empty text.
//
// Feet and inches: whole feet, a blank, then the inches with the unit's decimals and a double
// quote ("5' 7.5\""); when there are no whole feet only the inches are shown ("11.8\""). Pounds
// and ounces always show both parts ("0 lb 3.5 oz"). A negative value carries one minus sign in
// front of the whole text. Inches that would round up to 12 (ounces to 16) carry into the
// feet (pounds), so 5' 11.99" with no decimals reads "6' 0\"".
QString FormatLength(double metres, int unitCode, int siDecimals);
QString FormatForce(double newtons, int unitCode, int siDecimals);
QString FormatMass(double kilograms, int unitCode, int siDecimals);

// Outcome of reading a typed value: the value in SI units, or why it could not be read.
struct UnitParseResult {
  bool ok = false;
  double si = 0.0;  // metres, newtons or kilograms when ok
  QString error;    // a sentence for the operator when not ok

  explicit operator bool() const { return ok; }
};

enum class SignRule { NonNegative, AllowNegative };

// Reads a value typed in the unit of `unitCode` back into SI units.
// - The unit's symbol may follow the number or be left out ("1.75", "1.75 m", "1.75m"); symbols
//   are matched without regard to case and the usual spellings are accepted ("in", "inch",
//   "inches", "\"", "''"; "ft", "feet", "'"; "lb", "lbs"; ...). Another unit's symbol is refused:
//   the value must be typed in the chosen unit.
// - Composite units (code 1) take one or two parts: 5' 7", 5'7, 5 ft 7 in, 5' 7.5", 7" (inches
//   only), 1 lb 4 oz, 12 oz. Bare numbers fill the parts in order, so "5" is 5 feet and "5 7" is
//   5 feet 7 inches. After a first part, the second must be below 12 inches or 16 ounces.
// - A decimal comma is read like a decimal point ("1,75 m"), since no thousands separators are
//   ever written; a number holding both a comma and a point is refused.
// - A minus sign is allowed only in front of the whole text and only with AllowNegative; it
//   applies to both parts of a composite value.
// Empty text, unknown words, stray characters and more parts than the unit has are refused with a
// message; nothing is guessed.
UnitParseResult ParseLength(QStringView text, int unitCode, SignRule sign = SignRule::NonNegative);
UnitParseResult ParseForce(QStringView text, int unitCode, SignRule sign = SignRule::NonNegative);
UnitParseResult ParseMass(QStringView text, int unitCode, SignRule sign = SignRule::NonNegative);

}  // namespace tarn
