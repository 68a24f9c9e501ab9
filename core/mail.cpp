#include "core/mail.h"

#include <QFile>
#include <QProcess>
#include <mutex>

#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"

namespace tarn::mail {
namespace {
std::mutex g_mutex;
Launcher g_launcher;

bool startDetached(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}
}  // namespace

Launcher setLauncher(Launcher launcher) {
  std::lock_guard lock(g_mutex);
  Launcher old = std::move(g_launcher);
  g_launcher = std::move(launcher);
  return old;
}

QStringList xdgEmailArguments(const MailRequest& m) {
  QStringList args;
  if (!m.subject.isEmpty()) args << "--subject" << m.subject;
  if (!m.body.isEmpty()) args << "--body" << m.body;
  for (const QString& a : m.attachments) args << "--attach" << a;
  args << m.to;
  return args;
}

bool send(const MailRequest& m) {
  Launcher launcher;
  {
    std::lock_guard lock(g_mutex);
    launcher = g_launcher;
  }
  const QStringList args = xdgEmailArguments(m);
  const bool ok = launcher ? launcher(QStringLiteral("xdg-email"), args)
                           : startDetached(QStringLiteral("xdg-email"), args);
  if (!ok) eventlog::logError("modMail", "Send", "the mail program could not be started");
  return ok;
}

QString supportAddress() { return settings::read(settings::SupportEMail); }

QString errorLogBody() { return Str(1071); }

QString errorLogShown(const QString& errorLogPath) {
  QFile f(errorLogPath);
  if (!f.open(QIODevice::ReadOnly)) return QString();
  const qint64 size = f.size();
  QString shown = Str(1901);
  if (size > kErrorLogShownBytes) {
    f.seek(size - kErrorLogShownBytes);
    shown += Str(1902).arg(kErrorLogShownBytes / 1024);
  }
  QString text = QString::fromUtf8(f.read(kErrorLogShownBytes));
  if (size > kErrorLogShownBytes) text = text.mid(text.indexOf('\n') + 1);  // from a whole line on
  return shown + text;
}

bool sendErrorLog(const QString& errorLogPath) {
  MailRequest m;
  m.to << supportAddress();
  m.subject = Str(1070);
  // The log goes into the text as well, so that the operator sees in the mail program exactly
  // what will be sent before sending it.
  m.body = errorLogBody() + errorLogShown(errorLogPath);
  m.attachments << errorLogPath;
  return send(m);
}
}  // namespace tarn::mail
