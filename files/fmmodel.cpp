#include "files/fmmodel.h"

#include "data/lists/list.h"
#include "data/lists/listentry.h"

namespace tarn::fm {

FileManagerModel::FileManagerModel(QObject* parent)
    : QAbstractTableModel(parent), columns_(DefaultColumns()), format_(CellFormat::fromSettings()) {}

void FileManagerModel::loadFromList(const KM_RQList& list) {
  std::vector<const KM_RQListFile*> entries;
  entries.reserve(static_cast<size_t>(list.lFilesCount()));
  for (qint32 i = 1; i <= list.lFilesCount(); ++i)
    if (const KM_RQListFile* e = list.lfFile(i)) entries.push_back(e);
  setEntries(std::move(entries));
}

void FileManagerModel::setEntries(std::vector<const KM_RQListFile*> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  endResetModel();
}

void FileManagerModel::setColumns(const QVector<int>& ids) {
  beginResetModel();
  columns_.clear();
  for (int id : ids)
    if (IsColumnId(id)) columns_ << id;
  endResetModel();
}

void FileManagerModel::setFormat(const CellFormat& format) {
  beginResetModel();
  format_ = format;
  endResetModel();
}

const KM_RQListFile* FileManagerModel::entry(int row) const {
  return row >= 0 && row < static_cast<int>(entries_.size()) ? entries_[static_cast<size_t>(row)] : nullptr;
}

QString FileManagerModel::fileName(int row) const {
  const KM_RQListFile* e = entry(row);
  return e ? e->sFileName : QString();
}

int FileManagerModel::rowOf(const QString& name) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i]->sFileName == name) return static_cast<int>(i);
  return -1;
}

bool FileManagerModel::removeFile(const QString& name) {
  const int row = rowOf(name);
  if (row < 0) return false;
  beginRemoveRows(QModelIndex(), row, row);
  entries_.erase(entries_.begin() + row);
  endRemoveRows();
  return true;
}

CellValue FileManagerModel::value(int row, int column) const {
  const KM_RQListFile* e = entry(row);
  if (!e || column < 0 || column >= columns_.size()) return {};
  return ValueOf(*e, columns_[column]);
}

QString FileManagerModel::text(int row, int column) const {
  if (column < 0 || column >= columns_.size()) return {};
  return FormatCell(value(row, column), ColumnType(columns_[column]), format_);
}

int FileManagerModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int FileManagerModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant FileManagerModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return text(index.row(), index.column());
    case Qt::TextAlignmentRole: {
      // As a spreadsheet does: words to the left, numbers and dates to the right.
      const CellType t = ColumnType(columnId(index.column()));
      const bool words = t == CellType::Text || t == CellType::StabClass || t == CellType::BMIClass;
      return QVariant(words ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
    }
    case FileNameRole:
      return fileName(index.row());
    default:
      return {};
  }
}

QVariant FileManagerModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
  if (section < 0 || section >= columns_.size()) return {};
  if (role == Qt::DisplayRole) return ColumnCaption(columns_[section]);
  if (role == ColumnIdRole) return columns_[section];
  return {};
}

}  // namespace tarn::fm
