#pragma once
// The wizard's windows as the session driver and the test list use them, each shown modally
// through KMX_cShowModal (so that tests and the unattended mode can answer them).
#include <QPointer>

#include "core/windows/showmodal.h"
#include "session/sessiondriver.h"
#include "session/testlist.h"

namespace tarn {

struct TestSessionContext;
class KMX_BalancePlate;

class WizardWindows final : public SessionWindows, public BalanceTestWindows {
 public:
  explicit WizardWindows(const TestSessionContext& context);

  int FileChoice(const KM_RQList* list, QString& fileName) override;
  int TemplateChoice(QString& templateFile) override;
  int SubjectInformation(SubjectInfoStep& step) override;
  int TestList(TestListModel& list) override;
  int Results(const SubjectFile& file, const Session& session) override;
  BalanceTestWindows& BalanceWindows() override { return *this; }

  bool PlatformConnected() const override;
  int Zero(BalanceTestRun& run, ZeroTaken& zero) override;
  int Static(BalanceTestRun& run) override;
  bool Rename(QString& name) override;
  void HidePointer(bool hidden) override;

 private:
  const TestSessionContext& ctx_;
  KMX_cShowModal modal_;
  QPointer<KMX_BalancePlate> plate_;  // zeroed for the test in hand
};

}  // namespace tarn
