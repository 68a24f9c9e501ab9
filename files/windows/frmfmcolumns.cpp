#include "files/windows/frmfmcolumns.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <vector>

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/windows/buttoncolouring.h"
#include "files/fmcolumns.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr int kIdRole = Qt::UserRole;

QListWidgetItem* makeItem(int id) {
  auto* item = new QListWidgetItem(fm::ColumnCaption(id));
  item->setData(kIdRole, id);
  return item;
}

QPushButton* button(QWidget* parent, const char* name, int text) {
  auto* b = new QPushButton(Str(text), parent);
  b->setObjectName(name);
  return b;
}

// Rows of the highlighted items, in list order.
QList<int> highlightedRows(const QListWidget* list) {
  QList<int> rows;
  for (const QListWidgetItem* item : list->selectedItems()) rows << list->row(item);
  std::sort(rows.begin(), rows.end());
  return rows;
}
}  // namespace

frmFMColumns::frmFMColumns(const QVector<int>& chosen, QWidget* parent) : QDialog(parent) {
  setObjectName("frmFMColumns");
  setWindowTitle(Str(5001));
  lstAvailable = new QListWidget(this);
  lstAvailable->setObjectName("lstAvailable");
  lstSelected = new QListWidget(this);
  lstSelected->setObjectName("lstSelected");
  for (QListWidget* l : {lstAvailable, lstSelected}) {
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setMinimumSize(220, 320);
  }
  lblAvailable = new QLabel(Str(5010), this);
  lblAvailable->setBuddy(lstAvailable);
  lblSelected = new QLabel(Str(5011), this);
  lblSelected->setBuddy(lstSelected);
  cmdAdd = button(this, "cmdAdd", 5012);
  cmdRemove = button(this, "cmdRemove", 5013);
  cmdUp = button(this, "cmdUp", 5014);
  cmdDown = button(this, "cmdDown", 5015);
  cmdOK = button(this, "cmdOK", 5016);
  cmdCancel = button(this, "cmdCancel", 5017);
  cmdOK->setDefault(true);

  bool isChosen[fm::kColumnCount + 1] = {};
  for (int id : chosen)
    if (fm::IsColumnId(id) && !isChosen[id]) {
      isChosen[id] = true;
      lstSelected->addItem(makeItem(id));
    }
  for (int id = 1; id <= fm::kColumnCount; ++id)
    if (!isChosen[id]) lstAvailable->addItem(makeItem(id));

  auto* grid = new QGridLayout;
  grid->addWidget(lblAvailable, 0, 0);
  grid->addWidget(lblSelected, 0, 2);
  grid->addWidget(lstAvailable, 1, 0);
  auto* middle = new QVBoxLayout;
  middle->addStretch(1);
  middle->addWidget(cmdAdd);
  middle->addWidget(cmdRemove);
  middle->addStretch(1);
  grid->addLayout(middle, 1, 1);
  grid->addWidget(lstSelected, 1, 2);
  auto* order = new QVBoxLayout;
  order->addStretch(1);
  order->addWidget(cmdUp);
  order->addWidget(cmdDown);
  order->addStretch(1);
  grid->addLayout(order, 1, 3);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(cmdOK);
  bottom->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(bottom);

  connect(cmdAdd, &QPushButton::clicked, this, &frmFMColumns::cmdAdd_Click);
  connect(cmdRemove, &QPushButton::clicked, this, &frmFMColumns::cmdRemove_Click);
  connect(cmdUp, &QPushButton::clicked, this, &frmFMColumns::cmdUp_Click);
  connect(cmdDown, &QPushButton::clicked, this, &frmFMColumns::cmdDown_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmFMColumns::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(lstAvailable, &QListWidget::itemDoubleClicked, this, [this] { cmdAdd_Click(); });
  connect(lstSelected, &QListWidget::itemDoubleClicked, this, [this] { cmdRemove_Click(); });
  connect(lstAvailable, &QListWidget::itemSelectionChanged, this, &frmFMColumns::updateButtons);
  connect(lstSelected, &QListWidget::itemSelectionChanged, this, &frmFMColumns::updateButtons);
  updateButtons();
  CmdButtonColouring::install(this);
}

QVector<int> frmFMColumns::chosenColumns() const {
  QVector<int> ids;
  for (int i = 0; i < lstSelected->count(); ++i) ids << lstSelected->item(i)->data(kIdRole).toInt();
  return ids;
}

void frmFMColumns::addAvailable(int id) {
  // Back in identifier order, so that the available list stays easy to search.
  int at = 0;
  while (at < lstAvailable->count() && lstAvailable->item(at)->data(kIdRole).toInt() < id) ++at;
  lstAvailable->insertItem(at, makeItem(id));
}

void frmFMColumns::cmdAdd_Click() {
  const QList<int> rows = highlightedRows(lstAvailable);
  std::vector<QListWidgetItem*> taken;
  for (auto it = rows.crbegin(); it != rows.crend(); ++it) taken.push_back(lstAvailable->takeItem(*it));
  std::reverse(taken.begin(), taken.end());
  lstSelected->clearSelection();
  for (QListWidgetItem* item : taken) {
    lstSelected->addItem(item);
    item->setSelected(true);
  }
  if (!taken.empty()) lstSelected->scrollToItem(taken.back());
  updateButtons();
}

void frmFMColumns::cmdRemove_Click() {
  const QList<int> rows = highlightedRows(lstSelected);
  lstAvailable->clearSelection();
  for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
    std::unique_ptr<QListWidgetItem> item(lstSelected->takeItem(*it));
    addAvailable(item->data(kIdRole).toInt());
  }
  updateButtons();
}

void frmFMColumns::move(int step) {
  QList<int> rows = highlightedRows(lstSelected);
  if (rows.isEmpty()) return;
  if ((step < 0 && rows.first() == 0) || (step > 0 && rows.last() == lstSelected->count() - 1)) return;
  if (step > 0) std::reverse(rows.begin(), rows.end());
  for (int r : rows) {
    QListWidgetItem* item = lstSelected->takeItem(r);
    lstSelected->insertItem(r + step, item);
    item->setSelected(true);
  }
  lstSelected->scrollToItem(lstSelected->item(rows.first() + step));
  updateButtons();
}

void frmFMColumns::cmdUp_Click() { move(-1); }
void frmFMColumns::cmdDown_Click() { move(1); }

void frmFMColumns::cmdOK_Click() {
  if (lstSelected->count() == 0) {
    showMessage(Str(5018), MsgIcon::Exclamation);
    return;
  }
  eventlog::logStep("frmFMColumns", "cmdOK_Click", QStringLiteral("%1 columns").arg(lstSelected->count()));
  accept();
}

void frmFMColumns::updateButtons() {
  cmdAdd->setEnabled(!lstAvailable->selectedItems().isEmpty());
  const QList<int> rows = highlightedRows(lstSelected);
  cmdRemove->setEnabled(!rows.isEmpty());
  cmdUp->setEnabled(!rows.isEmpty() && rows.first() > 0);
  cmdDown->setEnabled(!rows.isEmpty() && rows.last() < lstSelected->count() - 1);
}

}  // namespace tarn
