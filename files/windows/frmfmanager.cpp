#include "files/windows/frmfmanager.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "core/eventlog.h"
#include "core/folders.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "data/lists/list.h"
#include "data/lists/listentry.h"
#include "files/dataexport.h"
#include "files/fmcolumns.h"
#include "files/fmmodel.h"
#include "files/fmsortproxy.h"
#include "files/windows/dbussibling.h"
#include "files/windows/frmfmcolumns.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmFManager";
constexpr int kTwipsPerPixel = 15;
constexpr qint32 kMaximised = 2;

QPushButton* button(QWidget* parent, const char* name, int text) {
  auto* b = new QPushButton(Str(text), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}
}  // namespace

frmFManager::frmFManager(KM_RQList& list, FileManagerHooks hooks, QWidget* parent)
    : QDialog(parent), list_(list), hooks_(std::move(hooks)) {
  setObjectName("frmFManager");
  setWindowTitle(Str(5000));
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
  setSizeGripEnabled(true);
  if (!hooks_.sibling) {
    ownSibling_ = std::make_unique<fm::DBusSibling>();
    hooks_.sibling = ownSibling_.get();
  }

  model_ = new fm::FileManagerModel(this);
  proxy_ = new fm::FileManagerSortProxy(this);
  proxy_->setSourceModel(model_);

  grdFiles = new QTableView(this);
  grdFiles->setObjectName("grdFiles");
  grdFiles->setModel(proxy_);
  grdFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grdFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdFiles->setAlternatingRowColors(true);
  grdFiles->setWordWrap(false);
  grdFiles->setCornerButtonEnabled(true);
  grdFiles->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  grdFiles->verticalHeader()->hide();
  grdFiles->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdFiles->verticalHeader()->setDefaultSectionSize(grdFiles->fontMetrics().height() + 6);
  QHeaderView* header = grdFiles->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);  // list order until a header is clicked
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  header->setStretchLastSection(false);
  grdFiles->setSortingEnabled(true);
  grdFiles->sortByColumn(-1, Qt::AscendingOrder);
  connect(header, &QWidget::customContextMenuRequested, this, [this] { ChooseColumns(); });

  lblStats = new QLabel(this);
  lblStats->setObjectName("lblStats");
  lblInstructions = new QLabel(Str(5002), this);
  lblInstructions->setObjectName("lblInstructions");
  lblInstructions->setWordWrap(true);
  lblInstructions->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  lblInstructions->setFixedWidth(190);
  lblInstructions->setFrameShape(QFrame::StyledPanel);
  lblInstructions->setMargin(6);

  cmdImport = button(this, "cmdImport", 5003);
  cmdExport = button(this, "cmdExport", 5004);
  cmdEmail = button(this, "cmdEmail", 5005);
  cmdBackUp = button(this, "cmdBackUp", 5006);
  cmdExportData = button(this, "cmdExportData", 5007);
  cmdOpenInSG = button(this, "cmdOpenInSG", 5008);
  cmdCancel = button(this, "cmdCancel", 5009);

  auto* left = new QVBoxLayout;
  left->addWidget(grdFiles, 1);
  left->addWidget(lblStats);
  auto* right = new QVBoxLayout;
  right->addWidget(lblInstructions);
  right->addSpacing(8);
  for (QPushButton* b : {cmdImport, cmdExport, cmdEmail, cmdBackUp, cmdExportData, cmdOpenInSG})
    right->addWidget(b);
  right->addStretch(1);
  right->addWidget(cmdCancel);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);

  connect(cmdImport, &QPushButton::clicked, this, &frmFManager::cmdImport_Click);
  connect(cmdExport, &QPushButton::clicked, this, &frmFManager::cmdExport_Click);
  connect(cmdEmail, &QPushButton::clicked, this, &frmFManager::cmdEmail_Click);
  connect(cmdBackUp, &QPushButton::clicked, this, &frmFManager::cmdBackUp_Click);
  connect(cmdExportData, &QPushButton::clicked, this, &frmFManager::cmdExportData_Click);
  connect(cmdOpenInSG, &QPushButton::clicked, this, &frmFManager::cmdOpenInSG_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::accept);
  connect(grdFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &frmFManager::updateButtons);

  restorePlacement();
  Load_List();
  CmdButtonColouring::install(this);
}

frmFManager::~frmFManager() = default;

QAbstractItemModel* frmFManager::grid() const { return proxy_; }

void frmFManager::Load_List() {
  ProcLog log(kModule, "Load_List");
  const QStringList selected = selectedFiles();
  model_->setFormat(fm::CellFormat::fromSettings());
  model_->setColumns(fm::LoadColumnChoice(fm::ColumnsFilePath()));
  log.step(QStringLiteral("Columns read: %1").arg(model_->columnCount()));
  std::vector<const KM_RQListFile*> entries;
  entries.reserve(static_cast<size_t>(list_.lFilesCount()));
  for (qint32 i = 1; i <= list_.lFilesCount(); ++i) {
    const KM_RQListFile* e = list_.lfFile(i);
    if (!e) continue;
    // A file exported here stays out until the list has caught up with the folder.
    if (!gone_.isEmpty() && gone_.contains(e->sFileName)) {
      if (!QFileInfo::exists(folders::withSlash(list_.sDataPath()) + e->sFileName)) continue;
      gone_.remove(e->sFileName);
    }
    entries.push_back(e);
  }
  model_->setEntries(std::move(entries));
  log.step(QStringLiteral("Rows filled: %1").arg(model_->rowCount()));
  lblStats->setText(fm::StatisticsLine(list_));
  fitColumns();
  selectFiles(selected);
  updateButtons();
  log.completed();
}

void frmFManager::fitColumns() {
  // Wide enough for the caption and the first screenful of cells, never wider than a third of a
  // typical screen: measuring every row of a large folder would cost more than the grid itself.
  const QFontMetrics fm = grdFiles->fontMetrics();
  const QFontMetrics hm = grdFiles->horizontalHeader()->fontMetrics();
  const int rows = std::min(model_->rowCount(), 40);
  for (int c = 0; c < model_->columnCount(); ++c) {
    int w = hm.horizontalAdvance(model_->headerData(c, Qt::Horizontal).toString()) + 28;  // sort arrow
    for (int r = 0; r < rows; ++r) w = std::max(w, fm.horizontalAdvance(model_->text(r, c)) + 14);
    grdFiles->setColumnWidth(c, std::min(w, 320));
  }
}

QList<int> frmFManager::selectedGridRows() const {
  QList<int> rows;
  for (const QModelIndex& i : grdFiles->selectionModel()->selectedRows()) rows << i.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

QStringList frmFManager::selectedFiles() const {
  QStringList names;
  for (int r : selectedGridRows())
    names << proxy_->index(r, 0).data(fm::FileManagerModel::FileNameRole).toString();
  return names;
}

void frmFManager::selectFiles(const QStringList& names) {
  QItemSelection selection;
  const int columns = model_->columnCount();
  if (!names.isEmpty() && columns > 0) {
    const QSet<QString> wanted(names.begin(), names.end());
    QList<int> rows;
    for (int r = 0; r < model_->rowCount(); ++r)
      if (wanted.contains(model_->fileName(r))) rows << proxy_->mapFromSource(model_->index(r, 0)).row();
    std::sort(rows.begin(), rows.end());
    // One range per run of neighbouring rows: selecting all of a large folder stays one range.
    for (qsizetype i = 0; i < rows.size();) {
      qsizetype j = i;
      while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
      selection.select(proxy_->index(rows[i], 0), proxy_->index(rows[j], columns - 1));
      i = j + 1;
    }
  }
  grdFiles->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void frmFManager::ChooseColumns() {
  ProcLog log(kModule, "ChooseColumns");
  frmFMColumns chooser(model_->columns(), this);
  if (KMX_cShowModal().ShowModal(chooser) != QDialog::Accepted) {
    log.completed();
    return;
  }
  const QString path = fm::ColumnsFilePath();
  QString why;
  if (fm::WriteColumnsList(path, chooser.chosenColumns(), &why)) {
    Load_List();
  } else {
    // The grid shows the choice even when it could not be kept for the next time.
    log.error(path + QStringLiteral(": ") + why);
    showMessage(Str(5067).arg(path, why), MsgIcon::Critical);
    const QStringList selected = selectedFiles();
    model_->setColumns(chooser.chosenColumns());
    fitColumns();
    selectFiles(selected);
  }
  log.completed();
}

fm::FileCommands frmFManager::commands() {
  fm::DataFolder folder;
  folder.path = list_.sDataPath().isEmpty() ? settings::read(settings::LastPath) : list_.sDataPath();
  folder.ext = list_.sDataExt().isEmpty() ? settings::read(settings::DefaultExt) : list_.sDataExt();
  return fm::FileCommands(folder, hooks_.sibling);
}

void frmFManager::afterFolderChanged() {
  if (hooks_.refreshList) hooks_.refreshList();
  Load_List();
}

void frmFManager::cmdImport_Click() {
  const QStringList imported = commands().Import();
  if (imported.isEmpty()) return Load_List();
  afterFolderChanged();
  selectFiles(imported);
}

void frmFManager::cmdExport_Click() {
  const QStringList removed = commands().Export(selectedFiles());
  for (const QString& name : removed) {
    gone_.insert(name);
    model_->removeFile(name);
  }
  if (removed.isEmpty()) return Load_List();
  afterFolderChanged();
}

void frmFManager::cmdEmail_Click() {
  commands().Email(selectedFiles());
  Load_List();
}

void frmFManager::cmdBackUp_Click() {
  commands().BackUp(selectedFiles());
  Load_List();
}

void frmFManager::cmdExportData_Click() { fm::ExportData(*proxy_, selectedGridRows()); }

void frmFManager::cmdOpenInSG_Click() {
  if (commands().OpenInSG(selectedFiles())) accept();
}

void frmFManager::updateButtons() {
  const bool any = grdFiles->selectionModel()->hasSelection();
  for (QPushButton* b : {cmdExport, cmdEmail, cmdBackUp, cmdExportData, cmdOpenInSG}) b->setEnabled(any);
}

void frmFManager::restorePlacement() {
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const int w = std::clamp(settings::read(settings::FmanWinPosW) / kTwipsPerPixel, 400, avail.width());
  const int h = std::clamp(settings::read(settings::FmanWinPosH) / kTwipsPerPixel, 300, avail.height());
  const int defLeft = (avail.left() + (avail.width() - w) / 2) * kTwipsPerPixel;
  const int defTop = (avail.top() + (avail.height() - h) / 2) * kTwipsPerPixel;
  const int x = std::clamp(settings::read(settings::FmanWinPosLeft, defLeft) / kTwipsPerPixel, avail.left(),
                           avail.right() - w + 1);
  const int y = std::clamp(settings::read(settings::FmanWinPosTop, defTop) / kTwipsPerPixel, avail.top(),
                           avail.bottom() - h + 1);
  setGeometry(x, y, w, h);
  if (settings::read(settings::FmanWinPosStatus) == kMaximised) setWindowState(Qt::WindowMaximized);
}

void frmFManager::savePlacement() {
  eventlog::logStep(kModule, "Form_Unload", QStringLiteral("Save Window Status"));
  const bool maximised = isMaximized();
  settings::write(settings::FmanWinPosStatus, maximised ? kMaximised : 0);
  if (maximised) return;  // keep the normal placement for the next time
  const QRect g = geometry();
  settings::write(settings::FmanWinPosLeft, g.left() * kTwipsPerPixel);
  settings::write(settings::FmanWinPosTop, g.top() * kTwipsPerPixel);
  settings::write(settings::FmanWinPosW, g.width() * kTwipsPerPixel);
  settings::write(settings::FmanWinPosH, g.height() * kTwipsPerPixel);
}

void frmFManager::done(int result) {
  savePlacement();
  QDialog::done(result);
}

int ShowFileManager(KM_RQList& list, QWidget* parent, FileManagerHooks hooks) {
  ProcLog log(kModule, "Form_Load");
  frmFManager form(list, std::move(hooks), parent);
  const int code = KMX_cShowModal().ShowModal(form);
  log.completed();
  return code;
}

}  // namespace tarn
