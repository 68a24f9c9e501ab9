#include "options/windows/frmpotest.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "options/monitorsize.h"
#include "options/optionsmodel.h"
#include "support/strings/strings.h"

namespace tarn {

using namespace options;

namespace {
constexpr char kModule[] = "frmPOTest";

QLineEdit* field(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000000000000")) + 16);
  return e;
}

QComboBox* choices(const char* name, int choicesId, QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->addItems(choiceList(Str(choicesId)));
  return c;
}

QString doneText(bool ok) { return QStringLiteral("Done, Status=%1").arg(ok ? "True" : "False"); }
}  // namespace

frmPOTest::frmPOTest(QWidget* parent)
    : QDialog(parent),
      lengthUnit_(settings::read(settings::UnitsLength)),
      minimumDistance_(MinimumVisionDistanceFromSettings()) {
  setObjectName("frmPOTest");
  setWindowTitle(Str(6003));
  auto* layout = new QVBoxLayout(this);
  auto* nameForm = new QFormLayout;
  txtName = new QLineEdit(this);
  txtName->setObjectName("txtName");
  txtName->setMinimumWidth(260);
  nameForm->addRow(Str(6350), txtName);
  layout->addLayout(nameForm);

  fraBalance = new QGroupBox(Str(6351), this);
  fraBalance->setObjectName("fraBalance");
  auto* bf = new QFormLayout(fraBalance);
  cboSurface = choices("cboSurface", 6353, fraBalance);
  cboEyes = choices("cboEyes", 6355, fraBalance);
  chkBeepBegin = new QCheckBox(Str(6356), fraBalance);
  chkBeepBegin->setObjectName("chkBeepBegin");
  chkBeepEnd = new QCheckBox(Str(6357), fraBalance);
  chkBeepEnd->setObjectName("chkBeepEnd");
  txtFrequency = field("txtFrequency", fraBalance);
  txtPreTest = field("txtPreTest", fraBalance);
  txtDuration = field("txtDuration", fraBalance);
  bf->addRow(Str(6352), cboSurface);
  bf->addRow(Str(6354), cboEyes);
  bf->addRow(QString(), chkBeepBegin);
  bf->addRow(QString(), chkBeepEnd);
  bf->addRow(Str(6358), txtFrequency);
  bf->addRow(Str(6359), txtPreTest);
  bf->addRow(Str(6360), txtDuration);
  layout->addWidget(fraBalance);

  fraVision = new QGroupBox(Str(6361), this);
  fraVision->setObjectName("fraVision");
  auto* vf = new QFormLayout(fraVision);
  cboEye = choices("cboEye", 6362, fraVision);
  txtInterval = field("txtInterval", fraVision);
  lblDistance = new QLabel(Str(6364), fraVision);
  lblDistance->setObjectName("lblDistance");
  txtDistance = field("txtDistance", fraVision);
  txtTestsPerSize = field("txtTestsPerSize", fraVision);
  txtCorrectAnswers = field("txtCorrectAnswers", fraVision);
  chkFullScreen = new QCheckBox(Str(6369), fraVision);
  chkFullScreen->setObjectName("chkFullScreen");
  chkHighContrast = new QCheckBox(Str(6370), fraVision);
  chkHighContrast->setObjectName("chkHighContrast");
  vf->addRow(Str(6354), cboEye);
  vf->addRow(Str(6363), txtInterval);
  vf->addRow(lblDistance, txtDistance);
  vf->addRow(Str(6367), txtTestsPerSize);
  vf->addRow(Str(6368), txtCorrectAnswers);
  vf->addRow(QString(), chkFullScreen);
  vf->addRow(QString(), chkHighContrast);
  auto* note = new QLabel(Str(6393), fraVision);
  note->setWordWrap(true);
  note->setEnabled(false);
  vf->addRow(note);
  layout->addWidget(fraVision);

  auto* buttons = new QHBoxLayout;
  cmdOK = new QPushButton(Str(6004), this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(Str(6005), this);
  cmdCancel->setObjectName("cmdCancel");
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  connect(cmdOK, &QPushButton::clicked, this, [this] {
    if (fnDataSave()) accept();
  });
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  CmdButtonColouring::install(this);
  setTestItem(KM_RQTemplateItem::balanceFromDefaults(QString(), kSurfacePlate, kEyesOpen));
}

void frmPOTest::setLengthUnit(int unitCode) {
  lengthUnit_ = unitCode;
  setTestItem(item_);
}

void frmPOTest::setMinimumDistance(double metres) {
  minimumDistance_ = metres;
  lblDistance->setText(distanceLabel(minimumDistance_, lengthUnit_));
}

void frmPOTest::setTestItem(const KM_RQTemplateItem& item) {
  item_ = item;
  const TestItemForm f = formFromItem(item, lengthUnit_);
  txtName->setText(f.name);
  fraBalance->setVisible(!f.vision);
  fraVision->setVisible(f.vision);
  cboSurface->setCurrentIndex(f.surface - 1);
  cboEyes->setCurrentIndex(f.eyes - 1);
  chkBeepBegin->setChecked(f.beepBegin);
  chkBeepEnd->setChecked(f.beepEnd);
  txtFrequency->setText(f.frequency);
  txtPreTest->setText(f.preTest);
  txtDuration->setText(f.duration);
  cboEye->setCurrentIndex(f.eye - 1);
  txtInterval->setText(f.interval);
  lblDistance->setText(distanceLabel(minimumDistance_, lengthUnit_));
  txtDistance->setText(f.distance);
  txtTestsPerSize->setText(f.testsPerSize);
  txtCorrectAnswers->setText(f.correctAnswers);
  chkFullScreen->setChecked(f.fullScreen);
  chkHighContrast->setChecked(f.highContrast);
  adjustSize();
}

TestItemForm frmPOTest::form() const {
  TestItemForm f;
  f.name = txtName->text();
  f.vision = item_.isVision();
  f.surface = cboSurface->currentIndex() + 1;
  f.eyes = cboEyes->currentIndex() + 1;
  f.beepBegin = chkBeepBegin->isChecked();
  f.beepEnd = chkBeepEnd->isChecked();
  f.frequency = txtFrequency->text();
  f.preTest = txtPreTest->text();
  f.duration = txtDuration->text();
  f.eye = cboEye->currentIndex() + 1;
  f.interval = txtInterval->text();
  f.distance = txtDistance->text();
  f.testsPerSize = txtTestsPerSize->text();
  f.correctAnswers = txtCorrectAnswers->text();
  f.fullScreen = chkFullScreen->isChecked();
  f.highContrast = chkHighContrast->isChecked();
  return f;
}

QWidget* frmPOTest::fieldWidget(ItemField field) const {
  switch (field) {
    case ItemField::Name:
      return txtName;
    case ItemField::Surface:
      return cboSurface;
    case ItemField::Eyes:
      return cboEyes;
    case ItemField::Frequency:
      return txtFrequency;
    case ItemField::PreTest:
      return txtPreTest;
    case ItemField::Duration:
      return txtDuration;
    case ItemField::Eye:
      return cboEye;
    case ItemField::Interval:
      return txtInterval;
    case ItemField::Distance:
      return txtDistance;
    case ItemField::TestsPerSize:
      return txtTestsPerSize;
    case ItemField::CorrectAnswers:
      return txtCorrectAnswers;
    case ItemField::None:
      break;
  }
  return nullptr;
}

bool frmPOTest::fnDataOK() {
  ProcLog log(kModule, "fnDataOK");
  const ItemCheck c = checkTestItem(form(), lengthUnit_, minimumDistance_);
  if (!c.ok) {
    showMessage(c.message, MsgIcon::Exclamation);
    if (QWidget* w = fieldWidget(c.field)) {
      w->setFocus();
      if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    }
  }
  log.step(doneText(c.ok));
  return c.ok;
}

bool frmPOTest::fnObjectUpdate() {
  ProcLog log(kModule, "fnObjectUpdate");
  updateTestItem(form(), lengthUnit_, item_);
  log.step(doneText(true));
  return true;
}

bool frmPOTest::fnDataSave() {
  ProcLog log(kModule, "fnDataSave");
  const bool ok = fnDataOK() && fnObjectUpdate();
  log.step(doneText(ok));
  return ok;
}

}  // namespace tarn
