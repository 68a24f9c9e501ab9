#include "options/documentprint.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "core/commandline.h"
#include "core/settings.h"

namespace tarn::options {

QStringList DocumentPrintCommand(const QString& file) {
  const QString ext = QFileInfo(file).suffix();
  if (!ext.isEmpty()) {
    const QString type = SettingReadString(Hive::ClassesRoot, "." + ext, QString(), QString());
    const QString command =
        type.isEmpty()
            ? QString()
            : SettingReadString(Hive::ClassesRoot, type + "\\shell\\print\\command", QString(), QString());
    QStringList args = SplitCommandLine(command);
    if (!args.isEmpty()) {
      bool named = false;
      for (QString& a : args) {
        if (a.contains(QLatin1String("%1"))) {
          a.replace(QLatin1String("%1"), file);
          named = true;
        }
      }
      if (!named) args << file;
      return args;
    }
  }
  const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
  if (!lp.isEmpty()) return {lp, file};
  return {};
}

}  // namespace tarn::options
