#pragma once
// The file manager grid as a Qt model: one row per list entry, one column per chosen catalogue
// column. Cells are written when the view asks for them, so opening a large folder costs only the
// rows on screen. The entries belong to the data-folder list: after the list changed, load again.
#include <QAbstractTableModel>
#include <QVector>
#include <vector>

#include "files/fmcells.h"

namespace tarn {
class KM_RQList;
class KM_RQListFile;
}  // namespace tarn

namespace tarn::fm {

class FileManagerModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The catalogue identifier of a column (header, Qt::Horizontal).
  static constexpr int ColumnIdRole = Qt::UserRole + 1;
  // The file name of a row (any column).
  static constexpr int FileNameRole = Qt::UserRole + 2;

  explicit FileManagerModel(QObject* parent = nullptr);

  // Load_List: the entries 1..lFilesCount of the list in list order.
  void loadFromList(const KM_RQList& list);
  void setEntries(std::vector<const KM_RQListFile*> entries);
  void setColumns(const QVector<int>& ids);
  void setFormat(const CellFormat& format);

  const QVector<int>& columns() const { return columns_; }
  int columnId(int column) const { return columns_.value(column); }
  const KM_RQListFile* entry(int row) const;
  QString fileName(int row) const;
  int rowOf(const QString& fileName) const;  // -1 when not shown
  // Takes a file's row out of the grid (its file left the data folder); false when not shown.
  bool removeFile(const QString& fileName);

  CellValue value(int row, int column) const;
  QString text(int row, int column) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::vector<const KM_RQListFile*> entries_;
  QVector<int> columns_;
  CellFormat format_;
};

}  // namespace tarn::fm
