// The file commands: import, export, back-up, e-mail and the hand-over to the sibling program,
// each answered through the dialog and message seams.
#include <gtest/gtest.h>

#include "core/mail.h"
#include "core/settingkeys.h"
#include "files/filecommands.h"
#include "files/filessettings.h"
#include "files/sibling.h"
#include "files/tests/files_testutil.h"
#include "testsupport/scripteddialogs.h"
#include "testsupport/scriptedmessages.h"

namespace tarn::fm {
namespace {

using filestest::bytesOf;
using filestest::makeFolder;
using filestest::namesIn;
using filestest::writeBytes;
using filestest::writeSubject;

struct Commands : ::testing::Test {
  void SetUp() override {
    data = makeFolder("Documents/data");
    outside = makeFolder("outside");
    commands = std::make_unique<FileCommands>(DataFolder{data, "kpf"});
  }
  void TearDown() override {
    EXPECT_EQ(dialogs.unexpected(), 0);
    EXPECT_EQ(dialogs.pending(), 0);
    EXPECT_EQ(messages.unexpected(), 0);
    EXPECT_EQ(messages.pending(), 0);
  }
  QString data, outside;
  std::unique_ptr<FileCommands> commands;
  ScriptedFileDialogs dialogs;
  ScriptedMessages messages;
};

TEST_F(Commands, ImportMovesAcceptableFilesInAndNamesClashesSTF) {
  writeSubject(data, "smith.kpf");
  writeSubject(data, "STF000001.kpf");
  const QString a = writeSubject(outside, "smith.kpf", "Second Smith");
  const QString b = writeSubject(outside, "jones.data", "Jones");       // another extension
  const QString c = writeSubject(outside, "Ørsted 'x'.kpf", "Ørsted");  // an unusual name
  const QString foreign = QDir(outside).filePath("letter.kpf");
  ASSERT_TRUE(writeBytes(foreign, "Dear Sir, this is not a subject file."));
  const QByteArray aBytes = bytesOf(a);

  dialogs.answer(QStringList{a, foreign, b, c});
  messages.answer(MsgResult::OK);
  const QStringList imported = commands->Import();
  EXPECT_EQ(imported, (QStringList{"STF000002.kpf", "jones.kpf", "Ørsted 'x'.kpf"}));
  EXPECT_EQ(bytesOf(QDir(data).filePath("STF000002.kpf")), aBytes);
  EXPECT_EQ(namesIn(outside), QStringList{"letter.kpf"});  // the foreign file stays where it was
  EXPECT_EQ(messages.texts(),
            QStringList{"The File\n\n" + foreign + "\n\nis NOT compatible with KM TARN™ RQ!"});
  const FileDialogRequest& r = dialogs.requests().at(0);
  EXPECT_EQ(r.kind, FileDialogKind::OpenMany);
  EXPECT_EQ(r.title, "KM TARN™ RQ - File Import");
  EXPECT_EQ(r.filter, "All Files (*.*)|*.*|TARN™ RQ Data File (*.kpf)|*.kpf");
  EXPECT_EQ(settings::read(settings::LastImportPath), outside);

  // The next import starts where the last one was; cancelling changes nothing.
  dialogs.cancel();
  EXPECT_TRUE(commands->Import().isEmpty());
  EXPECT_EQ(dialogs.requests().at(1).folder, outside);

  // A file of the data folder itself is not imported onto itself under a new name.
  dialogs.answer(QDir(data).filePath("smith.kpf"));
  messages.answer(MsgResult::OK);
  EXPECT_TRUE(commands->Import().isEmpty());
  EXPECT_EQ(namesIn(data).size(), 5);
}

TEST_F(Commands, ImportFromAnotherFileSystem) {
  filestest::SmallFileSystem stick("stick", "size=4m,mode=0700");
  if (!stick.mounted()) GTEST_SKIP() << "no file system can be mounted here";
  const QString a = writeSubject(stick.path(), "doe.kpf");
  const QByteArray bytes = bytesOf(a);
  dialogs.answer(a);
  EXPECT_EQ(commands->Import(), QStringList{"doe.kpf"});
  EXPECT_EQ(bytesOf(QDir(data).filePath("doe.kpf")), bytes);
  EXPECT_TRUE(namesIn(stick.path()).isEmpty());
}

TEST_F(Commands, ExportMovesTheFileOutAndTheNextRefreshDropsItsEntry) {
  writeSubject(data, "a.kpf", "Alpha");
  writeSubject(data, "b.kpf", "Beta");
  writeSubject(data, "c.kpf", "Gamma");
  auto list = filestest::listOf(data);
  ASSERT_EQ(list->lFilesCount(), 3);
  const QByteArray aBytes = bytesOf(QDir(data).filePath("a.kpf"));
  writeBytes(QDir(outside).filePath("b.kpf"), "older b");
  writeBytes(QDir(outside).filePath("c.kpf"), "older c");

  dialogs.answer(QDir(outside).filePath("a"));  // the data extension is added
  dialogs.answer(QDir(outside).filePath("b.kpf"));
  messages.answer(MsgResult::No);  // keep the older b: b stays in the data folder
  dialogs.answer(QDir(outside).filePath("c.kpf"));
  messages.answer(MsgResult::Yes);  // replace the older c
  EXPECT_EQ(commands->Export({"a.kpf", "b.kpf", "c.kpf"}), (QStringList{"a.kpf", "c.kpf"}));
  EXPECT_EQ(namesIn(data), QStringList{"b.kpf"});
  EXPECT_EQ(bytesOf(QDir(outside).filePath("a.kpf")), aBytes);
  EXPECT_EQ(bytesOf(QDir(outside).filePath("b.kpf")), "older b");
  EXPECT_NE(bytesOf(QDir(outside).filePath("c.kpf")), "older c");
  EXPECT_EQ(dialogs.requests().at(0).fileName, "a.kpf");
  EXPECT_EQ(dialogs.requests().at(0).defaultExt, ".kpf");
  EXPECT_EQ(messages.texts().value(0),
            "A file with the same name already exists!\nAre you sure you want to overwrite it?");

  liststest::EventLog events;
  list->setEvents(&events);
  list->Refresh(10.0f, data, ".kpf");
  EXPECT_EQ(list->lFilesCount(), 1);
  EXPECT_EQ(list->lfFile(1)->sFileName, "b.kpf");
  EXPECT_EQ(events.seen.filter("D(").size(), 3);  // three checked, two of them removed

  // Cancel at the question ends the command; the dialog being cancelled ends it too.
  dialogs.answer(QDir(outside).filePath("b.kpf"));
  messages.answer(MsgResult::Cancel);
  EXPECT_TRUE(commands->Export({"b.kpf"}).isEmpty());
  dialogs.cancel();
  EXPECT_TRUE(commands->Export({"b.kpf"}).isEmpty());
  EXPECT_EQ(namesIn(data), QStringList{"b.kpf"});
}

TEST_F(Commands, ExportToAReadOnlyPlaceAsksAgainAndNeverLosesTheFile) {
  writeSubject(data, "a.kpf");
  filestest::ReadOnlyFolder ro("ro");
  if (!ro.ok()) GTEST_SKIP() << "no read-only folder can be made here";
  dialogs.answer(QDir(ro.path()).filePath("a.kpf"));
  messages.answer(MsgResult::OK);
  dialogs.answer(QDir(data).filePath("a.kpf"));  // the same file: nothing to do
  messages.answer(MsgResult::OK);
  EXPECT_TRUE(commands->Export({"a.kpf"}).isEmpty());
  EXPECT_EQ(messages.texts(),
            (QStringList{"The Location you selected to export the file to is Read-Only!\nPlease "
                         "select a different location!",
                         "The File\n\na.kpf\n\nis already in the location you selected!"}));
  EXPECT_EQ(namesIn(data), QStringList{"a.kpf"});
}

TEST_F(Commands, BackUpCopiesAndNeverChangesTheDataFolder) {
  writeSubject(data, "a.kpf");
  writeSubject(data, "b.kpf");
  const QString backup = makeFolder("backup");
  writeBytes(QDir(backup).filePath("b.kpf"), "older b");
  auto folderState = [&] {
    QStringList s;
    for (const QString& n : namesIn(data)) s << n + ":" + bytesOf(QDir(data).filePath(n)).toHex().left(64);
    return s;
  };
  const QStringList before = folderState();
  auto list = filestest::listOf(data);

  struct Case {
    MsgResult answer;
    int copied;
    QByteArray b;
  };
  for (const Case& c : {Case{MsgResult::Cancel, 0, "older b"}, Case{MsgResult::No, 1, "older b"},
                        Case{MsgResult::Yes, 2, bytesOf(QDir(data).filePath("b.kpf"))}}) {
    QFile::remove(QDir(backup).filePath("a.kpf"));
    dialogs.answer(backup);
    messages.answer(c.answer);
    EXPECT_EQ(commands->BackUp({"a.kpf", "b.kpf"}), c.copied);
    EXPECT_EQ(QFileInfo::exists(QDir(backup).filePath("a.kpf")), c.copied > 0);
    EXPECT_EQ(bytesOf(QDir(backup).filePath("b.kpf")), c.b);
    EXPECT_EQ(folderState(), before);
  }
  EXPECT_EQ(
      messages.texts().value(0),
      "The Location you selected for the Back-Up\nalready contains files with the same name\nas the ones you "
      "are backing-up.\nDo you want to replace the existing files?");
  EXPECT_EQ(dialogs.requests().at(0).title, "Select the folder TARN™ RQ will use to back-up the files");
  EXPECT_EQ(dialogs.requests().at(1).folder, backup);  // remembered
  EXPECT_EQ(list->Refresh(10.0f, data, ".kpf"), 0);    // nothing for the list to rebuild

  filestest::ReadOnlyFolder ro("ro");
  if (ro.ok()) {
    dialogs.answer(ro.path());
    messages.answer(MsgResult::OK);
    dialogs.cancel();
    EXPECT_EQ(commands->BackUp({"a.kpf"}), 0);
    EXPECT_EQ(messages.texts().last(),
              "The Location you selected for the Back-Up is Read-Only!\nPlease select a different location!");
  }
}

TEST_F(Commands, EmailHandsEveryFileToTheMailProgram) {
  QList<QStringList> calls;
  const mail::Launcher old = mail::setLauncher([&](const QString& program, const QStringList& args) {
    calls << (QStringList{program} + args);
    return calls.size() < 3;  // the third start fails
  });
  writeSubject(data, "a b.kpf");
  writeSubject(data, "Ø.kpf");
  EXPECT_TRUE(commands->Email({"a b.kpf"}));
  EXPECT_TRUE(commands->Email({"a b.kpf", "Ø.kpf"}));
  const QString d = data + "/";
  EXPECT_EQ(calls.value(0),
            (QStringList{"xdg-email", "--subject", "KM TARN™ RQ Subject's File", "--body",
                         "The KM TARN RQ Subject's File is attached.", "--attach", d + "a b.kpf"}));
  EXPECT_EQ(calls.value(1), (QStringList{"xdg-email", "--subject", "KM TARN™ RQ Subject's Files", "--body",
                                         "The KM TARN RQ Subject's Files are attached.", "--attach",
                                         d + "a b.kpf", "--attach", d + "Ø.kpf"}));
  messages.answer(MsgResult::OK);
  EXPECT_FALSE(commands->Email({"a b.kpf"}));
  EXPECT_EQ(messages.texts(),
            QStringList{"KM TARN™ RQ could not start the e-mail program!\nThe files were not sent."});
  // Without a selection nothing is sent.
  messages.answer(MsgResult::OK);
  EXPECT_FALSE(commands->Email({}));
  EXPECT_EQ(calls.size(), 3);
  mail::setLauncher(old);
}

struct FakeSibling : SiblingProgram {
  bool reachable = true;
  QStringList opened;
  bool Connect() override { return reachable; }
  bool OpenFile(const QString& path) override {
    opened << path;
    return !path.contains("refuse");
  }
};

TEST_F(Commands, OpenInSiblingReportsAnUnreachableProgramAndEachRefusal) {
  FakeSibling sibling;
  FileCommands withSibling(DataFolder{data, ".kpf"}, &sibling);
  sibling.reachable = false;
  messages.answer(MsgResult::OK);
  EXPECT_FALSE(withSibling.OpenInSG({"a.kpf"}));
  EXPECT_TRUE(sibling.opened.isEmpty());
  sibling.reachable = true;
  messages.answer(MsgResult::OK);
  EXPECT_TRUE(withSibling.OpenInSG({"a.kpf", "refuse.kpf"}));
  EXPECT_EQ(sibling.opened, (QStringList{QDir(data).filePath("a.kpf"), QDir(data).filePath("refuse.kpf")}));
  EXPECT_EQ(messages.texts(), (QStringList{"KM TARN™ RQ could not start or connect to STEADLOG!",
                                           "The File\n\n" + QDir(data).filePath("refuse.kpf") +
                                               "\n\ncould not be opened in STEADLOG!"}));
}

}  // namespace
}  // namespace tarn::fm
