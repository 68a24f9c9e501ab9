#pragma once
// What the options window shows and edits, apart from the window: every page's values are loaded
// from the settings store and the template and note folders (LoadSettings), checked with the page
// to return to (fnDataOK) and written back (fnObjectUpdate). Nothing reaches the store or a file
// before fnObjectUpdate, so dropping the model (Cancel) changes nothing.
//
// Templates and note sets are edited in memory; fnObjectUpdate writes the changed files (each
// replaced whole or not at all), removes deleted ones, and then writes every setting in one batch.
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "core/settingkeys.h"
#include "data/templates/comments.h"
#include "data/templates/template.h"
#include "options/passwordgate.h"

namespace tarn {
class ProcLog;
}

namespace tarn::options {

// Pages in tab order.
enum class Page { Program, Reports, ReportNotes, AdditionalDocs, Monitors, ForcePlatform, Tests, Passwords };
inline constexpr int kPageCount = 8;
int pageCaptionId(Page page);

// A check box and the number setting behind it (true is stored as -1).
struct Switch {
  int captionId;
  settings::LongSetting setting;
};

// "a|b|c|" as a list; empty entries at the end are dropped.
QStringList choiceList(const QString& choices);
// Numbers typed by the operator: a decimal point or comma, nothing else around the number.
bool parseNumber(const QString& text, double& value);

// ---- Program
inline constexpr int kProgramSwitchCount = 13;
extern const std::array<Switch, kProgramSwitchCount> kProgramSwitches;
enum UnitKind { kUnitForce, kUnitMass, kUnitLength, kUnitKindCount };
struct UnitChoice {
  int captionId;
  int choicesId;
  settings::LongSetting setting;
};
extern const std::array<UnitChoice, kUnitKindCount> kUnitChoices;
inline constexpr int kUnitNotChosen = -1;

struct ProgramPage {
  std::array<bool, kProgramSwitchCount> switches{};
  std::array<int, kUnitKindCount> units{};  // 1-based codes; kUnitNotChosen when never chosen
  QString dataFolder;
};

// ---- Reports
inline constexpr int kReportItemCount = 5;  // cover, vision, balance, comparison, additional docs
extern const std::array<int, settings::kReportKinds> kReportKindCaptions;
extern const std::array<int, kReportItemCount> kReportItemCaptions;
extern const std::array<settings::ReportPage, kReportItemCount> kReportItemPages;
inline constexpr int kReportSwitchCount = 4;
extern const std::array<Switch, kReportSwitchCount> kReportSwitches;
inline constexpr qint32 kPaperLetter = 1;  // printer paper codes
inline constexpr qint32 kPaperA4 = 9;
inline constexpr qint32 kColorMonochrome = 1;
inline constexpr qint32 kColorColor = 2;
inline constexpr int kQualityCount = 4;  // draft, low, medium, high: stored as -1 .. -4
inline constexpr int kMaxCopies = 99;

struct ReportsPage {
  std::array<bool, settings::kReportKinds> kinds{};
  std::array<std::array<bool, kReportItemCount>, settings::kReportKinds> items{};
  std::array<bool, kReportSwitchCount> switches{};
  QString printer;
  qint32 paper = kPaperLetter;
  qint32 quality = -kQualityCount;
  QString copies;
  bool color = true;
};

// ---- Report notes (comment templates)
struct NoteSet {
  QString fileName;  // full path
  KM_RQTComments notes;
  bool readable = true;
  bool changed = false;  // written at OK
};
struct NotesPage {
  std::vector<NoteSet> sets;  // sorted by file name as found; added sets at the end
  int selected = -1;
  QStringList deleted;  // files removed at OK
};
// The note items the printed reports use: the subject's and the external blocks.
inline constexpr int kFirstPrintedNote = KM_RQTComments::kBlockSize;
// A note of "-" (or nothing) prints nothing.
bool noteDefined(const QString& text);

// ---- Additional documents
struct DocsPage {
  std::array<QString, settings::kReferralDocRows> files;  // row 1 is files[0]
  QString lastPath;
};

// ---- Monitors
struct DisplayInfo {
  QString name;         // as the subject-forms component reports it ("DevName")
  QString description;  // "DevString"
  int resHor = 0;
  int resVert = 0;
};
enum SizeField { kWidthIn, kWidthMM, kHeightIn, kHeightMM, kDiagonalIn, kDiagonalMM, kSizeFieldCount };
struct MonitorPage {
  std::vector<DisplayInfo> displays;  // display n is displays[n - 1]
  int primary = 1;                    // number of the primary display
  int subjectMonitor = 0;             // "MonitorForSubject"; 0 none
  std::array<QString, kSizeFieldCount> size;
};

// ---- Force platform
struct PlatformPage {
  QString excitation;  // V
  QString duration;    // s
  QString maxAge;      // s
  QString maxNoise;    // A/D codes
  bool allowNoisy = true;
};

// ---- Tests
enum TestKind { kEnableVision, kEnableBalance, kEnableMBalance, kEnableWeight, kTestKindCount };
extern const std::array<Switch, kTestKindCount> kTestKinds;
struct TemplateEntry {
  QString fileName;  // full path
  KM_RQTemplate tpl;
  bool readable = true;
  bool changed = false;  // written at OK
};
struct TestsPage {
  std::array<bool, kTestKindCount> enabled{};
  std::vector<TemplateEntry> templates;
  int selected = -1;
  QStringList deleted;
};

// ---- Passwords: the digests written at OK.
struct PasswordsPage {
  QString key1, key2;
  QString storedKey1, storedKey2;  // as loaded
};

class OptionsModel {
 public:
  explicit OptionsModel(std::vector<DisplayInfo> displays = {}, int primaryDisplay = 1);

  // Fills every page from the store and the folders. A folder without any template or note set
  // gets the station's defaults, to be written at OK.
  void LoadSettings();
  // Checks every page: refusals first (exclamation message, false), then the warnings the
  // operator may accept (information message, OK or Cancel). On false `page` is where to go.
  bool fnDataOK(Page* page);
  // Writes every setting in one batch, the changed templates and note sets (each file replaced
  // whole or not at all) and removes deleted ones. False, with a message, when something cannot
  // be written; the settings are then as they were.
  bool fnObjectUpdate(Page* page);
  bool fnDataSave(Page* page) { return fnDataOK(page) && fnObjectUpdate(page); }

  ProgramPage program;
  ReportsPage reports;
  NotesPage notes;
  DocsPage docs;
  MonitorPage monitor;
  PlatformPage platform;
  TestsPage tests;
  PasswordsPage passwords;

  // ---- Monitor page (UpdateMonitor, cmdSubjectMonitor_Click)
  // The display whose size is calibrated: the subject's, else the primary; nullptr when absent.
  const DisplayInfo* calibratedDisplay() const;
  QString subjectDisplayText() const;  // "Primary Monitor - ..." / "Not Selected" / "(No Longer Present)"
  QString subjectDisplayNumberText() const;
  QString resolutionText() const;
  // Refuses display 1 (and unknown numbers) with a message; 0 means none.
  bool chooseSubjectMonitor(int number);
  // Converts the left field into its twin; a diagonal sets the sides from the resolution's aspect
  // ratio, two sides set the diagonal. False, with a message naming the field, when unreadable.
  bool leaveSizeField(SizeField field);
  static QString sizeFieldCaption(SizeField field);

  // ---- Force platform page (cmdFPDefaults_Click)
  void restoreDefaults();

  // ---- Tests page
  TemplateEntry* selectedTemplate();
  int addTemplate();  // returns its index; selected
  void deleteTemplate(int index);
  // Inserts before `row` (1-based; outside the items: appended); returns the new row or 0.
  int insertBalance(int row);
  int insertVision(int row);
  int moveTest(int row, bool up);  // returns the item's new row
  void removeTest(int row);
  bool replaceTest(int row, const KM_RQTemplateItem& item);
  bool renameTemplate(const QString& name);
  QString testStatusText(const KM_RQTemplateItem& item) const;

  // ---- Report notes page
  NoteSet* selectedNoteSet();
  // From one of the prepared sets (0 "Empty" .. 6), or a copy of the selected set (-1).
  int addNoteSet(int source, const QString& name);
  void deleteNoteSet(int index);
  bool renameNoteSet(const QString& name);
  bool setNote(int item, const QString& text);  // selected set; "" stores "-"

  // ---- Additional documents page
  void setDocument(int row, const QString& path);  // remembers its folder as "LastPath"
  void removeDocument(int row);

  // ---- Passwords page (cmdPWAChange_Click, cmdPWOChange_Click): messages as the rules say.
  PasswordChange changeAdministratorPassword(const QString& entered, const QString& confirmed);
  PasswordChange changeOperatorPassword(const QString& entered, const QString& confirmed);
  QString administratorStatusText() const;
  QString operatorStatusText() const;

  // The folders and name parts as loaded ("Template Path", "Comments Path", ...).
  QString templateFolder() const { return templateFolder_; }
  QString commentsFolder() const { return commentsFolder_; }

 private:
  void loadMonitorSizes();
  void loadTemplates();
  void loadNoteSets();
  bool checkRefusals(Page* page);
  bool checkWarnings(Page* page);
  bool writeFiles(const ProcLog& log, Page* page);
  void writeSettings();  // into the open batch
  void settingsFailed(const ProcLog& log, Page* page);
  QString freeFileName(const QString& folder, const QString& name, const QString& ext) const;
  TemplateEntry* editableTemplate();

  QString templateFolder_, templateName_, templateExt_;
  QString commentsFolder_, commentsName_, commentsExt_;
};

}  // namespace tarn::options
