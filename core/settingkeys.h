#pragma once
// Every key, value name and default of the settings store, spelled as stored. Callers read and
// write through these descriptors so that no value name is typed twice.
// Defaults marked "centred" or "system" depend on the screen or printer: the owner passes them
// with read(setting, overrideDefault) or reads the text and falls back itself.
#include <QString>
#include <QtGlobal>

namespace tarn::settings {

struct LongSetting {
  const char* key;   // key path below the hive
  const char* name;  // value name
  qint32 def;
};

// Texts whose default depends on the machine (folders) carry a function for it.
struct TextSetting {
  const char* key;
  const char* name;
  const char* def;               // used when defFn is null
  QString (*defFn)() = nullptr;  // e.g. documents folder
};

qint32 read(const LongSetting& s);
qint32 read(const LongSetting& s, qint32 overrideDefault);
void write(const LongSetting& s, qint32 value);
QString read(const TextSetting& s);
QString read(const TextSetting& s, const QString& overrideDefault);
void write(const TextSetting& s, const QString& value);
bool readBool(const LongSetting& s);               // non-zero is true
void writeBool(const LongSetting& s, bool value);  // true is stored as -1
QString defaultOf(const TextSetting& s);
bool remove(const LongSetting& s);
bool remove(const TextSetting& s);

inline constexpr char kCompanyKey[] = "Software\\Kamrith Labs, LLC.";
inline constexpr char kRootKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ";
inline constexpr char kFilesKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\Files";
inline constexpr char kMonitorKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\Monitor";
inline constexpr char kReportsKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\Reports";
inline constexpr char kReferralDocsKey[] = "Software\\Kamrith Labs, LLC.\\TARN RQ\\ReferralDocs";
inline constexpr char kReferralInternalKey[] =
    "Software\\Kamrith Labs, LLC.\\TARN RQ\\ReferralDocs\\InternalReport";
inline constexpr char kReferralSubjectKey[] =
    "Software\\Kamrith Labs, LLC.\\TARN RQ\\ReferralDocs\\SubjectReport";
inline constexpr char kReferralExternalKey[] =
    "Software\\Kamrith Labs, LLC.\\TARN RQ\\ReferralDocs\\ExternalReport";
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

inline constexpr qint32 kTrue = -1;
inline constexpr qint32 kButtonFaceColor = static_cast<qint32>(0x8000000Fu);  // system button face

// Folder defaults (folders are stored without a trailing separator).
QString defDocumentsFolder();
QString defUserDataFolder();
QString defColumnsFile();  // <user data folder>/RQFMColumns.vcl

// ---- Company key ----
inline constexpr LongSetting NoClockCheckReminder{kCompanyKey, "NoClockCheckReminder", 0};
inline constexpr LongSetting DaysBetweenClockCheck{kCompanyKey, "DaysBetweenClockCheck", 7};
inline constexpr LongSetting LastClockCheck{kCompanyKey, "LastClockCheck", 0};
inline constexpr LongSetting SouthernHemisphereLocation{kCompanyKey, "SouthernHemisphereLocation", 0};

// ---- Settings root ----
inline constexpr LongSetting FullScreen{kRootKey, "FullScreen", 0};
inline constexpr LongSetting MainWinPosLeft{kRootKey, "MainWinPosLeft", 0};  // centred
inline constexpr LongSetting MainWinPosTop{kRootKey, "MainWinPosTop", 0};    // centred
inline constexpr LongSetting MainWinPosW{kRootKey, "MainWinPosW", 9600};
inline constexpr LongSetting MainWinPosH{kRootKey, "MainWinPosH", 7200};
inline constexpr LongSetting FmanWinPosLeft{kRootKey, "FmanWinPosLeft", 0};  // centred
inline constexpr LongSetting FmanWinPosTop{kRootKey, "FmanWinPosTop", 0};    // centred
inline constexpr LongSetting FmanWinPosW{kRootKey, "FmanWinPosW", 9600};
inline constexpr LongSetting FmanWinPosH{kRootKey, "FmanWinPosH", 7200};
inline constexpr LongSetting FmanWinPosStatus{kRootKey, "FmanWinPosStatus", 0};
inline constexpr LongSetting RmanWinPosLeft{kRootKey, "RmanWinPosLeft", 0};  // centred
inline constexpr LongSetting RmanWinPosTop{kRootKey, "RmanWinPosTop", 0};    // centred
inline constexpr LongSetting RmanWinPosW{kRootKey, "RmanWinPosW", 9600};
inline constexpr LongSetting RmanWinPosH{kRootKey, "RmanWinPosH", 7200};
inline constexpr LongSetting RmanWinPosStatus{kRootKey, "RmanWinPosStatus", 0};
inline constexpr LongSetting StartDelay{kRootKey, "StartDelay", 5000};
inline constexpr LongSetting MonitorForSubject{kRootKey, "MonitorForSubject", 0};
inline constexpr LongSetting StartAutomatically{kRootKey, "StartAutomatically", 0};
inline constexpr LongSetting ShutWindowsOnExit{kRootKey, "ShutWindowsOnExit", 0};
inline constexpr LongSetting MouseMove{kRootKey, "MouseMove", 0};
inline constexpr LongSetting MouseHide{kRootKey, "MouseHide", 0};
inline constexpr LongSetting SelectedCmdColorON{kRootKey, "SelectedCmdColorON", kButtonFaceColor};
inline constexpr LongSetting SelectedCmdColorOFF{kRootKey, "SelectedCmdColorOFF", kButtonFaceColor};
inline constexpr LongSetting HideSubjectID{kRootKey, "HideSubjectID", 0};
inline constexpr LongSetting HideSubjectName{kRootKey, "HideSubjectName", 0};
inline constexpr LongSetting HideSubjectFile{kRootKey, "HideSubjectFile", 0};
inline constexpr LongSetting AllowTestTemplate{kRootKey, "AllowTestTemplate", -1};
inline constexpr LongSetting ForceTestOrder{kRootKey, "ForceTestOrder", 0};
inline constexpr LongSetting ProceedAutomatically{kRootKey, "ProceedAutomatically", 0};
inline constexpr LongSetting EnableBalance{kRootKey, "Enable Balance", -1};
inline constexpr LongSetting EnableMBalance{kRootKey, "Enable MBalance", -1};
inline constexpr LongSetting EnableVision{kRootKey, "Enable Vision", -1};
inline constexpr LongSetting EnableWeight{kRootKey, "Enable Weight", -1};
// Units are numbered from 1 in the order of the options lists; 3 is the SI unit. The activation
// check reads them with default -1 to see whether they were ever chosen.
inline constexpr LongSetting UnitsForce{kRootKey, "Units Force", 3};
inline constexpr LongSetting UnitsLength{kRootKey, "Units Lenght", 3};  // spelled as stored
inline constexpr LongSetting UnitsMass{kRootKey, "Units Mass", 3};
inline constexpr qint32 kUnitsNeverChosen = -1;
inline constexpr LongSetting HipaaCompliant{kRootKey, "HipaaCompliant", -1};
inline constexpr LongSetting PrintReportsAutomatically{kRootKey, "PrintReportsAutomatically", 0};
inline constexpr LongSetting LockReports{kRootKey, "LockReports", 0};
inline constexpr TextSetting Key1{kRootKey, "Key1", ""};  // administrator password digest
inline constexpr TextSetting Key2{kRootKey, "Key2", ""};  // operator password digest
// Recipient of the error-log mail after an abnormal end.
inline constexpr TextSetting SupportEMail{kRootKey, "Support EMail", "support@kamrithlabs.example"};

// ---- Files ----
inline constexpr TextSetting LastPath{kFilesKey, "Last Path", "", &defDocumentsFolder};
inline constexpr TextSetting DefaultExt{kFilesKey, "Default Ext", ".kpf"};
inline constexpr TextSetting TempExt{kFilesKey, "Temp Ext", ".tmp"};
inline constexpr TextSetting LastName{kFilesKey, "Last Name", ""};
inline constexpr TextSetting LastTemp{kFilesKey, "Last Temp", ""};
inline constexpr TextSetting ListPrefix{kFilesKey, "List Prefix", "RQList"};
inline constexpr TextSetting ListExt{kFilesKey, "List Ext", ".slf"};
inline constexpr TextSetting TemplatePath{kFilesKey, "Template Path", "", &defUserDataFolder};
inline constexpr TextSetting TemplateFile{kFilesKey, "Template File", "KMTARNRQ.tef"};
inline constexpr TextSetting TemplateName{kFilesKey, "Template Name", "KMTARNRQ"};
inline constexpr TextSetting TemplateExt{kFilesKey, "Template Ext", ".tef"};
inline constexpr TextSetting CommentsPath{kFilesKey, "Comments Path", "", &defUserDataFolder};
inline constexpr TextSetting CommentsFile{kFilesKey, "Comments File", "KMTARNRQ.cof"};
inline constexpr TextSetting CommentsName{kFilesKey, "Comments Name", "KMTARNRQ"};
inline constexpr TextSetting CommentsExt{kFilesKey, "Comments Ext", ".cof"};
inline constexpr TextSetting FManagerColumnsFile{kFilesKey, "FManager Columns File", "", &defColumnsFile};
inline constexpr TextSetting LastExportPath{kFilesKey, "Last Export Path", ""};
inline constexpr TextSetting LastImportPath{kFilesKey, "Last Import Path", ""};
inline constexpr TextSetting DefaultDataExportExt{kFilesKey, "Default DataExport Ext", ".csv"};
inline constexpr TextSetting LastDataExportPath{kFilesKey, "Last Data Export Path", ""};

// ---- Monitor (the subject's display) ----
inline constexpr TextSetting MonitorDevName{kMonitorKey, "DevName", "-"};
inline constexpr TextSetting MonitorDevString{kMonitorKey, "DevString", "-"};
inline constexpr LongSetting MonitorResHor{kMonitorKey, "Res Hor", -1};
inline constexpr LongSetting MonitorResVert{kMonitorKey, "Res Vert", -1};
inline constexpr LongSetting MonitorWidthMM{kMonitorKey, "Width (mm)", 0};
inline constexpr LongSetting MonitorHeightMM{kMonitorKey, "Height (mm)", 0};
inline constexpr LongSetting MonitorDiagonalMM{kMonitorKey, "Diagonal (mm)", 0};

// ---- Reports ----
enum class ReportKind { Internal = 0, Subject = 1, External = 2 };
enum class ReportPage { Cover = 0, Vision, Balance, BComparison, Referrals, ID, PageNums };
inline constexpr int kReportKinds = 3;
inline constexpr int kReportPages = 7;

inline constexpr LongSetting ReportInternal{kReportsKey, "Internal", -1};
inline constexpr LongSetting ReportSubject{kReportsKey, "Subject", 0};
inline constexpr LongSetting ReportExternal{kReportsKey, "External", 0};
inline constexpr LongSetting ReportMasters[kReportKinds] = {ReportInternal, ReportSubject, ReportExternal};

// Page switches "<kind> <page>", defaults as the options window reads them. The print window
// reads "Internal ID" with 0 and "Subject PageNums" with 1 (see printDefault below).
inline constexpr LongSetting ReportPages[kReportKinds][kReportPages] = {
    {{kReportsKey, "Internal Cover", -1},
     {kReportsKey, "Internal Vision", -1},
     {kReportsKey, "Internal Balance", -1},
     {kReportsKey, "Internal BComparison", -1},
     {kReportsKey, "Internal Referrals", 0},
     {kReportsKey, "Internal ID", -1},
     {kReportsKey, "Internal PageNums", -1}},
    {{kReportsKey, "Subject Cover", -1},
     {kReportsKey, "Subject Vision", -1},
     {kReportsKey, "Subject Balance", -1},
     {kReportsKey, "Subject BComparison", -1},
     {kReportsKey, "Subject Referrals", -1},
     {kReportsKey, "Subject ID", -1},
     {kReportsKey, "Subject PageNums", -1}},
    {{kReportsKey, "External Cover", -1},
     {kReportsKey, "External Vision", -1},
     {kReportsKey, "External Balance", -1},
     {kReportsKey, "External BComparison", -1},
     {kReportsKey, "External Referrals", -1},
     {kReportsKey, "External ID", -1},
     {kReportsKey, "External PageNums", -1}},
};
inline constexpr const LongSetting& reportPage(ReportKind k, ReportPage p) {
  return ReportPages[static_cast<int>(k)][static_cast<int>(p)];
}
// The default the print window uses for a page switch.
inline constexpr qint32 printDefault(ReportKind k, ReportPage p) {
  if (k == ReportKind::Internal && p == ReportPage::ID) return 0;
  if (k == ReportKind::Subject && p == ReportPage::PageNums) return 1;
  return reportPage(k, p).def;
}

inline constexpr TextSetting ReportPrinter{kReportsKey, "Printer", ""};  // system default printer
inline constexpr LongSetting ReportPaper{kReportsKey, "Paper", 1};
inline constexpr LongSetting ReportColor{kReportsKey, "Color", 2};
inline constexpr LongSetting ReportQuality{kReportsKey, "Quality", -4};
inline constexpr LongSetting ReportCopies{kReportsKey, "Copies", 1};
inline constexpr LongSetting ReportCoPTraceON{kReportsKey, "CoPTraceON", -1};
inline constexpr LongSetting ReportCoPEllipseON{kReportsKey, "CoPEllipseON", -1};
inline constexpr LongSetting ReportCoPLoSON{kReportsKey, "CoPLoSON", -1};
inline constexpr LongSetting ReportCoPGridStyle{kReportsKey, "CoPGridStyle", 4};
inline constexpr LongSetting ReportCoPGridStep{kReportsKey, "CoPGridStep", 2};
inline constexpr LongSetting ReportCoPScaleToSway{kReportsKey, "CoPScaleToSway", -1};

// ---- ReferralDocs ----
inline constexpr TextSetting ReferralLastPath{kReferralDocsKey, "LastPath", ""};
inline constexpr int kReferralDocsPerKind = 24;
inline constexpr int kReferralDocRows = 72;  // rows 1-24 internal, 25-48 subject, 49-72 external
inline constexpr const char* kReferralDocKeys[kReportKinds] = {kReferralInternalKey, kReferralSubjectKey,
                                                               kReferralExternalKey};
inline constexpr const char* kReferralDocNames[kReferralDocsPerKind] = {
    "GeneralAIntro",   "GeneralCIntro",   "VisionANormal",      "VisionAAbnormal", "VisionCNormal",
    "VisionCAbnormal", "StabilANormal",   "StabilAMild",        "StabilAModerate", "StabilASevere",
    "StabilAProfund",  "StabilCNormal",   "StabilCMild",        "StabilCModerate", "StabilCSevere",
    "StabilCProfund",  "BMIAUnderweight", "BMIANormal",         "BMIAOverweight",  "BMIAObese",
    "BMICUnderweight", "BMICNormal",      "BMICRiskOverweight", "BMICOverweight"};
// Row 1..72 of the options window's list; default empty.
inline constexpr TextSetting referralDoc(int row) {
  const int i = row - 1;
  return TextSetting{kReferralDocKeys[i / kReferralDocsPerKind], kReferralDocNames[i % kReferralDocsPerKind],
                     ""};
}
inline constexpr TextSetting referralDoc(ReportKind k, int index0) {
  return referralDoc(static_cast<int>(k) * kReferralDocsPerKind + index0 + 1);
}

// ---- System values ----
inline constexpr TextSetting DesktopFontSmoothing{kDesktopKey, "FontSmoothing", ""};
inline constexpr TextSetting RunAtStartup{kRunKey, "KMTARNRQ", ""};

}  // namespace tarn::settings
