#include "reports/windows/printentry.h"

#include <QDir>
#include <QFileInfo>

namespace tarn {
namespace {
std::optional<QString>& automaticPdf() {
  static std::optional<QString> path;
  return path;
}
}  // namespace

void PrintReportsToPdfAutomatically(const QString& pdfPath) { automaticPdf() = pdfPath; }

void StopPrintingReportsToPdfAutomatically() { automaticPdf().reset(); }

std::optional<QString> AutomaticPdfOutput() { return automaticPdf(); }

QString ReportPdfBeside(const QString& subjectFilePath) {
  const QFileInfo f(subjectFilePath);
  return f.absoluteDir().filePath(f.completeBaseName() + ".pdf");
}

}  // namespace tarn
