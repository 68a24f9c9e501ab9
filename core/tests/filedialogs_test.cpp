// The file-dialog seam: filters as the station writes them, the default extension of a saved
// name whoever answered, and unattended runs that never pick a file.
#include <gtest/gtest.h>

#include "core/filedialogs.h"
#include "core/folders.h"
#include "testsupport/scripteddialogs.h"

namespace tarn {
namespace {

TEST(FileDialogs, FiltersAreReadInPairs) {
  const QList<FileDialogFilter> f =
      parseFileDialogFilter("All Files (*.*)|*.*|Data (*.kpf)|*.kpf|Two kinds|*.a;*.b|Lonely");
  ASSERT_EQ(f.size(), 4);
  EXPECT_EQ(f[0].patterns, QStringList{"*"});
  EXPECT_EQ(f[1].description, "Data (*.kpf)");
  EXPECT_EQ(f[1].patterns, QStringList{"*.kpf"});
  EXPECT_EQ(f[2].patterns, (QStringList{"*.a", "*.b"}));
  EXPECT_EQ(f[3].patterns, QStringList{"*"});
}

TEST(FileDialogs, SavedNamesGetTheDefaultExtensionAndUnattendedRunsCancel) {
  ScriptedFileDialogs dialogs;
  FileDialogRequest save;
  save.kind = FileDialogKind::Save;
  save.defaultExt = "csv";
  struct Case {
    QStringList answer;
    QStringList expected;
  };
  for (const Case& c : {Case{{"/x/data"}, {"/x/data.csv"}}, Case{{"/x/data.txt"}, {"/x/data.txt"}},
                        Case{{"/x/a", "/x/b"}, {"/x/a.csv"}}, Case{{}, {}}}) {
    dialogs.answer(c.answer);
    EXPECT_EQ(showFileDialog(save), c.expected);
  }
  FileDialogRequest many;
  many.kind = FileDialogKind::OpenMany;
  dialogs.answer(QStringList{"/x/a", "/x/b"});
  EXPECT_EQ(showFileDialog(many), (QStringList{"/x/a", "/x/b"}));

  qputenv("TARNRQ_AUTOANSWER", "1");
  dialogs.answer("/x/never");
  EXPECT_TRUE(showFileDialog(many).isEmpty());
  qputenv("TARNRQ_AUTOANSWER", "0");
  EXPECT_EQ(dialogs.pending(), 1);
  EXPECT_EQ(showFileDialog(many), QStringList{"/x/never"});

  EXPECT_EQ(dialogStartFolder("/no/such/folder"), folders::documentsFolder());
  EXPECT_EQ(dialogStartFolder(folders::tempFolder() + "/"), folders::tempFolder());
}

}  // namespace
}  // namespace tarn
