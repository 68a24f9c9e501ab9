#pragma once
// What the test session tells the automation clients, and the one question it asks them. The
// automation module implements this; until a client registers, NoSessionNotices stands in: it has
// no clients, tells nobody and vetoes nothing.
#include <QString>
#include <QtGlobal>

namespace tarn {

class SessionNotices {
 public:
  virtual ~SessionNotices() = default;
  virtual bool HasClients() const = 0;
  virtual void EnteringTest(bool bRecovery) = 0;
  virtual void ExitingTest(bool bCancel) = 0;
  // Visit and session are 1-based indexes into the open subject file.
  virtual void EnteringSbjInfo(qint32 lVisit, qint32 lSession) = 0;
  virtual void ExitingSbjInfo(qint32 lVisit, qint32 lSession) = 0;
  virtual void FileOpening(const QString& sFileName) = 0;
  virtual void FileClosing(const QString& sFileName) = 0;
  virtual void FileSaving(const QString& sFileName) = 0;
  virtual void NewVisit(qint32 lVisit) = 0;
  virtual void NewSession(qint32 lVisit, qint32 lSession) = 0;
  // Asked before an unsaved file is recovered at start-up; false when a client refuses.
  virtual bool AppQueryFileRecovery(const QString& sFileName, const QString& sTempFileName) = 0;
};

class NoSessionNotices final : public SessionNotices {
 public:
  bool HasClients() const override { return false; }
  void EnteringTest(bool) override {}
  void ExitingTest(bool) override {}
  void EnteringSbjInfo(qint32, qint32) override {}
  void ExitingSbjInfo(qint32, qint32) override {}
  void FileOpening(const QString&) override {}
  void FileClosing(const QString&) override {}
  void FileSaving(const QString&) override {}
  void NewVisit(qint32) override {}
  void NewSession(qint32, qint32) override {}
  bool AppQueryFileRecovery(const QString&, const QString&) override { return true; }
};

// A shared do-nothing instance for callers that were given no notices.
SessionNotices& noSessionNotices();

}  // namespace tarn
