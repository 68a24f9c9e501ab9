#pragma once
// Shared fixture of the main-window tests: scripted messages and modal windows, a fixed clock, no
// splash delay, no platform unless a test asks for one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "app/frmpmain.h"
#include "app/startupsequence.h"
#include "app/stationapp.h"
#include "balance/plate/plate.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/mail.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "core/windows/subjectforms.h"
#include "data/lists/list.h"
#include "options/tests/optionstest.h"

namespace tarn::app::testing {

class AppTest : public ::testing::Test {
 public:
  template <typename Pred>
  static bool waitFor(Pred p, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!p()) {
      if (t.elapsed() > ms) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
  }

 protected:
  void SetUp() override {
    qputenv("TARNRQ_PLATE", "none");
    previousPresenter_ = setMessagePresenter([this](const MessageRequest& r) {
      messages.push_back(r);
      if (answers.empty()) return defaultAnswer(r);
      const MsgResult a = answers.front();
      answers.pop_front();
      return a;
    });
    previousScript_ = KMX_cShowModal::setScript([this](QDialog& d) {
      if (modalAnswers.empty()) return int(QDialog::Rejected);
      auto f = std::move(modalAnswers.front());
      modalAnswers.pop_front();
      return f(d);
    });
    previousLauncher_ = mail::setLauncher([this](const QString& program, const QStringList& args) {
      mailed << program + ' ' + args.join(' ');
      return true;
    });
    clock::setNow(QDateTime(QDate(2024, 3, 14), QTime(10, 30, 0)));
    settings::write(settings::StartDelay, 0);
  }

  void TearDown() override {
    window = nullptr;
    station.reset();
    eventlog::stop();
    setMessagePresenter(previousPresenter_);
    KMX_cShowModal::setScript(previousScript_);
    clock::setNow(QDateTime());
    setPowerOff({});
    mail::setLauncher(previousLauncher_);
    qunsetenv("TARNRQ_PLATE");
    qunsetenv("TARNRQ_KEEP_LOG_COPY");
  }

  // Loads a main window; true when the start-up went through.
  bool load() {
    station = std::make_unique<StationApp>();
    window = station->window();
    return station->Form_Load();
  }

  // Ends the window the normal way and starts a new one.
  bool restart() {
    if (station && !station->Form_Unload()) return false;
    window = nullptr;
    station.reset();
    return load();
  }

  // Units chosen and the subject display entered, so activation asks nothing.
  void settleActivation() {
    settings::write(settings::UnitsForce, 3);
    settings::write(settings::UnitsLength, 3);
    settings::write(settings::UnitsMass, 3);
    auto* sf = station->subjectForms();
    settings::write(settings::MonitorDevName, sf->DeviceName());
    settings::write(settings::MonitorDevString, sf->DeviceString());
    settings::write(settings::MonitorResHor, sf->ResHor());
    settings::write(settings::MonitorResVert, sf->ResVert());
  }

  static QString logFile() {
    return folders::withSlash(folders::commonDataFolder()) + eventlog::kLogFileName;
  }

  static QStringList logLines() {
    QFile f(logFile());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
  }

  // The step texts of one procedure, in order.
  static QStringList steps(const QString& procedure) {
    QStringList out;
    for (const QString& l : logLines()) {
      const QStringList f = l.split('\t');
      if (f.size() >= 4 && f[2] == procedure) out << f[3];
    }
    return out;
  }

  QStringList messageTexts() const {
    QStringList out;
    for (const auto& m : messages) out << m.text;
    return out;
  }

  std::vector<MessageRequest> messages;
  std::deque<MsgResult> answers;
  std::deque<std::function<int(QDialog&)>> modalAnswers;
  std::unique_ptr<StationApp> station;
  frmPMain* window = nullptr;
  tarn::testing::CheapDigest cheapDigest;  // the password rules, not the 100 000 rounds
  QStringList mailed;

 private:
  MessagePresenter previousPresenter_;
  KMX_cShowModal::Script previousScript_;
  mail::Launcher previousLauncher_;
};

}  // namespace tarn::app::testing
