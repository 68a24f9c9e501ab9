#include "session/windows/frmtfile.h"

#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QVBoxLayout>

#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/wizard.h"
#include "data/lists/list.h"
#include "session/windows/wizardframe.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTFile";
}

frmTFile::frmTFile(QWidget* parent) : QDialog(parent) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(4100));
  auto* content = new QWidget(this);
  auto* cl = new QVBoxLayout(content);
  cl->setContentsMargins(0, 0, 0, 0);
  lblFiles = new QLabel(Str(4101), content);
  grdFiles = WizardGrid(FileChoiceTitles(), kFileColName, content);
  grdFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  lblFiles->setBuddy(grdFiles);
  cl->addWidget(lblFiles);
  cl->addWidget(grdFiles, 1);
  cmdCancel = WizardButton(Str(4105), this);
  cmdNew = WizardButton(Str(4104), this);
  cmdOpen = WizardButton(Str(4103), this);
  lblInstructions = BuildWizardFrame(this, content, Str(4102), {cmdCancel}, {cmdNew, cmdOpen});
  cmdOpen->setEnabled(false);

  connect(grdFiles, &QTableWidget::itemSelectionChanged, this, &frmTFile::grdFiles_ChangeSel);
  connect(grdFiles, &QTableWidget::cellDoubleClicked, this, [this] { cmdOpen_Click(); });
  connect(grdFiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const int column = grdFiles->columnAt(at.x());
    if (column < 0) return;
    QMenu menu(this);
    QAction* sort = menu.addAction(Str(4114).arg(grdFiles->horizontalHeaderItem(column)->text()));
    if (menu.exec(grdFiles->viewport()->mapToGlobal(at)) == sort) mnuPopUp_List_Sort_Column_Click(column);
  });
  connect(cmdOpen, &QPushButton::clicked, this, &frmTFile::cmdOpen_Click);
  connect(cmdNew, &QPushButton::clicked, this, [this] {
    ProcLog(kModule, "cmdNew_Click").completed();
    fileName_.clear();
    finish(kWizNext);
  });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { finish(kWizCancel); });
  CmdButtonColouring::install(this);
  resize(1000, 560);
  log.completed();
}

frmTFile::~frmTFile() { ProcLog(kModule, "Form_Unload").completed(); }

void frmTFile::SetFileList(const KM_RQList* list) {
  ProcLog log(kModule, "Set FileList");
  list_ = list;
  rows_ = list ? FileChoiceRows(*list, settings::readBool(settings::HideSubjectID),
                                settings::readBool(settings::HideSubjectName),
                                settings::read(settings::UnitsLength))
               : std::vector<FileChoiceRow>{};
  fillGrid();
  log.step(QStringLiteral("Files: %1").arg(rows_.size()));
  log.completed();
}

void frmTFile::fillGrid() {
  grdFiles->clearContents();
  grdFiles->setRowCount(static_cast<int>(rows_.size()));
  for (size_t i = 0; i < rows_.size(); ++i) {
    QStringList cells;
    for (const QString& c : rows_[i].cells) cells << c;
    SetGridRow(grdFiles, static_cast<int>(i), cells, true);
  }
  FitGridColumns(grdFiles);
  grdFiles_ChangeSel();
}

void frmTFile::mnuPopUp_List_Sort_Column_Click(int column) {
  ProcLog log(kModule, "mnuPopUp_List_Sort_Column_Click", QString::number(column));
  sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
  sortColumn_ = column;
  SortFileChoiceRows(rows_, column, sortAscending_);
  fillGrid();
}

void frmTFile::grdFiles_ChangeSel() {
  const bool chosen = !grdFiles->selectedItems().isEmpty();
  cmdOpen->setEnabled(chosen);
  // The way forward is the default: Open once a file is chosen, New until then.
  cmdOpen->setDefault(chosen);
  cmdNew->setDefault(!chosen);
}

void frmTFile::cmdOpen_Click() {
  ProcLog log(kModule, "cmdOpen_Click");
  const int row = grdFiles->currentRow();
  if (row < 0 || row >= static_cast<int>(rows_.size()) || grdFiles->selectedItems().isEmpty()) return;
  const QString folder = list_ ? list_->sDataPath() : settings::read(settings::LastPath);
  fileName_ = QDir(folder).filePath(rows_[static_cast<size_t>(row)].fileName);
  log.step(QStringLiteral("File: ") + fileName_);
  finish(kWizNext);
}

void frmTFile::finish(int code) {
  exit_ = code;
  done(code);
}

void frmTFile::reject() { finish(kWizCancel); }

}  // namespace tarn
