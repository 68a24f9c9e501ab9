// tarnrq-report: the results window for a subject file, or the reports manager for a data folder,
// for looking at them and taking pictures.
//
//   tarnrq-report --file F.kpf [--visit N] [--session N] [--reprint] [--units L,M] [--shot PREFIX]
//                 [--expand K] [--time] [--pdf OUT.pdf [--families ISE]]
//   tarnrq-report --rmanager DIR [--list FILE.slf] [--select ID] [--choose 1,2] [--shot FILE.png] [--time]
//
// The results window shows every test of one session (default: the latest). --shot saves one
// picture per enabled tab (PREFIX-tab0.png ...) or of the reports manager; --time prints how long
// the window took from completing the tests to its first paint. Without --shot or --time the window
// stays open. --pdf prints the report's families (default all three) into a PDF file through the
// printing window, as the station prints it; with --time it prints how long that took and the size. Settings
// go to TARNRQ_HOME (a temporary one when unset), never to the real home.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "balance/balancesettings.h"
#include "core/settingkeys.h"
#include "data/lists/list.h"
#include "data/subjectfile/subjectfile.h"
#include "reports/windows/frmrmanager.h"
#include "reports/windows/frmtreport.h"
#include "reports/windows/frmtrprint.h"
#include "reports/windows/printentry.h"

namespace {

int fail(const QString& text) {
  std::fprintf(stderr, "tarnrq-report: %s\n", qPrintable(text));
  return 1;
}

// Waits until `w` was painted once; returns the milliseconds since `clock` started.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* w) { w->installEventFilter(this); }
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

double waitForPaint(QWidget* w, const QElapsedTimer& clock) {
  PaintWatch watch(w);
  while (!watch.painted && clock.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  QApplication::processEvents();
  return clock.nsecsElapsed() / 1e6;
}

void settle() {
  for (int i = 0; i < 10; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

int printPdf(tarn::frmTReport& w, const QCommandLineParser& p) {
  namespace s = tarn::settings;
  const QString families = p.isSet("families") ? p.value("families").toUpper() : QStringLiteral("ISE");
  const char codes[] = {'I', 'S', 'E'};
  for (int f = 0; f < 3; ++f) s::writeBool(s::ReportMasters[f], families.contains(QChar(codes[f])));
  tarn::PrintReportsToPdfAutomatically(QFileInfo(p.value("pdf")).absoluteFilePath());
  QElapsedTimer clock;
  clock.start();
  tarn::frmTRPrint print(w);
  const bool ok = print.cmdPrint_Click();
  const double ms = clock.nsecsElapsed() / 1e6;
  tarn::StopPrintingReportsToPdfAutomatically();
  if (!ok) return fail("the report was not printed completely: " + print.lastOutcome().failure);
  if (p.isSet("time"))
    std::printf("balance tests %d, families %s, pages %d, PDF in %.1f ms, %lld bytes\n",
                int(w.model().balanceTests().size()), qPrintable(families), print.lastOutcome().pages, ms,
                QFileInfo(p.value("pdf")).size());
  std::printf("%s\n", qPrintable(p.value("pdf")));
  return 0;
}

int showReport(const QCommandLineParser& p) {
  tarn::SubjectFile file;
  if (!file.Open(p.value("file"))) return fail("cannot open " + p.value("file") + ": " + file.LastError());
  if (file.VisitCount() == 0) return fail("the subject file has no visit");
  const int vi = p.isSet("visit") ? p.value("visit").toInt() : file.VisitCount();
  const tarn::Visit* v = file.VisitItem(vi);
  if (!v || v->SessionCount() == 0) return fail("no such visit, or it has no session");
  const int si = p.isSet("session") ? p.value("session").toInt() : v->SessionCount();
  const tarn::Session* s = v->SessionItem(si);
  if (!s) return fail("no such session");

  tarn::frmTReport w;
  w.setReprint(p.isSet("reprint"));
  w.setPatientFile(&file);
  for (const auto& t : s->BalanceTests()) w.AddTestBalance(v->sVisitID, s->sSessionID, t->sTestID);
  for (const auto& t : s->VisionTests()) w.AddTestVision(v->sVisitID, s->sSessionID, t->sTestID);
  QElapsedTimer clock;
  clock.start();
  w.AddTestCompleted();
  const double built = clock.nsecsElapsed() / 1e6;
  w.show();
  const int first = w.firstTab();
  QWidget* painted = first >= 1 && first <= 4 ? static_cast<QWidget*>(w.KMXCoPDisplayTB[size_t(first)]) : &w;
  const double shown = waitForPaint(painted, clock);
  if (p.isSet("time"))
    std::printf("tests %d, AddTestCompleted %.1f ms, first paint of the plot %.1f ms\n",
                w.model().testCount(), built, shown);
  if (p.isSet("expand")) w.toggleExpanded(p.value("expand").toInt());
  if (p.isSet("pdf")) return printPdf(w, p);
  if (p.isSet("shot")) {
    for (int t = 0; t < w.tabs->count(); ++t) {
      if (!w.tabs->isTabEnabled(t)) continue;
      w.tabs->setCurrentIndex(t);
      settle();
      const QString name = p.value("shot") + QStringLiteral("-tab%1.png").arg(t);
      if (!w.grab().save(name)) return fail("cannot write " + name);
      std::printf("%s\n", qPrintable(name));
    }
  }
  if (p.isSet("shot") || p.isSet("time")) {
    w.hide();
    return 0;
  }
  w.exec();
  return 0;
}

int showManager(const QCommandLineParser& p) {
  tarn::KM_RQList list;
  const QString folder = p.value("rmanager");
  if (p.isSet("list")) {
    if (!list.FileLoad(p.value("list"))) return fail("cannot load the list file " + p.value("list"));
  } else {
    list.setDataPath(folder);
    if (list.Refresh(static_cast<float>(tarn::settings::read(tarn::settings::CoPThresholdF)), folder,
                     ".kpf") < 0)
      return fail("no such data folder: " + folder);
    if (p.isSet("save-list") && !list.FileSave(p.value("save-list")))
      return fail("cannot save the list file");
  }
  QElapsedTimer clock;
  clock.start();
  tarn::frmRManager w(&list);
  w.show();
  const double opened = waitForPaint(w.grdFiles->viewport(), clock);
  if (p.isSet("select")) {
    int row = -1;
    for (int r = 0; r < w.model().fileCount(); ++r)
      if (w.model().fileCell(r, tarn::kFileID) == p.value("select") ||
          w.model().fileAt(r)->sFileName == p.value("select"))
        row = r;
    if (row < 0) return fail("no file " + p.value("select") + " in the list");
    clock.restart();
    w.grdFiles->selectRow(row);
    const double selected = waitForPaint(w.grdBalance->viewport(), clock);
    if (p.isSet("time")) std::printf("selecting a file showed its tests in %.1f ms\n", selected);
    for (const QString& n : p.value("choose").split(',', Qt::SkipEmptyParts))
      w.grdBalance_Click(n.toInt() - 1);
  }
  if (p.isSet("time"))
    std::printf("files %d, window open to first paint %.1f ms\n", list.lFilesCount(), opened);
  if (p.isSet("shot")) {
    settle();
    if (!w.grab().save(p.value("shot"))) return fail("cannot write " + p.value("shot"));
    std::printf("%s\n", qPrintable(p.value("shot")));
  }
  if (p.isSet("shot") || p.isSet("time")) return 0;
  w.exec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<QTemporaryDir> home;
  if (qEnvironmentVariableIsEmpty("TARNRQ_HOME")) {
    home = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tarnrq-report-XXXXXX");
    qputenv("TARNRQ_HOME", home->path().toLocal8Bit());
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("tarnrq-report");
  QCommandLineParser p;
  p.setApplicationDescription("Shows the results window or the reports manager.");
  p.addHelpOption();
  p.addOption({"file", "Subject file whose session is reported.", "F"});
  p.addOption({"visit", "Visit number (default: the latest).", "N"});
  p.addOption({"session", "Session number in the visit (default: the latest).", "N"});
  p.addOption({"reprint", "Open the results window as the reports manager does."});
  p.addOption({"units", "Length and mass unit codes, 1-5 each (e.g. 1,1 for feet and pounds).", "L,M"});
  p.addOption({"expand", "Enlarge the plot of balance tab K before the pictures.", "K"});
  p.addOption({"rmanager", "Data folder for the reports manager.", "DIR"});
  p.addOption({"list", "List file to load instead of refreshing the folder.", "FILE"});
  p.addOption({"save-list", "Save the refreshed list to this list file.", "FILE"});
  p.addOption({"select", "Subject ID or file name to choose in the reports manager.", "ID"});
  p.addOption({"choose", "Balance test rows to choose, counted from 1.", "N,N"});
  p.addOption({"shot", "Picture file (manager) or prefix (results window).", "PATH"});
  p.addOption({"time", "Print how long the window took to show (or the PDF to print)."});
  p.addOption({"pdf", "Print the report into this PDF file and quit.", "OUT.pdf"});
  p.addOption({"families", "Families to print into the PDF file: any of I, S, E (default ISE).", "ISE"});
  p.process(app);

  if (p.isSet("units")) {
    const QStringList u = p.value("units").split(',');
    if (u.size() != 2) return fail("--units needs two codes, e.g. 3,3");
    tarn::settings::write(tarn::settings::UnitsLength, u[0].toInt());
    tarn::settings::write(tarn::settings::UnitsMass, u[1].toInt());
  }
  if (p.isSet("file")) return showReport(p);
  if (p.isSet("rmanager")) return showManager(p);
  return fail("give --file or --rmanager (see --help)");
}
