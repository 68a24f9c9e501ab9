#include "session/windows/frmtinfo.h"

#include <QGridLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/wizard.h"
#include "session/subjectinfo.h"
#include "session/windows/wizardframe.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTInfo";

QLineEdit* field(QGridLayout* grid, int row, int col, const QString& caption, QWidget* parent, int span = 1) {
  auto* edit = new QLineEdit(parent);
  auto* label = new QLabel(caption, parent);
  label->setBuddy(edit);
  grid->addWidget(label, row, col, Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(edit, row, col + 1, 1, span);
  return edit;
}
}  // namespace

frmTInfo::frmTInfo(QWidget* parent) : QDialog(parent) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(4200));
  unit_ = settings::read(settings::UnitsLength);

  auto* content = new QWidget(this);
  auto* cl = new QVBoxLayout(content);
  cl->setContentsMargins(0, 0, 0, 0);
  fraInfo = new QGroupBox(Str(4201), content);
  auto* g = new QGridLayout(fraInfo);
  g->setHorizontalSpacing(10);
  g->setVerticalSpacing(8);
  txtNameFirst = field(g, 0, 0, Str(4202), fraInfo);
  txtNameMiddle = field(g, 0, 2, Str(4203), fraInfo);
  txtNameMiddle->setMaxLength(3);
  txtNameMiddle->setFixedWidth(60);
  txtNameLast = field(g, 1, 0, Str(4204), fraInfo);
  txtPatientID = field(g, 2, 0, Str(4205), fraInfo);

  const QStringList sexes = Str(4207).split(QLatin1Char('|'));
  auto* sexRow = new QHBoxLayout;
  optMale = new QRadioButton(sexes.value(0), fraInfo);
  optFemale = new QRadioButton(sexes.value(1), fraInfo);
  mchIsMale = new QButtonGroup(this);
  mchIsMale->addButton(optMale);
  mchIsMale->addButton(optFemale);
  sexRow->addWidget(optMale);
  sexRow->addSpacing(16);
  sexRow->addWidget(optFemale);
  sexRow->addStretch(1);
  auto* lblSex = new QLabel(Str(4206), fraInfo);
  lblSex->setBuddy(optMale);
  g->addWidget(lblSex, 3, 0, Qt::AlignRight | Qt::AlignVCenter);
  g->addLayout(sexRow, 3, 1);
  txtDOB = field(g, 4, 0, Str(4208), fraInfo);
  txtDOB->setPlaceholderText(Str(4220).arg(ShortDateText(QDate(1970, 12, 31))));
  txtPatientHeight = field(g, 5, 0, Str(4209), fraInfo);
  txtPatientHeight->setPlaceholderText(Str(4220).arg(FormatLength(1.75, unit_, 2)));
  for (QLineEdit* e : {txtDOB, txtPatientHeight}) e->setMaximumWidth(200);
  g->setColumnStretch(1, 1);
  cl->addWidget(fraInfo);

  fraAddress = new QGroupBox(Str(4213), content);
  auto* a = new QGridLayout(fraAddress);
  a->setHorizontalSpacing(10);
  txtStreet = field(a, 0, 0, Str(4214), fraAddress, 3);
  txtCity = field(a, 1, 0, Str(4215), fraAddress);
  txtState = field(a, 1, 2, Str(4216), fraAddress);
  txtZip = field(a, 2, 0, Str(4217), fraAddress);
  txtPhone = field(a, 2, 2, Str(4218), fraAddress);
  txtEmail = field(a, 3, 0, Str(4219), fraAddress, 3);
  a->setColumnStretch(1, 1);
  a->setColumnStretch(3, 1);
  cl->addWidget(fraAddress);
  // Both frames start their boxes at the same place.
  int labels = 0;
  for (QGridLayout* grid : {g, a})
    for (int r = 0; r < grid->rowCount(); ++r)
      if (QLayoutItem* item = grid->itemAtPosition(r, 0); item && item->widget())
        labels = std::max(labels, item->widget()->sizeHint().width());
  g->setColumnMinimumWidth(0, labels);
  a->setColumnMinimumWidth(0, labels);

  auto* lblNotes = new QLabel(Str(4210), content);
  txtNotes = new QPlainTextEdit(content);
  txtNotes->setMinimumHeight(70);
  lblNotes->setBuddy(txtNotes);
  cl->addWidget(lblNotes);
  cl->addWidget(txtNotes, 1);

  cmdCancel = WizardButton(Str(4105), this);
  cmdNext = WizardButton(Str(4212), this);
  lblInstructions = BuildWizardFrame(this, content, Str(4211), {cmdCancel}, {cmdNext});
  cmdNext->setDefault(true);

  // Leaving a box shows what was understood: the date in the short format, the height in the unit.
  connect(txtDOB, &QLineEdit::editingFinished, this, [this] {
    if (const auto d = ParseShortDate(txtDOB->text(), clock::now().date()))
      txtDOB->setText(ShortDateText(*d));
  });
  connect(txtPatientHeight, &QLineEdit::editingFinished, this, [this] {
    if (const auto h = ParseLength(txtPatientHeight->text(), unit_))
      txtPatientHeight->setText(FormatLength(h.si, unit_, 2));
  });
  connect(cmdNext, &QPushButton::clicked, this, &frmTInfo::cmdNext_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmTInfo::cmdCancel_Click);
  CmdButtonColouring::install(this);
  resize(1000, 640);
  log.completed();
}

frmTInfo::~frmTInfo() { ProcLog(kModule, "Form_Unload").completed(); }

void frmTInfo::SetPatientInfo(SubjectInfo* info) {
  ProcLog log(kModule, "Set PatientInfo");
  info_ = info;
  if (!info_) {
    log.step(QStringLiteral("No Object - Unloading"));
    QTimer::singleShot(0, this, [this] { finish(kWizCancel); });
    return;
  }
  txtNameFirst->setText(info->sNameFirst);
  txtNameMiddle->setText(info->sNameMiddle);
  txtNameLast->setText(info->sNameLast);
  txtPatientID->setText(info->sSubjectID);
  optMale->setChecked(info->lIsMale == kSexMale);
  optFemale->setChecked(info->lIsMale == kSexFemale);
  txtDOB->setText(info->dtDoB > clock::kMissingDate ? ShortDateText(clock::fromDays(info->dtDoB).date())
                                                    : QString());
  txtStreet->setText(info->sStreet);
  txtCity->setText(info->sCity);
  txtState->setText(info->sState);
  txtZip->setText(info->sZip);
  txtPhone->setText(info->sPhone);
  txtEmail->setText(info->sEmail);
  txtNotes->setPlainText(info->sNotes);
  log.completed();
}

void frmTInfo::setHeight(double metres) {
  height_ = metres;
  txtPatientHeight->setText(metres > 0 ? FormatLength(metres, unit_, 2) : QString());
}

void frmTInfo::setReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  for (QLineEdit* e : {txtNameFirst, txtNameMiddle, txtNameLast, txtPatientID, txtDOB, txtPatientHeight,
                       txtStreet, txtCity, txtState, txtZip, txtPhone, txtEmail})
    e->setReadOnly(readOnly);
  txtNotes->setReadOnly(readOnly);
  optMale->setEnabled(!readOnly);
  optFemale->setEnabled(!readOnly);
}

void frmTInfo::setSkipAddress(bool skip) {
  skipAddress_ = skip;
  fraAddress->setVisible(!skip);
}

qint32 frmTInfo::sex() const {
  return optMale->isChecked() ? kSexMale : optFemale->isChecked() ? kSexFemale : kSexNotGiven;
}

void frmTInfo::cmdNext_Click() {
  ProcLog log(kModule, "cmdNext_Click");
  if (readOnly_) {
    finish(kWizNext);
    return;
  }
  const SubjectInfoEntry entry{
      txtNameFirst->text(), txtNameMiddle->text(),   txtNameLast->text(), txtPatientID->text(), sex(),
      txtDOB->text(),       txtPatientHeight->text()};
  const SubjectInfoVerdict v = CheckSubjectInfo(entry, unit_, clock::now().date());
  if (!v.ok()) {
    log.step(QStringLiteral("Check %1 failed").arg(v.failedCheck));
    showMessage(v.message, MsgIcon::Exclamation);
    QWidget* focus = txtPatientHeight;
    switch (v.field) {
      case SubjectInfoField::FirstName:
        focus = txtNameFirst;
        break;
      case SubjectInfoField::LastName:
        focus = txtNameLast;
        break;
      case SubjectInfoField::Gender:
        focus = optMale;
        break;
      case SubjectInfoField::DateOfBirth:
        focus = txtDOB;
        break;
      default:
        break;
    }
    focus->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(focus)) edit->selectAll();
    return;
  }
  if (fnDataSave(v.dateOfBirth, v.heightM)) finish(kWizNext);
}

bool frmTInfo::fnDataSave(const QDate& dob, double heightM) {
  ProcLog log(kModule, "fnDataSave");
  const bool ok = info_ != nullptr;
  if (ok) {
    info_->sNameFirst = txtNameFirst->text().trimmed();
    info_->sNameMiddle = txtNameMiddle->text().trimmed();
    info_->sNameLast = txtNameLast->text().trimmed();
    info_->sSubjectID = txtPatientID->text().trimmed();
    info_->lIsMale = sex();
    info_->dtDoB = clock::dateToDays(dob);
    if (!skipAddress_) {
      info_->sStreet = txtStreet->text().trimmed();
      info_->sCity = txtCity->text().trimmed();
      info_->sState = txtState->text().trimmed();
      info_->sZip = txtZip->text().trimmed();
      info_->sPhone = txtPhone->text().trimmed();
      info_->sEmail = txtEmail->text().trimmed();
    }
    info_->sNotes = txtNotes->toPlainText();
    height_ = heightM;
  }
  log.step(QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

void frmTInfo::cmdCancel_Click() {
  ProcLog log(kModule, "cmdCancel_Click");
  if (showMessage(Str(4235), MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes) return;
  finish(kWizCancel);
}

void frmTInfo::reject() { cmdCancel_Click(); }

void frmTInfo::finish(int code) {
  exit_ = code;
  done(code);
}

}  // namespace tarn
