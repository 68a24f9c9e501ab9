#include "files/filecommands.h"

#include <QDir>
#include <QFileInfo>

#include "core/eventlog.h"
#include "core/filedialogs.h"
#include "core/folders.h"
#include "core/mail.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "data/subjectfile/subjectfile.h"
#include "files/filemove.h"
#include "files/filessettings.h"
#include "files/sibling.h"
#include "support/strings/strings.h"

namespace tarn::fm {
namespace {
constexpr char kModule[] = "frmFManager";

QString folderOfFile(const QString& path) { return QFileInfo(path).absolutePath(); }

void warn(const QString& text) { showMessage(text, MsgIcon::Exclamation); }
void critical(const QString& text) { showMessage(text, MsgIcon::Critical); }

QString dataExt(const QString& ext) {
  QString e = ext.trimmed();
  if (!e.isEmpty() && !e.startsWith('.')) e.prepend('.');
  return e;
}
}  // namespace

QString DataFolder::filePath(const QString& name) const { return folders::withSlash(path) + name; }

QString ImportTargetName(const DataFolder& folder, const QString& sourcePath) {
  const QString ext = dataExt(folder.ext);
  const QString own = QFileInfo(sourcePath).completeBaseName() + ext;
  if (!QFileInfo::exists(folder.filePath(own))) return own;
  for (int n = 1; n <= 999999; ++n) {
    const QString name = QStringLiteral("STF%1").arg(n, 6, 10, QChar('0')) + ext;
    if (!QFileInfo::exists(folder.filePath(name))) return name;
  }
  return QString();
}

FileCommands::FileCommands(DataFolder folder, SiblingProgram* sibling)
    : folder_(std::move(folder)), sibling_(sibling) {}

bool FileCommands::needSelection(const QStringList& names) const {
  if (!names.isEmpty()) return true;
  warn(Str(5062));
  return false;
}

QStringList FileCommands::Import() {
  ProcLog log(kModule, "cmdImport_Click");
  FileDialogRequest req;
  req.kind = FileDialogKind::OpenMany;
  req.title = Str(5030);
  req.filter = Str(5035);
  req.folder = dialogStartFolder(settings::read(settings::LastImportPath));
  const QStringList chosen = showFileDialog(req);
  QStringList imported;
  if (chosen.isEmpty()) {
    log.step(QStringLiteral("Cancelled"));
    log.completed();
    return imported;
  }
  settings::write(settings::LastImportPath, folderOfFile(chosen.first()));

  const QString dataFolder = QDir(folder_.path).absolutePath();
  for (const QString& file : chosen) {
    if (folderOfFile(file) == dataFolder) {
      warn(Str(5066).arg(file));
      continue;
    }
    QString why;
    if (!SubjectFile::IsAcceptable(file, QString::fromLatin1(kSubjectFileIdentification), &why)) {
      log.step(QStringLiteral("Not acceptable: ") + why);
      warn(Str(5040).arg(file));
      continue;
    }
    const QString target = ImportTargetName(folder_, file);
    log.step(QStringLiteral("Importing ") + file);
    const FileOpResult r = MoveFileSafely(file, folder_.filePath(target), false);
    if (!r.done) {
      log.error(file + QStringLiteral(": ") + r.error);
      critical(Str(5060).arg(file, folder_.filePath(target), r.error));
      continue;
    }
    if (!r.sourceRemoved) {
      log.error(file + QStringLiteral(" stayed: ") + r.error);
      warn(Str(5068).arg(file, folder_.filePath(target), r.error));
    }
    log.step(QStringLiteral("Imported as ") + target);
    imported << target;
  }
  log.completed();
  return imported;
}

QStringList FileCommands::Export(const QStringList& names) {
  ProcLog log(kModule, "cmdExport_Click");
  QStringList removed;
  if (!needSelection(names)) {
    log.completed();
    return removed;
  }
  for (const QString& name : names) {
    const QString source = folder_.filePath(name);
    QString dest;
    for (;;) {
      FileDialogRequest req;
      req.kind = FileDialogKind::Save;
      req.title = Str(5031);
      req.filter = Str(5035);
      req.folder = dialogStartFolder(settings::read(settings::LastExportPath));
      req.fileName = name;
      req.defaultExt = settings::read(settings::DefaultExt);
      const QStringList chosen = showFileDialog(req);
      if (chosen.isEmpty()) {
        log.step(QStringLiteral("Cancelled"));
        log.completed();
        return removed;
      }
      dest = chosen.first();
      settings::write(settings::LastExportPath, folderOfFile(dest));
      if (!IsDestinationReadOnly(dest)) break;
      warn(Str(5041));
    }
    if (IsSameFile(source, dest)) {
      warn(Str(5065).arg(name));
      continue;
    }
    bool replace = false;
    if (QFileInfo::exists(dest)) {
      const MsgResult a = showMessage(Str(5042), MsgIcon::Question, MsgButtons::YesNoCancel);
      if (a == MsgResult::Cancel) {
        log.completed();
        return removed;
      }
      if (a == MsgResult::No) continue;
      replace = true;
    }
    log.step(QStringLiteral("Move File ") + source + QStringLiteral(" to ") + dest);
    const FileOpResult r = MoveFileSafely(source, dest, replace);
    if (!r.done) {
      log.error(name + QStringLiteral(": ") + r.error);
      critical(Str(5060).arg(source, dest, r.error));
      continue;
    }
    if (!r.sourceRemoved) {
      log.error(name + QStringLiteral(" stayed: ") + r.error);
      warn(Str(5068).arg(source, dest, r.error));
    }
    if (!QFileInfo::exists(source)) {
      log.step(QStringLiteral("Delete file from list ") + name);
      removed << name;
    }
  }
  log.completed();
  return removed;
}

int FileCommands::BackUp(const QStringList& names) {
  ProcLog log(kModule, "cmdBackUp_Click");
  int copied = 0;
  if (!needSelection(names)) {
    log.completed();
    return copied;
  }
  QString folder;
  for (;;) {
    FileDialogRequest req;
    req.kind = FileDialogKind::Folder;
    req.title = Str(5037);
    req.folder = dialogStartFolder(settings::read(settings::LastBackUpPath));
    const QStringList chosen = showFileDialog(req);
    if (chosen.isEmpty()) {
      log.step(QStringLiteral("Cancelled"));
      log.completed();
      return copied;
    }
    folder = QDir(chosen.first()).absolutePath();
    settings::write(settings::LastBackUpPath, folder);
    if (IsFolderWritable(folder)) break;
    warn(Str(5043));
  }
  const QString target = folders::withSlash(folder);
  bool anyExisting = false;
  for (const QString& name : names) anyExisting = anyExisting || QFileInfo::exists(target + name);
  bool replace = false;
  if (anyExisting) {
    const MsgResult a = showMessage(Str(5044), MsgIcon::Question, MsgButtons::YesNoCancel);
    if (a == MsgResult::Cancel) {
      log.completed();
      return copied;
    }
    replace = a == MsgResult::Yes;  // No keeps the files there and copies the others
  }
  for (const QString& name : names) {
    const QString source = folder_.filePath(name);
    const QString dest = target + name;
    if (IsSameFile(source, dest)) {
      warn(Str(5065).arg(name));
      continue;
    }
    if (!replace && QFileInfo::exists(dest)) {
      log.step(QStringLiteral("Keep existing ") + dest);
      continue;
    }
    log.step(QStringLiteral("Copy File ") + name);
    const FileOpResult r = CopyFileSafely(source, dest, replace);
    if (!r.done) {
      log.error(name + QStringLiteral(": ") + r.error);
      critical(Str(5061).arg(source, dest, r.error));
      continue;
    }
    ++copied;
  }
  log.completed();
  return copied;
}

bool FileCommands::Email(const QStringList& names) {
  ProcLog log(kModule, "cmdEmail_Click");
  if (!needSelection(names)) {
    log.completed();
    return false;
  }
  mail::MailRequest m;
  for (const QString& name : names) {
    log.step(QStringLiteral("Attaching ") + name);
    m.attachments << folder_.filePath(name);
  }
  const bool one = names.size() == 1;
  m.subject = Str(one ? 5045 : 5047);
  m.body = Str(one ? 5046 : 5048);
  const bool ok = mail::send(m);
  if (!ok) {
    log.error(QStringLiteral("the mail program could not be started"));
    warn(Str(5063));
  }
  log.completed();
  return ok;
}

bool FileCommands::OpenInSG(const QStringList& names) {
  ProcLog log(kModule, "cmdOpenInSG_Click");
  if (!needSelection(names)) {
    log.completed();
    return false;
  }
  if (!sibling_ || !sibling_->Connect()) {
    log.error(QStringLiteral("could not start or connect to the sibling program"));
    warn(Str(5049));
    log.completed();
    return false;
  }
  for (const QString& name : names) {
    const QString path = folder_.filePath(name);
    log.step(QStringLiteral("Opening ") + name);
    if (!sibling_->OpenFile(path)) warn(Str(5050).arg(path));
  }
  log.completed();
  return true;
}

}  // namespace tarn::fm
