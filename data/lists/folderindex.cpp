#include "data/lists/folderindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include "core/eventlog.h"

namespace tarn::folderindex {
namespace {

QStringList readLines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(f.readAll());
  text.replace("\r\n", "\n");
  QStringList lines = text.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

bool isSectionLine(const QString& line, QString* name) {
  const QString t = line.trimmed();
  if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']')) return false;
  if (name) *name = t.mid(1, t.size() - 2).trimmed();
  return true;
}

// A data-folder path may itself hold '=', a generated file name never does: split at the last one.
bool splitKeyValue(const QString& line, QString& key, QString& value) {
  const int eq = line.lastIndexOf('=');
  if (eq <= 0) return false;
  key = line.left(eq).trimmed();
  value = line.mid(eq + 1).trimmed();
  return true;
}

}  // namespace

QString readValue(const QString& indexPath, const QString& section, const QString& key, const QString& def) {
  const QStringList lines = readLines(indexPath);
  bool inSection = false;
  for (const QString& line : lines) {
    QString name;
    if (isSectionLine(line, &name)) {
      inSection = name.compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    if (!inSection) continue;
    QString k, v;
    if (splitKeyValue(line, k, v) && k == key.trimmed()) return v;
  }
  return def;
}

bool writeValue(const QString& indexPath, const QString& section, const QString& key, const QString& value) {
  ProcLog log("KM_RQLists", "FolderIndexWrite", key + " = " + value);
  const QString k = key.trimmed();
  if (k.isEmpty() || k.contains('\n') || value.contains('\n')) {
    log.error("Invalid folder index entry");
    return false;
  }
  QStringList lines = readLines(indexPath);
  int sectionAt = -1;
  int insertAt = -1;  // after the last non-blank line of the section
  bool done = false;
  for (int i = 0; i < lines.size() && !done; ++i) {
    QString name;
    if (isSectionLine(lines[i], &name)) {
      if (sectionAt >= 0) break;
      if (name.compare(section, Qt::CaseInsensitive) == 0) {
        sectionAt = i;
        insertAt = i + 1;
      }
      continue;
    }
    if (sectionAt < 0) continue;
    QString lk, lv;
    if (splitKeyValue(lines[i], lk, lv) && lk == k) {
      lines[i] = k + "=" + value;
      done = true;
    } else if (!lines[i].trimmed().isEmpty()) {
      insertAt = i + 1;
    }
  }
  if (!done) {
    if (sectionAt < 0) {
      if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
      lines << "[" + section + "]";
      insertAt = lines.size();
    }
    lines.insert(insertAt, k + "=" + value);
  }
  QDir().mkpath(QFileInfo(indexPath).absolutePath());
  QSaveFile out(indexPath);
  if (!out.open(QIODevice::WriteOnly)) {
    log.error("Cannot write " + indexPath + ": " + out.errorString());
    return false;
  }
  out.write(lines.join('\n').toUtf8() + '\n');
  if (!out.commit()) {
    log.error("Cannot write " + indexPath + ": " + out.errorString());
    return false;
  }
  log.completed();
  return true;
}

QString newListFileName(const QString& folder, const QString& prefix, const QString& ext) {
  QString e = ext.trimmed();
  if (!e.isEmpty() && !e.startsWith('.')) e.prepend('.');
  const QDir dir(folder);
  for (int n = 1; n <= 999999; ++n) {
    const QString name = prefix.trimmed() + QString::number(n).rightJustified(6, '0') + e;
    if (!QFileInfo::exists(dir.filePath(name))) return name;
  }
  return QString();
}

}  // namespace tarn::folderindex
