#pragma once
// How the options window hands an additional document to the printer: the print command the
// classes root registers for the document's type, else the system's print command.
#include <QString>
#include <QStringList>

namespace tarn::options {

// The program and its arguments, empty when no way to print the file is known.
// Classes root: the default value of the extension's key (".pdf") names the type; the default
// value of "<type>\shell\print\command" is the command, "%1" standing for the file (appended when
// the command does not name it). Without one, "lp <file>" when "lp" is installed.
QStringList DocumentPrintCommand(const QString& file);

}  // namespace tarn::options
