#pragma once
// The station's one numbered string table: every text a user sees is looked up here by number.
// Numbers the clinic's documentation fixes keep their values; the others are grouped by subsystem:
//
//   100-999       shared captions (100: the title of every message box)
//   1000-1999     start-up, main window, event log, messages          (core, app)
//   2000-2999     subject data: files, lists, templates               (data)
//   3000-3999     platform, zeroing, static test, CoP display         (balance)
//   4000-4999     test session, subject information, test list        (session)
//   5000-5999     file manager, import, export, data export           (files)
//   6000-6999     options, passwords, template items                  (options)
//   7000-7999     automation                                          (automation)
//   8000-8999     units and pointer                                   (support)
//   9000-9999     reports manager
//   17000-17999   results report window
//   18000-18999   printing window
//   19000-21999   report families 0-2: internal 19000, subject 20000, external 21000 (base + offset)
//
// "\n" inside a text is a line break. Placeholders are Qt's %1, %2, ... filled with QString::arg.
#include <QString>

namespace tarn {

// The text of string number id. An unknown number gives "#id", which the string table test finds
// in any source that asks for one.
QString Str(int id);
bool StrExists(int id);

}  // namespace tarn
