#pragma once
// The decisions of the main window's start-up, activation and shutdown, kept apart from the window
// so that they can be tested without one. Every function logs its own step texts.
#include <QDateTime>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

namespace tarn {
class ProcLog;
}

namespace tarn::app {

// ---- Placement. Stored positions and sizes are twips: 15 twips per pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;
int twipsToPixels(int twips);
int pixelsToTwips(int pixels);

// Position from "MainWinPosLeft"/"MainWinPosTop", centred on the screen by default (pixels).
QRect restoredPlacement(const QSize& windowPx, const QRect& screenPx);
// A window larger than the work area shrinks to it; one past an edge moves back inside.
QRect fitToDesktop(const QRect& window, const QRect& workArea);
// Normal size at activation: "MainWinPosW"/"MainWinPosH" and the centred defaults, within the screen.
QRect normalSizePlacement(const QRect& screenPx);
void savePlacement(const QRect& windowPx);  // the four "MainWinPos" values, twips

// ---- Subject monitor and colour depth.
int chooseSubjectMonitor(int setting, int monitorCount);  // beyond the monitors present: none
enum class DepthProblem { None, Subject, Main };
// The subject monitor's depth counts when it yields one, else the main window's.
DepthProblem colourDepthProblem(int subjectDepth, int mainDepth);
QString colourDepthMessage(DepthProblem p);

// ---- Clock reminder: the text for the moment shown.
QString clockReminderText(const QDateTime& now);

// ---- Testing command.
struct BeginDecision {
  bool enabled = false;
  QString tooltip;  // the first failed condition; empty when enabled
};
BeginDecision decideBegin(const ProcLog& log);  // logs the outcome as a step of log
bool folderWritable(const QString& folder);     // creates and deletes a probe file

// ---- Start with the desktop: an XDG autostart entry in the user's configuration folder.
QString autostartEntryPath();
bool setStartWithDesktop(bool on, const QString& executable);

// ---- Power-off through the login manager. The command is replaceable so that tests never
// power anything off.
bool shutdownAvailable();
using PowerOff = std::function<bool()>;
PowerOff setPowerOff(PowerOff powerOff);  // returns the previous one; empty restores the real one
bool requestPowerOff();

// ---- Temporary files of the station (its own temporary folder only). Returns the count removed.
int removeTempFiles(const QStringList& patterns);

// ---- Activation notices collected into one message.
struct MonitorIdentity {
  QString devName, devString;
  int resHor = 0, resVert = 0;
};
bool unitsNeverChosen();
bool monitorChanged(const MonitorIdentity& current);

// ---- Fixed texts of the start-up.
inline constexpr int kStartupHelpContext = 500;
}  // namespace tarn::app
