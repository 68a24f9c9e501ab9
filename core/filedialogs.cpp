#include "core/filedialogs.h"

#include <QDir>
#include <QFileInfo>
#include <mutex>

#include "core/eventlog.h"
#include "core/folders.h"

namespace tarn {
namespace {
std::mutex g_mutex;
FileDialogPresenter g_presenter;

bool autoAnswer() { return qEnvironmentVariableIntValue("TARNRQ_AUTOANSWER") == 1; }

const char* kindName(FileDialogKind k) {
  switch (k) {
    case FileDialogKind::Open:
      return "Open";
    case FileDialogKind::OpenMany:
      return "Open";
    case FileDialogKind::Save:
      return "Save";
    case FileDialogKind::Folder:
      return "Folder";
  }
  return "Open";
}
}  // namespace

FileDialogPresenter setFileDialogPresenter(FileDialogPresenter presenter) {
  std::lock_guard lock(g_mutex);
  FileDialogPresenter old = std::move(g_presenter);
  g_presenter = std::move(presenter);
  return old;
}

QStringList showFileDialog(const FileDialogRequest& r) {
  eventlog::logStep("modDialogs", "ShowFileDialog",
                    QStringLiteral("%1 dialog: %2").arg(QLatin1String(kindName(r.kind)), r.title));
  FileDialogPresenter presenter;
  if (!autoAnswer()) {
    std::lock_guard lock(g_mutex);
    presenter = g_presenter;
  }
  QStringList chosen = presenter ? presenter(r) : QStringList();
  chosen.removeAll(QString());
  if (r.kind != FileDialogKind::OpenMany && chosen.size() > 1) chosen = chosen.mid(0, 1);
  if (r.kind == FileDialogKind::Save && !chosen.isEmpty() && !r.defaultExt.isEmpty() &&
      QFileInfo(chosen.first()).suffix().isEmpty()) {
    QString ext = r.defaultExt.trimmed();
    if (!ext.startsWith('.')) ext.prepend('.');
    chosen.first() += ext;
  }
  eventlog::logStep("modDialogs", "ShowFileDialog",
                    chosen.isEmpty() ? QStringLiteral("Answer: Cancel")
                                     : QStringLiteral("Answer: ") + chosen.join(QStringLiteral(", ")));
  return chosen;
}

QList<FileDialogFilter> parseFileDialogFilter(const QString& filter) {
  QList<FileDialogFilter> out;
  const QStringList parts = filter.split('|');
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    FileDialogFilter f;
    f.description = parts[i].trimmed();
    if (f.description.isEmpty()) continue;
    const QString pats = i + 1 < parts.size() ? parts[i + 1] : QString();
    for (QString p : pats.split(';', Qt::SkipEmptyParts)) {
      p = p.trimmed();
      f.patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    }
    if (f.patterns.isEmpty()) f.patterns << QStringLiteral("*");
    out << f;
  }
  return out;
}

QString dialogStartFolder(const QString& stored) {
  const QString s = stored.trimmed();
  if (!s.isEmpty() && QFileInfo(s).isDir()) return QDir::cleanPath(s);
  return folders::documentsFolder();
}

}  // namespace tarn
