#include "files/dataexport.h"

#include <QAbstractItemModel>
#include <QAbstractProxyModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/eventlog.h"
#include "core/filedialogs.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "files/filemove.h"
#include "files/fmmodel.h"
#include "support/strings/strings.h"

namespace tarn::fm {
namespace {
constexpr char kModule[] = "frmFManager";
constexpr char kBom[] = "\xEF\xBB\xBF";
}  // namespace

QStringList DataExportLines(const QAbstractItemModel& grid, const QList<int>& rows) {
  QStringList lines;
  lines.reserve(rows.size() + 1);
  const int columns = grid.columnCount();
  QStringList cells;
  cells.reserve(columns);
  for (int c = 0; c < columns; ++c) cells << grid.headerData(c, Qt::Horizontal).toString();
  lines << cells.join('\t');
  // The grid's own texts: through the sorting proxy a row is mapped once, not once per cell.
  const auto* proxy = qobject_cast<const QAbstractProxyModel*>(&grid);
  const auto* model = proxy ? qobject_cast<const FileManagerModel*>(proxy->sourceModel()) : nullptr;
  for (int r : rows) {
    cells.clear();
    if (model) {
      const int source = proxy->mapToSource(grid.index(r, 0)).row();
      for (int c = 0; c < columns; ++c) cells << model->text(source, c);
    } else {
      for (int c = 0; c < columns; ++c) cells << grid.index(r, c).data().toString();
    }
    lines << cells.join('\t');
  }
  return lines;
}

bool WriteDataExport(const QString& path, const QStringList& lines, bool append, QString* error) {
  QByteArray bytes;
  QFile old(path);
  const bool existed = old.exists();
  if (append && existed) {
    if (!old.open(QIODevice::ReadOnly)) {
      if (error) *error = old.errorString();
      return false;
    }
    bytes = old.readAll();
    old.close();
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += "\r\n";
  }
  if (bytes.isEmpty()) bytes += kBom;
  for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";

  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) {
    if (error) *error = f.errorString();
    return false;
  }
  f.setPermissions(existed ? old.permissions() : QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  if (f.write(bytes) != bytes.size() || !f.commit()) {
    if (error) *error = f.errorString();
    return false;
  }
  return true;
}

bool ExportData(const QAbstractItemModel& grid, const QList<int>& rows) {
  ProcLog log(kModule, "cmdExportData_Click");
  if (rows.isEmpty()) {
    showMessage(Str(5062), MsgIcon::Exclamation);
    log.completed();
    return false;
  }
  FileDialogRequest req;
  req.kind = FileDialogKind::Save;
  req.title = Str(5034);
  req.filter = Str(5036);
  req.folder = dialogStartFolder(settings::read(settings::LastDataExportPath));
  req.defaultExt = settings::read(settings::DefaultDataExportExt);
  const QStringList chosen = showFileDialog(req);
  if (chosen.isEmpty()) {
    log.step(QStringLiteral("Cancelled"));
    log.completed();
    return false;
  }
  const QString path = chosen.first();
  settings::write(settings::LastDataExportPath, QFileInfo(path).absolutePath());
  if (IsDestinationReadOnly(path)) {
    showMessage(Str(5051), MsgIcon::Exclamation);
    log.completed();
    return false;
  }
  bool append = false;
  if (QFileInfo::exists(path)) {
    const MsgResult a = showMessage(Str(5052), MsgIcon::Question, MsgButtons::YesNoCancel, 0, 2);
    if (a == MsgResult::Cancel) {
      log.completed();
      return false;
    }
    append = a == MsgResult::Yes;  // No starts the file anew
  }
  log.step(QStringLiteral("Open Export File ") + path);
  const QStringList lines = DataExportLines(grid, rows);
  log.step(QStringLiteral("Write header"));
  for (int r : rows)
    log.step(QStringLiteral("Exporting ") + grid.index(r, 0).data(FileManagerModel::FileNameRole).toString());
  QString why;
  const bool ok = WriteDataExport(path, lines, append, &why);
  log.step(QStringLiteral("Closing file"));
  if (!ok) {
    log.error(path + QStringLiteral(": ") + why);
    showMessage(Str(5064).arg(path, why), MsgIcon::Critical);
  }
  log.completed();
  return ok;
}

}  // namespace tarn::fm
