#include <cstring>

#include "data/storage/olestg.h"

namespace tarn {

const char* stgTypeName(StgType type) {
  switch (type) {
    case StgType::Empty:
      return "Empty";
    case StgType::String:
      return "String";
    case StgType::Long:
      return "Long";
    case StgType::Integer:
      return "Integer";
    case StgType::Single:
      return "Single";
    case StgType::Double:
      return "Double";
    case StgType::Date:
      return "Date";
    case StgType::Boolean:
      return "Boolean";
    case StgType::Error:
      return "Error";
  }
  return "Unknown";
}

StgValue StgValue::fromString(const QString& s) {
  StgValue v;
  v.type_ = StgType::String;
  v.text_ = s;
  return v;
}

StgValue StgValue::fromLong(qint32 x) {
  StgValue v;
  v.type_ = StgType::Long;
  v.num_.l = x;
  return v;
}

StgValue StgValue::fromInteger(qint16 x) {
  StgValue v;
  v.type_ = StgType::Integer;
  v.num_.i = x;
  return v;
}

StgValue StgValue::fromSingle(float x) {
  StgValue v;
  v.type_ = StgType::Single;
  v.num_.f = x;
  return v;
}

StgValue StgValue::fromDouble(double x) {
  StgValue v;
  v.type_ = StgType::Double;
  v.num_.d = x;
  return v;
}

StgValue StgValue::fromDate(double dayCount) {
  StgValue v;
  v.type_ = StgType::Date;
  v.num_.d = dayCount;
  return v;
}

StgValue StgValue::fromBoolean(bool x) {
  StgValue v;
  v.type_ = StgType::Boolean;
  v.num_.i = x ? -1 : 0;
  return v;
}

StgValue StgValue::error(const QString& why) {
  StgValue v;
  v.type_ = StgType::Error;
  v.text_ = why;
  return v;
}

void StgValue::fail(const char* wanted) const {
  if (type_ == StgType::Error) throw StorageError(text_.toStdString());
  throw StorageError(QStringLiteral("a %1 value cannot be read as %2")
                         .arg(QLatin1String(stgTypeName(type_)), QLatin1String(wanted))
                         .toStdString());
}

QString StgValue::toString() const {
  if (type_ != StgType::String) fail("String");
  return text_;
}

qint32 StgValue::toLong() const {
  switch (type_) {
    case StgType::Long:
      return num_.l;
    case StgType::Integer:
    case StgType::Boolean:
      return num_.i;
    default:
      fail("Long");
  }
}

qint16 StgValue::toInteger() const {
  if (type_ != StgType::Integer && type_ != StgType::Boolean) fail("Integer");
  return num_.i;
}

float StgValue::toSingle() const {
  if (type_ != StgType::Single) fail("Single");
  return num_.f;
}

double StgValue::toDouble() const {
  switch (type_) {
    case StgType::Double:
    case StgType::Date:
      return num_.d;
    case StgType::Single:
      return double(num_.f);
    case StgType::Long:
      return double(num_.l);
    case StgType::Integer:
      return double(num_.i);
    default:
      fail("Double");
  }
}

double StgValue::toDate() const {
  if (type_ != StgType::Date && type_ != StgType::Double) fail("Date");
  return num_.d;
}

bool StgValue::toBool() const {
  if (type_ != StgType::Boolean) fail("Boolean");
  return num_.i != 0;
}

bool StgValue::operator==(const StgValue& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case StgType::Empty:
      return true;
    case StgType::String:
    case StgType::Error:
      return text_ == o.text_;
    case StgType::Long:
      return num_.l == o.num_.l;
    case StgType::Integer:
    case StgType::Boolean:
      return num_.i == o.num_.i;
    // Bitwise for floats, so NaN payloads and signed zeros compare as stored.
    case StgType::Single:
      return std::memcmp(&num_.f, &o.num_.f, sizeof(float)) == 0;
    case StgType::Double:
    case StgType::Date:
      return std::memcmp(&num_.d, &o.num_.d, sizeof(double)) == 0;
  }
  return false;
}

}  // namespace tarn
