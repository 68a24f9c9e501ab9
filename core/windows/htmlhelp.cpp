#include "core/windows/htmlhelp.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <utility>

#include "core/eventlog.h"
#include "core/folders.h"

namespace tarn {
namespace {
KMX_HTMLHelp::Opener& opener() {
  static KMX_HTMLHelp::Opener o;
  return o;
}
}  // namespace

QString KMX_HTMLHelp::helpFolder() { return folders::withSlash(folders::programFolder()) + "help"; }

QString KMX_HTMLHelp::pageFor(int context) {
  const QString folder = helpFolder() + '/';
  if (context != 0) {
    const QString page = folder + QString::number(context) + ".html";
    if (QFileInfo::exists(page)) return page;
  }
  const QString index = folder + "index.html";
  return QFileInfo::exists(index) ? index : QString();
}

bool KMX_HTMLHelp::ShowContext(int context) const {
  ProcLog log("KMX_HTMLHelp", "ShowContext", QStringLiteral("Begin, Context = %1").arg(context));
  const QString page = pageFor(context);
  if (page.isEmpty()) {
    log.step("No help page installed");
    return false;
  }
  const QUrl url = QUrl::fromLocalFile(page);
  const bool ok = opener() ? opener()(url) : QDesktopServices::openUrl(url);
  if (!ok) log.step("Help page could not be opened: " + page);
  log.completed();
  return ok;
}

KMX_HTMLHelp::Opener KMX_HTMLHelp::setOpener(Opener o) { return std::exchange(opener(), std::move(o)); }

}  // namespace tarn
