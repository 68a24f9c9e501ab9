#include <gtest/gtest.h>

#include "session/windows/frmnotes.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

TEST(NotesDialogs, NotesAreWrittenOnlyOnOK) {
  QString notes = "first";
  {
    frmNotes dlg;
    dlg.SetNotes(&notes);
    EXPECT_EQ(dlg.windowTitle(), "Test Notes");
    EXPECT_EQ(dlg.txtNotes->toPlainText(), "first");
    dlg.txtNotes->setPlainText("changed");
    dlg.cmdCancel->click();
    EXPECT_EQ(notes, "first");
  }
  frmNotes dlg;
  dlg.SetNotes(&notes);
  dlg.txtNotes->setPlainText("");
  dlg.cmdOK->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(notes, "") << "an empty note is a note";
}

TEST(NotesDialogs, RenameRefusesAnEmptyNameAndTrims) {
  ScriptedMessages msgs{MsgResult::OK};
  QString name = "Test 1";
  frmTRename dlg;
  dlg.SetTest(&name);
  EXPECT_EQ(dlg.windowTitle(), "Rename Test");
  dlg.txtName->setText("   ");
  dlg.cmdOK->click();
  EXPECT_EQ(name, "Test 1");
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_EQ(msgs.texts().at(0), "No Test Name has been specified!\n\nPlease enter a name for the test.");
  EXPECT_EQ(msgs.requests().at(0).icon, MsgIcon::Exclamation);
  dlg.txtName->setText("  Romberg ");
  dlg.cmdOK->click();
  EXPECT_EQ(name, "Romberg");
  EXPECT_EQ(dlg.result(), QDialog::Accepted);

  frmTRename none;
  none.SetTest(nullptr);
  EXPECT_FALSE(none.fnDataSave());
}

}  // namespace
}  // namespace tarn
