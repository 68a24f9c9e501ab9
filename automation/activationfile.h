#pragma once
// The session bus starts the station when a client calls it and it is not running: the
// activation file names the program and the argument that tells it it was started that way.
#include <QString>

namespace tarn::automation {

// The argument the bus starts the program with: no window opens until a client asks for one.
inline constexpr char kActivatedArgument[] = "--automation";

// The user's own service folder of the session bus (under TARNRQ_HOME when set).
QString activationFilePath();
QString activationFileText(const QString& executable);
// Writes the file whole (through a temporary file); nothing else in the folder is touched.
bool installActivationFile(const QString& executable, QString* error = nullptr);

}  // namespace tarn::automation
