// The unattended mode: the operator's part of one session, played by timers on the real windows.
#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <memory>

#include "balance/plate/acquiringplate.h"
#include "balance/plate/simulatedplate.h"
#include "balance/windows/frmtbstatic.h"
#include "balance/windows/frmtbzero.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "data/templates/template.h"
#include "session/currentfile.h"
#include "session/subjectinfo.h"
#include "session/windows/frmnotes.h"
#include "session/windows/frmtfile.h"
#include "session/windows/frmtinfo.h"
#include "session/windows/frmtlist.h"
#include "session/windows/frmtsessionresults.h"
#include "session/windows/frmttemplate.h"
#include "session/windows/testsession.h"
#include "support/units/units.h"

namespace tarn {
namespace {

// Plays the operator: each window gets its clicks from timers once it is up, then runs as usual.
class UnattendedOperator {
 public:
  UnattendedOperator(const TestSessionContext& ctx, const UnattendedOptions& o, UnattendedReport& r)
      : ctx_(ctx), o_(o), r_(r), pause_(o.shotsFolder.isEmpty() ? 30 : 400) {}

  // The operator's answer to a message; the station's default button unless leaving a test.
  MsgResult message(const MessageRequest& m) {
    r_.messages << m.text;
    if (leaving_ && (m.buttons == MsgButtons::YesNo || m.buttons == MsgButtons::YesNoCancel))
      return MsgResult::Yes;
    return defaultAnswer(m);
  }

  int answer(QDialog& form) {
    QTimer::singleShot(o_.stepTimeoutMs, &form, [this, &form] {
      r_.error = QStringLiteral("%1 did not finish in time").arg(form.metaObject()->className());
      form.done(kWizCancel);
    });
    if (auto* w = qobject_cast<frmTFile*>(&form)) {
      later(w, [=, this] {
        shoot(w, "step0-file");
        for (size_t i = 0; i < w->rows().size(); ++i)
          if (!o_.openFile.isEmpty() && w->rows()[i].fileName == QFileInfo(o_.openFile).fileName())
            w->grdFiles->selectRow(static_cast<int>(i));
        (w->cmdOpen->isEnabled() ? w->cmdOpen : w->cmdNew)->click();
      });
    } else if (auto* w = qobject_cast<frmTTemplate*>(&form)) {
      if (!o_.templateFile.isEmpty()) w->setChosen(o_.templateFile);
      later(w, [=, this] {
        shoot(w, "step1-template");
        (w->Chosen().isEmpty() ? w->cmdCancel : w->cmdNext)->click();
      });
    } else if (auto* w = qobject_cast<frmTInfo*>(&form)) {
      fillSubject(*w);
      later(w, [=, this] {
        shoot(w, "step3-info");
        w->cmdNext->click();
      });
    } else if (auto* w = qobject_cast<frmTList*>(&form)) {
      list_ = w;
      // The first test is started by hand; the list goes on by itself after a test ends with Next.
      later(w, [=, this] {
        shoot(w, "step5-list");
        (w->cmdDoTest->isEnabled() ? w->cmdDoTest : w->cmdNext)->click();
      });
      QObject::connect(w, &QDialog::finished, w, [=, this] { shoot(w, "step5-list-done"); });
    } else if (auto* w = qobject_cast<frmTBZero*>(&form)) {
      zero(*w);
    } else if (auto* w = qobject_cast<frmTBStatic*>(&form)) {
      test(*w);
    } else if (auto* w = qobject_cast<frmTSessionResults*>(&form)) {
      later(w, [=, this] {
        shoot(w, "step7-results");
        w->cmdNext->click();
      });
    } else if (auto* next = form.findChild<QAbstractButton*>(QStringLiteral("cmdNext"))) {
      // A step window of another module (the station's results window): read, then Next.
      later(&form, [this, &form, next] {
        shoot(&form, QStringLiteral("step7-results"));
        if (next->isVisible() && next->isEnabled())
          next->click();
        else
          form.done(kWizCancel);
      });
    } else {
      // Nothing else belongs to an unattended session (notes, renaming): declined.
      later(&form, [&form] { form.done(kWizCancel); });
    }
    return form.exec();
  }

 private:
  template <class F>
  void later(QObject* owner, F f) {
    QTimer::singleShot(pause_, owner, f);
  }

  void shoot(QWidget* w, const QString& name) {
    if (o_.shotsFolder.isEmpty()) return;
    QDir().mkpath(o_.shotsFolder);
    const QString path =
        QDir(o_.shotsFolder).filePath(QStringLiteral("%1-%2.png").arg(++shots_, 2, 10, QChar('0')).arg(name));
    QPixmap picture;
    // On a real screen the whole desktop shows what the operator sees; offscreen the window itself.
    if (QGuiApplication::platformName() == QLatin1String("xcb") && w->isVisible())
      picture = w->screen()->grabWindow(0);
    if (picture.isNull()) picture = w->grab();
    if (picture.save(path)) r_.shots << path;
  }

  void fillSubject(frmTInfo& w) {
    const int unit = settings::read(settings::UnitsLength);
    w.txtNameFirst->setText(QStringLiteral("Alex"));
    w.txtNameLast->setText(QStringLiteral("Sample"));
    w.txtPatientID->setText(QStringLiteral("U-") + clock::now().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    w.optFemale->setChecked(true);
    w.txtDOB->setText(ShortDateText(QDate(1968, 6, 15)));
    w.txtPatientHeight->setText(FormatLength(1.70, unit, 2));
    w.txtNotes->setPlainText(QStringLiteral("Unattended session"));
  }

  void zero(frmTBZero& w) {
    const int n = ++zeros_;
    later(&w, [this, &w, n] {
      shoot(&w, QStringLiteral("step5-zero%1").arg(n));
      // A zero still valid for this test is kept; otherwise a new one is taken.
      if (w.controller().canProceed() && w.cmdNext->isEnabled())
        w.cmdNext->click();
      else if (w.cmdAcquire->isEnabled())
        w.cmdAcquire->click();
      else
        w.cmdCancel->click();
    });
    auto attempts = std::make_shared<int>(1);
    QObject::connect(&w.controller(), &ZeroController::zeroFinished, &w,
                     [this, &w, n, attempts](bool accepted) {
                       QTimer::singleShot(pause_, &w, [this, &w, n, accepted, attempts] {
                         shoot(&w, QStringLiteral("step5-zero%1-done").arg(n));
                         if (accepted && w.cmdNext->isEnabled())
                           w.cmdNext->click();
                         else if (++*attempts <= 3 && w.cmdAcquire->isEnabled())
                           w.cmdAcquire->click();  // a refused zero is taken again, as an operator would
                         else
                           w.cmdCancel->click();
                       });
                     });
  }

  void test(frmTBStatic& w) {
    const int n = ++tests_;
    // The simulated subject stands as the test asks: eyes closed, on the foam.
    if (auto* sim = qobject_cast<SimulatedPlateDriver*>(ctx_.plateDriver)) {
      SimulatedSubject s = sim->simulatedPlate(1) ? sim->simulatedPlate(1)->subject() : SimulatedSubject{};
      s.eyesClosed = w.controller().run().conditions.eyes == 2;
      s.onFoam = w.controller().run().conditions.surface == 2;
      sim->setSubject(s);
    }
    later(&w, [this, &w, n] {
      shoot(&w, QStringLiteral("step5-test%1").arg(n));
      w.cmdAcquire->click();
    });
    QObject::connect(&w.controller(), &StaticTestController::stateChanged, &w, [this, &w, n](StaticState s) {
      if (s == StaticState::Testing && n == 1)
        QTimer::singleShot(pause_ * 2, &w,
                           [this, &w] { shoot(&w, QStringLiteral("step5-test1-acquiring")); });
      if (s != StaticState::Done && s != StaticState::Stopped && s != StaticState::NoPlate) return;
      QTimer::singleShot(pause_, &w, [this, &w, n, s] {
        shoot(&w, QStringLiteral("step5-test%1-done").arg(n));
        if (s == StaticState::Done && w.cmdNext->isEnabled()) {
          w.cmdNext->click();
          return;
        }
        // A test without data is not repeated unattended: the run says so and leaves the window, where
        // an operator would be asked first (default: stay).
        if (r_.error.isEmpty())
          r_.error = QStringLiteral("balance test %1 ended without data%2")
                         .arg(n)
                         .arg(r_.messages.isEmpty() ? QString() : QStringLiteral(": ") + r_.messages.last());
        leaving_ = true;  // the question whether to leave the test is answered Yes
        w.cmdCancel->click();
        leaving_ = false;
        // ... and the session ends there: back in the test list, Cancel.
        if (list_)
          later(list_.data(), [this] {
            if (list_ && list_->cmdCancel->isEnabled()) list_->cmdCancel->click();
          });
      });
    });
  }

  const TestSessionContext& ctx_;
  const UnattendedOptions& o_;
  UnattendedReport& r_;
  int pause_;
  int shots_ = 0, zeros_ = 0, tests_ = 0;
  bool leaving_ = false;
  QPointer<frmTList> list_;
};

QString defaultTemplate() {
  return QDir(settings::read(settings::TemplatePath)).filePath(settings::read(settings::TemplateFile));
}

}  // namespace

UnattendedReport RunUnattendedSession(const TestSessionContext& context, const UnattendedOptions& options) {
  UnattendedReport report;
  QElapsedTimer total;
  total.start();
  eventlog::logEvent(QStringLiteral("Unattended test session: begin"));
  if (!context.currentFile) {
    report.error = QStringLiteral("no subject file slot");
    return report;
  }
  // The station ships with its default template; an unattended run on a fresh home needs it too.
  if (!QFileInfo::exists(defaultTemplate())) {
    folders::ensureFolder(settings::read(settings::TemplatePath));
    CreateDefaultTestTemplate(defaultTemplate());
  }
  if (context.plateDriver)
    for (int i = 1; i <= context.plateDriver->PlateCount(); ++i)
      if (auto* p = qobject_cast<AcquiringPlate*>(context.plateDriver->Plate(i)))
        p->setTimeScale(options.timeScale);

  UnattendedOperator op(context, options, report);
  const MessagePresenter previousPresenter =
      setMessagePresenter([&op](const MessageRequest& m) { return op.message(m); });
  const KMX_cShowModal::Script previousScript =
      KMX_cShowModal::setScript([&op](QDialog& form) { return op.answer(form); });

  qint64 leftList = -1, resultsShown = -1, resultsTime = 0, step8 = -1;
  TestSession session(context);
  session.onStep = [&](int step, bool entering, int code) {
    const qint64 now = total.elapsed();
    if (step == 5 && !entering && code == kWizNext) leftList = now;
    if (step == 7) entering ? void(resultsShown = now) : void(resultsTime += now - resultsShown);
    if (step == 8 && entering) step8 = now;
    if (step == 8 && !entering && code == kWizNext) {
      report.saveAndRefreshMs = now - step8;
      // The results window waits for the operator; that time is theirs, not the station's.
      report.nextToSavedMs = now - leftList - resultsTime;
    }
  };
  const SessionOutcome out = session.cmdBegin_Click();
  KMX_cShowModal::setScript(previousScript);
  setMessagePresenter(previousPresenter);

  report.totalMs = total.elapsed();
  report.fileName = out.fileName;
  if (out.end == SessionEnd::Saved) {
    SubjectFile f;
    if (f.Open(out.fileName))
      for (const auto& v : f.Visits())
        for (const auto& s : v->Sessions())
          for (const auto& t : s->BalanceTests()) report.testsDone += t->bIsDone != 0;
  }
  report.ok = out.end == SessionEnd::Saved && report.testsDone > 0 && report.error.isEmpty();
  if (!report.ok && report.error.isEmpty())
    report.error = out.end == SessionEnd::Saved ? QStringLiteral("no test was done")
                                                : QStringLiteral("the session did not end with a save");
  eventlog::logEvent(
      QStringLiteral("Unattended test session: %1, %2").arg(report.ok ? "saved" : "failed", report.fileName));
  return report;
}

}  // namespace tarn
