#pragma once
// Hands a new e-mail to the desktop's mail program (xdg-email), which shows it to the operator
// before sending. Failures, a missing xdg-email included, are reported as false and otherwise
// ignored by the callers. Tests replace the launcher to check the arguments.
#include <QString>
#include <QStringList>
#include <functional>

namespace tarn::mail {

struct MailRequest {
  QStringList to;
  QString subject;
  QString body;
  QStringList attachments;  // full file names
};

// Starts the program detached; true when it started.
using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;
Launcher setLauncher(Launcher launcher);  // returns the previous one; empty restores the real one

QStringList xdgEmailArguments(const MailRequest& m);
bool send(const MailRequest& m);

QString supportAddress();  // configuration value "Support EMail" of the settings root
bool sendErrorLog(const QString& errorLogPath);
QString errorLogBody();
// What the mail's text shows of the error log after the body: the log itself, or its last part
// (whole lines) when it is longer than kErrorLogShownBytes; the whole log is attached either way.
inline constexpr qint64 kErrorLogShownBytes = 64 * 1024;
QString errorLogShown(const QString& errorLogPath);
}  // namespace tarn::mail
