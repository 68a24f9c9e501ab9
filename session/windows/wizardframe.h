#pragma once
// What the session's wizard windows share: the grid they list things in, their buttons, and one
// frame (what to choose on the left, the instructions on the right, Cancel at the bottom left and
// the way forward at the bottom right) so that every step reads the same way.
#include <QDialog>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QTableWidget>

namespace tarn {

QPushButton* WizardButton(const QString& text, QWidget* parent);

// A read-only grid of whole rows, one selectable at a time; `stretch` takes the spare width.
QTableWidget* WizardGrid(const QStringList& titles, int stretch, QWidget* parent);
// Fills a grid row by row from cell texts (flags: selectable rows or greyed ones).
void SetGridRow(QTableWidget* grid, int row, const QStringList& cells, bool enabled);
// After filling: every column as wide as its texts plus a margin, the stretch column takes the
// rest; no cell is marked current before the operator picks one.
void FitGridColumns(QTableWidget* grid);

// Lays out the dialog; returns the instructions label.
QLabel* BuildWizardFrame(QDialog* dialog, QWidget* content, const QString& instructions,
                         const QList<QPushButton*>& left, const QList<QPushButton*>& right);

}  // namespace tarn
