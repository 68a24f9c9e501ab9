#pragma once
// Where the printed report goes: an installed printer (a CUPS queue) or a PDF file. A run is the
// families of the page composition; each family's pages are one print job on a printer, followed
// by its additional documents handed to the print system; into a PDF file the documents are
// appended as pages (PDF documents rendered page by page, images one per page). The PDF file is
// written beside its final name and renamed only when complete, so it is never half-written.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "reports/printpages.h"
#include "reports/windows/printhires.h"

class QPainter;
class QPrinter;

namespace tarn {

// The program's default printer: the system's when the program starts, switched for a run and
// put back afterwards.
QString DefaultPrinter();
void SetDefaultPrinter(const QString& name);
// Installed printers as the printing window offers them.
QStringList InstalledPrinters();

// Print settings of a run.
struct PrintSettings {
  bool toPdf = false;
  QString printer;  // device name (printer output)
  QString pdfPath;  // PDF output
  int paper = 1;    // 1 Letter, 9 A4
  bool colour = true;
  int quality = -4;  // -1 draft ... -4 high
};

struct PrintOutcome {
  bool ok = true;           // every page was printed
  int pages = 0;            // pages of the families printed (documents not counted)
  QString failure;          // what went wrong with the pages, for the operator
  QStringList failedDocs;   // additional documents that did not print ("title: why")
  QStringList skippedDocs;  // documents of a type that cannot be printed (left out silently)
};

// The command that prints the document's file type: "lp" on a printer for the types the print
// system takes (PDF, PostScript, text, images), empty otherwise.
QString RefDocVerify(const QString& path);
// Whether an additional document can be appended to a PDF output (a PDF document or an image).
bool AppendableToPdf(const QString& path);

// Runs the print. `progress` (may be empty) is told before every page and document.
PrintOutcome PrintReports(const std::vector<FamilyPrintout>& run, const PrintSettings& settings,
                          const PagePlotDrawer& plots,
                          const std::function<void(const QString&)>& progress = {});

}  // namespace tarn
