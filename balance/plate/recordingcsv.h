#pragma once
// A recorded test as a CSV file: a header row naming the columns, then one sample per row. The
// replay platform plays such files and tarnrq-analyse analyses them; both read them here, so
// both accept and refuse the same files.
#include <QString>

#include <vector>

namespace tarn {

enum class RecordingLayout {
  Auto,          // told by the header names
  FzM1M2,        // Fz, M1, M2
  FxFyFzMxMyMz,  // six-component plate: M1 = Mx, M2 = My
};

struct RecordingCsvOptions {
  RecordingLayout layout = RecordingLayout::Auto;
  bool positiveFz = false;  // the file's loaded Fz is positive: Fz and both moments are negated
};

// The samples in the plate's channels and sign convention (a loaded plate reads negative Fz).
struct RecordingCsv {
  RecordingLayout layout = RecordingLayout::Auto;  // the layout the columns were read as
  std::vector<float> fz, m1, m2;
};

// Reads a recording. The separator is the header's comma, else its semicolon, else its tab.
// Column names are compared without case, quotes and units (anything from the first "_", " ",
// "(" or "[" on).
//  - With a layout given, the header must name exactly its columns in order (Mx and My may be
//    called M1 and M2 and the other way round).
//  - Auto finds Fz, M1 and M2 (or Mx and My) by name in any order; Fx, Fy and Mz may be there
//    too, and one time or sample-number column ("time", "t", "sample") is skipped. Any other
//    column is refused: a column that might be read as the wrong channel is no recording.
// Every row must have as many cells as the header, and every value the plate needs must be a
// finite number that a single-precision sample can hold. Blank lines are skipped.
//
// False with a one-line message for the operator, and `out` untouched, when the file cannot be
// used; the message names the file by its name only and never repeats control characters from
// it.
bool ReadRecordingCsv(const QString& path, const RecordingCsvOptions& options, RecordingCsv& out,
                      QString& error);

// The columns of a layout as the messages name them ("Fz,M1,M2").
QString RecordingLayoutColumns(RecordingLayout layout);

// Text from a file made fit to quote in a message: control and formatting characters become
// "?", and more than `maxChars` characters end in "...".
QString PrintableExcerpt(const QString& text, int maxChars = 40);

}  // namespace tarn
