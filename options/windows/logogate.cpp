#include "options/windows/logogate.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/windows/showmodal.h"
#include "options/windows/frmppassword.h"
#include "support/strings/strings.h"

namespace tarn {

LogoGate::LogoGate()
    : wait_([](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
      }) {}

AccessLevel LogoGate::askPassword(QWidget* mainWindow, const ProcLog& log) {
  log.step("Prompt for password");
  QString text;
  {
    frmPPassword dlg(mainWindow);
    dlg.txtPassword->clear();
    KMX_cShowModal show;
    if (show.ShowModal(dlg) != QDialog::Accepted) {
      log.step("Cancelled");
      return AccessLevel::None;
    }
    text = dlg.txtPassword->text();
  }  // unloaded before the comparison
  log.step(text.isEmpty() ? "No password returned" : "Hash password");
  log.step("Compare password");
  const PasswordGate::Outcome o = gate_.check(text);
  if (o.lock) {
    showMessage(Str(6288), MsgIcon::Exclamation);
    log.step("Program locked");
    if (mainWindow) mainWindow->hide();
    wait_(PasswordGate::kLockMs);
    if (mainWindow) mainWindow->show();
    log.step("Program unlocked");
  } else if (o.counted) {
    showMessage(Str(6287), MsgIcon::Exclamation);
  }
  return o.level;
}

}  // namespace tarn
