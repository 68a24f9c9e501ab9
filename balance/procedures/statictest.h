#pragma once
// What the static test window does, without the window: the test states, the plate calls of
// practice, pre-test, test and stop, the live CoP, the analysis and class at the end, and the
// plate's errors. The window shows the state and forwards the operator's clicks.
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

#include "balance/plate/plate.h"
#include "balance/procedures/balancetestrun.h"
#include "balance/procedures/copdisplaylogic.h"
#include "balance/procedures/preliminaryresults.h"
#include "balance/procedures/zerojudge.h"

namespace tarn {

class ProcLog;

enum class StaticState {
  Ready,       // set up, waiting for the operator
  Practising,  // live CoP, nothing recorded
  PreTest,     // acquisition started, the subject settles
  Testing,     // samples are recorded
  Storing,     // the acquisition ended: the samples are being analysed and kept
  Stopped,     // ended early by the operator
  Done,        // ended and analysed
  NoPlate,     // the zeroed plate is gone or lost its zero: back to the zero
};
QString StaticStateName(StaticState s);

// Which commands the window offers in a state.
struct StaticButtons {
  bool practiceStart = false, practiceStop = false, recenter = false, acquire = false, stopTest = false,
       redoTest = false, unableToComplete = false, notes = false, replay = false, save = false, back = false,
       cancel = false;
  bool operator==(const StaticButtons&) const = default;
};

class StaticTestController : public QObject {
  Q_OBJECT
 public:
  StaticTestController(KMX_BalancePlate* plate, KMX_HID_Devices* driver, QObject* parent = nullptr);
  ~StaticTestController() override;

  // Whether the test step is the one running; only then are the plate's errors answered.
  void setStepRunning(bool running) { stepRunning_ = running; }

  // Works on a copy of the run; the threshold and the plate angles are read now.
  void setRun(const BalanceTestRun& run);
  const BalanceTestRun& run() const { return run_; }
  // Something acquired or edited that leaving without saving would lose.
  bool changed() const { return changed_; }

  StaticState state() const { return state_; }
  StaticButtons buttons() const;
  // The one status text of a state ("Acquiring...", "Storing Data", "Test Done"...); empty while
  // the time label names the phase (practice, pre-test).
  QString statusText() const;
  QString timeText() const;  // "Test Time\n12.3 s", "Pre-Test\n3.0 s"
  // The subject's or operator's instructions for the state; names: the buttons as shown.
  QString instructions(const InstructionButtonNames& names, bool displayOn) const;
  double elapsedSeconds() const;
  const CoPTransform& transform() const { return transform_; }
  // Mean CoP of the last second of live samples; nullopt before any.
  std::optional<std::pair<double, double>> recentCoP() const;

  bool practiceStart();
  void practiceStop();
  bool acquire();
  void stopTest();
  void redoTest();
  void setFallen(bool fallen);
  void setNotes(const QString& notes);
  // The results of the current run, and the same as text.
  PreliminaryResults results() const;
  QString resultsText() const;
  // Leaving without saving: asks when something would be lost; true lets the window close.
  bool confirmLeave();

  static constexpr qint32 kPracticeMs = 10 * 60 * 1000;

 signals:
  void stateChanged(StaticState state);
  void copPoint(double x, double y);  // each valid live sample
  void timeChanged();                 // once per batch of samples
  void testStarted();                 // the pre-test ended: recentre and clear the trace
  void recenterDue();                 // a second of live values in practice or pre-test: centre on them
  void acquisitionAbandoned();        // a plate error ended the acquisition: its trace is void
  void beep();
  void resultsChanged();

 private:
  void setState(StaticState s);
  void onForces(qint32 sample, PlateForces forces);
  void onTestDone(bool preTest);
  void onPlateError(PlateError error);
  void finishTest(bool stopped);
  bool plateUsable(ProcLog& log);

  QPointer<KMX_BalancePlate> plate_;
  QPointer<KMX_HID_Devices> driver_;
  BalanceTestRun run_;
  StaticState state_ = StaticState::Ready;
  CoPTransform transform_;
  bool changed_ = false;
  bool stepRunning_ = true;
  qint32 lastSample_ = -1;
  int lengthUnit_ = 3, forceUnit_ = 3;
  // Ring of recent CoP values for recentring.
  std::vector<std::pair<double, double>> recent_;
  size_t recentNext_ = 0;
  bool recentFull_ = false;
  void resetRecent();
};

}  // namespace tarn
