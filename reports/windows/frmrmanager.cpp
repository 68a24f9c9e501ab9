#include "reports/windows/frmrmanager.h"

#include <QAbstractTableModel>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <functional>

#include "balance/norms/norms.h"
#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "data/subjectfile/subjectfile.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmRManager";
constexpr int kTwipsPerPixel = 15;
}  // namespace

// A grid over the manager's model: texts by row and column, the chosen rows marked, and the
// grid's message in its first row while it holds nothing.
class ManagerGridModel : public QAbstractTableModel {
 public:
  struct Source {
    int columns = 0;
    std::function<int()> rows;
    std::function<QString(int, int)> cell;
    std::function<QString(int)> header;
    std::function<int(int)> chosen;  // place in the choice, 0 when not chosen; may be empty
    std::function<QString()> emptyText;
  };
  ManagerGridModel(Source s, QObject* parent) : QAbstractTableModel(parent), s_(std::move(s)) {}

  bool showsMessage() const { return s_.rows() == 0 && s_.emptyText && !s_.emptyText().isEmpty(); }
  int rowCount(const QModelIndex& parent = {}) const override {
    if (parent.isValid()) return 0;
    return showsMessage() ? 1 : s_.rows();
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : s_.columns; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    if (showsMessage()) {
      if (role == Qt::DisplayRole && index.column() == 0) return s_.emptyText();
      if (role == Qt::ForegroundRole) return QColor(0x66, 0x66, 0x66);
      return {};
    }
    const int place = s_.chosen ? s_.chosen(index.row()) : 0;
    switch (role) {
      case Qt::DisplayRole:
        return s_.cell(index.row(), index.column());
      case Qt::BackgroundRole:
        return place > 0 ? QVariant(QColor(0xbf, 0xdb, 0xff)) : QVariant();
      case Qt::FontRole:
        if (place > 0) {
          QFont f;
          f.setBold(true);
          return f;
        }
        return {};
      case Qt::ToolTipRole:
        return place > 0 ? QVariant(QString::number(place)) : QVariant();
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o == Qt::Horizontal && role == Qt::DisplayRole) return s_.header(section);
    return {};
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid() || showsMessage()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  }
  void reset() {
    beginResetModel();
    endResetModel();
  }
  void changed() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  }

 private:
  Source s_;
};

namespace {

QTableView* grid(QAbstractItemModel* model, QWidget* parent) {
  auto* v = new QTableView(parent);
  v->setModel(model);
  v->verticalHeader()->setVisible(false);
  v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 6);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setWordWrap(false);
  v->horizontalHeader()->setSectionsClickable(true);
  v->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  v->horizontalHeader()->setStretchLastSection(true);
  v->setAlternatingRowColors(true);
  return v;
}

// Columns as wide as their header and their widest shown text, plus a little room.
void fitColumns(QTableView* v) {
  QFont bold = v->font();
  bold.setBold(true);  // chosen rows are shown bold
  const QFontMetrics fm(bold);
  const QFontMetrics hm(v->horizontalHeader()->font());
  auto* m = v->model();
  const int rows = std::min(m->rowCount(), 200);  // the first screens tell the width well enough
  for (int c = 0; c < m->columnCount(); ++c) {
    int w = hm.horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) + 24;
    for (int r = 0; r < rows; ++r)
      w = std::max(w, fm.horizontalAdvance(m->index(r, c).data().toString()) + 14);
    v->setColumnWidth(c, std::min(w, 360));
  }
}

QGroupBox* framed(const QString& title, QWidget* content, QWidget* parent) {
  auto* g = new QGroupBox(title, parent);
  (new QVBoxLayout(g))->addWidget(content);
  return g;
}

}  // namespace

frmRManager::frmRManager(const KM_RQList* list, QWidget* parent)
    : QDialog(parent),
      model_(std::make_unique<ReportsManagerModel>(ReportsManagerModel::fromSettings(list))),
      exit_(kWizNone) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(9000));
  ReportsManagerModel* m = model_.get();
  files_ = new ManagerGridModel({kFileColumns,
                                 [m] { return m->fileCount(); },
                                 [m](int r, int c) { return m->fileCell(r, c); },
                                 &ReportsManagerModel::fileHeader,
                                 {},
                                 {}},
                                this);
  balance_ = new ManagerGridModel(
      {kBalanceColumns, [m] { return m->balanceCount(); }, [m](int r, int c) { return m->balanceCell(r, c); },
       &ReportsManagerModel::balanceHeader, [m](int r) { return m->balanceChoiceNumber(r); },
       [m] { return m->balanceEmptyText(); }},
      this);
  vision_ = new ManagerGridModel(
      {kVisionColumns, [m] { return m->visionCount(); }, [m](int r, int c) { return m->visionCell(r, c); },
       &ReportsManagerModel::visionHeader, [m](int r) { return m->visionChoiceNumber(r); },
       [m] { return m->visionEmptyText(); }},
      this);

  auto* root = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  lblInstructions = new QLabel(Str(9300), this);
  lblInstructions->setWordWrap(true);
  lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblInstructions->setFixedWidth(230);
  lblInstructions->setMargin(6);
  lblInstructions->setFrameShape(QFrame::StyledPanel);
  top->addWidget(lblInstructions);
  grdFiles = grid(files_, this);
  grdFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdFiles->setSelectionMode(QAbstractItemView::SingleSelection);
  fraFiles = framed(Str(9020), grdFiles, this);
  top->addWidget(fraFiles, 1);
  root->addLayout(top, 2);

  auto* bottom = new QHBoxLayout;
  auto* tests = new QVBoxLayout;
  grdBalance = grid(balance_, this);
  grdBalance->setSelectionMode(QAbstractItemView::NoSelection);
  grdBalance->installEventFilter(this);
  fraBalance = framed(Str(9100), grdBalance, this);
  grdVision = grid(vision_, this);
  grdVision->setSelectionMode(QAbstractItemView::NoSelection);
  grdVision->installEventFilter(this);
  fraVision = framed(Str(9250), grdVision, this);
  tests->addWidget(fraBalance, 3);
  tests->addWidget(fraVision, 1);
  bottom->addLayout(tests, 1);
  picProgress = new ProgressPlot(this);
  fraProgress = framed(Str(9400), picProgress, this);
  fraProgress->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  bottom->addWidget(fraProgress, 0);
  root->addLayout(bottom, 3);

  auto* buttons = new QHBoxLayout;
  lblChoice = new QLabel(this);
  lblChoice->setWordWrap(true);
  buttons->addWidget(lblChoice, 1);
  cmdReport = new QPushButton(Str(9010), this);
  cmdCancel = new QPushButton(Str(9011), this);
  for (QPushButton* b : {cmdReport, cmdCancel}) {
    b->setMinimumHeight(30);
    b->setMinimumWidth(110);
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  root->addLayout(buttons);

  connect(grdFiles->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& cur) { grdFiles_ChangeSel(cur.isValid() ? cur.row() : -1); });
  connect(grdBalance, &QTableView::clicked, this,
          [this](const QModelIndex& i) { grdBalance_Click(i.row()); });
  connect(grdVision, &QTableView::clicked, this, [this](const QModelIndex& i) { grdVision_Click(i.row()); });
  connect(grdFiles->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmRManager::sortFiles);
  connect(grdBalance->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmRManager::sortBalance);
  connect(grdVision->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmRManager::sortVision);
  connect(cmdReport, &QPushButton::clicked, this, &frmRManager::cmdReport_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);

  fitColumns(grdFiles);
  fitColumns(grdBalance);
  fitColumns(grdVision);
  grdBalance->setSpan(0, 0, 1, kBalanceColumns);
  grdVision->setSpan(0, 0, 1, kVisionColumns);
  setMinimumSize(1100, 720);
  restorePlacement();
  CmdButtonColouring::install(this);
  lblChoice->setText(model_->choiceText());
  updateCommands();
  log.completed();
}

frmRManager::~frmRManager() = default;

void frmRManager::grdFiles_ChangeSel(int row) {
  ProcLog log(kModule, "grdFiles_ChangeSel", QString::number(row));
  model_->selectFile(row);
  refreshTests();
  lblChoice->setText(model_->choiceText());
  if (const KM_RQListFile* f = model_->selectedFile()) {
    picProgress->setData(BuildProgress(*f, NormsVersion()));
  } else {
    picProgress->clear();
  }
  updateCommands();
  log.completed();
}

void frmRManager::refreshTests() {
  grdBalance->clearSpans();
  grdVision->clearSpans();
  balance_->reset();
  vision_->reset();
  if (balance_->showsMessage()) grdBalance->setSpan(0, 0, 1, kBalanceColumns);
  if (vision_->showsMessage()) grdVision->setSpan(0, 0, 1, kVisionColumns);
  fitColumns(grdBalance);
  fitColumns(grdVision);
}

void frmRManager::grdBalance_Click(int row) {
  if (row < 0 || row >= model_->balanceCount()) return;
  ProcLog log(kModule, "grdBalance_ChangeSel", QString::number(row + 1));
  const auto t = model_->toggleBalance(row);
  balance_->changed();
  lblChoice->setText(t == ReportsManagerModel::Toggle::Refused ? Str(9301) : model_->choiceText());
  updateCommands();
  log.completed();
}

void frmRManager::grdVision_Click(int row) {
  if (row < 0 || row >= model_->visionCount()) return;
  ProcLog log(kModule, "grdVision_ChangeSel", QString::number(row + 1));
  const auto t = model_->toggleVision(row);
  vision_->changed();
  lblChoice->setText(t == ReportsManagerModel::Toggle::Refused ? Str(9302) : model_->choiceText());
  updateCommands();
  log.completed();
}

void frmRManager::sortFiles(int column) {
  ProcLog log(kModule, "mnuPopUp_List_Sort_Column_Click", QString::number(column));
  filesAscending_ = column == filesSort_ ? !filesAscending_ : true;
  filesSort_ = column;
  model_->sortFiles(column, filesAscending_);
  const QSignalBlocker block(grdFiles->selectionModel());
  files_->reset();
  grdFiles->horizontalHeader()->setSortIndicatorShown(true);
  grdFiles->horizontalHeader()->setSortIndicator(column,
                                                 filesAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  if (const int row = model_->selectedFileRow(); row >= 0) {
    grdFiles->selectRow(row);
    grdFiles->scrollTo(files_->index(row, 0));
  }
  log.completed();
}

void frmRManager::sortBalance(int column) {
  if (model_->balanceCount() == 0) return;
  ProcLog log(kModule, "BmnuPopUp_List_Sort_Column_Click", QString::number(column));
  balanceAscending_ = column == balanceSort_ ? !balanceAscending_ : true;
  balanceSort_ = column;
  model_->sortBalance(column, balanceAscending_);
  balance_->reset();
  grdBalance->horizontalHeader()->setSortIndicatorShown(true);
  grdBalance->horizontalHeader()->setSortIndicator(
      column, balanceAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  log.completed();
}

void frmRManager::sortVision(int column) {
  if (model_->visionCount() == 0) return;
  visionAscending_ = column == visionSort_ ? !visionAscending_ : true;
  visionSort_ = column;
  model_->sortVision(column, visionAscending_);
  vision_->reset();
  grdVision->horizontalHeader()->setSortIndicatorShown(true);
  grdVision->horizontalHeader()->setSortIndicator(
      column, visionAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void frmRManager::updateCommands() {
  cmdReport->setEnabled(model_->canReport());
  cmdReport->setToolTip(model_->canReport() ? QString() : Str(9303));
}

bool frmRManager::eventFilter(QObject* watched, QEvent* event) {
  // Space chooses the current test, as a click does.
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    if (watched == grdBalance) {
      grdBalance_Click(grdBalance->currentIndex().row());
      return true;
    }
    if (watched == grdVision) {
      grdVision_Click(grdVision->currentIndex().row());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmRManager::cmdReport_Click() {
  ProcLog log(kModule, "cmdReport_Click");
  if (!model_->canReport()) {
    log.step("Nothing chosen");
    log.completed();
    return;
  }
  const QString path = model_->selectedFilePath();
  const QString name = model_->selectedFile()->sFileName;
  log.step("Opening File");
  if (!QFileInfo::exists(path)) {
    log.error("Missing " + path);
    showMessage(Str(9310).arg(name), MsgIcon::Exclamation);
    log.completed();
    return;
  }
  SubjectFile file;
  if (!file.Open(path, QString::fromLatin1(kSubjectFileIdentification))) {
    log.error("Cannot open " + path + ": " + file.LastError());
    showMessage(Str(9311).arg(name, file.LastError()), MsgIcon::Exclamation);
    log.completed();
    return;
  }
  notices_->EnteringReportReprint();
  log.step("Loading File Data");
  {
    frmTReport report(this);
    report.setRenameEditor(rename_);
    if (saver_) report.setFileSaver(saver_);
    report.setReprint(true);
    report.setPatientFile(&file);
    log.step("Adding the desired tests");
    for (const ReportTestKey& k : model_->chosenVision())
      report.AddTestVision(k.sVisitID, k.sSessionID, k.sTestID);
    for (const ReportTestKey& k : model_->chosenBalance())
      report.AddTestBalance(k.sVisitID, k.sSessionID, k.sTestID);
    if (report.model().testCount() == 0) {
      log.step("None of the tests found");
      showMessage(Str(9312), MsgIcon::Exclamation);
    } else {
      log.step("Processing added tests");
      report.AddTestCompleted();
      log.step("Show report reprint form");
      KMX_cShowModal().ShowModal(report);
      exit_ = report.DialogExitButton();
    }
  }
  // The results window saved any new names and notes into the file it was given.
  log.step("Updating test names");
  log.step("Updating test notes");
  for (const ReportTestKey& k : model_->chosenBalance()) {
    const Visit* v = file.VisitByID(k.sVisitID);
    const Session* s = v ? v->SessionByID(k.sSessionID) : nullptr;
    if (const BalanceTest* t = s ? s->BalanceTestByID(k.sTestID) : nullptr)
      model_->updateTest(k, t->sName, t->sNotes);
  }
  balance_->changed();
  log.step("close file");
  file.Close();
  notices_->ExitingReportReprint();
  log.completed();
}

void frmRManager::restorePlacement() {
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1600, 1000);
  // Until the operator sized it, the window takes most of the screen: the grids and the plot
  // need the room.
  QSize size(settings::read(settings::RmanWinPosW, std::min(1500, area.width() * 9 / 10) * kTwipsPerPixel) /
                 kTwipsPerPixel,
             settings::read(settings::RmanWinPosH, std::min(960, area.height() * 9 / 10) * kTwipsPerPixel) /
                 kTwipsPerPixel);
  size = size.expandedTo(minimumSize()).boundedTo(area.size());
  const int left = settings::read(settings::RmanWinPosLeft,
                                  (area.left() + (area.width() - size.width()) / 2) * kTwipsPerPixel) /
                   kTwipsPerPixel;
  const int top = settings::read(settings::RmanWinPosTop,
                                 (area.top() + (area.height() - size.height()) / 2) * kTwipsPerPixel) /
                  kTwipsPerPixel;
  QRect r(QPoint(left, top), size);
  if (!area.contains(r)) r.moveCenter(area.center());
  setGeometry(r);
  if (settings::read(settings::RmanWinPosStatus) == 2) setWindowState(Qt::WindowMaximized);
}

void frmRManager::savePlacement() {
  ProcLog log(kModule, "Form_Unload");
  log.step("Save Window Status");
  const QRect r = isMaximized() ? normalGeometry() : geometry();
  settings::write(settings::RmanWinPosW, r.width() * kTwipsPerPixel);
  settings::write(settings::RmanWinPosH, r.height() * kTwipsPerPixel);
  settings::write(settings::RmanWinPosLeft, r.left() * kTwipsPerPixel);
  settings::write(settings::RmanWinPosTop, r.top() * kTwipsPerPixel);
  settings::write(settings::RmanWinPosStatus, isMaximized() ? 2 : isMinimized() ? 1 : 0);
  log.completed();
}

void frmRManager::done(int r) {
  savePlacement();
  QDialog::done(r);
}

}  // namespace tarn
