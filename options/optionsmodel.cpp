#include "options/optionsmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>

#include "balance/balancesettings.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/messages.h"
#include "core/settings.h"
#include "options/monitorsize.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn::options {

namespace s = tarn::settings;

namespace {
constexpr char kModule[] = "frmPOptions";
constexpr int kHelpContext = 0;

// Force platform page limits and defaults.
constexpr double kMinExcitationV = 0.5, kMaxExcitationV = 5.0;
constexpr double kMinZeroDurationS = 1.0, kMaxZeroDurationS = 60.0;
constexpr double kMinZeroMaxAgeS = 60.0, kMaxZeroMaxAgeS = 86400.0;
constexpr double kMinMaxNoise = 128.0, kMaxMaxNoise = 1000000.0;

// Monitor size fields: inches with one decimal, millimetres whole.
constexpr int kInchDecimals = 1;
constexpr int kMMDecimals = 0;
constexpr int kInchUnit = 2;  // unit codes of the length routines
constexpr int kMMUnit = 5;

// Vision item defaults for "Insert Vision": both eyes, the usual screening counts.
constexpr qint32 kVisionEyeBoth = 3;
constexpr double kVisionIntervalS = 1.0;
constexpr double kVisionDistanceM = 3.0;
constexpr qint32 kVisionTestsPerSize = 5;
constexpr qint32 kVisionCorrectAnswers = 3;

const QString kNoNote = QStringLiteral("-");

bool refuse(const QString& text, Page where, Page* page) {
  if (page) *page = where;
  showMessage(text, MsgIcon::Exclamation, MsgButtons::OK, kHelpContext);
  return false;
}

// A warning the operator may accept: Cancel (the default) goes back to the page.
bool warn(const QString& text, Page where, Page* page) {
  if (showMessage(text, MsgIcon::Information, MsgButtons::OKCancel, kHelpContext, 2) == MsgResult::OK)
    return true;
  if (page) *page = where;
  return false;
}

QString folderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

bool sameFile(const QString& a, const QString& b) {
  return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
}

// The data folder accepts a new file: created and removed again.
bool folderWritable(const QString& folder) {
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("tarnrq-probe-XXXXXX")));
  return probe.open();
}

QStringList filesIn(const QString& folder, const QString& ext) {
  QDir dir(folder);
  QStringList names = dir.entryList({QLatin1Char('*') + ext}, QDir::Files, QDir::Name | QDir::IgnoreCase);
  QStringList out;
  out.reserve(names.size());
  for (const QString& n : names)
    if (n.endsWith(ext, Qt::CaseInsensitive)) out << dir.filePath(n);
  return out;
}

qint32 rounded(double v) { return static_cast<qint32>(std::lround(v)); }
}  // namespace

// ------------------------------------------------------------------ tables

const std::array<Switch, kProgramSwitchCount> kProgramSwitches = {{
    {6021, s::FullScreen},
    {6022, s::HideSubjectID},
    {6023, s::HideSubjectName},
    {6024, s::HideSubjectFile},
    {6025, s::AllowTestTemplate},
    {6026, s::ForceTestOrder},
    {6027, s::ProceedAutomatically},
    {6028, s::MouseHide},
    {6029, s::MouseMove},
    {6030, s::StartAutomatically},
    {6031, s::ShutWindowsOnExit},
    {6032, s::SouthernHemisphereLocation},
    {6033, s::NoClockCheckReminder},
}};

const std::array<UnitChoice, kUnitKindCount> kUnitChoices = {{
    {6034, 6035, s::UnitsForce},
    {6036, 6037, s::UnitsMass},
    {6038, 6039, s::UnitsLength},
}};

const std::array<int, s::kReportKinds> kReportKindCaptions = {6051, 6052, 6053};
const std::array<int, kReportItemCount> kReportItemCaptions = {6055, 6056, 6057, 6058, 6059};
const std::array<s::ReportPage, kReportItemCount> kReportItemPages = {
    s::ReportPage::Cover, s::ReportPage::Vision, s::ReportPage::Balance, s::ReportPage::BComparison,
    s::ReportPage::Referrals};
const std::array<Switch, kReportSwitchCount> kReportSwitches = {{
    {6060, s::HipaaCompliant},
    {6061, s::ReportCoPScaleToSway},
    {6062, s::PrintReportsAutomatically},
    {6063, s::LockReports},
}};

const std::array<Switch, kTestKindCount> kTestKinds = {{
    {6241, s::EnableVision},
    {6242, s::EnableBalance},
    {6243, s::EnableMBalance},
    {6244, s::EnableWeight},
}};

int pageCaptionId(Page page) { return 6010 + static_cast<int>(page); }

QStringList choiceList(const QString& choices) {
  QStringList list = choices.split(QLatin1Char('|'));
  while (!list.isEmpty() && list.last().isEmpty()) list.removeLast();
  return list;
}

bool parseNumber(const QString& text, double& value) {
  QString t = text.trimmed();
  if (t.isEmpty() || (t.contains(QLatin1Char(',')) && t.contains(QLatin1Char('.')))) return false;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool noteDefined(const QString& text) {
  const QString t = text.trimmed();
  return !t.isEmpty() && t != kNoNote;
}

// ------------------------------------------------------------------ loading

OptionsModel::OptionsModel(std::vector<DisplayInfo> displays, int primaryDisplay) {
  monitor.displays = std::move(displays);
  monitor.primary = primaryDisplay;
}

void OptionsModel::LoadSettings() {
  ProcLog log(kModule, "LoadSettings");
  for (int i = 0; i < kProgramSwitchCount; ++i)
    program.switches[i] = s::readBool(kProgramSwitches[i].setting);
  // Read with "never chosen" as the default, so that a station that never chose shows no unit.
  for (int k = 0; k < kUnitKindCount; ++k) {
    const qint32 code = s::read(kUnitChoices[k].setting, kUnitNotChosen);
    const int count = static_cast<int>(choiceList(Str(kUnitChoices[k].choicesId)).size());
    program.units[k] = code >= 1 && code <= count ? code : kUnitNotChosen;
  }
  program.dataFolder = s::read(s::LastPath);

  for (int k = 0; k < s::kReportKinds; ++k) {
    reports.kinds[k] = s::read(s::ReportMasters[k]) != 0;
    for (int i = 0; i < kReportItemCount; ++i)
      reports.items[k][i] = s::read(s::reportPage(static_cast<s::ReportKind>(k), kReportItemPages[i])) != 0;
  }
  for (int i = 0; i < kReportSwitchCount; ++i) reports.switches[i] = s::readBool(kReportSwitches[i].setting);
  reports.printer = s::read(s::ReportPrinter);
  reports.paper = s::read(s::ReportPaper) == kPaperA4 ? kPaperA4 : kPaperLetter;
  reports.quality = std::clamp(s::read(s::ReportQuality), -kQualityCount, -1);
  reports.copies = QString::number(s::read(s::ReportCopies));
  reports.color = s::read(s::ReportColor) != kColorMonochrome;

  for (int row = 1; row <= s::kReferralDocRows; ++row) docs.files[row - 1] = s::read(s::referralDoc(row));
  docs.lastPath = s::read(s::ReferralLastPath);

  monitor.subjectMonitor = s::read(s::MonitorForSubject);
  log.step("UpdateMonitor");
  loadMonitorSizes();

  platform.excitation = FormatNumber(s::read(s::ZeroExcitation) / 1000.0, 3);
  platform.duration = FormatNumber(s::read(s::ZeroDuration) / 1000.0, 3);
  platform.maxAge = FormatNumber(s::read(s::ZeroMaxAge), 0);
  platform.maxNoise = FormatNumber(s::read(s::ZeroMaxNoise), 0);
  platform.allowNoisy = s::readBool(s::ZeroAllowNoisy);

  for (int i = 0; i < kTestKindCount; ++i) tests.enabled[i] = s::readBool(kTestKinds[i].setting);
  templateFolder_ = s::read(s::TemplatePath);
  templateName_ = s::read(s::TemplateName);
  templateExt_ = s::read(s::TemplateExt);
  commentsFolder_ = s::read(s::CommentsPath);
  commentsName_ = s::read(s::CommentsName);
  commentsExt_ = s::read(s::CommentsExt);
  loadTemplates();
  loadNoteSets();

  passwords.key1 = passwords.storedKey1 = s::read(s::Key1);
  passwords.key2 = passwords.storedKey2 = s::read(s::Key2);
  log.step(
      QStringLiteral("Templates = %1, Note Sets = %2").arg(tests.templates.size()).arg(notes.sets.size()));
  log.completed();
}

void OptionsModel::loadTemplates() {
  tests.templates.clear();
  tests.deleted.clear();
  tests.selected = -1;
  const QString selectedFile = QDir(templateFolder_).filePath(s::read(s::TemplateFile));
  for (const QString& file : filesIn(templateFolder_, templateExt_)) {
    TemplateEntry e;
    e.fileName = file;
    e.readable = e.tpl.Load(file);
    if (!e.readable) {
      e.tpl.sName = Str(6108).arg(QFileInfo(file).completeBaseName());
      e.tpl.bEditable = false;
    }
    tests.templates.push_back(std::move(e));
    if (sameFile(file, selectedFile)) tests.selected = static_cast<int>(tests.templates.size()) - 1;
  }
  if (tests.templates.empty()) {
    // A station without templates starts with the standard one, as the selected template.
    TemplateEntry e;
    e.fileName = selectedFile;
    e.tpl = MakeDefaultTestTemplate();
    e.changed = true;
    tests.templates.push_back(std::move(e));
    tests.selected = 0;
  }
}

void OptionsModel::loadNoteSets() {
  notes.sets.clear();
  notes.deleted.clear();
  notes.selected = -1;
  const QString selectedFile = QDir(commentsFolder_).filePath(s::read(s::CommentsFile));
  for (const QString& file : filesIn(commentsFolder_, commentsExt_)) {
    NoteSet n;
    n.fileName = file;
    n.readable = n.notes.Load(file);
    if (!n.readable) {
      n.notes.sName = Str(6108).arg(QFileInfo(file).completeBaseName());
      n.notes.bEditable = false;
    }
    notes.sets.push_back(std::move(n));
    if (sameFile(file, selectedFile)) notes.selected = static_cast<int>(notes.sets.size()) - 1;
  }
  if (notes.sets.empty()) {
    // The two sets the window makes itself: "Default" (the generic notes, selected) and "No Notes".
    const StringLookup text = [](int id) { return StrExists(id) ? Str(id) : QString(); };
    NoteSet def;
    def.fileName = selectedFile;
    def.notes = MakeDefaultComments(1, text);
    def.notes.sName = Str(2451);
    def.changed = true;
    notes.sets.push_back(std::move(def));
    NoteSet none;
    none.fileName = freeFileName(commentsFolder_, commentsName_, commentsExt_);
    none.notes = MakeDefaultComments(0, text);
    none.notes.sName = Str(2450);
    none.changed = true;
    notes.sets.push_back(std::move(none));
    notes.selected = 0;
  }
}

// ------------------------------------------------------------------ monitor page

const DisplayInfo* OptionsModel::calibratedDisplay() const {
  const auto& d = monitor.displays;
  const int n = static_cast<int>(d.size());
  if (monitor.subjectMonitor >= 1 && monitor.subjectMonitor <= n) return &d[monitor.subjectMonitor - 1];
  if (monitor.subjectMonitor > n) return nullptr;  // the chosen display is gone
  if (monitor.primary >= 1 && monitor.primary <= n) return &d[monitor.primary - 1];
  return n > 0 ? &d[0] : nullptr;
}

QString OptionsModel::subjectDisplayText() const {
  const int n = static_cast<int>(monitor.displays.size());
  if (monitor.subjectMonitor <= 0) return Str(6197);
  if (monitor.subjectMonitor > n) return Str(6198);
  const DisplayInfo& d = monitor.displays[monitor.subjectMonitor - 1];
  return (monitor.subjectMonitor == monitor.primary ? Str(6195) : Str(6196)) + d.name;
}

QString OptionsModel::subjectDisplayNumberText() const {
  return monitor.subjectMonitor > 0 ? QString::number(monitor.subjectMonitor) : QString();
}

QString OptionsModel::resolutionText() const {
  const DisplayInfo* d = calibratedDisplay();
  return d ? Str(6199).arg(d->resHor).arg(d->resVert) : QString();
}

bool OptionsModel::chooseSubjectMonitor(int number) {
  ProcLog log(kModule, "cmdSubjectMonitor_Click", QString::number(number));
  if (number == 1 || number < 0 || number > static_cast<int>(monitor.displays.size())) {
    log.step("Refused");
    showMessage(Str(6194), MsgIcon::Exclamation);
    return false;
  }
  if (number != monitor.subjectMonitor) {
    monitor.subjectMonitor = number;
    loadMonitorSizes();  // the sizes belong to the display they were measured on
  }
  log.completed();
  return true;
}

void OptionsModel::loadMonitorSizes() {
  for (QString& f : monitor.size) f.clear();
  const DisplayInfo* d = calibratedDisplay();
  if (!d || d->name != s::read(s::MonitorDevName) || d->description != s::read(s::MonitorDevString) ||
      d->resHor != s::read(s::MonitorResHor) || d->resVert != s::read(s::MonitorResVert))
    return;
  const qint32 mm[3] = {s::read(s::MonitorWidthMM), s::read(s::MonitorHeightMM),
                        s::read(s::MonitorDiagonalMM)};
  for (int i = 0; i < 3; ++i) {
    if (mm[i] <= 0) continue;
    monitor.size[2 * i + 1] = FormatNumber(mm[i], kMMDecimals);
    monitor.size[2 * i] = FormatNumber(mm[i] / 1000.0 / kMetresPerInch, kInchDecimals);
  }
}

QString OptionsModel::sizeFieldCaption(SizeField field) {
  const QString inches = Str(6189 + field / 2);
  if (field % 2 == 0) return inches;
  QString mm = inches;
  return mm.replace(QStringLiteral("(in)"), QStringLiteral("(mm)"));
}

bool OptionsModel::leaveSizeField(SizeField field) {
  const bool inches = field % 2 == 0;
  const int side = field / 2;  // 0 width, 1 height, 2 diagonal
  QString& text = monitor.size[field];
  QString& twin = monitor.size[inches ? field + 1 : field - 1];
  auto put = [&](int sideIndex, double metres) {
    monitor.size[2 * sideIndex] = FormatNumber(metres / kMetresPerInch, kInchDecimals);
    monitor.size[2 * sideIndex + 1] = FormatNumber(metres * 1000.0, kMMDecimals);
  };
  if (text.trimmed().isEmpty()) {
    text.clear();
    twin.clear();
    return true;
  }
  const UnitParseResult r = ParseLength(text, inches ? kInchUnit : kMMUnit);
  if (!r) {
    showMessage(Str(6200).arg(sizeFieldCaption(field), r.error), MsgIcon::Exclamation);
    return false;
  }
  if (!(r.si > 0.0)) {
    showMessage(Str(6202).arg(sizeFieldCaption(field)), MsgIcon::Exclamation);
    return false;
  }
  put(side, r.si);
  if (side == 2) {
    const DisplayInfo* d = calibratedDisplay();
    if (d) {
      const Sides sides = SidesFromDiagonal(r.si, d->resHor, d->resVert);
      put(0, sides.width);
      put(1, sides.height);
    }
    return true;
  }
  // Two known sides give the diagonal.
  const UnitParseResult w = ParseLength(monitor.size[kWidthMM], kMMUnit);
  const UnitParseResult h = ParseLength(monitor.size[kHeightMM], kMMUnit);
  if (w && h && w.si > 0.0 && h.si > 0.0) put(2, DiagonalFromSides(w.si, h.si));
  return true;
}

// ------------------------------------------------------------------ force platform page

void OptionsModel::restoreDefaults() {
  ProcLog log(kModule, "cmdFPDefaults_Click");
  platform.excitation = FormatNumber(s::ZeroExcitation.def / 1000.0, 3);
  platform.duration = FormatNumber(s::ZeroDuration.def / 1000.0, 3);
  platform.maxAge = FormatNumber(s::ZeroMaxAge.def, 0);
  platform.maxNoise = FormatNumber(s::ZeroMaxNoise.def, 0);
  platform.allowNoisy = s::ZeroAllowNoisy.def != 0;
  log.completed();
}

// ------------------------------------------------------------------ tests page

TemplateEntry* OptionsModel::selectedTemplate() {
  const int i = tests.selected;
  return i >= 0 && i < static_cast<int>(tests.templates.size()) ? &tests.templates[i] : nullptr;
}

TemplateEntry* OptionsModel::editableTemplate() {
  TemplateEntry* e = selectedTemplate();
  return e && e->readable && e->tpl.bEditable ? e : nullptr;
}

QString OptionsModel::freeFileName(const QString& folder, const QString& name, const QString& ext) const {
  QSet<QString> taken;
  for (const auto& t : tests.templates) taken.insert(QDir::cleanPath(t.fileName).toCaseFolded());
  for (const auto& n : notes.sets) taken.insert(QDir::cleanPath(n.fileName).toCaseFolded());
  for (const QString& f : tests.deleted + notes.deleted) taken.insert(QDir::cleanPath(f).toCaseFolded());
  for (int n = 1;; ++n) {
    const QString path = QDir(folder).filePath(name + QString::number(n) + ext);
    if (!taken.contains(QDir::cleanPath(path).toCaseFolded()) && !QFileInfo::exists(path)) return path;
  }
}

int OptionsModel::addTemplate() {
  ProcLog log(kModule, "cmdTFileAdd_Click");
  TemplateEntry e;
  e.fileName = freeFileName(templateFolder_, templateName_, templateExt_);
  e.tpl.sName = QFileInfo(e.fileName).completeBaseName();
  e.changed = true;
  log.step("New template " + e.fileName);
  tests.templates.push_back(std::move(e));
  tests.selected = static_cast<int>(tests.templates.size()) - 1;
  log.completed();
  return tests.selected;
}

void OptionsModel::deleteTemplate(int index) {
  if (index < 0 || index >= static_cast<int>(tests.templates.size())) return;
  TemplateEntry& e = tests.templates[index];
  if (QFileInfo::exists(e.fileName)) tests.deleted << e.fileName;
  tests.templates.erase(tests.templates.begin() + index);
  if (tests.selected == index)
    tests.selected = -1;
  else if (tests.selected > index)
    --tests.selected;
}

int OptionsModel::insertBalance(int row) {
  ProcLog log(kModule, "cmdTTInsBalance_Click");
  TemplateEntry* e = editableTemplate();
  if (!e) return 0;
  const int at = row >= 1 && row <= e->tpl.lTestCount() ? row : e->tpl.lTestCount() + 1;
  KM_RQTemplateItem* item = e->tpl.AddTest(KM_RQTemplateItem::kBalance, at);
  item->MakeCopy(KM_RQTemplateItem::balanceFromDefaults(Str(6258), kSurfaceFoam, kEyesClosed));
  e->changed = true;
  log.completed();
  return at;
}

int OptionsModel::insertVision(int row) {
  TemplateEntry* e = editableTemplate();
  if (!e) return 0;
  const int at = row >= 1 && row <= e->tpl.lTestCount() ? row : e->tpl.lTestCount() + 1;
  KM_RQTemplateItem* item = e->tpl.AddTest(KM_RQTemplateItem::kVision, at);
  item->sName = Str(6259);
  item->setEye(kVisionEyeBoth);
  item->setIntervalSeconds(kVisionIntervalS);
  // At least the distance the subject monitor needs, in whole half metres.
  const double minimum = MinimumVisionDistanceFromSettings();
  item->setDistance(std::max(kVisionDistanceM, std::ceil(minimum * 2.0 + 1e-9) / 2.0));
  item->setTestsPerSize(kVisionTestsPerSize);
  item->setCorrectAnswers(kVisionCorrectAnswers);
  item->setFullScreenBackground(true);
  item->setHighContrast(true);
  e->changed = true;
  return at;
}

int OptionsModel::moveTest(int row, bool up) {
  TemplateEntry* e = editableTemplate();
  if (!e || row < 1 || row > e->tpl.lTestCount()) return row;
  const int to = up ? row - 1 : row + 1;
  if (to < 1 || to > e->tpl.lTestCount()) return row;
  if (up)
    e->tpl.MoveTestUp(row);
  else
    e->tpl.MoveTestDown(row);
  e->changed = true;
  return to;
}

void OptionsModel::removeTest(int row) {
  TemplateEntry* e = editableTemplate();
  if (!e || row < 1 || row > e->tpl.lTestCount()) return;
  e->tpl.DelTest(row);
  e->changed = true;
}

bool OptionsModel::replaceTest(int row, const KM_RQTemplateItem& item) {
  TemplateEntry* e = editableTemplate();
  if (!e || !e->tpl.setTestItem(row, item)) return false;
  e->changed = true;
  return true;
}

bool OptionsModel::renameTemplate(const QString& name) {
  TemplateEntry* e = editableTemplate();
  if (!e) return false;
  if (e->tpl.sName != name) {
    e->tpl.sName = name;
    e->changed = true;
  }
  return true;
}

QString OptionsModel::testStatusText(const KM_RQTemplateItem& item) const {
  const bool on = item.isVision() ? tests.enabled[kEnableVision]
                                  : tests.enabled[kEnableBalance] || tests.enabled[kEnableMBalance];
  return Str(on ? 6256 : 6257);
}

// ------------------------------------------------------------------ report notes page

NoteSet* OptionsModel::selectedNoteSet() {
  const int i = notes.selected;
  return i >= 0 && i < static_cast<int>(notes.sets.size()) ? &notes.sets[i] : nullptr;
}

int OptionsModel::addNoteSet(int source, const QString& name) {
  NoteSet n;
  if (source < 0) {
    const NoteSet* from = selectedNoteSet();
    if (!from || !from->readable) return -1;
    n.notes = from->notes;
  } else {
    n.notes = MakeDefaultComments(source, [](int id) { return StrExists(id) ? Str(id) : QString(); });
  }
  n.fileName = freeFileName(commentsFolder_, commentsName_, commentsExt_);
  n.notes.sName = name.trimmed();
  n.notes.bEditable = true;
  n.changed = true;
  notes.sets.push_back(std::move(n));
  notes.selected = static_cast<int>(notes.sets.size()) - 1;
  return notes.selected;
}

void OptionsModel::deleteNoteSet(int index) {
  if (index < 0 || index >= static_cast<int>(notes.sets.size())) return;
  if (QFileInfo::exists(notes.sets[index].fileName)) notes.deleted << notes.sets[index].fileName;
  notes.sets.erase(notes.sets.begin() + index);
  if (notes.selected == index)
    notes.selected = -1;
  else if (notes.selected > index)
    --notes.selected;
}

bool OptionsModel::renameNoteSet(const QString& name) {
  NoteSet* n = selectedNoteSet();
  if (!n || !n->readable || !n->notes.bEditable) return false;
  if (n->notes.sName != name) {
    n->notes.sName = name;
    n->changed = true;
  }
  return true;
}

bool OptionsModel::setNote(int item, const QString& text) {
  NoteSet* n = selectedNoteSet();
  if (!n || !n->readable || !n->notes.bEditable || item < 0 || item > n->notes.lTestCount()) return false;
  const QString stored = noteDefined(text) ? text : kNoNote;
  if (n->notes.sComment(item) != stored) {
    n->notes.setComment(item, stored);
    n->changed = true;
  }
  return true;
}

// ------------------------------------------------------------------ additional documents page

void OptionsModel::setDocument(int row, const QString& path) {
  if (row < 1 || row > s::kReferralDocRows) return;
  docs.files[row - 1] = path;
  if (!path.isEmpty()) docs.lastPath = folderOf(path);
}

void OptionsModel::removeDocument(int row) {
  if (row >= 1 && row <= s::kReferralDocRows) docs.files[row - 1].clear();
}

// ------------------------------------------------------------------ passwords page

namespace {
void tellChange(PasswordChange c) {
  if (c == PasswordChange::Different) showMessage(Str(6285), MsgIcon::Critical);
  if (c == PasswordChange::AdministratorFirst) showMessage(Str(6286), MsgIcon::Exclamation);
}

QString statusText(const QString& key, const QString& stored, bool set) {
  if (key != stored) return Str(set ? 6292 : 6293);
  return Str(set ? 6291 : 6290);
}
}  // namespace

PasswordChange OptionsModel::changeAdministratorPassword(const QString& entered, const QString& confirmed) {
  ProcLog log(kModule, "cmdPWAChange_Click");
  const PasswordChange c = ChangeAdministratorPassword(entered, confirmed, passwords.key1);
  tellChange(c);
  log.completed();
  return c;
}

PasswordChange OptionsModel::changeOperatorPassword(const QString& entered, const QString& confirmed) {
  ProcLog log(kModule, "cmdPWOChange_Click");
  const PasswordChange c = ChangeOperatorPassword(entered, confirmed, passwords.key1, passwords.key2);
  tellChange(c);
  log.completed();
  return c;
}

QString OptionsModel::administratorStatusText() const {
  return statusText(passwords.key1, passwords.storedKey1, AdministratorPasswordSet(passwords.key1));
}

QString OptionsModel::operatorStatusText() const {
  return statusText(passwords.key2, passwords.storedKey2, OperatorPasswordSet(passwords.key2));
}

// ------------------------------------------------------------------ checks

bool OptionsModel::fnDataOK(Page* page) {
  ProcLog log(kModule, "fnDataOK");
  const bool ok = checkRefusals(page) && checkWarnings(page);
  log.step(QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

bool OptionsModel::checkRefusals(Page* page) {
  for (int code : program.units)
    if (code < 1) return refuse(Str(6300), Page::Program, page);
  const QString folder = program.dataFolder.trimmed();
  if (folder.isEmpty()) return refuse(Str(6301), Page::Program, page);
  if (!QFileInfo(folder).isDir()) return refuse(Str(6317).arg(folder), Page::Program, page);

  double copies = 0;
  if (!parseNumber(reports.copies, copies) || copies != std::floor(copies) || copies < 1 ||
      copies > kMaxCopies)
    return refuse(Str(6075), Page::Reports, page);

  if (NoteSet* n = selectedNoteSet(); n && n->notes.sName.trimmed().isEmpty())
    return refuse(Str(6107), Page::ReportNotes, page);
  for (const NoteSet& n : notes.sets)
    if (n.changed && n.notes.sName.trimmed().isEmpty()) return refuse(Str(6107), Page::ReportNotes, page);

  if (calibratedDisplay()) {
    for (SizeField f : {kWidthMM, kHeightMM}) {
      if (monitor.size[f].trimmed().isEmpty()) return refuse(Str(6302), Page::Monitors, page);
      const UnitParseResult r = ParseLength(monitor.size[f], kMMUnit);
      if (!r) return refuse(Str(6200).arg(sizeFieldCaption(f), r.error), Page::Monitors, page);
      if (!(r.si > 0.0)) return refuse(Str(6202).arg(sizeFieldCaption(f)), Page::Monitors, page);
    }
  }

  double v = 0;
  if (!parseNumber(platform.excitation, v)) return refuse(Str(6303), Page::ForcePlatform, page);
  if (v < kMinExcitationV || v > kMaxExcitationV) return refuse(Str(6304), Page::ForcePlatform, page);
  if (!parseNumber(platform.duration, v)) return refuse(Str(6305), Page::ForcePlatform, page);
  if (v < kMinZeroDurationS) return refuse(Str(6306), Page::ForcePlatform, page);
  if (v > kMaxZeroDurationS) return refuse(Str(6229), Page::ForcePlatform, page);
  if (!parseNumber(platform.maxAge, v)) return refuse(Str(6307), Page::ForcePlatform, page);
  if (v < kMinZeroMaxAgeS) return refuse(Str(6308), Page::ForcePlatform, page);
  if (v > kMaxZeroMaxAgeS) return refuse(Str(6230), Page::ForcePlatform, page);
  if (!parseNumber(platform.maxNoise, v)) return refuse(Str(6309), Page::ForcePlatform, page);
  if (v < kMinMaxNoise) return refuse(Str(6310), Page::ForcePlatform, page);
  if (v > kMaxMaxNoise) return refuse(Str(6231), Page::ForcePlatform, page);

  for (const TemplateEntry& t : tests.templates)
    if (t.changed && t.tpl.sName.trimmed().isEmpty()) return refuse(Str(6261), Page::Tests, page);
  return true;
}

bool OptionsModel::checkWarnings(Page* page) {
  if (!folderWritable(program.dataFolder.trimmed()) && !warn(Str(6311), Page::Program, page)) return false;

  const NoteSet* n = selectedNoteSet();
  if (!n && !warn(Str(6312), Page::ReportNotes, page)) return false;
  if (n) {
    bool complete = n->readable;
    for (int i = kFirstPrintedNote; complete && i <= KM_RQTComments::kDefaultCount; ++i)
      complete = noteDefined(n->notes.sComment(i));
    if (!complete && !warn(Str(6313), Page::ReportNotes, page)) return false;
  }

  const bool anyKind =
      tests.enabled[kEnableVision] || tests.enabled[kEnableBalance] || tests.enabled[kEnableMBalance];
  if (!anyKind && !warn(Str(6314), Page::Tests, page)) return false;
  const TemplateEntry* t = selectedTemplate();
  if (!t && !warn(Str(6315), Page::Tests, page)) return false;
  if (t && t->tpl.lTestCount() == 0 && !warn(Str(6316), Page::Tests, page)) return false;
  return true;
}

// ------------------------------------------------------------------ writing

bool OptionsModel::fnObjectUpdate(Page* page) {
  ProcLog log(kModule, "fnObjectUpdate");
  // The settings go into one batch first; the files are written only when every setting was
  // taken, and the batch is committed only when every file was written.
  settingsstore::WriteBatch batch;
  writeSettings();
  bool ok = false;
  if (!batch.ok()) {
    settingsFailed(log, page);
  } else if (writeFiles(log, page)) {  // on failure the batch rolls back
    ok = batch.commit();
    if (!ok) settingsFailed(log, page);
  }
  if (ok) {
    passwords.storedKey1 = passwords.key1;
    passwords.storedKey2 = passwords.key2;
    log.step("Settings saved");
  }
  log.step(QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

void OptionsModel::settingsFailed(const ProcLog& log, Page* page) {
  const QString why = settingsstore::lastError();
  log.error("Settings not saved: " + why);
  refuse(Str(6321).arg(why), Page::Program, page);
}

bool OptionsModel::writeFiles(const ProcLog& log, Page* page) {
  for (TemplateEntry& t : tests.templates) {
    if (!t.changed) continue;
    log.step("Saving template " + t.fileName);
    folders::ensureFolder(folderOf(t.fileName));
    if (!t.tpl.Save(t.fileName)) {
      log.error("Template not saved: " + t.fileName);
      return refuse(Str(6318).arg(t.tpl.sName, t.fileName), Page::Tests, page);
    }
    t.changed = false;
  }
  for (NoteSet& n : notes.sets) {
    if (!n.changed) continue;
    log.step("Saving note set " + n.fileName);
    folders::ensureFolder(folderOf(n.fileName));
    if (!n.notes.Save(n.fileName)) {
      log.error("Note set not saved: " + n.fileName);
      return refuse(Str(6319).arg(n.notes.sName, n.fileName), Page::ReportNotes, page);
    }
    n.changed = false;
  }
  for (QStringList* deleted : {&tests.deleted, &notes.deleted}) {
    const Page where = deleted == &tests.deleted ? Page::Tests : Page::ReportNotes;
    while (!deleted->isEmpty()) {
      const QString file = deleted->first();
      log.step("Deleting " + file);
      if (QFileInfo::exists(file) && !QFile::remove(file)) {
        log.error("Not deleted: " + file);
        return refuse(Str(6320).arg(file), where, page);
      }
      deleted->removeFirst();
    }
  }
  return true;
}

void OptionsModel::writeSettings() {
  for (int i = 0; i < kProgramSwitchCount; ++i)
    s::writeBool(kProgramSwitches[i].setting, program.switches[i]);
  for (int k = 0; k < kUnitKindCount; ++k) s::write(kUnitChoices[k].setting, program.units[k]);
  s::write(s::LastPath, QDir::cleanPath(program.dataFolder.trimmed()));

  for (int k = 0; k < s::kReportKinds; ++k) {
    s::writeBool(s::ReportMasters[k], reports.kinds[k]);
    for (int i = 0; i < kReportItemCount; ++i)
      s::writeBool(s::reportPage(static_cast<s::ReportKind>(k), kReportItemPages[i]), reports.items[k][i]);
  }
  for (int i = 0; i < kReportSwitchCount; ++i) s::writeBool(kReportSwitches[i].setting, reports.switches[i]);
  s::write(s::ReportPrinter, reports.printer);
  s::write(s::ReportPaper, reports.paper);
  s::write(s::ReportQuality, reports.quality);
  double copies = 1;
  parseNumber(reports.copies, copies);
  s::write(s::ReportCopies, rounded(copies));
  s::write(s::ReportColor, reports.color ? kColorColor : kColorMonochrome);

  const NoteSet* n = selectedNoteSet();
  s::write(s::CommentsFile, n ? QFileInfo(n->fileName).fileName() : QString());

  for (int row = 1; row <= s::kReferralDocRows; ++row) s::write(s::referralDoc(row), docs.files[row - 1]);
  s::write(s::ReferralLastPath, docs.lastPath);

  s::write(s::MonitorForSubject, monitor.subjectMonitor);
  if (const DisplayInfo* d = calibratedDisplay()) {
    s::write(s::MonitorDevName, d->name);
    s::write(s::MonitorDevString, d->description);
    s::write(s::MonitorResHor, d->resHor);
    s::write(s::MonitorResVert, d->resVert);
    const UnitParseResult w = ParseLength(monitor.size[kWidthMM], kMMUnit);
    const UnitParseResult h = ParseLength(monitor.size[kHeightMM], kMMUnit);
    const UnitParseResult dg = ParseLength(monitor.size[kDiagonalMM], kMMUnit);
    s::write(s::MonitorWidthMM, rounded(w.si * 1000.0));
    s::write(s::MonitorHeightMM, rounded(h.si * 1000.0));
    s::write(s::MonitorDiagonalMM, rounded((dg ? dg.si : DiagonalFromSides(w.si, h.si)) * 1000.0));
  }

  double v = 0;
  parseNumber(platform.excitation, v);
  s::write(s::ZeroExcitation, rounded(v * 1000.0));
  parseNumber(platform.duration, v);
  s::write(s::ZeroDuration, rounded(v * 1000.0));
  parseNumber(platform.maxAge, v);
  s::write(s::ZeroMaxAge, rounded(v));
  parseNumber(platform.maxNoise, v);
  s::write(s::ZeroMaxNoise, rounded(v));
  s::writeBool(s::ZeroAllowNoisy, platform.allowNoisy);

  for (int i = 0; i < kTestKindCount; ++i) s::writeBool(kTestKinds[i].setting, tests.enabled[i]);
  const TemplateEntry* t = selectedTemplate();
  s::write(s::TemplateFile, t ? QFileInfo(t->fileName).fileName() : QString());

  if (passwords.key1 != passwords.storedKey1) s::write(s::Key1, passwords.key1);
  if (passwords.key2 != passwords.storedKey2) s::write(s::Key2, passwords.key2);
}

}  // namespace tarn::options
