#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <deque>
#include <functional>

#include "balance/balancesettings.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "options/monitorsize.h"
#include "options/tests/optionstest.h"
#include "options/windows/frmpoptions.h"
#include "options/windows/frmpotest.h"
#include "options/windows/frmppassword.h"
#include "options/windows/logogate.h"
#include "options/windows/notedialogs.h"
#include "support/strings/strings.h"
#include "testsupport/sandbox.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {
using namespace options;
namespace s = tarn::settings;

// Answers the modal windows in order; a window nobody expected fails the test.
class ModalScript {
 public:
  ModalScript() {
    previous_ = KMX_cShowModal::setScript([this](QDialog& d) {
      if (answers_.empty()) {
        ADD_FAILURE() << "unexpected modal window " << d.objectName().toStdString();
        return int(QDialog::Rejected);
      }
      auto next = std::move(answers_.front());
      answers_.pop_front();
      return next(d);
    });
  }
  ~ModalScript() { KMX_cShowModal::setScript(previous_); }
  void add(std::function<int(QDialog&)> answer) { answers_.push_back(std::move(answer)); }
  size_t pending() const { return answers_.size(); }

 private:
  std::deque<std::function<int(QDialog&)>> answers_;
  KMX_cShowModal::Script previous_;
};

class OptionsWindow : public ::testing::Test {
 protected:
  testing::CheapDigest digest;
  ModalScript modal;
  frmPOptions::Shell previousShell;
  QStringList opened, ran;

  void SetUp() override {
    frmPOptions::Shell fake;
    fake.printers = [] { return QStringList{"Desk Printer", "Lab Printer"}; };
    fake.openDocument = [this](const QString& f) { return opened << f, true; };
    fake.runCommand = [this](const QStringList& c) { return ran << c.join(' '), true; };
    previousShell = frmPOptions::setShell(fake);
    // A station that has its units and screen size.
    s::write(s::UnitsForce, 3);
    s::write(s::UnitsMass, 3);
    s::write(s::UnitsLength, 3);
  }
  void TearDown() override { frmPOptions::setShell(previousShell); }

  std::unique_ptr<frmPOptions> open() {
    auto w = std::make_unique<frmPOptions>();
    w->LoadSettings();
    // Complete monitor sizes and notes, so that OK passes unless a test breaks something.
    w->txtMSize[kWidthMM]->setText("527");
    emit w->txtMSize[kWidthMM]->textEdited("527");
    emit w->txtMSize[kWidthMM]->editingFinished();
    w->txtMSize[kHeightMM]->setText("296");
    emit w->txtMSize[kHeightMM]->textEdited("296");
    emit w->txtMSize[kHeightMM]->editingFinished();
    for (int i = kFirstPrintedNote; i < kResultRows; ++i) w->model().setNote(i, "note");
    return w;
  }
  // Types into a field as the operator does, leaving it afterwards.
  static void type(QLineEdit* e, const QString& text) {
    e->setText(text);
    emit e->textEdited(text);
    emit e->editingFinished();
  }
  static bool closedWithOK(frmPOptions& w) {
    QApplication::processEvents();  // tmrUnload
    return w.result() == QDialog::Accepted && w.saved();
  }
};

TEST_F(OptionsWindow, ControlsShowTheStoreAndOKWritesTheirChanges) {
  s::write(s::HideSubjectFile, -1);
  s::write(s::UnitsMass, 4);
  s::write(s::ReportPaper, 9);
  s::write(s::ReportQuality, -3);
  s::write(s::ZeroMaxNoise, 2048);
  auto w = open();
  EXPECT_EQ(w->windowTitle(), "KM TARN™ RQ Program Options");
  EXPECT_EQ(w->tabs->count(), kPageCount);
  EXPECT_EQ(w->tabs->tabText(5), "Force Platform");
  auto* hideFile = w->findChild<QCheckBox*>("chkPHideSubjFile");
  ASSERT_NE(hideFile, nullptr);
  EXPECT_TRUE(hideFile->isChecked());
  EXPECT_EQ(w->cboUnits[kUnitMass]->currentText(), "g (CGS)");
  EXPECT_TRUE(w->optA4->isChecked());
  EXPECT_TRUE(w->optQuality[2]->isChecked());
  EXPECT_EQ(w->cboPrinter->currentText(), "Desk Printer") << "the default printer when none was chosen";
  EXPECT_EQ(w->cboPrinter->itemText(w->cboPrinter->count() - 1), "PDF File")
      << "a PDF file is always offered";
  EXPECT_EQ(w->txtFPMaxNoise->text(), "2048");
  EXPECT_EQ(w->grdTFile->rowCount(), 1);
  EXPECT_EQ(w->grdTTemplate->rowCount(), 4);
  EXPECT_EQ(w->grdPRCFile->rowCount(), 2);
  EXPECT_EQ(w->grdRReferralForms->rowCount(), 72);
  EXPECT_EQ(w->grdPRCTTemplate->item(40, 3)->text(), "Underweight");

  hideFile->click();
  w->cboUnits[kUnitLength]->setCurrentIndex(1);
  w->fraReportKind[2]->setChecked(true);
  w->chkReportItem[2][4]->click();
  w->cboPrinter->setCurrentIndex(1);
  w->optLetter->click();
  type(w->txtCopies, "2");
  w->chkColor->click();
  type(w->txtFPExcitation, "3.3");
  w->chkFPAllowNoisy->click();
  w->chkTestKind[kEnableVision]->click();
  type(w->txtMSize[kDiagonalIn], "24");
  const DisplayInfo* d = w->model().calibratedDisplay();
  ASSERT_NE(d, nullptr);
  const Sides sides = SidesFromDiagonal(24 * 25.4, d->resHor, d->resVert);
  EXPECT_EQ(w->txtMSize[kWidthMM]->text(), QString::number(qRound(sides.width)))
      << "the sides follow the diagonal";
  ScriptedMessages msgs;
  w->cmdOK->click();
  ASSERT_TRUE(closedWithOK(*w)) << msgs.texts().join("|").toStdString();
  EXPECT_EQ(s::read(s::HideSubjectFile), 0);
  EXPECT_EQ(s::read(s::UnitsLength), 2);
  EXPECT_EQ(s::read(s::ReportExternal), -1);
  EXPECT_EQ(s::read(s::reportPage(s::ReportKind::External, s::ReportPage::Referrals)), 0);
  EXPECT_EQ(s::read(s::ReportPrinter), "Lab Printer");
  EXPECT_EQ(s::read(s::ReportPaper), kPaperLetter);
  EXPECT_EQ(s::read(s::ReportCopies), 2);
  EXPECT_EQ(s::read(s::ReportColor), kColorMonochrome);
  EXPECT_EQ(s::read(s::ZeroExcitation), 3300);
  EXPECT_EQ(s::read(s::ZeroAllowNoisy), 0);
  EXPECT_EQ(s::read(s::EnableVision), 0);
  EXPECT_EQ(s::read(s::MonitorWidthMM), qRound(sides.width));
  EXPECT_EQ(s::read(s::MonitorDiagonalMM), 610);
  EXPECT_TRUE(QFile::exists(QDir(folders::userDataFolder()).filePath("KMTARNRQ.tef")));
}

TEST_F(OptionsWindow, CancelLeavesTheStoreAndTheFolders) {
  s::write(s::FullScreen, 0);
  const QStringList store = testing::storeDump();
  auto w = open();
  w->chkProgram[0]->click();
  type(w->txtFPMaxAge, "900");
  w->cmdTFileAdd->click();
  w->cmdTTInsBalance->click();
  type(w->txtPWANew, "pw");
  type(w->txtPWAConfirm, "pw");
  w->cmdPWAChange->click();
  w->cmdCancel->click();
  EXPECT_EQ(w->result(), QDialog::Rejected);
  EXPECT_FALSE(w->saved());
  EXPECT_EQ(testing::storeDump(), store);
  EXPECT_TRUE(testing::folderSnapshot(folders::userDataFolder()).isEmpty());
}

TEST_F(OptionsWindow, ARefusedCheckKeepsTheWindowOpenOnItsPage) {
  auto w = open();
  w->showPage(Page::Program);
  type(w->txtFPMaxAge, "59");
  ScriptedMessages msgs;
  w->cmdOK->click();
  QApplication::processEvents();
  EXPECT_NE(w->result(), QDialog::Accepted);
  EXPECT_EQ(w->currentPage(), Page::ForcePlatform);
  EXPECT_EQ(msgs.texts(), QStringList{"The Zero Max Age MUST be at least 60 s!"});
  w->cmdFPDefaults->click();
  EXPECT_EQ(w->txtFPMaxAge->text(), "600");
  EXPECT_EQ(w->txtFPExcitation->text(), "2.500");
  w->cmdOK->click();
  EXPECT_TRUE(closedWithOK(*w));
  EXPECT_EQ(s::read(s::ZeroMaxAge), 600);
}

TEST_F(OptionsWindow, UnreadableSizeIsRefusedWhereItWasTyped) {
  auto w = open();
  ScriptedMessages msgs;
  type(w->txtMSize[kHeightIn], "ten");
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_TRUE(msgs.texts().at(0).startsWith("\"Vertical size of the Image (in):\" cannot be read"));
  EXPECT_EQ(w->txtMSize[kHeightMM]->text(), "296") << "the twin keeps its value";
  w->showPage(Page::Tests);
  w->cmdOK->click();  // still not readable: back to the monitors
  EXPECT_EQ(w->currentPage(), Page::Monitors);
  EXPECT_EQ(msgs.requests().size(), 2);
}

TEST_F(OptionsWindow, TheSubjectDisplayCannotBeDisplayOne) {
  auto w = open();
  ScriptedMessages msgs;
  frmPOptions::Shell fake = frmPOptions::setShell({});
  QStringList offered;
  frmPOptions::Shell chooser = fake;
  chooser.chooseDisplay = [&](QWidget*, const QStringList& entries, int) {
    offered = entries;
    return 1;
  };
  frmPOptions::setShell(chooser);
  w->cmdSubjectMonitor->click();
  frmPOptions::setShell(fake);
  ASSERT_FALSE(offered.isEmpty());
  EXPECT_TRUE(offered.first().startsWith("Display 1: "));
  EXPECT_EQ(msgs.texts(), QStringList{"For Subject's Use Select Any Display but 1 "});
  EXPECT_EQ(w->lblMDisplayName->text(), "Not Selected");
  EXPECT_FALSE(w->chkMSeparate->isChecked());
  EXPECT_FALSE(w->lblMCalName->text().isEmpty()) << "the primary display is calibrated";
  EXPECT_FALSE(w->lblMResolution->text().isEmpty());
}

TEST_F(OptionsWindow, TemplateCommandsEditTheSelectedTemplate) {
  auto w = open();
  w->cmdTFileAdd->click();
  EXPECT_EQ(w->grdTFile->rowCount(), 2);
  EXPECT_EQ(w->txtTTName->text(), "KMTARNRQ1");
  type(w->txtTTName, "Falls Clinic");
  EXPECT_EQ(w->grdTFile->item(1, 1)->text(), "Falls Clinic");
  w->cmdTTInsBalance->click();
  w->cmdTTInsVision->click();  // before the selected balance test
  ASSERT_EQ(w->grdTTemplate->rowCount(), 2);
  EXPECT_EQ(w->grdTTemplate->item(0, 1)->text(), "Vision");
  EXPECT_EQ(w->grdTTemplate->item(1, 2)->text(), "Foam Eyes Closed");
  EXPECT_EQ(w->grdTFile->item(1, 2)->text(), "1");
  w->cmdTTDown->click();
  EXPECT_EQ(w->grdTTemplate->item(1, 1)->text(), "Vision");
  EXPECT_FALSE(w->cmdTTDown->isEnabled()) << "the last row cannot move down";
  w->grdTTemplate->selectRow(0);
  modal.add([](QDialog& d) {
    auto& t = dynamic_cast<frmPOTest&>(d);
    EXPECT_EQ(t.windowTitle(), "Test Setup");
    EXPECT_FALSE(t.fraBalance->isHidden());
    EXPECT_TRUE(t.fraVision->isHidden());
    EXPECT_EQ(t.txtFrequency->text(), "64");
    t.txtDuration->setText("30");
    t.txtName->setText("Foam EC 30 s");
    t.cmdOK->click();
    return t.result();
  });
  w->cmdTTEdit->click();
  EXPECT_EQ(w->grdTTemplate->item(0, 2)->text(), "Foam EC 30 s");
  w->grdTTemplate->selectRow(1);
  w->cmdTTRemove->click();
  EXPECT_EQ(w->grdTTemplate->rowCount(), 1);
  ScriptedMessages msgs;
  w->cmdOK->click();
  ASSERT_TRUE(closedWithOK(*w)) << msgs.texts().join("|").toStdString();
  KM_RQTemplate saved;
  ASSERT_TRUE(saved.Load(QDir(folders::userDataFolder()).filePath("KMTARNRQ1.tef")));
  EXPECT_EQ(saved.sName, "Falls Clinic");
  ASSERT_EQ(saved.lTestCount(), 1);
  EXPECT_EQ(saved.tiTestItem(1)->sName, "Foam EC 30 s");
  EXPECT_EQ(saved.tiTestItem(1)->durationSeconds(), 30.0);
  EXPECT_EQ(s::read(s::TemplateFile), "KMTARNRQ1.tef");
}

TEST_F(OptionsWindow, DeletingATemplateAsksAndHappensAtOK) {
  {
    ScriptedMessages msgs;
    auto first = open();
    first->cmdOK->click();
    ASSERT_TRUE(closedWithOK(*first));
  }
  const QString file = QDir(folders::userDataFolder()).filePath("KMTARNRQ.tef");
  auto w = open();
  ScriptedMessages msgs{MsgResult::No, MsgResult::Yes, MsgResult::OK};
  w->cmdTFileDelete->click();
  EXPECT_EQ(w->grdTFile->rowCount(), 1) << "answered No";
  w->cmdTFileDelete->click();
  EXPECT_EQ(w->grdTFile->rowCount(), 0);
  EXPECT_TRUE(QFile::exists(file)) << "not before OK";
  EXPECT_EQ(msgs.texts().at(0), Str(6260).arg("KMTARNRQ"));
  w->cmdOK->click();  // "No Test Template is selected": accepted
  ASSERT_TRUE(closedWithOK(*w));
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(msgs.texts().last(), Str(6315));
}

TEST_F(OptionsWindow, NoteSetsAreAddedFromAPreparedSetAndEditedNoteByNote) {
  auto w = open();
  modal.add([](QDialog& d) {
    auto& t = dynamic_cast<frmPOTNTemplate&>(d);
    EXPECT_EQ(t.lstSource->count(), 8) << "seven prepared sets and a copy of the selected one";
    EXPECT_EQ(t.lstSource->item(0)->text(), "Empty");
    EXPECT_EQ(t.name(), "Default Notes (Generic)");
    t.lstSource->setCurrentRow(7);
    EXPECT_EQ(t.name(), "Default");
    t.txtName->setText("Ward 3");
    t.cmdOK->click();
    return t.result();
  });
  w->cmdPRCFileAdd->click();
  ASSERT_EQ(w->grdPRCFile->rowCount(), 3);
  EXPECT_EQ(w->txtPRCTName->text(), "Ward 3");
  EXPECT_EQ(w->grdPRCTTemplate->item(30, 4)->text(), "Defined") << "copied from the selected set";
  w->grdPRCTTemplate->setCurrentCell(30, 0);
  modal.add([](QDialog& d) {
    auto& n = dynamic_cast<frmPOTNotes&>(d);
    EXPECT_EQ(n.lblRow->text(), "Subject's - Adult - Balance - Normal");
    EXPECT_EQ(n.txtNote->toPlainText(), "note");
    n.txtNote->setPlainText("");
    n.cmdOK->click();
    return n.result();
  });
  w->cmdPRCTEdit->click();
  EXPECT_EQ(w->grdPRCTTemplate->item(30, 4)->text(), "Not Defined");
  EXPECT_EQ(w->grdPRCTTemplate->item(0, 4)->text(), "Not printed");
  ScriptedMessages msgs{MsgResult::OK};
  w->cmdOK->click();
  ASSERT_TRUE(closedWithOK(*w));
  EXPECT_EQ(msgs.texts(), QStringList{Str(6313)});
  KM_RQTComments saved;
  ASSERT_TRUE(saved.Load(QDir(folders::userDataFolder()).filePath(s::read(s::CommentsFile))));
  EXPECT_EQ(saved.sName, "Ward 3");
  EXPECT_EQ(saved.sComment(30), "-");
  EXPECT_EQ(saved.sComment(31), "note");
}

TEST_F(OptionsWindow, AdditionalDocumentsAreBrowsedOpenedAndPrinted) {
  const QString docs = testsupport::sandboxFolder() + "/forms";
  QDir().mkpath(docs);
  QFile f(docs + "/intro.pdf");
  f.open(QIODevice::WriteOnly);
  f.write("%PDF");
  f.close();
  s::write(s::ReferralLastPath, docs);
  SettingWriteString(Hive::ClassesRoot, ".pdf", QString(), "Clinic.Document");
  SettingWriteString(Hive::ClassesRoot, "Clinic.Document\\shell\\print\\command", QString(),
                     "printpdf \"%1\"");
  auto w = open();
  frmPOptions::Shell fake = frmPOptions::setShell({});
  frmPOptions::Shell files = fake;
  QString title, start;
  files.chooseFile = [&](QWidget*, const QString& t, const QString& st, const QString&) {
    title = t;
    start = st;
    return docs + "/intro.pdf";
  };
  frmPOptions::setShell(files);
  w->grdRReferralForms->setCurrentCell(24, 0);
  EXPECT_FALSE(w->cmdRPrint->isEnabled()) << "nothing chosen yet";
  w->cmdRBrowse->click();
  EXPECT_EQ(title, "Kamrith Labs TARN™ RQ - Select Additional Document");
  EXPECT_EQ(start, docs);
  EXPECT_EQ(w->lblRCurrentFile->text(), docs + "/intro.pdf");
  w->cmdROpen->click();
  w->cmdRPrint->click();
  EXPECT_EQ(opened, QStringList{docs + "/intro.pdf"});
  EXPECT_EQ(ran, QStringList{"printpdf " + docs + "/intro.pdf"});
  ScriptedMessages msgs;
  w->cmdOK->click();
  ASSERT_TRUE(closedWithOK(*w));
  frmPOptions::setShell(fake);
  EXPECT_EQ(s::read(s::referralDoc(s::ReportKind::Subject, 0)), docs + "/intro.pdf");
  EXPECT_EQ(s::read(s::ReferralLastPath), docs);
}

TEST_F(OptionsWindow, PasswordFieldsFollowTheChangeRules) {
  auto w = open();
  ScriptedMessages msgs;
  type(w->txtPWONew, "op");
  type(w->txtPWOConfirm, "op");
  w->cmdPWOChange->click();
  EXPECT_EQ(msgs.texts().value(0), Str(6286));
  EXPECT_EQ(w->txtPWONew->text(), "op") << "refused: nothing changes";
  type(w->txtPWANew, "admin");
  type(w->txtPWAConfirm, "admni");
  w->cmdPWAChange->click();
  EXPECT_EQ(msgs.texts().value(1), Str(6285));
  EXPECT_TRUE(w->txtPWANew->text().isEmpty() && w->txtPWAConfirm->text().isEmpty());
  type(w->txtPWANew, "admin");
  type(w->txtPWAConfirm, "admin");
  w->cmdPWAChange->click();
  EXPECT_EQ(w->lblPWAStatus->text(), Str(6292));
  w->cmdPWOChange->click();
  EXPECT_EQ(w->lblPWOStatus->text(), Str(6292));
  EXPECT_EQ(msgs.requests().size(), 2);
  w->cmdOK->click();
  ASSERT_TRUE(closedWithOK(*w));
  EXPECT_EQ(s::read(s::Key1), AccessDigest("admin"));
  EXPECT_EQ(s::read(s::Key2), AccessDigest("op"));
}

TEST_F(OptionsWindow, ShowOptionsWindowTellsWhetherSettingsWereSaved) {
  modal.add([](QDialog& d) {
    EXPECT_EQ(d.objectName(), "frmPOptions");
    EXPECT_EQ(frmPOptions::openWindow(), &d);
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(ShowOptionsWindow(nullptr));
  s::write(s::MonitorWidthMM, 527);
  s::write(s::MonitorHeightMM, 296);
  modal.add([](QDialog& d) {
    auto& w = dynamic_cast<frmPOptions&>(d);
    // The stored sizes belong to the display only when its identity matches: enter them again.
    type(w.txtMSize[kWidthMM], "527");
    type(w.txtMSize[kHeightMM], "296");
    ScriptedMessages msgs{MsgResult::OK};
    w.cmdOK->click();
    QApplication::processEvents();
    return w.result();
  });
  EXPECT_TRUE(ShowOptionsWindow(nullptr));
}

// ------------------------------------------------------------------ template item dialog

TEST(TemplateItemDialog, ARefusedValueKeepsTheDialogOpenOnItsField) {
  ScriptedMessages msgs;
  frmPOTest dlg;
  dlg.show();
  dlg.setTestItem(KM_RQTemplateItem::balanceFromDefaults("Firm EO", kSurfacePlate, kEyesOpen));
  dlg.txtFrequency->setText("990");
  dlg.cmdOK->click();
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(msgs.texts(), QStringList{"The Acquisition Frequency MUST be > 10 Hz and < 990 Hz!"});
  EXPECT_EQ(dlg.focusWidget(), dlg.txtFrequency);
  EXPECT_EQ(dlg.testItem().frequencyHz(), 64.0) << "the item is unchanged";
  dlg.txtFrequency->setText("989");
  dlg.cmdOK->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.testItem().frequencyHz(), 989.0);
}

TEST(TemplateItemDialog, VisionItemShowsTheMinimumDistanceInTheStationsUnit) {
  KM_RQTemplateItem v;
  v.lLong[0] = KM_RQTemplateItem::kVision;
  v.sName = "Acuity";
  v.setEye(3);
  v.setDistance(3.0);
  v.setTestsPerSize(5);
  v.setCorrectAnswers(3);
  frmPOTest dlg;
  dlg.setLengthUnit(4);  // centimetres
  dlg.setMinimumDistance(1.8827);
  dlg.setTestItem(v);
  EXPECT_TRUE(dlg.fraBalance->isHidden());
  EXPECT_EQ(dlg.lblDistance->text(), "Test Distance (Min. 188 cm):");
  EXPECT_EQ(dlg.txtDistance->text(), "300 cm");
  EXPECT_EQ(dlg.cboEye->currentText(), "Both");
  ScriptedMessages msgs;
  dlg.txtDistance->setText("180");
  EXPECT_FALSE(dlg.fnDataSave());
  EXPECT_EQ(msgs.texts(), QStringList{"The Test Distance MUST be greater then the Minimum Allowed!"});
  dlg.txtDistance->setText("250");
  EXPECT_TRUE(dlg.fnDataSave());
  EXPECT_DOUBLE_EQ(dlg.testItem().distance(), 2.5);
}

// ------------------------------------------------------------------ logo gate

TEST(LogoGateWindow, PromptsGrantsAndLocksAfterTheThirdWrongPassword) {
  testing::CheapDigest digest;
  ModalScript modal;
  s::write(s::Key1, AccessDigest("admin pw"));
  s::write(s::Key2, AccessDigest("op pw"));
  auto enter = [&](const QString& text) {
    modal.add([text](QDialog& d) {
      auto& p = dynamic_cast<frmPPassword&>(d);
      EXPECT_TRUE(p.txtPassword->text().isEmpty());
      EXPECT_EQ(p.txtPassword->echoMode(), QLineEdit::Password);
      p.txtPassword->setText(text);
      return int(QDialog::Accepted);
    });
  };
  QWidget main;
  main.show();
  LogoGate gate;
  std::vector<int> waits;
  bool hiddenDuringLock = false;
  gate.setLockWait([&](int ms) {
    waits.push_back(ms);
    hiddenDuringLock = !main.isVisible();
  });
  ProcLog log("frmPMain", "imgKMXLogo_Click");
  ScriptedMessages msgs;
  enter("op pw");
  EXPECT_EQ(gate.askPassword(&main, log), AccessLevel::Operator);
  enter("a");
  EXPECT_EQ(gate.askPassword(&main, log), AccessLevel::None);
  modal.add([](QDialog&) { return int(QDialog::Rejected); });
  EXPECT_EQ(gate.askPassword(&main, log), AccessLevel::None);  // cancelled: not counted
  enter("b");
  gate.askPassword(&main, log);
  EXPECT_TRUE(waits.empty());
  enter("c");
  gate.askPassword(&main, log);
  EXPECT_EQ(waits, std::vector<int>{60000});
  EXPECT_TRUE(hiddenDuringLock);
  EXPECT_TRUE(main.isVisible());
  EXPECT_EQ(msgs.texts(), QStringList({"Invalid Password!", "Invalid Password!",
                                       "Invalid Password!\nThe program will be locked for 1 minute!"}));
  enter("admin pw");
  EXPECT_EQ(gate.askPassword(&main, log), AccessLevel::Administrator);
  EXPECT_EQ(gate.gate().failures(), 0);
}

}  // namespace
}  // namespace tarn
