// The printing window and its output: the report families into a PDF file (read back with the
// poppler tools), privacy, additional documents appended in order, failures told and cleaned up,
// the automatic print of an unattended run, and a real print queue on a private print server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "data/templates/comments.h"
#include "reports/printtexts.h"
#include "reports/reportssettings.h"
#include "reports/tests/report_testutil.h"
#include "reports/windows/frmtreport.h"
#include "reports/windows/frmtrprint.h"
#include "reports/windows/printentry.h"
#include "reports/windows/printoutput.h"
#include "support/strings/strings.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace reporttest;

struct Report {
  std::unique_ptr<SubjectFile> file;
  std::unique_ptr<frmTReport> window;
  explicit Report(double birth = day(1950, 8, 20), bool reprint = false) : file(makeSubject(birth)) {
    addSession(*file, day(2024, 4, 2),
               {{1, 0.002, 0.003}, {2, 0.004, 0.005}, {3, 0.005, 0.006}, {4, 0.02, 0.02}});
    window = std::make_unique<frmTReport>();
    window->setReprint(reprint);
    window->setPatientFile(file.get());
    const Visit* v = file->VisitItem(1);
    const Session* s = v->SessionItem(1);
    for (const auto& t : s->BalanceTests()) window->AddTestBalance(v->sVisitID, s->sSessionID, t->sTestID);
    window->AddTestCompleted();
  }
};

void tickFamilies(bool internal, bool subject, bool external) {
  settings::writeBool(settings::ReportInternal, internal);
  settings::writeBool(settings::ReportSubject, subject);
  settings::writeBool(settings::ReportExternal, external);
}

QString run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput());
}
int pdfPages(const QString& pdf) {
  const QString info = run("pdfinfo", {pdf});
  const int at = info.indexOf("Pages:");
  return at < 0 ? -1 : info.mid(at + 6).section('\n', 0, 0).trimmed().toInt();
}
QString pdfText(const QString& pdf, int page = 0) {
  QStringList args;
  if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
  return run("pdftotext", args << "-layout" << pdf << "-");
}

// A PDF document whose pages are filled with these colours.
void writeDocument(const QString& path, const std::vector<QColor>& pages) {
  QPdfWriter w(path);
  QPainter p(&w);
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) w.newPage();
    p.fillRect(QRect(QPoint(0, 0), QSize(w.width(), w.height())), pages[i]);
  }
}

// Pictures may be stored compressed with a loss: colours within a few steps count as equal.
bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= 12;
}

// The colour in the middle of a printed page.
QColor middleOf(const QString& pdf, int page) {
  const QString prefix = sandboxPath(QStringLiteral("page%1").arg(page));
  run("pdftoppm", {"-r", "20", "-png", "-singlefile", "-f", QString::number(page), "-l",
                   QString::number(page), pdf, prefix});
  const QImage img(prefix + ".png");
  return img.isNull() ? QColor() : img.pixelColor(img.width() / 2, img.height() / 2);
}

// Prints the report through its printing window into `pdf`.
PrintOutcome printToPdf(const frmTReport& report, const QString& pdf) {
  settings::write(settings::ReportPrinter, Str(18051));
  settings::write(settings::ReportPdfFile, pdf);
  frmTRPrint print(report);
  print.cmdPrint_Click();
  return print.lastOutcome();
}

TEST(PrintedPdf, FamiliesPagesAndPrivacy) {
  Report r;
  tickFamilies(true, true, true);
  const QString birth = ShortDateText(r.file->subject.dtDoB);
  for (bool hipaa : {true, false}) {
    settings::writeBool(settings::HipaaCompliant, hipaa);
    const QString pdf = sandboxPath(hipaa ? "private.pdf" : "named.pdf");
    ScriptedMessages msgs;
    const PrintOutcome out = printToPdf(*r.window, pdf);
    ASSERT_TRUE(out.ok) << out.failure.toStdString();
    // No comment template was ever saved: the operator hears that its paragraphs stay empty.
    ASSERT_EQ(msgs.requests().size(), 1);
    EXPECT_TRUE(msgs.texts()[0].contains("KMTARNRQ.cof"));
    // Three families of a cover, four balance pages and the comparison.
    EXPECT_EQ(out.pages, 18);
    EXPECT_EQ(pdfPages(pdf), 18);
    const QString text = pdfText(pdf);
    EXPECT_EQ(text.contains("Ann"), !hipaa);
    EXPECT_EQ(text.contains("Lee"), !hipaa);
    EXPECT_EQ(text.contains(birth), !hipaa) << birth.toStdString();
    EXPECT_TRUE(text.contains("S-001"));
    EXPECT_TRUE(pdfText(pdf, 7).contains("FOR THE PERSONAL USE OF:"));
    EXPECT_TRUE(pdfText(pdf, 18).contains("Page 6 of 6"));
    EXPECT_FALSE(QFile::exists(pdf + ".part"));
  }
  // Unticking pages shortens a family.
  tickFamilies(false, true, false);
  settings::writeBool(settings::reportPage(settings::ReportKind::Subject, settings::ReportPage::BComparison),
                      false);
  const QString pdf = sandboxPath("short.pdf");
  ASSERT_TRUE(printToPdf(*r.window, pdf).ok);
  EXPECT_EQ(pdfPages(pdf), 5);
}

TEST(PrintedPdf, AdditionalDocumentsFollowTheirFamilyInOrder) {
  Report r;
  tickFamilies(true, false, true);
  const ReportModel& m = r.window->model();
  DocSelection sel;
  sel.adult = true;
  sel.worstStabilityClass = m.worstStabilityClass();
  sel.bmiClass = m.bmiClass();
  const std::vector<QString> names = ApplicableDocNames(sel);
  ASSERT_EQ(names.size(), 3u) << "introduction, stability and BMI documents";
  writeDocument(sandboxPath("intro.pdf"), {Qt::red, Qt::blue});
  QImage img(300, 200, QImage::Format_RGB32);
  img.fill(Qt::darkGreen);
  ASSERT_TRUE(img.save(sandboxPath("chart.png")));
  QFile other(sandboxPath("notes.xyz"));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("no print system knows this");
  other.close();
  auto set = [&](settings::ReportKind kind, const QString& name, const QString& file) {
    for (int i = 0; i < settings::kReferralDocsPerKind; ++i)
      if (name == settings::kReferralDocNames[i])
        settings::write(settings::referralDoc(kind, i), sandboxPath(file));
  };
  set(settings::ReportKind::External, names[0], "intro.pdf");
  set(settings::ReportKind::External, names[1], "notes.xyz");  // a type nothing prints: left out silently
  set(settings::ReportKind::External, names[2], "chart.png");
  set(settings::ReportKind::Internal, names[0], "intro.pdf");  // the internal family's box is off
  settings::writeBool(settings::reportPage(settings::ReportKind::External, settings::ReportPage::Referrals),
                      true);
  settings::writeBool(settings::reportPage(settings::ReportKind::Internal, settings::ReportPage::Referrals),
                      false);

  KM_RQTComments comments;
  const QString folder = settings::read(settings::CommentsPath);
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(comments.Save(QDir(folder).filePath(settings::read(settings::CommentsFile))));
  ScriptedMessages msgs;
  const QString pdf = sandboxPath("docs.pdf");
  const PrintOutcome out = printToPdf(*r.window, pdf);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(msgs.requests().size(), 0) << "a document of an unknown type is left out without a word";
  EXPECT_EQ(out.skippedDocs.size(), 1);
  // Internal 6 pages, external 6 pages, then the two document pages and the picture.
  ASSERT_EQ(pdfPages(pdf), 15);
  EXPECT_TRUE(pdfText(pdf, 12).contains("Computerized Posturography Results Comparison"));
  EXPECT_TRUE(near(middleOf(pdf, 13), Qt::red));
  EXPECT_TRUE(near(middleOf(pdf, 14), Qt::blue));
  EXPECT_TRUE(near(middleOf(pdf, 15), Qt::darkGreen)) << "the picture's page";
  // The contents page lists the documents that print, not the one left out.
  const QString cover = pdfText(pdf, 7);
  EXPECT_TRUE(cover.contains("Adult General Introduction Additional Document"));
  EXPECT_TRUE(cover.contains("BMI Additional Document"));
}

TEST(PrintedPdf, FailuresAreToldAndLeaveNothingHalfWritten) {
  Report r;
  tickFamilies(true, false, false);
  const QString before = QString::fromUtf8(r.file->subject.sNotes.toUtf8());
  {
    // A missing document: the report prints, the operator hears which document did not.
    settings::write(settings::referralDoc(settings::ReportKind::Internal, 0), sandboxPath("gone.pdf"));
    settings::writeBool(settings::reportPage(settings::ReportKind::Internal, settings::ReportPage::Referrals),
                        true);
    ScriptedMessages msgs;
    const QString pdf = sandboxPath("partial.pdf");
    const PrintOutcome out = printToPdf(*r.window, pdf);
    EXPECT_TRUE(out.ok);
    ASSERT_EQ(out.failedDocs.size(), 1);
    ASSERT_EQ(msgs.requests().size(), 1);
    EXPECT_TRUE(msgs.texts()[0].contains("Adult General Introduction Additional Document"));
    EXPECT_EQ(pdfPages(pdf), 6);
  }
  {
    // A folder that cannot be written: no file at all, and the operator is told where.
    ScriptedMessages msgs;
    const QString pdf = sandboxPath("no/such/folder/report.pdf");
    const PrintOutcome out = printToPdf(*r.window, pdf);
    EXPECT_FALSE(out.ok);
    ASSERT_EQ(msgs.requests().size(), 1);
    EXPECT_TRUE(msgs.texts()[0].contains(pdf));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(QFile::exists(pdf + ".part"));
  }
  {
    // An older report is replaced whole by the next print that works.
    const QString pdf = sandboxPath("again.pdf");
    QFile old(pdf);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older report");
    old.close();
    ScriptedMessages msgs;
    settings::writeBool(settings::reportPage(settings::ReportKind::Internal, settings::ReportPage::Referrals),
                        false);
    EXPECT_TRUE(printToPdf(*r.window, pdf).ok);
    EXPECT_EQ(pdfPages(pdf), 6);
  }
  EXPECT_EQ(r.file->subject.sNotes, before);
}

TEST(PrintingWindow, ItemsFollowTheReportAndTheFamilyBoxes) {
  Report r;
  tickFamilies(true, true, false);
  frmTRPrint w(*r.window);
  EXPECT_FALSE(w.chkVision[0]->isEnabled()) << "the report has no vision tests";
  EXPECT_TRUE(w.chkBalance[0][3]->isEnabled());
  EXPECT_FALSE(w.chkCover[2]->isEnabled()) << "the external family is not ticked";
  EXPECT_EQ(w.GetItemsCount(), 12);
  EXPECT_EQ(w.lstStatus->item(0)->text(), "12 Items to Print");
  w.chkBalance[1][0]->setChecked(false);
  EXPECT_EQ(w.lstStatus->item(0)->text(), "11 Items to Print");
  w.chkType[0]->setChecked(false);
  EXPECT_FALSE(w.chkCover[0]->isEnabled());
  EXPECT_EQ(w.lstStatus->item(0)->text(), "5 Items to Print");
  w.txtCopies->setText("0");
  EXPECT_EQ(w.choice().copies, 1);
  EXPECT_EQ(w.printSettings().quality, -4);
  const QStringList printers = [&] {
    QStringList l;
    for (int i = 0; i < w.cmbPrinters->count(); ++i) l << w.cmbPrinters->itemText(i);
    return l;
  }();
  EXPECT_EQ(printers.last(), Str(18051)) << "a PDF file is always offered";

  // Ctrl+C puts the first page on the clipboard, its texts kept as text in the SVG.
  QApplication::clipboard()->clear();
  ASSERT_TRUE(w.copyFirstPage());
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  EXPECT_TRUE(QString::fromUtf8(copied->data("image/svg+xml")).contains("FOR THE PERSONAL USE OF:"));
  EXPECT_FALSE(qvariant_cast<QImage>(copied->imageData()).isNull());
  w.chkType[1]->setChecked(false);
  EXPECT_FALSE(w.copyFirstPage());
}

TEST(ResultsWindowPrinting, NoPrinterAutomaticPdfAndReprint) {
  qputenv("CUPS_SERVER", "127.0.0.1:1");  // no print server: no printer installed
  ASSERT_TRUE(InstalledPrinters().isEmpty());
  int shown = 0;
  const auto previous = KMX_cShowModal::setScript([&](QDialog& d) {
    if (qobject_cast<frmTRPrint*>(&d)) ++shown;
    return 0;
  });
  {
    Report r;
    ScriptedMessages msgs;
    r.window->cmdPrint->click();
    ASSERT_EQ(msgs.requests().size(), 1);
    EXPECT_EQ(msgs.texts()[0], Str(17920));
    EXPECT_EQ(shown, 0);
  }
  tickFamilies(true, false, false);
  const QString pdf = sandboxPath("unattended.pdf");
  PrintReportsToPdfAutomatically(pdf);
  {
    // After a session the window prints by itself, without showing the printing window.
    Report r;
    r.window->show();
    for (int i = 0; i < 5 && !QFile::exists(pdf); ++i) QApplication::processEvents();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(pdfPages(pdf), 6);
    r.window->hide();
  }
  {
    // A reprint shows the printing window for the operator's choice.
    QFile::remove(pdf);
    Report r(day(1950, 8, 20), true);
    r.window->show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    r.window->hide();
  }
  StopPrintingReportsToPdfAutomatically();
  KMX_cShowModal::setScript(previous);
  EXPECT_EQ(ReportPdfBeside("/data/clinic/DEMO000007.kpf"), "/data/clinic/DEMO000007.pdf");
}

// A private print server for one test: its own configuration folder and port, one queue with
// the PDF printer's driver that writes what its filters make of a job (PostScript) into a file.
class PrintServer {
 public:
  QString skipReason;
  QString queue = "TARN_TEST";
  QString output;

  PrintServer() {
    const QString cupsd = "/usr/sbin/cupsd";
    const QString lpadmin = QStandardPaths::findExecutable("lpadmin");
    if (!QFile::exists(cupsd) || lpadmin.isEmpty()) {
      skipReason = "no CUPS server or lpadmin installed (packages cups, cups-client)";
      return;
    }
    if (!QFile::exists(kPpd)) {
      skipReason = "no PDF printer driver installed (package printer-driver-cups-pdf)";
      return;
    }
    if (!dir_.isValid()) {
      skipReason = "no temporary folder";
      return;
    }
    // The server's helpers run as another user: the folder must be reachable for them.
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
    for (const char* d : {"spool", "tmp", "cache", "state", "ppd", "out"}) QDir(dir_.path()).mkpath(d);
    QFile::setPermissions(dir_.filePath("tmp"), QFileDevice::Permissions(0x7777));
    QFile::setPermissions(dir_.filePath("out"), QFileDevice::Permissions(0x7777));
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    port_ = probe.serverPort();
    probe.close();
    write("cupsd.conf", QStringLiteral("Listen 127.0.0.1:%1\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                                       "DefaultAuthType None\n<Location />\n  Order allow,deny\n  Allow all\n"
                                       "</Location>\n<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                       "  </Limit>\n</Policy>\n")
                            .arg(port_));
    write("cups-files.conf",
          QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/tmp\nCacheDir %1/cache\n"
                         "StateDir %1/state\nErrorLog %1/error_log\nAccessLog %1/access_log\n"
                         "PageLog %1/page_log\nFileDevice Yes\nSandboxing Relaxed\n")
              .arg(dir_.path()));
    server_.start(cupsd, {"-f", "-c", dir_.filePath("cupsd.conf"), "-s", dir_.filePath("cups-files.conf")});
    if (!server_.waitForStarted(5000)) {
      skipReason = "cupsd did not start";
      return;
    }
    address_ = QStringLiteral("127.0.0.1:%1").arg(port_);
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
      up = call("lpstat", {"-r"}).contains("is running");
      if (!up) QThread::msleep(100);
    }
    if (!up) {
      skipReason = "cupsd did not answer on " + address_ + ": " + log();
      return;
    }
    output = dir_.filePath("out/report.ps");
    call("lpadmin", {"-p", queue, "-v", "file://" + output, "-P", kPpd, "-E"});
    if (!call("lpstat", {"-p", queue}).contains(queue))
      skipReason = "the test queue could not be added: " + log();
  }
  ~PrintServer() {
    if (server_.state() != QProcess::NotRunning) {
      server_.terminate();
      if (!server_.waitForFinished(5000)) server_.kill();
      server_.waitForFinished(2000);
    }
  }
  const QString& address() const { return address_; }
  QString call(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CUPS_SERVER", address_);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStandardPaths::findExecutable(program), args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAll());
  }
  QString log() const {
    QFile f(dir_.filePath("error_log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).right(400) : QString();
  }

 private:
  void write(const QString& name, const QString& text) {
    QFile f(dir_.filePath(name));
    if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
  }
  static constexpr char kPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
  QTemporaryDir dir_{QDir::tempPath() + "/tarnrq-cups-XXXXXX"};
  QProcess server_;
  quint16 port_ = 0;
  QString address_;
};

TEST(PrintQueue, ReportPrintsOnACupsQueueAndTheDefaultPrinterComesBack) {
  PrintServer server;
  if (!server.skipReason.isEmpty())
    GTEST_SKIP() << "print queue test skipped: " << server.skipReason.toStdString();
  qputenv("CUPS_SERVER", server.address().toUtf8());
  ASSERT_TRUE(InstalledPrinters().contains(server.queue));
  Report r;
  tickFamilies(false, false, true);
  settings::write(settings::ReportPrinter, server.queue);
  SetDefaultPrinter("Front desk");
  ScriptedMessages msgs;
  frmTRPrint print(*r.window);
  EXPECT_EQ(print.cmbPrinters->currentText(), server.queue);
  ASSERT_TRUE(print.cmdPrint_Click()) << print.lastOutcome().failure.toStdString();
  EXPECT_EQ(DefaultPrinter(), "Front desk");
  // The server writes the job when its filters are done: a PostScript document of six pages.
  bool completed = false;
  for (int i = 0; i < 150 && !completed; ++i) {
    completed = server.call("lpstat", {"-W", "completed", "-o", server.queue}).contains(server.queue + "-1");
    if (!completed) QThread::msleep(200);
  }
  ASSERT_TRUE(completed) << server.log().toStdString();
  QFile f(server.output);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString job = QString::fromLatin1(f.readAll());
  const auto pages = QRegularExpression("%%Pages: (\\d+)").match(job);
  ASSERT_TRUE(pages.hasMatch());
  EXPECT_EQ(pages.captured(1), "6");
}

}  // namespace
}  // namespace tarn
