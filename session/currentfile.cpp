#include "session/currentfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "data/templates/template.h"
#include "session/filesave.h"
#include "session/sessionnotices.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr char kModule[] = "mdifrmMain";

QString truth(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

// Read only as the operator means it: marked so (even for an administrator) or refused by the
// system (a read-only disk).
bool markedWritable(const QString& path) {
  struct stat st {};
  const QByteArray p = QFile::encodeName(path);
  return ::stat(p.constData(), &st) == 0 && (st.st_mode & S_IWUSR) && ::access(p.constData(), W_OK) == 0;
}

void clearSettingsPair() {
  settings::write(settings::LastName, QString());
  settings::write(settings::LastTemp, QString());
}

// What file browsers show for the file: the subject's name, else the ID.
QString titleOf(const SubjectInfo& s) {
  const QString name = (s.sNameFirst.trimmed() + QLatin1Char(' ') + s.sNameLast.trimmed()).trimmed();
  return name.isEmpty() ? s.sSubjectID.trimmed() : name;
}

QString saveFailure(const QString& why) {
  return Str(4004) + QStringLiteral("\n\n") + why + QStringLiteral("\n\n") + Str(4025);
}

}  // namespace

CurrentSubjectFile::CurrentSubjectFile(SessionNotices* notices)
    : notices_(notices ? notices : &noSessionNotices()) {}

CurrentSubjectFile::~CurrentSubjectFile() = default;

void CurrentSubjectFile::setNotices(SessionNotices* notices) {
  notices_ = notices ? notices : &noSessionNotices();
}

QString CurrentSubjectFile::NewWorkingCopyName() {
  const QString folder = folders::tempFolder();
  folders::ensureFolder(folder);
  QString ext = settings::read(settings::TempExt).trimmed();
  if (ext.isEmpty()) ext = QStringLiteral(".tmp");
  if (!ext.startsWith(QLatin1Char('.'))) ext.prepend(QLatin1Char('.'));
  QByteArray pattern = QFile::encodeName(QDir(folder).filePath(QStringLiteral("~STXXXXXX") + ext));
  const int fd = ::mkstemps(pattern.data(), static_cast<int>(QFile::encodeName(ext).size()));
  if (fd < 0) return QString();
  ::close(fd);
  return QFile::decodeName(pattern);
}

QString CurrentSubjectFile::NewSubjectFileName(const QString& folder, const QString& extension) {
  QString ext = extension.trimmed();
  if (!ext.isEmpty() && !ext.startsWith(QLatin1Char('.'))) ext.prepend(QLatin1Char('.'));
  const QDir dir(folder);
  for (int n = 1; n <= 999999; ++n) {
    const QString path = dir.filePath(QStringLiteral("STF%1").arg(n, 6, 10, QLatin1Char('0')) + ext);
    if (!QFileInfo::exists(path)) return path;
  }
  return QString();
}

qint32 CurrentSubjectFile::WholeDaysBetween(double earlier, double later) {
  // The whole part of a day count names the day, also before 1899 (see core/clock.h).
  return static_cast<qint32>(std::trunc(later) - std::trunc(earlier));
}

bool CurrentSubjectFile::fnFileIsAcceptable(const QString& fileName) {
  ProcLog log(kModule, "fnFileIsAcceptable", fileName);
  if (fileName.trimmed().isEmpty() || !QFileInfo(fileName).isFile()) {
    log.step(QStringLiteral("Done, Status=False"));
    return false;
  }
  SubjectFile probe;
  const bool ok = probe.Open(fileName, QString::fromLatin1(kSubjectFileIdentification));
  probe.Close();
  log.step(QStringLiteral("Done, Status=") + truth(ok));
  return ok;
}

bool CurrentSubjectFile::openFailed(bool anythingOpen) {
  if (!anythingOpen) clearSettingsPair();
  return false;
}

bool CurrentSubjectFile::fnFileOpen(const QString& fileName) {
  ProcLog log(kModule, "fnFileOpen", fileName);
  const QString name = QFileInfo(fileName.trimmed()).absoluteFilePath();
  const bool exists = QFileInfo(name).isFile();
  if (exists && !fnFileIsAcceptable(name)) {
    log.step(QStringLiteral("Wrong type of File"));
    showMessage(Str(4000), MsgIcon::Critical);
    return openFailed(IsOpen());
  }
  if (fnFileClose(false)) {
    log.step(QStringLiteral("Can't close current one"));
    return false;
  }

  auto object = std::make_unique<SubjectFile>();
  const QString temp = NewWorkingCopyName();
  bool ok = !temp.isEmpty();
  if (!ok) log.error(QStringLiteral("No working copy name in ") + folders::tempFolder());
  if (ok && exists) {
    QFile::remove(temp);
    ok = QFile::copy(name, temp) && QFile::setPermissions(temp, QFile::ReadOwner | QFile::WriteOwner) &&
         object->Open(temp);
    if (!ok) log.error(QStringLiteral("Working copy not opened: ") + object->LastError());
  } else if (ok) {
    // A new subject: an empty file, written at once so that a crash can recover it.
    ok = object->CreateEmpty();
    if (ok) {
      object->sAuthor = productTitle();
      ok = object->Save(temp);
    }
    if (!ok) log.error(QStringLiteral("New file not created: ") + object->LastError());
  }
  if (!ok) {
    if (!temp.isEmpty()) QFile::remove(temp);
    showMessage(Str(4001), MsgIcon::Critical);
    return openFailed(false);
  }

  file_ = std::move(object);
  name_ = name;
  temp_ = temp;
  changed_ = !exists;
  settings::write(settings::LastName, name_);
  settings::write(settings::LastTemp, temp_);
  RemoveOrphanVisionTests();
  RemoveOrphanZeros();
  notices_->FileOpening(name_);

  log.step(QStringLiteral("File Opened - Check settings"));
  if (file_->VisitCount() == 0) {
    log.step(QStringLiteral("No visit - AutoCreate new visit"));
    fnFileAddNewVisit();
  } else if (WholeDaysBetween(file_->VisitItem(file_->VisitCount())->dtDate, clock::nowDays()) >= 1) {
    log.step(QStringLiteral("More than a day old - AutoCreate new visit"));
    fnFileAddNewVisit();
  }
  log.completed();
  return true;
}

void CurrentSubjectFile::forget() {
  ProcLog log(kModule, "fnFileClose");
  log.step(QStringLiteral("Close File"));
  if (file_) file_->Close();
  log.step(QStringLiteral("Delete Temp"));
  if (!temp_.isEmpty()) QFile::remove(temp_);
  log.step(QStringLiteral("Clear Registry"));
  clearSettingsPair();
  file_.reset();
  name_.clear();
  temp_.clear();
  changed_ = copyStale_ = false;
}

bool CurrentSubjectFile::fnFileClose(bool noPrompt) {
  ProcLog log(kModule, "fnFileClose", QStringLiteral("NoPrompt = ") + truth(noPrompt));
  if (!file_) {
    log.completed();
    return false;
  }
  notices_->FileClosing(name_);
  if (changed_) {
    const bool ask = !noPrompt && (!visible_ || visible_());
    const MsgResult answer =
        ask ? showMessage(Str(4002), MsgIcon::Question, MsgButtons::YesNoCancel) : MsgResult::No;
    if (answer == MsgResult::Cancel) {
      log.step(QStringLiteral("Cancel Save"));
      return true;
    }
    if (answer == MsgResult::Yes) {
      log.step(QStringLiteral("Save"));
      if (!fnDataSave(false)) {
        // Nothing recorded may be lost: the file stays open with its working copy.
        log.step(QStringLiteral("Save failed - File kept open"));
        return true;
      }
      log.completed();
      return false;
    }
    log.step(QStringLiteral("Don't Save"));
  }
  forget();
  log.completed();
  return false;
}

bool CurrentSubjectFile::SaveWorkingCopy(bool force) {
  if (!file_) return false;
  if (!force && !copyStale_) return true;
  ProcLog log(kModule, "SaveWorkingCopy", temp_);
  file_->sTitle = titleOf(file_->subject);
  file_->sAuthor = productTitle();
  if (!file_->Save(temp_)) {
    log.error(QStringLiteral("Working copy not written: ") + file_->LastError());
    return false;
  }
  copyStale_ = false;
  log.completed();
  return true;
}

bool CurrentSubjectFile::fnDataSave(bool keepOpen) {
  ProcLog log(kModule, "fnDataSave", QStringLiteral("KeepOpen = ") + truth(keepOpen));
  if (!file_) {
    log.step(QStringLiteral("No file open"));
    return false;
  }
  const QFileInfo target(name_);
  if (target.absoluteDir().exists() &&
      (!markedWritable(target.absolutePath()) || (target.exists() && !markedWritable(name_)))) {
    log.step(QStringLiteral("File or folder is read only"));
    showMessage(Str(4003) + QStringLiteral("\n\n") + Str(4025), MsgIcon::Critical);
    return false;
  }
  notices_->FileSaving(name_);
  if (!SaveWorkingCopy()) {
    showMessage(saveFailure(Str(4026)), MsgIcon::Critical);
    return false;
  }
  log.step(QStringLiteral("Working copy saved"));
  QString why;
  if (!ReplaceWithBackups(temp_, name_, &why)) {
    showMessage(saveFailure(why), MsgIcon::Critical);
    return false;
  }
  changed_ = false;
  if (keepOpen) {
    log.step(QStringLiteral("File Kept Open Succesfully"));
  } else {
    log.step(QStringLiteral("File Closed Succesfully - Clear Temp"));
    forget();
  }
  log.completed();
  return true;
}

bool CurrentSubjectFile::fnFileRecover(const QString& lastName, const QString& lastTemp) {
  ProcLog log(kModule, "fnFileRecover");
  // Every way out, refused or recovered, ends the procedure's lines.
  const bool recovered = [&] {
    QString name = lastName.trimmed(), temp = lastTemp.trimmed();
    if (name.isEmpty() && temp.isEmpty()) {
      name = settings::read(settings::LastName).trimmed();
      temp = settings::read(settings::LastTemp).trimmed();
    }
    if (name.isEmpty() && temp.isEmpty()) {
      log.step(QStringLiteral("No file to recover"));
      return false;
    }
    if (IsOpen()) {
      log.step(QStringLiteral("A file is already open"));
      return false;
    }
    if (notices_->HasClients()) {
      log.step(QStringLiteral("Query Server"));
      if (!notices_->AppQueryFileRecovery(name, temp)) {
        log.step(QStringLiteral("Server Cancels Recovery"));
        clearSettingsPair();
        return false;
      }
    }
    log.step(QStringLiteral("Verify File is OK"));
    if (name.isEmpty() || temp.isEmpty() || QFileInfo(temp).size() <= 0 || !fnFileIsAcceptable(temp)) {
      log.step(QStringLiteral("No good Temp file exists"));
      clearSettingsPair();
      return false;
    }
    if (!QFileInfo::exists(name)) showMessage(Str(4005), MsgIcon::Information);
    if (showMessage(Str(4006), MsgIcon::Information, MsgButtons::YesNo) != MsgResult::Yes) {
      log.step(QStringLiteral("Recovery negated"));
      clearSettingsPair();
      QFile::remove(temp);  // health data does not stay behind in the temporary folder
      return false;
    }
    auto object = std::make_unique<SubjectFile>();
    if (!object->Open(temp)) {
      log.error(QStringLiteral("Working copy not opened: ") + object->LastError());
      showMessage(Str(4001), MsgIcon::Critical);
      clearSettingsPair();
      return false;
    }
    file_ = std::move(object);
    name_ = QFileInfo(name).absoluteFilePath();
    temp_ = temp;
    changed_ = true;  // nothing of it reached the subject file yet (the working copy holds it all)
    notices_->FileOpening(name_);
    RemoveOrphanZeros();
    return true;
  }();
  log.completed();
  return recovered;
}

Visit* CurrentSubjectFile::fnFileAddNewVisit() {
  ProcLog log(kModule, "fnFileAddNewVisit");
  if (!file_) return nullptr;
  const Visit* earlier = file_->VisitItem(file_->VisitCount());
  Visit* visit = file_->AddVisit();
  if (earlier) {
    visit->phys = earlier->phys;
    visit->contacts = earlier->contacts;
  }
  setDataChanged(true);
  log.step(QStringLiteral("Visit ") + visit->sVisitID);
  notices_->NewVisit(file_->VisitCount());
  log.completed();
  return visit;
}

Session* CurrentSubjectFile::fnFileAddNewSession(const KM_RQTemplate* tmpl) {
  ProcLog log(kModule, "fnFileAddNewSession", tmpl ? tmpl->sName : QString());
  if (!file_) return nullptr;
  if (file_->VisitCount() == 0) fnFileAddNewVisit();
  Visit* visit = file_->VisitItem(file_->VisitCount());
  Session* session = visit->AddSession();
  if (tmpl) session->sName = tmpl->sName;
  setDataChanged(true);
  log.step(QStringLiteral("Session ") + session->sSessionID);
  notices_->NewSession(file_->VisitCount(), visit->SessionCount());
  log.completed();
  return session;
}

void CurrentSubjectFile::RemoveOrphanVisionTests(const Session* keep) {
  ProcLog log(kModule, "RemoveOrphanVisionTests");
  if (!file_) return;
  int removed = 0;
  for (const auto& visit : file_->Visits())
    for (const auto& session : visit->Sessions()) {
      if (session.get() == keep) continue;
      for (qint32 i = session->VisionTestCount(); i >= 1; --i) {
        const VisionTest* t = session->VisionTestItem(i);
        if (t->bIsDone == 0 && t->dAcuity == 0 && t->lAcuityClass == 0) {
          session->RemoveVisionTest(i);
          ++removed;
        }
      }
    }
  log.step(QStringLiteral("Removed %1").arg(removed));
  log.completed();
}

void CurrentSubjectFile::RemoveOrphanZeros() {
  ProcLog log(kModule, "RemoveOrphanZeros");
  if (!file_) return;
  int cleared = 0;
  for (const auto& visit : file_->Visits())
    for (const auto& session : visit->Sessions())
      for (const auto& t : session->BalanceTests())
        if (t->hasZero() && !t->TestData() && t->bIsDone == 0) {
          t->ClearZero();
          ++cleared;
        }
  log.step(QStringLiteral("Cleared %1").arg(cleared));
  log.completed();
}

}  // namespace tarn
