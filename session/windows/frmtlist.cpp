#include "session/windows/frmtlist.h"

#include <QEvent>
#include <QHeaderView>
#include <QTimer>
#include <QVBoxLayout>

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/windows/buttoncolouring.h"
#include "core/wizard.h"
#include "session/testlist.h"
#include "session/windows/wizardframe.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTList";
}

frmTList::frmTList(QWidget* parent) : QDialog(parent) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(4400));
  auto* content = new QWidget(this);
  auto* cl = new QVBoxLayout(content);
  cl->setContentsMargins(0, 0, 0, 0);
  lblTests = new QLabel(Str(4401), content);
  grdTests = WizardGrid({Str(4405), Str(4406), Str(4407), Str(4408), Str(4409)}, kListColName, content);
  grdTests->setContextMenuPolicy(Qt::CustomContextMenu);
  lblTests->setBuddy(grdTests);
  cl->addWidget(lblTests);
  cl->addWidget(grdTests, 1);
  cmdCancel = WizardButton(Str(4105), this);
  cmdBack = WizardButton(Str(4303), this);
  cmdDoTest = WizardButton(Str(4404), this);
  cmdNext = WizardButton(Str(4403), this);
  lblInstructions = BuildWizardFrame(this, content, Str(4402), {cmdCancel}, {cmdDoTest, cmdBack, cmdNext});
  QFont bold = cmdDoTest->font();
  bold.setBold(true);
  cmdDoTest->setFont(bold);

  connect(grdTests, &QTableWidget::itemSelectionChanged, this, &frmTList::grdTests_ChangeSel);
  connect(grdTests, &QTableWidget::cellDoubleClicked, this, [this] {
    if (cmdDoTest->isEnabled()) cmdDoTest_Click();
  });
  connect(grdTests->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    if (!model_ || running_) return;
    model_->sortBy(column);
    Update_List();
  });
  connect(grdTests, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const int row = grdTests->rowAt(at.y());
    if (!model_ || running_ || row < 0 || grdTests->columnAt(at.x()) != kListColName) return;
    ProcLog(kModule, "grdTests_RightClick", QString::number(row + 1)).completed();
    if (model_->RenameTest(row)) Update_List();
  });
  connect(cmdDoTest, &QPushButton::clicked, this, &frmTList::cmdDoTest_Click);
  connect(cmdNext, &QPushButton::clicked, this, [this] { finish(kWizNext); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { finish(kWizBack); });
  connect(cmdCancel, &QPushButton::clicked, this, &frmTList::cmdCancel_Click);
  CmdButtonColouring::install(this);
  resize(1000, 560);
  log.completed();
}

frmTList::~frmTList() { ProcLog(kModule, "Form_Unload").completed(); }

void frmTList::SetModel(TestListModel* model) {
  ProcLog log(kModule, "Set objects");
  model_ = model;
  Update_List();
  log.completed();
}

void frmTList::Update_List() {
  const QSignalBlocker block(grdTests);
  grdTests->clearContents();
  if (!model_) {
    grdTests->setRowCount(0);
    setCommands();
    return;
  }
  const auto& rows = model_->rows();
  grdTests->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const TestListRow& r = rows[i];
    QStringList cells;
    for (const QString& c : r.cells) cells << c;
    SetGridRow(grdTests, static_cast<int>(i), cells, r.selectable);
    grdTests->item(static_cast<int>(i), kListColNumber)->setTextAlignment(Qt::AlignCenter);
    if (r.done) {
      QFont f = grdTests->font();
      f.setBold(true);
      grdTests->item(static_cast<int>(i), kListColStatus)->setFont(f);
      grdTests->item(static_cast<int>(i), kListColStatus)->setForeground(QColor(0, 110, 40));
    }
  }
  FitGridColumns(grdTests);
  if (model_->selected() >= 0) grdTests->selectRow(model_->selected());
  setCommands();
}

void frmTList::grdTests_ChangeSel() {
  if (!model_) return;
  const int row = grdTests->currentRow();
  if (row >= 0 && !model_->select(row)) {
    // A test whose status does not allow it cannot be selected: the selection stays.
    const QSignalBlocker block(grdTests);
    grdTests->clearSelection();
    if (model_->selected() >= 0) grdTests->selectRow(model_->selected());
  }
  setCommands();
}

void frmTList::setCommands() {
  const bool enabled = model_ && model_->cmdDoTestEnabled() && !running_;
  cmdDoTest->setEnabled(enabled);
  for (QPushButton* b : {cmdNext, cmdBack, cmdCancel}) b->setEnabled(!running_);
  cmdDoTest->setDefault(enabled);
  cmdNext->setDefault(!enabled);
}

void frmTList::cmdDoTest_Click() {
  if (!model_ || running_ || !model_->cmdDoTestEnabled()) return;
  running_ = true;
  setCommands();
  model_->cmdDoTest_Click();
  running_ = false;
  Update_List();
  // The test windows have closed: the list is the active window again.
  scheduleActivation();
}

void frmTList::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  scheduleActivation();
}

void frmTList::changeEvent(QEvent* e) {
  QDialog::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) scheduleActivation();
}

void frmTList::scheduleActivation() {
  if (activationPending_) return;
  activationPending_ = true;
  QTimer::singleShot(0, this, &frmTList::Form_Activate);
}

void frmTList::Form_Activate() {
  activationPending_ = false;
  if (!model_ || running_ || !isVisible() || exit_ != kWizNone) return;
  switch (model_->WhenActivated()) {
    case TestListAuto::PressNext:
      ProcLog(kModule, "Form_Activate", QStringLiteral("Proceed - Next")).completed();
      cmdNext->click();
      break;
    case TestListAuto::PressTest:
      ProcLog(kModule, "Form_Activate", QStringLiteral("Proceed - Test")).completed();
      cmdDoTest_Click();
      break;
    case TestListAuto::FocusNext:
      cmdNext->setFocus();
      break;
    case TestListAuto::FocusTest:
      cmdDoTest->setFocus();
      break;
    case TestListAuto::None:
      break;
  }
}

void frmTList::cmdCancel_Click() {
  ProcLog log(kModule, "cmdCancel_Click");
  if (running_) return;
  if (showMessage(Str(4235), MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes) return;
  finish(kWizCancel);
}

void frmTList::reject() { cmdCancel_Click(); }

void frmTList::finish(int code) {
  ProcLog(kModule, "Form_Exit", QStringLiteral("DialogExitButton=%1").arg(code)).completed();
  exit_ = code;
  done(code);
}

}  // namespace tarn
