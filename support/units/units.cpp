#include "support/units/units.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "support/strings/strings.h"

namespace tarn {
namespace {

// ---- Number text -----------------------------------------------------------------------------

// Adds one to a string of decimal digits.
void incrementDigits(std::string& digits) {
  for (auto i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

bool isCodeValid(int unitCode) { return unitCode >= kFirstUnitCode && unitCode <= kLastUnitCode; }

QString withSuffix(double value, int decimals, const char* suffix) {
  const QString number = FormatNumber(value, decimals);
  return number.isEmpty() ? number : number + QLatin1String(suffix);
}

// Whole big units and the rest in small units (feet/inches, pounds/ounces), the rest rounded to
// `decimals`. A rest that rounds up to a whole big unit carries over.
QString formatComposite(double smallUnits, double perBig, int decimals, const char* bigSuffix,
                        const char* smallSuffix, bool omitZeroBig) {
  const bool negative = smallUnits < 0;
  const double magnitude = std::fabs(smallUnits);
  double whole = std::trunc(magnitude / perBig);
  double rest = magnitude - whole * perBig;
  QString restText = FormatNumber(rest, decimals);
  if (restText.toDouble() >= perBig) {
    whole += 1;
    rest = std::max(0.0, rest - perBig);
    restText = FormatNumber(rest, decimals);
  }
  QString text;
  if (!(omitZeroBig && whole == 0)) text = FormatNumber(whole, 0) + QLatin1String(bigSuffix);
  text += restText + QLatin1String(smallSuffix);
  const bool shownZero = whole == 0 && restText.toDouble() == 0;
  return negative && !shownZero ? QLatin1Char('-') + text : text;
}

// ---- Unit descriptions for reading -------------------------------------------------------------

struct UnitPart {
  double siPerUnit;
  std::vector<const char*> words;  // accepted spellings, lower case; marks normalised to ' and "
  int nameId;                      // plural, for messages
};

struct UnitDef {
  int nameId;  // for messages: "metres (m)"
  std::vector<UnitPart> parts;
  double perBig = 0;  // small units per big unit, for composites
};

const UnitPart kFeet{kMetresPerInch * kInchesPerFoot, {"'", "ft", "feet", "foot"}, 8020};
const UnitPart kInches{kMetresPerInch, {"\"", "in", "inch", "inches"}, 8021};
const UnitPart kPoundsForce{kNewtonsPerPoundForce, {"lbf"}, 8022};
const UnitPart kOuncesForce{kNewtonsPerPoundForce / kOuncesPerPound, {"ozf"}, 8023};
const UnitPart kPounds{kKilogramsPerPound, {"lb", "lbs", "pound", "pounds"}, 8024};
const UnitPart kOunces{kKilogramsPerPound / kOuncesPerPound, {"oz", "ounce", "ounces"}, 8025};
const UnitPart kGrams{0.001, {"g", "gram", "grams"}, 8026};

const UnitDef& unitDef(Quantity q, int code) {
  static const UnitDef kLength[] = {
      {8003, {kFeet, kInches}, kInchesPerFoot},
      {8004, {kInches}},
      {8005, {{1.0, {"m", "metre", "metres", "meter", "meters"}, 8027}}},
      {8006, {{0.01, {"cm"}, 8028}}},
      {8007, {{0.001, {"mm"}, 8029}}},
  };
  static const UnitDef kForce[] = {
      {8008, {kPoundsForce, kOuncesForce}, kOuncesPerPound},
      {8009, {kOuncesForce}},
      {8010, {{1.0, {"n", "newton", "newtons"}, 8030}}},
      {8011, {{kNewtonsPerKilogramForce / 1000.0, {"gf"}, 8031}}},
      {8012, {{kNewtonsPerKilogramForce, {"kgf"}, 8032}}},
  };
  static const UnitDef kMass[] = {
      {8013, {kPounds, kOunces}, kOuncesPerPound},
      {8014, {kOunces}},
      {8015, {{1.0, {"kg", "kilogram", "kilograms"}, 8033}}},
      {8016, {kGrams}},
      {8016, {kGrams}},
  };
  const UnitDef* table = q == Quantity::Length ? kLength : q == Quantity::Force ? kForce : kMass;
  return table[code - 1];
}

QString quantityName(Quantity q) {
  switch (q) {
    case Quantity::Length:
      return Str(8000);
    case Quantity::Force:
      return Str(8001);
    case Quantity::Mass:
      return Str(8002);
  }
  return QString();
}

struct Token {
  enum Kind { Number, Unit } kind;
  double value = 0;
  QString text;  // as typed (numbers) or normalised (units)
};

UnitParseResult fail(const QString& message) { return {false, 0.0, message}; }

bool isInchMark(QChar c) {
  return c == u'"' || c == QChar(0x2033) || c == QChar(0x201D) || c == QChar(0x201C);
}
bool isFootMark(QChar c) {
  return c == u'\'' || c == QChar(0x2032) || c == QChar(0x2019) || c == QChar(0x2018);
}
bool isMinus(QChar c) { return c == u'-' || c == QChar(0x2212); }

UnitParseResult parseQuantity(Quantity q, QStringView text, int unitCode, SignRule signRule) {
  if (!isCodeValid(unitCode)) return fail(Str(8040).arg(unitCode).arg(kFirstUnitCode).arg(kLastUnitCode));
  const UnitDef& def = unitDef(q, unitCode);
  const QString typed = text.trimmed().toString();
  if (typed.isEmpty()) return fail(Str(8041).arg(quantityName(q), Str(def.nameId)));

  // Split into numbers and unit words or marks.
  bool negative = false;
  std::vector<Token> tokens;
  for (qsizetype i = 0; i < typed.size();) {
    const QChar c = typed[i];
    if (c.isSpace()) {
      ++i;
    } else if (isMinus(c) || c == u'+') {
      if (!tokens.empty() || i != 0) return fail(Str(8042).arg(typed));
      negative = isMinus(c);
      ++i;
    } else if (c.isDigit() || c == u'.' || c == u',') {
      const qsizetype start = i;
      int separators = 0;
      bool comma = false, point = false;
      while (i < typed.size() && (typed[i].isDigit() || typed[i] == u'.' || typed[i] == u',')) {
        if (!typed[i].isDigit()) {
          ++separators;
          (typed[i] == u'.' ? point : comma) = true;
        }
        ++i;
      }
      QString number = typed.mid(start, i - start);
      if (separators > 1 || (comma && point) || number.size() == separators)
        return fail(Str(8043).arg(number));
      number.replace(u',', u'.');
      bool ok = false;
      const double v = number.toDouble(&ok);
      if (!ok || !std::isfinite(v)) return fail(Str(8043).arg(number));
      tokens.push_back({Token::Number, v, number});
    } else if (c.isLetter()) {
      const qsizetype start = i;
      while (i < typed.size() && typed[i].isLetter()) ++i;
      tokens.push_back({Token::Unit, 0, typed.mid(start, i - start).toLower()});
    } else if (isFootMark(c)) {
      // Two apostrophes are an inch mark.
      if (i + 1 < typed.size() && isFootMark(typed[i + 1])) {
        tokens.push_back({Token::Unit, 0, QStringLiteral("\"")});
        i += 2;
      } else {
        tokens.push_back({Token::Unit, 0, QStringLiteral("'")});
        ++i;
      }
    } else if (isInchMark(c)) {
      tokens.push_back({Token::Unit, 0, QStringLiteral("\"")});
      ++i;
    } else {
      return fail(Str(8044).arg(QString(c), typed));
    }
  }

  // Pair each number with its optional unit and place it in the unit's parts, in order.
  double total = 0;
  int nextPart = 0;
  bool firstPartGiven = false;
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].kind != Token::Number) return fail(Str(8045).arg(tokens[t].text));
    const double value = tokens[t].value;
    int part = nextPart;
    if (t + 1 < tokens.size() && tokens[t + 1].kind == Token::Unit) {
      const QString& word = tokens[++t].text;
      part = -1;
      for (std::size_t p = 0; p < def.parts.size() && part < 0; ++p)
        for (const char* w : def.parts[p].words)
          if (word == QLatin1String(w)) part = static_cast<int>(p);
      if (part < 0) return fail(Str(8046).arg(word, quantityName(q), Str(def.nameId)));
      if (part < nextPart) return fail(Str(8047).arg(quantityName(q), Str(def.nameId)));
    }
    if (part >= static_cast<int>(def.parts.size()))
      return fail(Str(8048).arg(typed, quantityName(q), Str(def.nameId)));
    if (part == 1 && firstPartGiven && value >= def.perBig)
      return fail(
          Str(8049).arg(Str(def.parts[1].nameId), QString::number(def.perBig), Str(def.parts[0].nameId)));
    if (part == 0) firstPartGiven = true;
    total += value * def.parts[part].siPerUnit;
    nextPart = part + 1;
  }
  if (tokens.empty()) return fail(Str(8041).arg(quantityName(q), Str(def.nameId)));
  if (negative && total != 0) {
    if (signRule == SignRule::NonNegative) return fail(Str(8050).arg(quantityName(q)));
    total = -total;
  }
  if (!std::isfinite(total)) return fail(Str(8051).arg(typed));
  return {true, total, QString()};
}

}  // namespace

int UnitDecimals(Quantity quantity, int unitCode, int siDecimals) {
  switch (quantity) {
    case Quantity::Length:
      switch (unitCode) {
        case 1:
        case 2:
        case 4:
          return siDecimals - 2;
        case 5:
          return siDecimals - 3;
        default:
          return siDecimals;
      }
    case Quantity::Force:
      switch (unitCode) {
        case 2:
          return siDecimals - 1;
        case 4:
          return siDecimals - 2;
        case 5:
          return siDecimals + 1;
        default:
          return siDecimals;
      }
    case Quantity::Mass:
      switch (unitCode) {
        case 1:
          return siDecimals - 1;
        case 2:
          return siDecimals - 2;
        case 4:
        case 5:
          return siDecimals - 3;
        default:
          return siDecimals;
      }
  }
  return siDecimals;
}

QString UnitPattern(Quantity quantity, int unitCode, int siDecimals) {
  const int n = UnitDecimals(quantity, unitCode, siDecimals);
  return n > 0 ? QStringLiteral("0.") + QString(n, u'0') : QStringLiteral("0");
}

QString FormatNumber(double value, int decimals) {
  if (!std::isfinite(value)) return QString();
  decimals = std::max(0, decimals);

  // The magnitude as 15 significant digits and a decimal exponent.
  char buf[40];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  const std::string sci(buf, res.ptr);  // "d.dddddddddddddde±XX"
  const std::string digits = sci.substr(0, 1) + sci.substr(2, 14);
  const int exponent = std::stoi(sci.substr(sci.find('e') + 1));

  // Split into integer digits and fraction digits, then keep `decimals` of the fraction.
  const int intDigits = exponent + 1;
  std::string intPart, frac;
  if (intDigits > 0) {
    intPart = intDigits >= 15 ? digits + std::string(intDigits - 15, '0') : digits.substr(0, intDigits);
    frac = intDigits >= 15 ? std::string() : digits.substr(intDigits);
  } else {
    intPart = "0";
    frac = std::string(-intDigits, '0') + digits;
  }
  if (frac.size() < static_cast<std::size_t>(decimals) + 1) frac.resize(decimals + 1, '0');
  std::string kept = intPart + frac.substr(0, decimals);
  if (frac[decimals] >= '5') incrementDigits(kept);

  std::string whole = kept.substr(0, kept.size() - decimals);
  const std::string fraction = kept.substr(kept.size() - decimals);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  std::string out = whole;
  if (decimals > 0) out += '.' + fraction;
  const bool allZero = kept.find_first_not_of('0') == std::string::npos;
  if (value < 0 && !allZero) out.insert(out.begin(), '-');
  return QString::fromLatin1(out);
}

QString FormatLength(double metres, int unitCode, int siDecimals) {
  if (!isCodeValid(unitCode) || !std::isfinite(metres)) return QString();
  const int n = UnitDecimals(Quantity::Length, unitCode, siDecimals);
  if (metres == 0) {
    static const char* const kZero[] = {"0' 0\"", "0\"", "0 m", "0 cm", "0 mm"};
    return QLatin1String(kZero[unitCode - 1]);
  }
  switch (unitCode) {
    case 1:
      return formatComposite(metres / kMetresPerInch, kInchesPerFoot, n, "' ", "\"", true);
    case 2:
      return withSuffix(metres / kMetresPerInch, n, "\"");
    case 3:
      return withSuffix(metres, n, " m");
    case 4:
      return withSuffix(metres * 100.0, n, " cm");
    default:
      return withSuffix(metres * 1000.0, n, " mm");
  }
}

QString FormatForce(double newtons, int unitCode, int siDecimals) {
  if (!isCodeValid(unitCode) || !std::isfinite(newtons)) return QString();
  const int n = UnitDecimals(Quantity::Force, unitCode, siDecimals);
  if (newtons == 0) {
    static const char* const kZero[] = {"0 lbf 0 ozf", "0 ozf", "0 N", "0 gf", "0 kgf"};
    return QLatin1String(kZero[unitCode - 1]);
  }
  const double ounces = newtons / kNewtonsPerPoundForce * kOuncesPerPound;
  switch (unitCode) {
    case 1:
      return formatComposite(ounces, kOuncesPerPound, n, " lbf ", " ozf", false);
    case 2:
      return withSuffix(ounces, n, " ozf");
    case 3:
      return withSuffix(newtons, n, " N");
    case 4:
      return withSuffix(newtons / kNewtonsPerKilogramForce * 1000.0, n, " gf");
    default:
      return withSuffix(newtons / kNewtonsPerKilogramForce, n, " kgf");
  }
}

QString FormatMass(double kilograms, int unitCode, int siDecimals) {
  if (!isCodeValid(unitCode) || !std::isfinite(kilograms)) return QString();
  const int n = UnitDecimals(Quantity::Mass, unitCode, siDecimals);
  if (kilograms == 0) {
    static const char* const kZero[] = {"0 lb 0 oz", "0 oz", "0 kg", "0 g", "0 g"};
    return QLatin1String(kZero[unitCode - 1]);
  }
  const double ounces = kilograms / kKilogramsPerPound * kOuncesPerPound;
  switch (unitCode) {
    case 1:
      return formatComposite(ounces, kOuncesPerPound, n, " lb ", " oz", false);
    case 2:
      return withSuffix(ounces, n, " oz");
    case 3:
      return withSuffix(kilograms, n, " kg");
    default:
      return withSuffix(kilograms * 1000.0, n, " g");
  }
}

UnitParseResult ParseLength(QStringView text, int unitCode, SignRule sign) {
  return parseQuantity(Quantity::Length, text, unitCode, sign);
}

UnitParseResult ParseForce(QStringView text, int unitCode, SignRule sign) {
  return parseQuantity(Quantity::Force, text, unitCode, sign);
}

UnitParseResult ParseMass(QStringView text, int unitCode, SignRule sign) {
  return parseQuantity(Quantity::Mass, text, unitCode, sign);
}

}  // namespace tarn
