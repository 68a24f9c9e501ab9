#include "core/commandline.h"

namespace tarn {
namespace {
bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
}  // namespace

QStringList SplitCommandLine(const QString& commandLine) {
  QStringList args;
  const qsizetype n = commandLine.size();
  qsizetype i = 0;
  while (i < n && args.size() < kMaxCommandLineArgs) {
    const QChar c = commandLine.at(i);
    if (isBlank(c)) {
      ++i;
    } else if (c == QLatin1Char('"')) {
      const qsizetype close = commandLine.indexOf(QLatin1Char('"'), i + 1);
      const qsizetype end = close < 0 ? n : close;
      args << commandLine.mid(i + 1, end - i - 1);
      i = end + 1;
    } else {
      qsizetype end = i;
      while (end < n && !isBlank(commandLine.at(end)) && commandLine.at(end) != QLatin1Char('"')) ++end;
      args << commandLine.mid(i, end - i);
      i = end;
    }
  }
  return args;
}

bool IsRegisterArgument(const QStringList& args) {
  return !args.isEmpty() && args.first().trimmed().toUpper() == QLatin1String("/REGISTER");
}

QString JoinCommandLine(const QStringList& args) {
  QStringList parts;
  for (const QString& a : args) {
    const bool quote = a.isEmpty() || a.contains(QLatin1Char(' ')) || a.contains(QLatin1Char('\t'));
    parts << (quote ? QLatin1Char('"') + a + QLatin1Char('"') : a);
  }
  return parts.join(QLatin1Char(' '));
}
}  // namespace tarn
