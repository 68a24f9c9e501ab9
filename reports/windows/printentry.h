#pragma once
// An unattended run asks for its report as a PDF file: from the call on, every results window
// prints its ticked families by itself (as with "PrintReportsAutomatically") into that file,
// through the printing window's PDF file entry. The operator's settings are not changed.
#include <QString>
#include <optional>

namespace tarn {

void PrintReportsToPdfAutomatically(const QString& pdfPath);
void StopPrintingReportsToPdfAutomatically();
std::optional<QString> AutomaticPdfOutput();

// The report's PDF file beside a subject file: the same folder and name, ".pdf".
QString ReportPdfBeside(const QString& subjectFilePath);

}  // namespace tarn
