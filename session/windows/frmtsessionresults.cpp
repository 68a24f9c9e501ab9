#include "session/windows/frmtsessionresults.h"

#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "balance/norms/norms.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/wizard.h"
#include "session/sessionrecords.h"
#include "session/subjectinfo.h"
#include "session/windows/wizardframe.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTSessionResults";

QString stateText(const BalanceTest& t) {
  if (t.bIsDone == 0) return Str(4520);
  if (t.bIsFallen != 0) return Str(4519);
  if (t.bIsInterrupted != 0) return Str(4521);
  return Str(4518);
}
}  // namespace

QString StabilityClassText(qint32 cls) { return cls >= 1 && cls <= 5 ? Str(4513 + cls - 1) : Str(4523); }

frmTSessionResults::frmTSessionResults(const SubjectFile& file, const Session& session, QWidget* parent)
    : QDialog(parent) {
  ProcLog log(kModule, "Form_Load", session.sSessionID);
  setWindowTitle(Str(4500));
  auto* content = new QWidget(this);
  auto* cl = new QVBoxLayout(content);
  cl->setContentsMargins(0, 0, 0, 0);

  const SubjectInfo& s = file.subject;
  QString who = (s.sNameFirst + QLatin1Char(' ') + s.sNameLast).trimmed();
  if (!s.sSubjectID.trimmed().isEmpty())
    who += (who.isEmpty() ? QString() : QStringLiteral("  -  ")) + s.sSubjectID;
  lblSubject = new QLabel(Str(4524).arg(who), content);
  QFont big = lblSubject->font();
  big.setPointSizeF(big.pointSizeF() * 1.15);
  big.setBold(true);
  lblSubject->setFont(big);
  const Visit* visit = session.visit();
  const QString date = visit ? ShortDateText(clock::fromDays(visit->dtDate).date()) : QString();
  QString sessionLine = Str(4525).arg(date, session.sName);
  if (visit && visit->phys.dHeight > 0)
    sessionLine += QStringLiteral("\n") +
                   Str(4526).arg(FormatLength(visit->phys.dHeight, settings::read(settings::UnitsLength), 2),
                                 FormatMass(visit->phys.dMass, settings::read(settings::UnitsMass), 1));
  lblSession = new QLabel(sessionLine, content);
  auto* lblResults = new QLabel(Str(4501), content);
  grdResults = WizardGrid({Str(4507), Str(4508), Str(4509), Str(4510), Str(4511), Str(4512)}, 1, content);
  lblResults->setBuddy(grdResults);
  cl->addWidget(lblSubject);
  cl->addWidget(lblSession);
  cl->addSpacing(6);
  cl->addWidget(lblResults);
  cl->addWidget(grdResults, 1);

  struct Row {
    qint32 number;
    QStringList cells;
    qint32 cls = 0;
  };
  std::vector<Row> rows;
  for (const auto& t : session.BalanceTests()) {
    const bool scored = t->bIsDone != 0 && t->bIsFallen == 0 && t->lValidSamples > 10;
    rows.push_back({TestNumber(t->sTestID),
                    {QString(), t->sName, NormTestTypeCode(static_cast<KM_RQNormTestType>(t->lTestType)),
                     scored ? Str(4522).arg(StabilityScorePercent(t->fStability), 0, 'f', 1) : Str(4523),
                     scored ? StabilityClassText(t->lStabilityClass) : Str(4523), stateText(*t)},
                    scored ? t->lStabilityClass : 0});
  }
  for (const auto& t : session.VisionTests())
    rows.push_back(
        {TestNumber(t->sTestID),
         {QString(), t->sName, Str(4411), Str(4523), Str(4523), t->bIsDone ? Str(4518) : Str(4520)}});
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.number < b.number; });
  grdResults->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].cells[0] = QString::number(i + 1);
    SetGridRow(grdResults, static_cast<int>(i), rows[i].cells, true);
    for (int c : {0, 2, 3}) grdResults->item(static_cast<int>(i), c)->setTextAlignment(Qt::AlignCenter);
    if (rows[i].cls > 0) {
      // Healthy in green, reduced in amber, worse in red, so the class reads at a glance.
      const QColor colour = rows[i].cls == 1   ? QColor(0, 110, 40)
                            : rows[i].cls == 2 ? QColor(170, 100, 0)
                                               : QColor(170, 20, 20);
      QTableWidgetItem* item = grdResults->item(static_cast<int>(i), 4);
      item->setForeground(colour);
      QFont f = item->font();
      f.setBold(true);
      item->setFont(f);
    }
  }
  grdResults->setSelectionMode(QAbstractItemView::NoSelection);
  grdResults->setFocusPolicy(Qt::NoFocus);
  FitGridColumns(grdResults);

  cmdCancel = WizardButton(Str(4506), this);
  cmdOK = WizardButton(Str(4503), this);
  cmdBack = WizardButton(Str(4504), this);
  cmdNext = WizardButton(Str(4505), this);
  lblInstructions = BuildWizardFrame(this, content, Str(4502), {cmdCancel}, {cmdOK, cmdBack, cmdNext});
  cmdNext->setDefault(true);
  connect(cmdNext, &QPushButton::clicked, this, [this] { finish(kWizNext); });
  connect(cmdOK, &QPushButton::clicked, this, [this] { finish(kWizOK); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { finish(kWizBack); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { finish(kWizCancel); });
  CmdButtonColouring::install(this);
  resize(1000, 520);
  log.completed();
}

frmTSessionResults::~frmTSessionResults() { ProcLog(kModule, "Form_Unload").completed(); }

void frmTSessionResults::finish(int code) {
  ProcLog(kModule, "Form_Exit", QStringLiteral("DialogExitButton=%1").arg(code)).completed();
  exit_ = code;
  done(code);
}

void frmTSessionResults::reject() { finish(kWizCancel); }

}  // namespace tarn
