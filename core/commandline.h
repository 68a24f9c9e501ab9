#pragma once
// The program's command line as the entry sees it.
#include <QString>
#include <QStringList>

namespace tarn {
inline constexpr int kMaxCommandLineArgs = 16;

// Splits at blanks and tabs into at most 16 arguments. A double quote starts an argument that
// runs to the next double quote, blanks included; the quotes are not part of it ("" is an empty
// argument). A quote inside an unquoted argument ends that argument and starts a quoted one.
QStringList SplitCommandLine(const QString& commandLine);

// True when the first argument, trimmed and upper-cased, is "/REGISTER".
bool IsRegisterArgument(const QStringList& args);

// Joins arguments back into one line, quoting those with blanks (for the program's own argv).
QString JoinCommandLine(const QStringList& args);
}  // namespace tarn
