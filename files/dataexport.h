#pragma once
// The data export: the grid's header texts and the texts of the chosen rows, exactly as the grid
// shows them, one line per record with the cells separated by one tab, lines ended by CR LF,
// written in UTF-8. A new file starts with the UTF-8 byte-order mark so that spreadsheet programs
// read the letters right without asking.
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemModel;

namespace tarn::fm {

// The header line and one line per row (rows of `grid`, in the order given).
QStringList DataExportLines(const QAbstractItemModel& grid, const QList<int>& rows);

// Writes the lines after what the file holds (append) or as a new file. The file is replaced
// whole or not at all.
bool WriteDataExport(const QString& path, const QStringList& lines, bool append, QString* error = nullptr);

// cmdExportData_Click: asks for the file, checks it, writes the header and the rows. `rows` are
// rows of `grid` in the order they are to be written; true when the file was written.
bool ExportData(const QAbstractItemModel& grid, const QList<int>& rows);

}  // namespace tarn::fm
