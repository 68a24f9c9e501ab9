#include "session/windows/frmnotes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
QHBoxLayout* buttonRow(QPushButton*& ok, QPushButton*& cancel, QWidget* parent) {
  auto* row = new QHBoxLayout;
  ok = new QPushButton(Str(4602), parent);
  cancel = new QPushButton(Str(4603), parent);
  for (QPushButton* b : {ok, cancel}) b->setMinimumSize(96, 30);
  ok->setDefault(true);
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}
QString status(bool ok) { return QString("Done, Status=%1").arg(ok ? "True" : "False"); }
}  // namespace

// ---- frmNotes ----

frmNotes::frmNotes(QWidget* parent) : QDialog(parent) {
  ProcLog log("frmNotes", "Form_Load");
  setWindowTitle(Str(4600));
  auto* top = new QVBoxLayout(this);
  fraNotes = new QGroupBox(Str(4601), this);
  auto* fl = new QVBoxLayout(fraNotes);
  txtNotes = new QPlainTextEdit(fraNotes);
  fl->addWidget(txtNotes);
  top->addWidget(fraNotes, 1);
  top->addLayout(buttonRow(cmdOK, cmdCancel, this));
  connect(cmdOK, &QPushButton::clicked, this, [this] {
    if (fnDataSave()) accept();
  });
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  CmdButtonColouring::install(this);
  resize(460, 300);
  log.completed();
}

frmNotes::~frmNotes() { ProcLog("frmNotes", "Form_Unload").step("Unreferencing Objects"); }

void frmNotes::SetNotes(QString* notes) {
  ProcLog log("frmNotes", "Set Notes");
  notes_ = notes;
  if (!notes_) {
    log.step("No object - Unloading");
    QTimer::singleShot(0, this, &QDialog::reject);
    return;
  }
  txtNotes->setPlainText(*notes_);
  log.completed();
}

bool frmNotes::fnDataOK() {
  ProcLog log("frmNotes", "fnDataOK");
  const bool ok = notes_ != nullptr;  // any text will do, the empty one too
  log.step(status(ok));
  return ok;
}

bool frmNotes::fnObjectUpdate() {
  ProcLog log("frmNotes", "fnObjectUpdate");
  const bool ok = notes_ != nullptr;
  if (ok) *notes_ = txtNotes->toPlainText();
  log.step(status(ok));
  return ok;
}

bool frmNotes::fnDataSave() {
  ProcLog log("frmNotes", "fnDataSave");
  const bool ok = fnDataOK() && fnObjectUpdate();
  log.step(status(ok));
  return ok;
}

// ---- frmTRename ----

frmTRename::frmTRename(QWidget* parent) : QDialog(parent) {
  ProcLog log("frmTRename", "Form_Load");
  setWindowTitle(Str(4604));
  auto* top = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* lbl = new QLabel(Str(4605), this);
  txtName = new QLineEdit(this);
  txtName->setMinimumWidth(280);
  lbl->setBuddy(txtName);
  row->addWidget(lbl);
  row->addWidget(txtName, 1);
  top->addLayout(row);
  top->addStretch(1);
  top->addLayout(buttonRow(cmdOK, cmdCancel, this));
  connect(cmdOK, &QPushButton::clicked, this, [this] {
    if (fnDataSave()) accept();
  });
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  CmdButtonColouring::install(this);
  log.completed();
}

frmTRename::~frmTRename() { ProcLog("frmTRename", "Form_Unload").step("Unreferencing Objects"); }

void frmTRename::SetTest(QString* name) {
  ProcLog log("frmTRename", "Set Test");
  name_ = name;
  if (!name_) {
    log.step("No object - Unloading");
    QTimer::singleShot(0, this, &QDialog::reject);
    return;
  }
  txtName->setText(*name_);
  txtName->selectAll();
  log.completed();
}

bool frmTRename::fnDataOK() {
  ProcLog log("frmTRename", "fnDataOK");
  // Blanks around a name are typing slips, so a name of blanks is no name.
  bool ok = name_ != nullptr;
  if (ok && txtName->text().trimmed().isEmpty()) {
    showMessage(Str(4606), MsgIcon::Exclamation);
    txtName->setFocus();
    ok = false;
  }
  log.step(status(ok));
  return ok;
}

bool frmTRename::fnObjectUpdate() {
  ProcLog log("frmTRename", "fnObjectUpdate");
  const bool ok = name_ != nullptr;
  if (ok) *name_ = txtName->text().trimmed();
  log.step(status(ok));
  return ok;
}

bool frmTRename::fnDataSave() {
  ProcLog log("frmTRename", "fnDataSave");
  const bool ok = fnDataOK() && fnObjectUpdate();
  log.step(status(ok));
  return ok;
}

bool EditTestNotes(QWidget* parent, QString& notes) {
  frmNotes dlg(parent);
  QString edited = notes;
  dlg.SetNotes(&edited);
  KMX_cShowModal modal;
  if (modal.ShowModal(dlg) != QDialog::Accepted || edited == notes) return false;
  notes = edited;
  return true;
}

bool EditTestName(QWidget* parent, QString& name) {
  frmTRename dlg(parent);
  QString edited = name;
  dlg.SetTest(&edited);
  KMX_cShowModal modal;
  if (modal.ShowModal(dlg) != QDialog::Accepted || edited == name) return false;
  name = edited;
  return true;
}

}  // namespace tarn
