#pragma once
// The automation object KM_TARNRQ_APP and the module state behind it (AutomationServer): the
// collection of registered instances and the sending of the 18 events. One instance stands for one
// client; it raises events to that client only. The server receives the notices of the session,
// the reports manager, the list refresh and the main window's shutdown, and passes each on to
// every registered instance in collection order.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>
#include <set>

#include "automation/automationrecords.h"
#include "reports/reportnotices.h"
#include "session/sessionnotices.h"

class QTimer;

namespace tarn {

class AutomationHost;
class AutomationServer;

// The events in dispatch-identifier order.
enum class AppEvent : int {
  AppQueryFileRecovery = 1,
  FileOpening,
  EnteringTest,
  NewVisit,
  NewSession,
  NewSGOperator,
  NewKMOperator,
  EnteringSbjInfo,
  ExitingSbjInfo,
  FileSaving,
  FileClosing,
  ExitingTest,
  EnteringReportReprint,
  ExitingReportReprint,
  ListRefreshStart,
  ListRefreshEnd,
  AppQueryClose,
  AppClose,
};
inline constexpr int kAppEventCount = 18;

QString eventName(AppEvent e);
QStringList eventArgumentNames(AppEvent e);
std::optional<AppEvent> eventByName(const QString& name);

// One instance's own client.
class AutomationClient {
 public:
  virtual ~AutomationClient() = default;
  // Every event but the two questions.
  virtual void raise(AppEvent e, const QVariantList& args) = 0;
  // The two questions, with their start values True and 0; nullopt when the client gave no answer
  // in time or has gone (the server then counts it as not objecting and unregisters it).
  virtual std::optional<bool> AppQueryFileRecovery(const QString& sFileName,
                                                   const QString& sTempFileName) = 0;
  virtual std::optional<qint16> AppQueryClose() = 0;
};

class KM_TARNRQ_APP {
 public:
  static constexpr int kAppCloseDelayMs = 100;

  // client: where this instance's events go (not owned; may be null: events are dropped).
  KM_TARNRQ_APP(AutomationServer& server, AutomationClient* client);
  ~KM_TARNRQ_APP();
  KM_TARNRQ_APP(const KM_TARNRQ_APP&) = delete;
  KM_TARNRQ_APP& operator=(const KM_TARNRQ_APP&) = delete;

  const QString& key() const { return key_; }
  bool registered() const { return registered_; }
  AutomationClient* client() const { return client_; }

  bool RegisterForEvents();
  bool UnRegisterForEvents();

  bool bAppStarted() const;
  bool bAppVisible() const;
  void setBAppVisible(bool visible);
  bool bTestingEnabled() const;
  bool AppBeginTest(bool bNoFileNameInterface = false, const QString& sFileName = QString(),
                    bool bNoTemplateInterface = false, const QString& sTemplateName = QString());
  bool AppClose();
  bool appClosePending() const { return !closeTimer_.isNull(); }
  bool bFileAcceptable(const QString& sFileName) const;
  QString sGetFilePath() const;
  bool bSetFilePath(const QString& sFilePath);
  void GetFileList(qint32& lNumEntries, QList<KM_RQFileListEntry>& pfleList) const;
  KM_RQFileBalanceTest GetFileBalanceTest(const QString& sFileName, qint32 lBalanceTestIndex) const;
  void GetTemplateList(qint32& lNumEntries, QList<KM_RQTemplateListEntry>& ptleList) const;

  // Read or write the data of the open subject file; False, and the record as it was, when no
  // file is open or the visit or session does not exist.
  bool bSGOperatorGet(qint32 lVisit, qint32 lSession, KM_Operator& Operator) const;
  bool bSGOperatorSet(qint32 lVisit, qint32 lSession, const KM_Operator& Operator);
  bool bKMOperatorGet(qint32 lVisit, qint32 lSession, KM_Operator& Operator) const;
  bool bKMOperatorSet(qint32 lVisit, qint32 lSession, const KM_Operator& Operator);
  bool bSubjectInfoGet(KM_SubjectInfo& SubjectInfo) const;
  bool bSubjectInfoSet(const KM_SubjectInfo& SubjectInfo);
  bool bVMedContactsGet(qint32 lVisit, KM_MedContacts& Contacts) const;
  bool bVMedContactsSet(qint32 lVisit, const KM_MedContacts& Contacts);
  bool bSubjectPhysInfoGet(qint32 lVisit, KM_SubjPhysInfo& SubjectPhysInfo) const;
  bool bSubjectPhysInfoSet(qint32 lVisit, const KM_SubjPhysInfo& SubjectPhysInfo);

 private:
  friend class AutomationServer;
  Session* sessionAt(qint32 lVisit, qint32 lSession) const;
  Visit* visitAt(qint32 lVisit) const;
  SubjectFile* openFile() const;
  void fileChanged() const;

  AutomationServer& server_;
  AutomationClient* client_;
  QString key_;
  bool registered_ = false;
  QPointer<QTimer> closeTimer_;
};

class AutomationServer final : public SessionNotices, public ReportNotices {
 public:
  explicit AutomationServer(AutomationHost& host);
  ~AutomationServer() override;
  AutomationHost& host() const { return host_; }

  // The collection of registered instances, in registration order.
  int count() const { return int(collection_.size()); }
  QStringList keys() const;
  KM_TARNRQ_APP* item(const QString& key) const;

  // SessionNotices
  bool HasClients() const override { return !collection_.isEmpty(); }
  void EnteringTest(bool bRecovery) override;
  void ExitingTest(bool bCancel) override;
  void EnteringSbjInfo(qint32 lVisit, qint32 lSession) override;
  void ExitingSbjInfo(qint32 lVisit, qint32 lSession) override;
  void FileOpening(const QString& sFileName) override;
  void FileClosing(const QString& sFileName) override;
  void FileSaving(const QString& sFileName) override;
  void NewVisit(qint32 lVisit) override;
  void NewSession(qint32 lVisit, qint32 lSession) override;
  // False when a client refused; the sending stops at the first refusal.
  bool AppQueryFileRecovery(const QString& sFileName, const QString& sTempFileName) override;

  // ReportNotices
  void EnteringReportReprint() override;
  void ExitingReportReprint() override;

  void ListRefreshStart();
  void ListRefreshEnd();
  void NewSGOperator(qint32 lVisit, qint32 lSession);
  void NewKMOperator(qint32 lVisit, qint32 lSession);
  // True when the main window may close: no client set Cancel non-zero.
  bool AppQueryClose();
  // The application closes: every instance is told and leaves the collection.
  void AppClose();

  // Test seam: every event as it is sent, before any client sees it.
  std::function<void(AppEvent, const QVariantList&)> onSend;

 private:
  friend class KM_TARNRQ_APP;
  QString takeKey();
  void releaseKey(const QString& key);
  bool add(KM_TARNRQ_APP* app);
  void remove(KM_TARNRQ_APP* app);
  void send(AppEvent e, const QVariantList& args);
  QObject* context() { return &context_; }

  AutomationHost& host_;
  QList<KM_TARNRQ_APP*> collection_;
  std::set<QString> liveKeys_;
  QObject context_;  // owns the close timers, which outlive the instance that started them
};

}  // namespace tarn
