#include "reports/windows/printoutput.h"

#include <poppler-qt6.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <memory>
#include <optional>

#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmTRPrint";
constexpr int kLpTimeoutMs = 30000;

std::optional<QString>& programDefault() {
  static std::optional<QString> name;
  return name;
}

bool isPdf(const QString& path) {
  return QMimeDatabase().mimeTypeForFile(path).inherits(QStringLiteral("application/pdf"));
}

bool isImage(const QString& path) { return !QImageReader::imageFormat(path).isEmpty(); }

// Resolution of the print quality codes -1 draft to -4 high.
int qualityDpi(int quality) {
  switch (quality) {
    case -1:
      return 150;
    case -2:
      return 300;
    case -3:
      return 600;
    default:
      return 1200;
  }
}

void setUp(QPrinter& printer, const PrintSettings& s) {
  printer.setResolution(qualityDpi(s.quality));
  printer.setPageSize(QPageSize(s.paper == 9 ? QPageSize::A4 : QPageSize::Letter));
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setColorMode(s.colour ? QPrinter::Color : QPrinter::GrayScale);
  printer.setFullPage(true);
  printer.setCreator(Str(100));
  printer.setDocName(Str(18000));  // never the subject's name: the title travels with the file
}

// Draws one rendered document page (or an image) into the page, scaled to fit, centred.
void drawFitted(QPainter& p, const QRectF& page, const QSizeF& size, const std::function<void()>& draw) {
  const double k = std::min(page.width() / size.width(), page.height() / size.height());
  p.save();
  p.translate(page.left() + (page.width() - size.width() * k) / 2,
              page.top() + (page.height() - size.height() * k) / 2);
  p.scale(k, k);
  draw();
  p.restore();
}

// A PDF file ends with its end-of-file marker; a file cut short by a full disk does not.
bool completePdf(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() < 64) return false;
  f.seek(f.size() - 32);
  return f.read(32).contains("%%EOF");
}

class Run {
 public:
  Run(const PrintSettings& s, const PagePlotDrawer& plots,
      const std::function<void(const QString&)>& progress)
      : s_(s), plots_(plots), progress_(progress) {}

  PrintOutcome pdf(const std::vector<FamilyPrintout>& run);
  PrintOutcome printer(const std::vector<FamilyPrintout>& run);

 private:
  bool nextPage(QPrinter& printer, QPainter& p) {
    if (first_) {
      first_ = false;
      return true;
    }
    return printer.newPage() && p.isActive();
  }
  bool pages(QPrinter& printer, QPainter& p, const FamilyPrintout& f);
  void appendDocument(QPrinter& printer, QPainter& p, const AdditionalDoc& d);
  void tell(const QString& what) const {
    if (progress_) progress_(what);
  }

  const PrintSettings& s_;
  const PagePlotDrawer& plots_;
  const std::function<void(const QString&)>& progress_;
  PrintOutcome out_;
  bool first_ = true;
};

bool Run::pages(QPrinter& printer, QPainter& p, const FamilyPrintout& f) {
  ProcLog log(kModule, "PrintFamily", QStringLiteral("Family=%1").arg(f.family));
  int n = 0;
  for (const PageForm& page : f.pages) {
    ++n;
    log.step("Printing " + page.name);
    tell(page.name);
    if (!nextPage(printer, p)) {
      out_.ok = false;
      out_.failure = Str(18141).arg(n);
      log.error(out_.failure);
      return false;
    }
    PrintHiRes(p, page, printer.paperRect(QPrinter::DevicePixel), plots_);
    ++out_.pages;
  }
  log.completed();
  return true;
}

void Run::appendDocument(QPrinter& printer, QPainter& p, const AdditionalDoc& d) {
  ProcLog log(kModule, "PrintFamily", "Printing Referral Docs: " + d.path);
  tell(d.title);
  const QFileInfo info(d.path);
  if (!info.isFile() || !info.isReadable()) {
    out_.failedDocs << d.title + ": " + Str(18138);
    log.error("Missing or unreadable");
    return;
  }
  if (!AppendableToPdf(d.path)) {
    out_.skippedDocs << d.title;
    log.step("No way to print this file type - Skipped");
    return;
  }
  const QRectF page = printer.paperRect(QPrinter::DevicePixel);
  if (isPdf(d.path)) {
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(d.path);
    if (!doc || doc->isLocked()) {
      out_.failedDocs << d.title + ": " + Str(18139);
      log.error("Not a readable PDF document");
      return;
    }
    doc->setRenderBackend(Poppler::Document::QPainterBackend);
    doc->setRenderHint(Poppler::Document::Antialiasing, true);
    doc->setRenderHint(Poppler::Document::TextAntialiasing, true);
    for (int i = 0; i < doc->numPages(); ++i) {
      std::unique_ptr<Poppler::Page> pg = doc->page(i);
      if (!pg || !nextPage(printer, p)) continue;
      // Drawn at the resolution that makes the page fit ours: text and lines stay vectors.
      const QSizeF pts = pg->pageSizeF();
      const double k = std::min(page.width() / pts.width(), page.height() / pts.height());
      p.save();
      p.translate(page.left() + (page.width() - pts.width() * k) / 2, page.top());
      pg->renderToPainter(&p, 72.0 * k, 72.0 * k);
      p.restore();
    }
    log.step(QStringLiteral("Pages: %1").arg(doc->numPages()));
  } else {
    QImageReader reader(d.path);
    reader.setAutoTransform(true);
    const QImage img = reader.read();
    if (img.isNull()) {
      out_.failedDocs << d.title + ": " + Str(18138);
      log.error(reader.errorString());
      return;
    }
    if (!nextPage(printer, p)) return;
    drawFitted(p, page, img.size(), [&] { p.drawImage(QPointF(0, 0), img); });
  }
  log.completed();
}

PrintOutcome Run::pdf(const std::vector<FamilyPrintout>& run) {
  ProcLog log(kModule, "cmdPrint_Click", "Print to PDF file " + s_.pdfPath);
  const QFileInfo target(s_.pdfPath);
  const QString partial = target.absoluteFilePath() + ".part";
  QFile::remove(partial);
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(partial);
    setUp(printer, s_);
    QPainter p;
    if (!target.absoluteDir().exists() || !p.begin(&printer)) {
      out_.ok = false;
      out_.failure = Str(18140);
      log.error("Cannot write " + partial);
      QFile::remove(partial);
      return out_;
    }
    for (const FamilyPrintout& f : run) {
      if (!pages(printer, p, f)) break;
      if (!f.documents.empty()) log.step("Printing Referral Docs");
      for (const AdditionalDoc& d : f.documents) appendDocument(printer, p, d);
    }
    if (!p.end()) out_.ok = false;
  }
  if (out_.ok && !completePdf(partial)) {
    out_.ok = false;
    out_.failure = Str(18140);
  }
  // The finished file takes the final name in one step, replacing an older report.
  if (out_.ok && std::rename(QFile::encodeName(partial).constData(),
                             QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
    out_.ok = false;
    out_.failure = Str(18140);
  }
  if (!out_.ok) {
    QFile::remove(partial);
    if (out_.failure.isEmpty()) out_.failure = Str(18140);
    log.error(out_.failure);
  }
  log.completed();
  return out_;
}

PrintOutcome Run::printer(const std::vector<FamilyPrintout>& run) {
  ProcLog log(kModule, "cmdPrint_Click", "Print on " + s_.printer);
  for (const FamilyPrintout& f : run) {
    // One job per family, so that its additional documents come out right after its pages.
    {
      QPrinter printer(QPrinter::HighResolution);
      printer.setPrinterName(s_.printer);
      setUp(printer, s_);
      if (!printer.isValid()) {
        out_.ok = false;
        out_.failure = Str(18136);
        break;
      }
      first_ = true;
      QPainter p;
      if (!p.begin(&printer)) {
        out_.ok = false;
        out_.failure = Str(18136);
        break;
      }
      const bool done = pages(printer, p, f);
      if (!p.end() || printer.printerState() == QPrinter::Error) {
        out_.ok = false;
        out_.failure = Str(18137);
      }
      if (!done || !out_.ok) break;
    }
    if (!f.documents.empty()) log.step("Printing Referral Docs");
    for (const AdditionalDoc& d : f.documents) {
      tell(d.title);
      const QFileInfo info(d.path);
      if (!info.isFile() || !info.isReadable()) {
        out_.failedDocs << d.title + ": " + Str(18138);
        continue;
      }
      const QString command = RefDocVerify(d.path);
      if (command.isEmpty()) {
        out_.skippedDocs << d.title;
        continue;
      }
      QProcess lp;
      lp.start(command, {"-d", s_.printer, "-t", info.fileName(), "--", d.path});
      const bool started = lp.waitForStarted(kLpTimeoutMs) && lp.waitForFinished(kLpTimeoutMs);
      if (!started || lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
        out_.failedDocs << d.title + ": " + Str(18137);
        log.error(QString::fromLocal8Bit(lp.readAllStandardError()).trimmed());
      }
    }
  }
  if (!out_.ok) log.error(out_.failure);
  log.completed();
  return out_;
}

}  // namespace

QString DefaultPrinter() {
  if (!programDefault()) programDefault() = QPrinterInfo::defaultPrinterName();
  return *programDefault();
}

void SetDefaultPrinter(const QString& name) { programDefault() = name; }

QStringList InstalledPrinters() { return PrinterChoices(QPrinterInfo::availablePrinterNames()); }

QString RefDocVerify(const QString& path) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
  const bool printable = type.inherits("application/pdf") || type.inherits("application/postscript") ||
                         type.inherits("text/plain") || type.name().startsWith("image/");
  if (!printable) return QString();
  return QStandardPaths::findExecutable("lp");
}

bool AppendableToPdf(const QString& path) { return isPdf(path) || isImage(path); }

PrintOutcome PrintReports(const std::vector<FamilyPrintout>& run, const PrintSettings& settings,
                          const PagePlotDrawer& plots, const std::function<void(const QString&)>& progress) {
  Run r(settings, plots, progress);
  return settings.toPdf ? r.pdf(run) : r.printer(run);
}

}  // namespace tarn
