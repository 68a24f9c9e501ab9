#include "app/startupsequence.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <utility>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "data/templates/template.h"
#include "support/strings/strings.h"

namespace tarn::app {

// ---- Placement

int twipsToPixels(int twips) { return twips / kTwipsPerPixel; }
int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

namespace {
int centred(int screenStart, int screenSize, int size) { return screenStart + (screenSize - size) / 2; }
}  // namespace

QRect restoredPlacement(const QSize& w, const QRect& screen) {
  const int defLeft = pixelsToTwips(centred(screen.left(), screen.width(), w.width()));
  const int defTop = pixelsToTwips(centred(screen.top(), screen.height(), w.height()));
  const int left = twipsToPixels(settings::read(settings::MainWinPosLeft, defLeft));
  const int top = twipsToPixels(settings::read(settings::MainWinPosTop, defTop));
  return QRect(QPoint(left, top), w);
}

QRect fitToDesktop(const QRect& window, const QRect& area) {
  QRect r = window;
  if (r.width() > area.width()) r.setWidth(area.width());
  if (r.height() > area.height()) r.setHeight(area.height());
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.top() < area.top()) r.moveTop(area.top());
  return r;
}

QRect normalSizePlacement(const QRect& screen) {
  const QSize size(twipsToPixels(settings::read(settings::MainWinPosW)),
                   twipsToPixels(settings::read(settings::MainWinPosH)));
  const QSize w(qMax(1, size.width()), qMax(1, size.height()));
  return fitToDesktop(restoredPlacement(w, screen), screen);
}

void savePlacement(const QRect& w) {
  settings::write(settings::MainWinPosW, pixelsToTwips(w.width()));
  settings::write(settings::MainWinPosH, pixelsToTwips(w.height()));
  settings::write(settings::MainWinPosLeft, pixelsToTwips(w.left()));
  settings::write(settings::MainWinPosTop, pixelsToTwips(w.top()));
}

// ---- Monitor and colour depth

int chooseSubjectMonitor(int setting, int monitorCount) {
  return setting > monitorCount || setting < 0 ? 0 : setting;
}

DepthProblem colourDepthProblem(int subjectDepth, int mainDepth) {
  if (subjectDepth != 0) return subjectDepth < 16 ? DepthProblem::Subject : DepthProblem::None;
  return mainDepth < 16 ? DepthProblem::Main : DepthProblem::None;
}

QString colourDepthMessage(DepthProblem p) {
  switch (p) {
    case DepthProblem::Subject:
      return Str(1016);
    case DepthProblem::Main:
      return Str(1017);
    case DepthProblem::None:
      break;
  }
  return QString();
}

// ---- Clock

QString clockReminderText(const QDateTime& now) {
  return Str(1018) + '\n' + clock::longDateText(now.date()) + " - " + clock::longTimeText(now.time()) +
         "\n\n" + Str(1019);
}

// ---- Testing command

bool folderWritable(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  QTemporaryFile probe(folders::withSlash(folder) + "~KMTARNRQ-XXXXXX.tst");
  if (!probe.open()) return false;
  probe.close();
  return probe.remove();
}

BeginDecision decideBegin(const ProcLog& log) {
  const bool balance =
      settings::read(settings::EnableBalance) != 0 || settings::read(settings::EnableMBalance) != 0;
  const bool vision = settings::read(settings::EnableVision) != 0;
  BeginDecision d;
  if (!balance && !vision) {
    d.tooltip = Str(1030);
  } else {
    const QString path =
        folders::withSlash(settings::read(settings::TemplatePath)) + settings::read(settings::TemplateFile);
    if (!QFileInfo(path).isFile()) {
      d.tooltip = Str(1031);
    } else {
      if (!TemplateHasEnabledTests(path, balance, vision)) {
        d.tooltip = Str(1032);
      } else if (!folderWritable(settings::read(settings::LastPath))) {
        d.tooltip = Str(1033);
      }
    }
  }
  d.enabled = d.tooltip.isEmpty();
  log.step(d.enabled ? QStringLiteral("Testing enabled") : d.tooltip);
  return d;
}

// ---- Autostart

QString autostartEntryPath() {
  const QString config = QFileInfo(folders::settingsStorePath()).absolutePath();
  // The settings store sits in <config>/Kamrith Labs/TARN RQ normally, in <home>/Config when sandboxed.
  QString base;
  if (!qEnvironmentVariableIsEmpty("TARNRQ_HOME"))
    base = config;
  else
    base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return base + "/autostart/KMTARNRQ.desktop";
}

bool setStartWithDesktop(bool on, const QString& executable) {
  const QString path = autostartEntryPath();
  if (!on) return !QFileInfo::exists(path) || QFile::remove(path);
  if (!folders::ensureFolder(QFileInfo(path).absolutePath())) return false;
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QString exec = executable;
  if (exec.contains(' ')) exec = '"' + exec + '"';
  const QString entry = QStringLiteral(
                            "[Desktop Entry]\nType=Application\nName=Kamrith Labs TARN™ RQ\nExec=%1\n"
                            "Terminal=false\nX-GNOME-Autostart-enabled=true\n")
                            .arg(exec);
  f.write(entry.toUtf8());
  return f.commit();
}

// ---- Power-off

namespace {
PowerOff& powerOffHook() {
  static PowerOff p;
  return p;
}
QString powerOffProgram() {
  for (const char* p : {"systemctl", "loginctl"}) {
    const QString found = QStandardPaths::findExecutable(p);
    if (!found.isEmpty()) return found;
  }
  return QString();
}
}  // namespace

bool shutdownAvailable() { return bool(powerOffHook()) || !powerOffProgram().isEmpty(); }

PowerOff setPowerOff(PowerOff p) { return std::exchange(powerOffHook(), std::move(p)); }

bool requestPowerOff() {
  if (powerOffHook()) return powerOffHook()();
  const QString program = powerOffProgram();
  return !program.isEmpty() && QProcess::startDetached(program, {"poweroff"});
}

// ---- Temporary files

int removeTempFiles(const QStringList& patterns) { return folders::removeTempFiles(patterns); }

// ---- Activation notices

bool unitsNeverChosen() {
  return settings::read(settings::UnitsForce, -1) == -1 || settings::read(settings::UnitsLength, -1) == -1 ||
         settings::read(settings::UnitsMass, -1) == -1;
}

bool monitorChanged(const MonitorIdentity& c) {
  return c.devName != settings::read(settings::MonitorDevName) ||
         c.devString != settings::read(settings::MonitorDevString) ||
         c.resHor != settings::read(settings::MonitorResHor) ||
         c.resVert != settings::read(settings::MonitorResVert);
}

}  // namespace tarn::app
