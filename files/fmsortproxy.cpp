#include "files/fmsortproxy.h"

#include <QCollator>

#include "files/fmmodel.h"

namespace tarn::fm {

FileManagerSortProxy::FileManagerSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(Qt::DisplayRole);
}

void FileManagerSortProxy::setSourceModel(QAbstractItemModel* source) {
  if (model_) disconnect(model_, nullptr, this, nullptr);
  model_ = qobject_cast<FileManagerModel*>(source);
  invalidateKeys();
  // Connected before the base class connects its own handlers, so that a re-sort after a change
  // of the source never sees the keys of the rows before it.
  if (model_) {
    const auto drop = [this] { invalidateKeys(); };
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, drop);
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this, drop);
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, drop);
    connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this, drop);
    connect(model_, &QAbstractItemModel::dataChanged, this, drop);
  }
  QSortFilterProxyModel::setSourceModel(source);
}

void FileManagerSortProxy::buildKeys(int column) const {
  keys_.clear();
  keysColumn_ = column;
  if (!model_) return;
  const int rows = model_->rowCount();
  keys_.resize(static_cast<size_t>(rows));
  // The "C" locale compares code points only; a spreadsheet user still expects "adams" beside
  // "Adams" and "S2" before "S10", so that case takes the common English rules.
  QLocale locale;
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
  QCollator collator(locale);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  collator.setNumericMode(true);
  for (int r = 0; r < rows; ++r) {
    const CellValue v = model_->value(r, column);
    Key& k = keys_[static_cast<size_t>(r)];
    k.empty = v.empty;
    k.number = v.number;
    if (!v.empty && ColumnType(model_->columnId(column)) == CellType::Text) k.text = collator.sortKey(v.text);
  }
}

bool FileManagerSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  if (!model_) return QSortFilterProxyModel::lessThan(left, right);
  if (keysColumn_ != left.column() || keys_.size() != static_cast<size_t>(model_->rowCount()))
    buildKeys(left.column());
  const Key& a = keys_[static_cast<size_t>(left.row())];
  const Key& b = keys_[static_cast<size_t>(right.row())];
  // Empty cells last whichever way the column is sorted (a descending sort asks the other way round).
  const bool descending = sortOrder() == Qt::DescendingOrder;
  if (a.empty || b.empty) return a.empty == b.empty ? false : (a.empty ? descending : !descending);
  if (a.text && b.text) return a.text->compare(*b.text) < 0;
  return a.number < b.number;
}

}  // namespace tarn::fm
