#include "automation/kmtarnrqapp.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "automation/automationhost.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "data/lists/list.h"
#include "data/templates/template.h"
#include "session/currentfile.h"

namespace tarn {

namespace {
constexpr char kModule[] = "KM_TARNRQ_APP";
// Longest file or folder name a client may pass; longer ones are refused.
constexpr int kMaxPathLength = 4096;

struct EventInfo {
  const char* name;
  QStringList arguments;
};

const EventInfo& info(AppEvent e) {
  static const EventInfo table[kAppEventCount] = {
      {"AppQueryFileRecovery", {"sFileName", "sTempFileName", "bRecover"}},
      {"FileOpening", {"sFileName"}},
      {"EnteringTest", {"bRecovery"}},
      {"NewVisit", {"lVisit"}},
      {"NewSession", {"lVisit", "lSession"}},
      {"NewSGOperator", {"lVisit", "lSession"}},
      {"NewKMOperator", {"lVisit", "lSession"}},
      {"EnteringSbjInfo", {"lVisit", "lSession"}},
      {"ExitingSbjInfo", {"lVisit", "lSession"}},
      {"FileSaving", {"sFileName"}},
      {"FileClosing", {"sFileName"}},
      {"ExitingTest", {"bCancel"}},
      {"EnteringReportReprint", {}},
      {"ExitingReportReprint", {}},
      {"ListRefreshStart", {}},
      {"ListRefreshEnd", {}},
      {"AppQueryClose", {"Cancel"}},
      {"AppClose", {}},
  };
  return table[int(e) - 1];
}

bool pathFits(const QString& s) { return s.size() <= kMaxPathLength && !s.contains(QChar(0)); }
}  // namespace

QString eventName(AppEvent e) { return QString::fromLatin1(info(e).name); }
QStringList eventArgumentNames(AppEvent e) { return info(e).arguments; }

std::optional<AppEvent> eventByName(const QString& name) {
  for (int i = 1; i <= kAppEventCount; ++i)
    if (name == QLatin1String(info(AppEvent(i)).name)) return AppEvent(i);
  return std::nullopt;
}

// ---------------------------------------------------------------- KM_TARNRQ_APP

KM_TARNRQ_APP::KM_TARNRQ_APP(AutomationServer& server, AutomationClient* client)
    : server_(server), client_(client), key_(server.takeKey()) {}

KM_TARNRQ_APP::~KM_TARNRQ_APP() {
  if (registered_) server_.remove(this);
  server_.releaseKey(key_);
}

bool KM_TARNRQ_APP::RegisterForEvents() {
  if (!registered_) registered_ = server_.add(this);
  return true;
}

bool KM_TARNRQ_APP::UnRegisterForEvents() {
  if (registered_) server_.remove(this);
  registered_ = false;
  return true;
}

bool KM_TARNRQ_APP::bAppStarted() const { return server_.host().bAppStarted(); }
bool KM_TARNRQ_APP::bAppVisible() const { return server_.host().bAppVisible(); }
void KM_TARNRQ_APP::setBAppVisible(bool visible) { server_.host().setAppVisible(visible); }
bool KM_TARNRQ_APP::bTestingEnabled() const { return server_.host().bTestingEnabled(); }

bool KM_TARNRQ_APP::AppBeginTest(bool bNoFileNameInterface, const QString& sFileName,
                                 bool bNoTemplateInterface, const QString& sTemplateName) {
  if (!pathFits(sFileName) || !pathFits(sTemplateName)) return false;
  if (!server_.host().bTestingEnabled()) return false;
  SessionStart start;
  start.bNoFileNameInterface = bNoFileNameInterface;
  start.sFileName = sFileName;
  start.bNoTemplateInterface = bNoTemplateInterface;
  start.sTemplateName = sTemplateName;
  eventlog::logStep(kModule, "AppBeginTest",
                    QStringLiteral("File = %1, Template = %2").arg(sFileName, sTemplateName));
  server_.host().beginTest(start);
  return true;
}

bool KM_TARNRQ_APP::AppClose() {
  // The timer belongs to the server: the client that asked may well be gone when it fires.
  if (closeTimer_) return true;
  auto* timer = new QTimer(server_.context());
  timer->setSingleShot(true);
  timer->setInterval(kAppCloseDelayMs);
  timer->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire up to 5 % early
  AutomationHost* host = &server_.host();
  QObject::connect(timer, &QTimer::timeout, timer, [timer, host] {
    timer->stop();
    timer->deleteLater();
    host->unloadMainWindow();
  });
  closeTimer_ = timer;
  timer->start();
  eventlog::logStep(kModule, "AppClose", QStringLiteral("Timer started"));
  return true;
}

bool KM_TARNRQ_APP::bFileAcceptable(const QString& sFileName) const {
  if (sFileName.trimmed().isEmpty() || !pathFits(sFileName)) return false;
  // A bare name is a file of the data folder, as GetFileList names them.
  QString path = sFileName;
  if (QFileInfo(path).isRelative()) {
    const QString folder = sGetFilePath();
    if (folder.isEmpty()) return false;
    path = QDir(folder).absoluteFilePath(path);
  }
  return server_.host().bFileAcceptable(path);
}

QString KM_TARNRQ_APP::sGetFilePath() const {
  const KM_RQList* list = server_.host().lists();
  return list ? list->sDataPath() : QString();
}

bool KM_TARNRQ_APP::bSetFilePath(const QString& sFilePath) {
  if (sFilePath.trimmed().isEmpty() || !pathFits(sFilePath)) return false;
  return server_.host().bSetFilePath(sFilePath);
}

void KM_TARNRQ_APP::GetFileList(qint32& lNumEntries, QList<KM_RQFileListEntry>& pfleList) const {
  const KM_RQList* list = server_.host().lists();
  pfleList.clear();
  if (!list) {
    lNumEntries = 0;
    pfleList.append(KM_RQFileListEntry{});
    return;
  }
  lNumEntries = list->lFilesCount();
  pfleList.reserve(lNumEntries);
  for (qint32 i = 1; i <= lNumEntries; ++i) pfleList.append(automation::fileListEntry(*list->lfFile(i)));
}

KM_RQFileBalanceTest KM_TARNRQ_APP::GetFileBalanceTest(const QString& sFileName,
                                                       qint32 lBalanceTestIndex) const {
  const KM_RQList* list = server_.host().lists();
  if (!list) return {};
  for (qint32 i = 1; i <= list->lFilesCount(); ++i) {
    const KM_RQListFile* e = list->lfFile(i);
    if (e->sFileName != sFileName) continue;
    const KM_RQListTestBalance* t = e->ltTestBalanceItem(lBalanceTestIndex);
    return t ? KM_RQFileBalanceTest(*t) : KM_RQFileBalanceTest{};
  }
  return {};
}

void KM_TARNRQ_APP::GetTemplateList(qint32& lNumEntries, QList<KM_RQTemplateListEntry>& ptleList) const {
  ptleList.clear();
  const QString folder = settings::read(settings::TemplatePath);
  QString ext = settings::read(settings::TemplateExt).trimmed();
  if (!ext.startsWith('.')) ext.prepend('.');
  for (const QString& name : folders::filesEndingIn(folder, ext)) {
    const QString path = QDir(folder).filePath(name);
    KM_RQTemplate t;
    if (!t.Load(path)) {
      eventlog::logError(kModule, "GetTemplateList", "Not a test template: " + path);
      continue;
    }
    ptleList.append({t.sName, t.lTestCountBalance(), t.lTestCountVision(), path});
  }
  lNumEntries = qint32(ptleList.size());
}

SubjectFile* KM_TARNRQ_APP::openFile() const {
  CurrentSubjectFile* f = server_.host().currentFile();
  return f && f->IsOpen() ? f->file() : nullptr;
}

Visit* KM_TARNRQ_APP::visitAt(qint32 lVisit) const {
  SubjectFile* f = openFile();
  return f ? f->VisitItem(lVisit) : nullptr;
}

Session* KM_TARNRQ_APP::sessionAt(qint32 lVisit, qint32 lSession) const {
  Visit* v = visitAt(lVisit);
  return v ? v->SessionItem(lSession) : nullptr;
}

void KM_TARNRQ_APP::fileChanged() const {
  if (CurrentSubjectFile* f = server_.host().currentFile()) f->setDataChanged(true);
}

bool KM_TARNRQ_APP::bSGOperatorGet(qint32 lVisit, qint32 lSession, KM_Operator& Operator) const {
  const Session* s = sessionAt(lVisit, lSession);
  if (!s) return false;
  Operator = automation::toRecord(s->sgOperator);
  return true;
}

bool KM_TARNRQ_APP::bSGOperatorSet(qint32 lVisit, qint32 lSession, const KM_Operator& Operator) {
  Session* s = sessionAt(lVisit, lSession);
  if (!s || !automation::textsFit(Operator)) return false;
  s->sgOperator = automation::fromRecord(Operator);
  fileChanged();
  server_.NewSGOperator(lVisit, lSession);
  return true;
}

bool KM_TARNRQ_APP::bKMOperatorGet(qint32 lVisit, qint32 lSession, KM_Operator& Operator) const {
  const Session* s = sessionAt(lVisit, lSession);
  if (!s) return false;
  Operator = automation::toRecord(s->kmOperator);
  return true;
}

bool KM_TARNRQ_APP::bKMOperatorSet(qint32 lVisit, qint32 lSession, const KM_Operator& Operator) {
  Session* s = sessionAt(lVisit, lSession);
  if (!s || !automation::textsFit(Operator)) return false;
  s->kmOperator = automation::fromRecord(Operator);
  fileChanged();
  server_.NewKMOperator(lVisit, lSession);
  return true;
}

bool KM_TARNRQ_APP::bSubjectInfoGet(KM_SubjectInfo& SubjectInfo) const {
  const SubjectFile* f = openFile();
  if (!f) return false;
  SubjectInfo = automation::toRecord(f->subject);
  return true;
}

bool KM_TARNRQ_APP::bSubjectInfoSet(const KM_SubjectInfo& SubjectInfo) {
  SubjectFile* f = openFile();
  if (!f || !automation::textsFit(SubjectInfo)) return false;
  if (!automation::fromRecord(SubjectInfo, f->subject)) return false;
  fileChanged();
  return true;
}

bool KM_TARNRQ_APP::bVMedContactsGet(qint32 lVisit, KM_MedContacts& Contacts) const {
  const Visit* v = visitAt(lVisit);
  if (!v) return false;
  Contacts = automation::toRecord(v->contacts);
  return true;
}

bool KM_TARNRQ_APP::bVMedContactsSet(qint32 lVisit, const KM_MedContacts& Contacts) {
  Visit* v = visitAt(lVisit);
  if (!v || !automation::textsFit(Contacts)) return false;
  v->contacts = automation::fromRecord(Contacts);
  fileChanged();
  return true;
}

bool KM_TARNRQ_APP::bSubjectPhysInfoGet(qint32 lVisit, KM_SubjPhysInfo& SubjectPhysInfo) const {
  const Visit* v = visitAt(lVisit);
  if (!v) return false;
  SubjectPhysInfo = automation::toRecord(v->phys);
  return true;
}

bool KM_TARNRQ_APP::bSubjectPhysInfoSet(qint32 lVisit, const KM_SubjPhysInfo& SubjectPhysInfo) {
  Visit* v = visitAt(lVisit);
  if (!v || !automation::textsFit(SubjectPhysInfo)) return false;
  v->phys = automation::fromRecord(SubjectPhysInfo);
  fileChanged();
  return true;
}

// ---------------------------------------------------------------- AutomationServer

AutomationServer::AutomationServer(AutomationHost& host) : host_(host) {}

AutomationServer::~AutomationServer() {
  for (KM_TARNRQ_APP* app : collection_) app->registered_ = false;
}

QStringList AutomationServer::keys() const {
  QStringList out;
  for (const KM_TARNRQ_APP* app : collection_) out << app->key();
  return out;
}

KM_TARNRQ_APP* AutomationServer::item(const QString& key) const {
  for (KM_TARNRQ_APP* app : collection_)
    if (app->key() == key) return app;
  return nullptr;
}

// The tick count at creation, as decimal text; two instances made within the same millisecond
// take the next free number, so that each key names one instance.
QString AutomationServer::takeKey() {
  quint32 tick = clock::tickCount();
  QString key = QString::number(tick);
  while (liveKeys_.count(key)) key = QString::number(++tick);
  liveKeys_.insert(key);
  return key;
}

void AutomationServer::releaseKey(const QString& key) { liveKeys_.erase(key); }

bool AutomationServer::add(KM_TARNRQ_APP* app) {
  if (!collection_.contains(app)) collection_.append(app);
  eventlog::logStep(kModule, "RegisterForEvents", "Key = " + app->key());
  return true;
}

void AutomationServer::remove(KM_TARNRQ_APP* app) {
  if (collection_.removeAll(app) > 0)
    eventlog::logStep(kModule, "UnRegisterForEvents", "Key = " + app->key());
}

// Each registered instance raises the event to its own client. A client may end (and so leave
// the collection) while another is being told: the sending walks a copy and skips the departed.
void AutomationServer::send(AppEvent e, const QVariantList& args) {
  if (onSend) onSend(e, args);
  const QList<KM_TARNRQ_APP*> targets = collection_;
  for (KM_TARNRQ_APP* app : targets) {
    if (!collection_.contains(app)) continue;
    if (app->client()) app->client()->raise(e, args);
  }
}

void AutomationServer::EnteringTest(bool bRecovery) { send(AppEvent::EnteringTest, {bRecovery}); }
void AutomationServer::ExitingTest(bool bCancel) { send(AppEvent::ExitingTest, {bCancel}); }
void AutomationServer::EnteringSbjInfo(qint32 v, qint32 s) { send(AppEvent::EnteringSbjInfo, {v, s}); }
void AutomationServer::ExitingSbjInfo(qint32 v, qint32 s) { send(AppEvent::ExitingSbjInfo, {v, s}); }
void AutomationServer::FileOpening(const QString& n) { send(AppEvent::FileOpening, {n}); }
void AutomationServer::FileClosing(const QString& n) { send(AppEvent::FileClosing, {n}); }
void AutomationServer::FileSaving(const QString& n) { send(AppEvent::FileSaving, {n}); }
void AutomationServer::NewVisit(qint32 v) { send(AppEvent::NewVisit, {v}); }
void AutomationServer::NewSession(qint32 v, qint32 s) { send(AppEvent::NewSession, {v, s}); }
void AutomationServer::NewSGOperator(qint32 v, qint32 s) { send(AppEvent::NewSGOperator, {v, s}); }
void AutomationServer::NewKMOperator(qint32 v, qint32 s) { send(AppEvent::NewKMOperator, {v, s}); }
void AutomationServer::EnteringReportReprint() { send(AppEvent::EnteringReportReprint, {}); }
void AutomationServer::ExitingReportReprint() { send(AppEvent::ExitingReportReprint, {}); }
void AutomationServer::ListRefreshStart() { send(AppEvent::ListRefreshStart, {}); }
void AutomationServer::ListRefreshEnd() { send(AppEvent::ListRefreshEnd, {}); }

bool AutomationServer::AppQueryFileRecovery(const QString& sFileName, const QString& sTempFileName) {
  if (onSend) onSend(AppEvent::AppQueryFileRecovery, {sFileName, sTempFileName, true});
  const QList<KM_TARNRQ_APP*> targets = collection_;
  for (KM_TARNRQ_APP* app : targets) {
    if (!collection_.contains(app) || !app->client()) continue;
    const std::optional<bool> recover = app->client()->AppQueryFileRecovery(sFileName, sTempFileName);
    if (!recover) {
      eventlog::logStep(kModule, "AppQueryFileRecovery", "No answer: unregistering " + app->key());
      app->UnRegisterForEvents();
    } else if (!*recover) {
      eventlog::logStep(kModule, "AppQueryFileRecovery", "Refused by " + app->key());
      return false;
    }
  }
  return true;
}

bool AutomationServer::AppQueryClose() {
  if (onSend) onSend(AppEvent::AppQueryClose, {qint16(0)});
  const QList<KM_TARNRQ_APP*> targets = collection_;
  for (KM_TARNRQ_APP* app : targets) {
    if (!collection_.contains(app) || !app->client()) continue;
    const std::optional<qint16> cancel = app->client()->AppQueryClose();
    if (!cancel) {
      eventlog::logStep(kModule, "AppQueryClose", "No answer: unregistering " + app->key());
      app->UnRegisterForEvents();
    } else if (*cancel != 0) {
      eventlog::logStep(kModule, "AppQueryClose", "Cancelled by " + app->key());
      return false;
    }
  }
  return true;
}

void AutomationServer::AppClose() {
  send(AppEvent::AppClose, {});
  for (KM_TARNRQ_APP* app : collection_) app->registered_ = false;
  collection_.clear();
}

}  // namespace tarn
