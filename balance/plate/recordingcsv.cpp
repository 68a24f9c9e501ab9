#include "balance/plate/recordingcsv.h"

#include <QFile>
#include <QFileInfo>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "support/strings/strings.h"

namespace tarn {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The cell without blanks and one pair of enclosing quotes.
std::string_view unquote(std::string_view cell) {
  std::string_view s = trim(cell);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = trim(s.substr(1, s.size() - 2));
  return s;
}

// A finite number in plain decimal or exponent form, optionally quoted or with a leading '+'.
bool parseNumber(std::string_view cell, double& value) {
  std::string_view s = unquote(cell);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

void split(std::string_view line, char sep, std::vector<std::string_view>& cells) {
  cells.clear();
  size_t start = 0;
  while (true) {
    const size_t pos = line.find(sep, start);
    cells.push_back(line.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
    if (pos == std::string_view::npos) break;
    start = pos + 1;
  }
}

// A header cell as a column name: lower case, without quotes and units.
std::string columnName(std::string_view cell) {
  std::string name(unquote(cell));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t cut = name.find_first_of("_ ([");
  return cut == std::string::npos ? name : name.substr(0, cut);
}

bool isTimeColumn(const std::string& name) { return name == "time" || name == "t" || name == "sample"; }

// Where the three channels are in a row, and how many cells a row has.
struct Columns {
  int fz = -1, m1 = -1, m2 = -1;
  RecordingLayout layout = RecordingLayout::Auto;
  const char* names[3] = {"Fz", "M1", "M2"};
};

// The columns of a header with a given layout: exactly its names, in order.
bool fixedColumns(RecordingLayout layout, const std::vector<std::string>& names, Columns& c) {
  const auto is = [&](size_t i, std::initializer_list<const char*> accepted) {
    for (const char* a : accepted)
      if (names[i] == a) return true;
    return false;
  };
  if (layout == RecordingLayout::FzM1M2) {
    if (names.size() != 3 || !is(0, {"fz"}) || !is(1, {"m1", "mx"}) || !is(2, {"m2", "my"})) return false;
    c = {0, 1, 2, layout, {"Fz", "M1", "M2"}};
    return true;
  }
  if (names.size() != 6 || !is(0, {"fx"}) || !is(1, {"fy"}) || !is(2, {"fz"}) || !is(3, {"mx", "m1"}) ||
      !is(4, {"my", "m2"}) || !is(5, {"mz"}))
    return false;
  c = {2, 3, 4, layout, {"Fz", "Mx", "My"}};
  return true;
}

// The columns found by name: each channel once, nothing that is not a plate channel or time.
bool namedColumns(const std::vector<std::string>& names, Columns& c) {
  bool numbered = false, lettered = false, timed = false;
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    const std::string& n = names[static_cast<size_t>(i)];
    int* slot = nullptr;
    if (n == "fz") {
      slot = &c.fz;
    } else if (n == "m1" || n == "mx") {
      slot = &c.m1;
      (n == "m1" ? numbered : lettered) = true;
    } else if (n == "m2" || n == "my") {
      slot = &c.m2;
      (n == "m2" ? numbered : lettered) = true;
    } else if (n == "fx" || n == "fy" || n == "mz") {
      continue;
    } else if (isTimeColumn(n) && !timed) {
      timed = true;
      continue;
    } else {
      return false;
    }
    if (*slot >= 0) return false;  // the same channel twice
    *slot = i;
  }
  if (c.fz < 0 || c.m1 < 0 || c.m2 < 0 || (numbered && lettered)) return false;
  c.layout = numbered ? RecordingLayout::FzM1M2 : RecordingLayout::FxFyFzMxMyMz;
  if (lettered) c.names[1] = "Mx", c.names[2] = "My";
  return true;
}

// Messages fill all their places in one call to arg(): text from the file may hold "%2" itself.
QString fromFile(std::string_view text) {
  return PrintableExcerpt(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace

QString RecordingLayoutColumns(RecordingLayout layout) {
  switch (layout) {
    case RecordingLayout::FzM1M2:
      return QStringLiteral("Fz,M1,M2");
    case RecordingLayout::FxFyFzMxMyMz:
      return QStringLiteral("Fx,Fy,Fz,Mx,My,Mz");
    case RecordingLayout::Auto:
      break;
  }
  return Str(3710);  // either of the two
}

QString PrintableExcerpt(const QString& text, int maxChars) {
  QString out;
  out.reserve(std::min<qsizetype>(text.size(), maxChars) + 3);
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (out.size() >= maxChars) {
      out += QStringLiteral("...");
      break;
    }
    const QChar c = text[i];
    const auto cat = c.category();
    const bool hidden = cat == QChar::Other_Control || cat == QChar::Other_Format ||
                        cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph ||
                        cat == QChar::Other_Surrogate || cat == QChar::Other_NotAssigned;
    out += hidden ? QChar('?') : c;
  }
  return out;
}

bool ReadRecordingCsv(const QString& path, const RecordingCsvOptions& options, RecordingCsv& out,
                      QString& error) {
  const QString shown = PrintableExcerpt(QFileInfo(path).fileName(), 80);
  std::ifstream in;
  if (!QFileInfo(path).isDir()) in.open(QFile::encodeName(path).toStdString(), std::ios::binary);
  if (!in.is_open()) {
    error = Str(3701).arg(shown, QString::fromLocal8Bit(std::strerror(errno ? errno : EISDIR)));
    return false;
  }

  RecordingCsv rec;
  Columns cols;
  size_t width = 0;  // cells per row
  char sep = ',';
  bool haveHeader = false;
  const float sign = options.positiveFz ? -1.0f : 1.0f;
  std::string line;
  std::vector<std::string_view> cells;
  qint64 lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    std::string_view text = line;
    if (lineNo == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
    text = trim(text);
    if (text.empty()) continue;
    if (!haveHeader) {
      sep = text.find(',') != std::string_view::npos   ? ','
            : text.find(';') != std::string_view::npos ? ';'
                                                       : '\t';
      split(text, sep, cells);
      std::vector<std::string> names;
      bool numeric = true;
      for (std::string_view cell : cells) {
        double v;
        numeric = numeric && parseNumber(cell, v);
        names.push_back(columnName(cell));
      }
      if (numeric) {
        error = Str(3704).arg(shown);
        return false;
      }
      const bool known = options.layout == RecordingLayout::Auto ? namedColumns(names, cols)
                                                                 : fixedColumns(options.layout, names, cols);
      if (!known) {
        error = Str(3705).arg(shown, fromFile(text), RecordingLayoutColumns(options.layout));
        return false;
      }
      width = cells.size();
      haveHeader = true;
      continue;
    }
    split(text, sep, cells);
    if (cells.size() != width) {
      error = Str(3706).arg(shown, QString::number(lineNo), QString::number(cells.size()),
                            QString::number(width));
      return false;
    }
    float v[3];
    const int at[3] = {cols.fz, cols.m1, cols.m2};
    for (int c = 0; c < 3; ++c) {
      const std::string_view cell = cells[static_cast<size_t>(at[c])];
      double value;
      if (!parseNumber(cell, value)) {
        error = Str(3707).arg(shown, QString::number(lineNo), QString::number(at[c] + 1),
                              QLatin1String(cols.names[c]), fromFile(trim(cell)));
        return false;
      }
      v[c] = sign * static_cast<float>(value);
      if (!std::isfinite(v[c])) {  // beyond single precision: no plate sends it
        error = Str(3708).arg(shown, QString::number(lineNo), QString::number(at[c] + 1),
                              QLatin1String(cols.names[c]), fromFile(trim(cell)));
        return false;
      }
    }
    rec.fz.push_back(v[0]);
    rec.m1.push_back(v[1]);
    rec.m2.push_back(v[2]);
  }
  if (in.bad() || (!in.eof() && in.fail())) {
    error = Str(3702).arg(shown, QString::fromLocal8Bit(std::strerror(errno ? errno : EIO)));
    return false;
  }
  if (!haveHeader) {
    error = Str(3703).arg(shown);
    return false;
  }
  if (rec.fz.empty()) {
    error = Str(3709).arg(shown);
    return false;
  }
  rec.layout = cols.layout;
  out = std::move(rec);
  return true;
}

}  // namespace tarn
