#include "data/lists/folderindex.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include "core/eventlog.h"
#include "core/folders.h"

namespace tarn::folderindex {
namespace {

constexpr int kLockWaitMs = 10000;
constexpr int kLockPollMs = 2;

QString errnoText(int e) { return QString::fromLocal8Bit(::strerror(e)); }

// The lines of the index; false when it exists but cannot be read (a missing index has none).
bool readLines(const QString& path, QStringList* lines) {
  lines->clear();
  QByteArray bytes;
  switch (folders::readFile(path, 64 * 1024 * 1024, &bytes)) {
    case folders::ReadResult::Missing:
      return true;
    case folders::ReadResult::TooLarge:
    case folders::ReadResult::Failed:
      return false;
    case folders::ReadResult::Read:
      break;
  }
  QString text = QString::fromUtf8(bytes);
  text.replace("\r\n", "\n");
  *lines = text.split('\n');
  if (!lines->isEmpty() && lines->last().isEmpty()) lines->removeLast();
  return true;
}

bool isSectionLine(const QString& line, QString* name) {
  const QString t = line.trimmed();
  if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']')) return false;
  if (name) *name = t.mid(1, t.size() - 2).trimmed();
  return true;
}

bool needsQuotes(const QString& key) {
  return key.startsWith('"') || key.contains('\n') || key.contains('\r') || key != key.trimmed();
}

QString quoted(const QString& key) {
  QString out = QStringLiteral("\"");
  for (const QChar c : key) {
    if (c == '\\' || c == '"')
      out += '\\' + QString(c);
    else if (c == '\n')
      out += QStringLiteral("\\n");
    else if (c == '\r')
      out += QStringLiteral("\\r");
    else
      out += c;
  }
  return out + '"';
}

QString unquoted(const QString& text) {
  QString out;
  for (qsizetype i = 1; i + 1 < text.size(); ++i) {
    QChar c = text.at(i);
    if (c == '\\' && i + 2 < text.size()) {
      c = text.at(++i);
      if (c == 'n')
        c = '\n';
      else if (c == 'r')
        c = '\r';
    }
    out += c;
  }
  return out;
}

// A data-folder path may itself hold '=', a generated file name never does: split at the last one.
bool splitKeyValue(const QString& line, QString& key, QString& value) {
  const qsizetype eq = line.lastIndexOf('=');
  if (eq <= 0) return false;
  key = line.left(eq).trimmed();
  if (key.size() >= 2 && key.startsWith('"') && key.endsWith('"')) key = unquoted(key);
  value = line.mid(eq + 1).trimmed();
  return true;
}

QString keyLine(const QString& key, const QString& value) {
  return (needsQuotes(key) ? quoted(key) : key) + "=" + value;
}

QString listFileName(const QString& prefix, int n, const QString& ext) {
  return prefix + QString::number(n).rightJustified(6, '0') + ext;
}

QString dottedExt(const QString& ext) {
  QString e = ext.trimmed();
  if (!e.isEmpty() && !e.startsWith('.')) e.prepend('.');
  return e;
}

}  // namespace

IndexLock::IndexLock(const QString& folder) {
  folders::ensureFolder(folder);
  const QByteArray path = folders::encodeName(QDir(folder).filePath(QString::fromLatin1(kLockFileName)));
  // Empty, it names nobody: others who share the folder may open it to take the lock.
  fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) fd_ = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = errnoText(errno);
    return;
  }
  for (int waited = 0;; waited += kLockPollMs) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      error_ = errnoText(errno);
      break;
    }
    if (waited >= kLockWaitMs) {
      error_ = QStringLiteral("another process holds the folder index");
      break;
    }
    QThread::msleep(kLockPollMs);
  }
  ::close(fd_);
  fd_ = -1;
}

IndexLock::~IndexLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

QString readValue(const QString& indexPath, const QString& section, const QString& key, const QString& def) {
  QStringList lines;
  readLines(indexPath, &lines);
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

bool readValues(const QString& indexPath, const QString& section, QStringList* values) {
  values->clear();
  QStringList lines;
  if (!readLines(indexPath, &lines)) return false;
  bool inSection = false;
  for (const QString& line : lines) {
    QString name;
    if (isSectionLine(line, &name)) {
      inSection = name.compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    QString k, v;
    if (inSection && splitKeyValue(line, k, v)) *values << v;
  }
  return true;
}

bool writeValue(const QString& indexPath, const QString& section, const QString& key, const QString& value) {
  ProcLog log("KM_RQLists", "FolderIndexWrite", keyLine(key.trimmed(), value).replace('\n', ' '));
  const QString k = key.trimmed();
  if (k.isEmpty() || value.contains('\n') || value.contains('\r') || value.contains('=')) {
    log.error("Invalid folder index entry");
    return false;
  }
  QStringList lines;
  if (!readLines(indexPath, &lines)) {
    log.error("Cannot read " + indexPath);
    return false;
  }
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
      lines[i] = keyLine(k, value);
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
    lines.insert(insertAt, keyLine(k, value));
  }
  folders::ensureFolder(QFileInfo(indexPath).absolutePath());
  QString error;
  if (!folders::writePrivateFile(indexPath, lines.join('\n').toUtf8() + '\n', &error)) {
    log.error(error);
    return false;
  }
  log.completed();
  return true;
}

QString newListFileName(const QString& folder, const QString& prefix, const QString& ext, QString* error) {
  const QString e = dottedExt(ext);
  const QDir dir(folder);
  QString why;
  for (int n = 1; n <= 999999; ++n) {
    const QString name = listFileName(prefix.trimmed(), n, e);
    // Made here and now: a name another process took a moment ago is not handed out again.
    if (folders::createPrivateFile(dir.filePath(name), &why)) return name;
    if (errno != EEXIST) {
      if (error) *error = why;
      return QString();
    }
  }
  if (error) *error = QStringLiteral("every list file number is taken");
  return QString();
}

int removeOrphanListFiles(const QString& folder, const QString& indexPath, const QString& section,
                          const QString& prefix, const QString& ext) {
  QStringList named;
  if (!QFileInfo::exists(indexPath) || !readValues(indexPath, section, &named)) return 0;
  for (QString& v : named)
    if (QDir::isAbsolutePath(v)) v = QFileInfo(v).fileName();
  const QRegularExpression pattern(
      QStringLiteral("^%1\\d{6}%2$")
          .arg(QRegularExpression::escape(prefix.trimmed()), QRegularExpression::escape(dottedExt(ext))));
  int removed = 0;
  const QDir dir(folder);
  for (const QString& name : folders::filesEndingIn(folder, dottedExt(ext))) {
    if (!pattern.match(name).hasMatch() || named.contains(name)) continue;
    if (QFile::remove(dir.filePath(name))) ++removed;
    QFile::remove(dir.filePath(name + QStringLiteral("-journal")));  // the database journal it kept
  }
  return removed;
}

}  // namespace tarn::folderindex
