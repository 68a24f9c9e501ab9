// The file manager and column chooser windows: the grid from the list, the statistics line, the
// chooser's commands and what its OK keeps, and a command that takes a row away.
#include <gtest/gtest.h>

#include <QHeaderView>

#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "files/fmcolumns.h"
#include "files/fmmodel.h"
#include "files/sibling.h"
#include "files/tests/files_testutil.h"
#include "files/windows/frmfmanager.h"
#include "files/windows/frmfmcolumns.h"
#include "testsupport/scripteddialogs.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using filestest::makeFolder;
using filestest::writeSubject;

QStringList headers(const QAbstractItemModel& m) {
  QStringList h;
  for (int c = 0; c < m.columnCount(); ++c) h << m.headerData(c, Qt::Horizontal).toString();
  return h;
}

struct NoSibling : fm::SiblingProgram {
  bool Connect() override { return false; }
  bool OpenFile(const QString&) override { return false; }
};

struct FileManagerWindow : ::testing::Test {
  void SetUp() override {
    data = makeFolder("Documents");
    writeSubject(data, "a.kpf", "Alpha");
    writeSubject(data, "b.kpf", "Beta");
    writeSubject(data, "c.kpf", "Gamma");
    list = filestest::listOf(data);
    hooks.refreshList = [this] {
      ++refreshes;
      list->Refresh(10.0f, data, ".kpf");
    };
    hooks.sibling = &sibling;
  }
  void TearDown() override { KMX_cShowModal::setScript({}); }
  QString data;
  std::unique_ptr<KM_RQList> list;
  FileManagerHooks hooks;
  NoSibling sibling;
  int refreshes = 0;
};

TEST_F(FileManagerWindow, ShowsEveryListEntryWithTheStatisticsAndAllColumnsAtFirst) {
  frmFManager form(*list, hooks);
  EXPECT_EQ(form.windowTitle(), "KM TARN™ RQ File Manager");
  EXPECT_EQ(form.grid()->rowCount(), 3);
  EXPECT_EQ(form.grid()->columnCount(), fm::kColumnCount);
  EXPECT_TRUE(QFileInfo::exists(fm::ColumnsFilePath()));  // created with the default
  EXPECT_EQ(form.lblStats->text(),
            QStringLiteral("Files: Total=3, RQ=3, Reduced Balance=%1, Reduced Vision=0 - "
                           "Total RQ Tests: Balance=3, Vision=0")
                .arg(list->lSTBadBalanceFilesCount()));
  // Nothing selected: only Import and Done do anything.
  EXPECT_FALSE(form.cmdExport->isEnabled());
  EXPECT_TRUE(form.cmdImport->isEnabled());
  form.selectFiles({"b.kpf"});
  EXPECT_TRUE(form.cmdExport->isEnabled());
  // A header click sorts; the selection follows its file through a reload.
  form.grdFiles->sortByColumn(1, Qt::DescendingOrder);
  form.Load_List();
  EXPECT_EQ(form.selectedFiles(), QStringList{"b.kpf"});
  EXPECT_EQ(form.grid()->index(0, 1).data().toString(), "Gamma, Ann");
}

TEST_F(FileManagerWindow, ColumnChooserKeepsTheChoiceInItsFileAndTheGridFollows) {
  ScriptedMessages messages;
  int shown = 0;
  KMX_cShowModal::setScript([&](QDialog& d) {
    auto& chooser = dynamic_cast<frmFMColumns&>(d);
    ++shown;
    EXPECT_EQ(chooser.windowTitle(), "KM TARN™ RQ - File Manager Columns");
    // Everything out: OK refuses and the window stays.
    chooser.lstSelected->selectAll();
    chooser.cmdRemove_Click();
    EXPECT_EQ(chooser.lstAvailable->count(), fm::kColumnCount);
    chooser.cmdOK_Click();
    EXPECT_EQ(chooser.result(), 0);
    // Height, then the name moved up in front of it, then the ID after them.
    auto pick = [&](int id) {
      chooser.lstAvailable->clearSelection();
      for (int i = 0; i < chooser.lstAvailable->count(); ++i)
        if (chooser.lstAvailable->item(i)->text() == fm::ColumnCaption(id))
          chooser.lstAvailable->item(i)->setSelected(true);
      chooser.cmdAdd_Click();
    };
    pick(5);
    pick(2);
    chooser.cmdUp_Click();
    pick(1);
    chooser.cmdOK_Click();
    return chooser.result();
  });
  frmFManager form(*list, hooks);
  form.ChooseColumns();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(messages.texts(),
            QStringList{"No column is selected!\n\nYou MUST select at least one column to display!"});
  EXPECT_EQ(fm::ReadColumnsList(fm::ColumnsFilePath()), (QVector<int>{2, 5, 1}));
  EXPECT_EQ(headers(*form.grid()), (QStringList{"Subject's Name", "Height", "Subject's ID"}));

  // A new window reads the same choice; Cancel in the chooser keeps it.
  KMX_cShowModal::setScript([](QDialog& d) {
    auto& chooser = dynamic_cast<frmFMColumns&>(d);
    EXPECT_EQ(chooser.chosenColumns(), (QVector<int>{2, 5, 1}));
    EXPECT_EQ(chooser.lstAvailable->count(), fm::kColumnCount - 3);
    chooser.lstSelected->selectAll();
    chooser.cmdRemove_Click();
    return int(QDialog::Rejected);
  });
  frmFManager again(*list, hooks);
  EXPECT_EQ(headers(*again.grid()), (QStringList{"Subject's Name", "Height", "Subject's ID"}));
  again.ChooseColumns();
  EXPECT_EQ(fm::ReadColumnsList(fm::ColumnsFilePath()), (QVector<int>{2, 5, 1}));
}

TEST_F(FileManagerWindow, ExportTakesTheRowAwayAndTheListCatchesUp) {
  ScriptedFileDialogs dialogs;
  ScriptedMessages messages;
  const QString outside = makeFolder("outside");
  frmFManager form(*list, hooks);
  form.selectFiles({"a.kpf", "c.kpf"});
  dialogs.answer(QDir(outside).filePath("a.kpf"));
  dialogs.answer(QDir(outside).filePath("c.kpf"));
  form.cmdExport_Click();
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(list->lFilesCount(), 1);
  ASSERT_EQ(form.grid()->rowCount(), 1);
  EXPECT_EQ(form.grid()->index(0, 0).data(fm::FileManagerModel::FileNameRole).toString(), "b.kpf");

  // Without a list refresh the exported rows stay out of the grid all the same.
  hooks.refreshList = nullptr;
  writeSubject(data, "d.kpf");
  auto list2 = filestest::listOf(data);
  frmFManager form2(*list2, hooks);
  form2.selectFiles({"d.kpf"});
  dialogs.answer(QDir(outside).filePath("d.kpf"));
  form2.cmdExport_Click();
  EXPECT_EQ(list2->lFilesCount(), 2);
  EXPECT_EQ(form2.grid()->rowCount(), 1);

  // Open in S&G with nobody answering keeps the window open and says so.
  messages.answer(MsgResult::OK);
  form2.selectFiles({"b.kpf"});
  form2.cmdOpenInSG_Click();
  EXPECT_EQ(messages.texts().last(), "KM TARN™ RQ could not start or connect to STEADLOG!");
  EXPECT_EQ(form2.result(), 0);
}

}  // namespace
}  // namespace tarn
