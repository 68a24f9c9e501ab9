#include "session/windows/frmttemplate.h"

#include <QFileInfo>
#include <QVBoxLayout>

#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/wizard.h"
#include "session/windows/wizardframe.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTTemplate";
}

frmTTemplate::frmTTemplate(QWidget* parent) : QDialog(parent) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(4300));
  auto* content = new QWidget(this);
  auto* cl = new QVBoxLayout(content);
  cl->setContentsMargins(0, 0, 0, 0);
  lblTemplate = new QLabel(Str(4301), content);
  grdTemplate = WizardGrid(TemplateChoiceTitles(), kTplColName, content);
  lblTemplate->setBuddy(grdTemplate);
  cl->addWidget(lblTemplate);
  cl->addWidget(grdTemplate, 1);
  cmdCancel = WizardButton(Str(4105), this);
  cmdBack = WizardButton(Str(4303), this);
  cmdNext = WizardButton(Str(4304), this);
  lblInstructions = BuildWizardFrame(this, content, Str(4302), {cmdCancel}, {cmdBack, cmdNext});

  rows_ = TemplateChoiceRows(settings::read(settings::TemplatePath), settings::read(settings::TemplateExt));
  grdTemplate->setRowCount(static_cast<int>(rows_.size()));
  for (size_t i = 0; i < rows_.size(); ++i) {
    QStringList cells;
    for (const QString& c : rows_[i].cells) cells << c;
    SetGridRow(grdTemplate, static_cast<int>(i), cells, rows_[i].choosable());
  }
  for (int c : {kTplColNumber, kTplColVision, kTplColBalance})
    for (int r = 0; r < grdTemplate->rowCount(); ++r)
      grdTemplate->item(r, c)->setTextAlignment(Qt::AlignCenter);
  FitGridColumns(grdTemplate);

  connect(grdTemplate, &QTableWidget::itemSelectionChanged, this, &frmTTemplate::grdTemplate_ChangeSel);
  connect(grdTemplate, &QTableWidget::cellDoubleClicked, this, [this] {
    if (cmdNext->isEnabled()) finish(kWizNext);
  });
  connect(cmdNext, &QPushButton::clicked, this, [this] { finish(kWizNext); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { finish(kWizBack); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { finish(kWizCancel); });
  CmdButtonColouring::install(this);
  grdTemplate_ChangeSel();
  resize(1000, 520);
  log.completed();
}

frmTTemplate::~frmTTemplate() { ProcLog(kModule, "Form_Unload").completed(); }

void frmTTemplate::setChosen(const QString& templateFile) {
  const QString wanted = QFileInfo(templateFile).absoluteFilePath();
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].choosable() && QFileInfo(rows_[i].path).absoluteFilePath() == wanted)
      grdTemplate->selectRow(static_cast<int>(i));
  grdTemplate_ChangeSel();
}

QString frmTTemplate::Chosen() const {
  const auto sel = grdTemplate->selectionModel()->selectedRows();
  if (sel.isEmpty()) return QString();
  const auto row = static_cast<size_t>(sel.first().row());
  return row < rows_.size() && rows_[row].choosable() ? rows_[row].path : QString();
}

void frmTTemplate::grdTemplate_ChangeSel() {
  const auto sel = grdTemplate->selectionModel()->selectedRows();
  const int row = sel.isEmpty() ? -1 : sel.first().row();
  if (row >= 0 && rows_[static_cast<size_t>(row)].choosable()) {
    chosen_ = row;
  } else if (chosen_ >= 0) {
    // A row that cannot be chosen leaves the choice as it was.
    const QSignalBlocker block(grdTemplate);
    grdTemplate->selectRow(chosen_);
  }
  cmdNext->setEnabled(!Chosen().isEmpty());
  cmdNext->setDefault(cmdNext->isEnabled());
  if (cmdNext->isEnabled()) cmdNext->setFocus();
}

void frmTTemplate::finish(int code) {
  ProcLog(kModule, "Form_Exit", QStringLiteral("DialogExitButton=%1").arg(code)).completed();
  exit_ = code;
  done(code);
}

void frmTTemplate::reject() { finish(kWizCancel); }

}  // namespace tarn
