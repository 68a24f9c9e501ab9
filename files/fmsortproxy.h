#pragma once
// Sorting of the file manager grid, as a spreadsheet sorts: numbers and dates by value, classes
// by severity, texts alphabetically without regard to case and with digit runs read as numbers
// ("S2" before "S10"); empty cells last in both directions; equal cells keep their order. A click
// on a header sorts ascending, the next click on the same header descending.
//
// The sort keys of the sorted column are built once per sort, not once per comparison, so that
// sorting a large folder stays quick.
#include <QCollatorSortKey>
#include <QSortFilterProxyModel>
#include <optional>
#include <vector>

namespace tarn::fm {

class FileManagerModel;

class FileManagerSortProxy : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit FileManagerSortProxy(QObject* parent = nullptr);
  void setSourceModel(QAbstractItemModel* source) override;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  struct Key {
    bool empty = true;
    double number = 0;
    std::optional<QCollatorSortKey> text;
  };
  void invalidateKeys() { keysColumn_ = -1; }
  void buildKeys(int column) const;

  FileManagerModel* model_ = nullptr;
  mutable std::vector<Key> keys_;
  mutable int keysColumn_ = -1;
};

}  // namespace tarn::fm
