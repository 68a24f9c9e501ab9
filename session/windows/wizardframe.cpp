#include "session/windows/wizardframe.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {

QPushButton* WizardButton(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setMinimumSize(120, 34);
  b->setAutoDefault(false);
  return b;
}

QTableWidget* WizardGrid(const QStringList& titles, int stretch, QWidget* parent) {
  auto* grid = new QTableWidget(0, static_cast<int>(titles.size()), parent);
  grid->setHorizontalHeaderLabels(titles);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setAlternatingRowColors(true);
  grid->setWordWrap(false);
  grid->verticalHeader()->setVisible(false);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 12);
  QHeaderView* h = grid->horizontalHeader();
  h->setHighlightSections(false);
  h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < titles.size(); ++c)
    h->setSectionResizeMode(c, c == stretch ? QHeaderView::Stretch : QHeaderView::Interactive);
  grid->setProperty("stretchColumn", stretch);
  grid->setMinimumSize(560, 300);
  return grid;
}

void FitGridColumns(QTableWidget* grid) {
  // Measured from the texts, so that it also holds before the grid is shown and for rows out of view.
  const int stretch = grid->property("stretchColumn").toInt();
  const int margin = grid->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 2;
  const QFontMetrics header(grid->horizontalHeader()->font());
  for (int c = 0; c < grid->columnCount(); ++c) {
    if (c == stretch) continue;
    const QTableWidgetItem* title = grid->horizontalHeaderItem(c);
    int width = title ? header.horizontalAdvance(title->text()) : 0;
    for (int r = 0; r < grid->rowCount(); ++r)
      if (const QTableWidgetItem* item = grid->item(r, c))
        width = std::max(width, QFontMetrics(item->font()).horizontalAdvance(item->text()));
    grid->setColumnWidth(c, width + margin);
  }
  grid->setCurrentCell(-1, -1);
}

void SetGridRow(QTableWidget* grid, int row, const QStringList& cells, bool enabled) {
  for (int c = 0; c < cells.size() && c < grid->columnCount(); ++c) {
    auto* item = new QTableWidgetItem(cells[c]);
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (enabled) flags |= Qt::ItemIsSelectable;
    item->setFlags(flags);
    if (!enabled) item->setForeground(grid->palette().color(QPalette::Disabled, QPalette::Text));
    grid->setItem(row, c, item);
  }
}

QLabel* BuildWizardFrame(QDialog* dialog, QWidget* content, const QString& instructions,
                         const QList<QPushButton*>& left, const QList<QPushButton*>& right) {
  auto* top = new QVBoxLayout(dialog);
  top->setContentsMargins(14, 14, 14, 14);
  top->setSpacing(12);
  auto* body = new QHBoxLayout;
  body->setSpacing(14);
  body->addWidget(content, 1);

  auto* box = new QGroupBox(dialog);
  box->setFixedWidth(290);
  auto* bl = new QVBoxLayout(box);
  auto* label = new QLabel(instructions, box);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont f = label->font();
  f.setPointSizeF(f.pointSizeF() * 1.08);
  label->setFont(f);
  bl->addWidget(label);
  bl->addStretch(1);
  body->addWidget(box);
  top->addLayout(body, 1);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : left) buttons->addWidget(b);
  buttons->addStretch(1);
  for (QPushButton* b : right) buttons->addWidget(b);
  top->addLayout(buttons);
  return label;
}

}  // namespace tarn
