#pragma once
// The printed report as page forms: each page a list of controls (labels, rules, frames, plots)
// at their printed place in twips on a US Letter page, filled from the results report's model,
// never computed again. The print run is the pages of every ticked family, for every copy, in the
// order internal, subject, external, each family followed by its additional documents. Drawing the
// forms on a printer or into a PDF file is the windows' business.
#include <QRect>
#include <QString>
#include <QtGlobal>
#include <array>
#include <vector>

#include "data/templates/comments.h"
#include "reports/printtexts.h"

namespace tarn {

class ReportModel;

inline constexpr int kPageWidthTwips = 12240;   // 8.5 in
inline constexpr int kPageHeightTwips = 15840;  // 11 in

struct PageItem {
  enum Kind { Label, Rule, Frame, Plot, Logo };
  enum Align { Left, Right, Centre };
  Kind kind = Label;
  QString name;  // control name; members of an array carry their index: "lblBalanceNorm(2)"
  QRect rect;    // twips from the page's top left
  QString text;
  double points = 9.75;
  bool bold = false;
  bool underline = false;
  quint32 colour = 0;  // 0x00BBGGRR
  Align align = Left;
  bool visible = true;
  int plot = -1;  // Plot: the report's balance test (0-3)
};

struct PageForm {
  QString name;  // frmTRPIBalance, ...
  std::vector<PageItem> items;
  // The visible control of that name, or null.
  const PageItem* item(const QString& name) const;
  // Every visible label's text, one per line (what the page says).
  QString text() const;
};

// The ticks of one family in the printing window.
struct FamilyChoice {
  bool print = false;
  bool cover = true, vision = true;
  std::array<bool, 4> balance{true, true, true, true};
  bool comparison = true, referrals = false, reportID = true, pageNums = true;
};
struct PrintChoice {
  std::array<FamilyChoice, kReportFamilies> families;
  int copies = 1;
  // As the settings of the Reports key tick them.
  static PrintChoice fromSettings();
};

// What the printed report reads besides the results report.
struct PrintInputs {
  KM_RQTComments comments;  // the template the settings name ("-" everywhere when missing)
  bool hipaa = true;        // "HipaaCompliant"
  bool showNames = false;   // the caller lets names show in spite of it
  double now = 0;           // day serial of the print run: report IDs and the print date
  std::array<double, 4> gridSteps{0.01, 0.01, 0.01, 0.01};  // each plot's grid step (m), for its caption
  // Reads the comment template, HIPAA and the grid step from the settings and the clock.
  static PrintInputs fromSettings(bool* commentsLoaded = nullptr, QString* commentsFile = nullptr);
};

// Page number and count of one page, and the report ID of its family.
struct PageHeader {
  QString reportID;  // empty: hidden
  int page = 0;      // 0: page numbers off
  int count = 0;
};

// One family of one copy: its pages and the documents that follow them.
struct FamilyPrintout {
  int family = 0;
  QString reportID;
  std::vector<PageForm> pages;
  std::vector<AdditionalDoc> documents;
};

class ReportPrintout {
 public:
  ReportPrintout(const ReportModel& model, PrintInputs inputs);

  // Whether the names are hidden (HIPAA and not shown on purpose).
  bool namesHidden() const { return inputs_.hipaa && !inputs_.showNames; }
  bool adultReport() const;
  // Which items the report has at all (the matching tab of the results window is enabled).
  bool hasVision() const;
  int balanceCount() const;  // at most four
  bool hasComparison() const;
  // A choice with the items the report lacks cleared.
  FamilyChoice limited(const FamilyChoice& c) const;

  int pageCount(const FamilyChoice& c) const;
  std::vector<AdditionalDoc> documents(int family) const;
  // Pages and documents of the ticked families, counted once (not per copy).
  int GetItemsCount(const PrintChoice& choice) const;

  PageForm Print_PatInfo(int family, const FamilyChoice& c, const PageHeader& h) const;
  PageForm Print_Balance(int family, int k, const PageHeader& h) const;  // k from 0
  PageForm Print_BalanceComparison(int family, const PageHeader& h) const;
  PageForm Print_Vision(int family, const PageHeader& h) const;

  FamilyPrintout PrintFamily(int family, const FamilyChoice& c) const;
  // Every copy, every ticked family in order.
  std::vector<FamilyPrintout> PrintRun(const PrintChoice& choice) const;

  // "Name: Lee, Ann M" / "Name: (Hidden)".
  QString subjectName() const;
  QString reportID(int family) const;

 private:
  void header(PageForm& f, int family, const PageHeader& h) const;
  void subjectLines(PageForm& f, int family, int k) const;
  std::array<QString, 27> resultValues(int k) const;
  QString ticksText(int k) const;

  const ReportModel& model_;
  PrintInputs inputs_;
};

// Breaks a caption into printed lines: at "\r\n", "\r" and "\n", and inside a line at blanks so
// that each line fits `width` as `measure` says (a word longer than the width stands alone).
template <class Measure>
QStringList WrapLines(const QString& text, double width, Measure measure);

// The printers to offer: the installed ones without any called "PRINT TO FILE".
QStringList PrinterChoices(const QStringList& installed);
// Windows print quality code of the quality choice (1 draft ... 4 high); no choice is high.
int PrintQualityCode(int choice);
// The copies box as the run reads it: a number above 0, else 1.
int CopiesFromText(const QString& text);

template <class Measure>
QStringList WrapLines(const QString& text, double width, Measure measure) {
  QStringList out;
  QString t = text;
  t.replace("\r\n", "\n").replace('\r', '\n');
  for (const QString& para : t.split('\n')) {
    QString line;
    for (const QString& word : para.split(' ')) {
      const QString candidate = line.isEmpty() ? word : line + ' ' + word;
      if (!line.isEmpty() && measure(candidate) > width) {
        out << line;
        line = word;
      } else {
        line = candidate;
      }
    }
    out << line;
  }
  return out;
}

}  // namespace tarn
