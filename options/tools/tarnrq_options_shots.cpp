// Pictures of every page of the options window and of its dialogs, for looking at the layout:
//   tarnrq-options-shots <folder> [width height]
// Without a size the window is shown at its smallest size. Prints the smallest size.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "core/settingkeys.h"
#include "options/monitorsize.h"
#include "options/resultrows.h"
#include "options/tools/optionsseed.h"
#include "options/windows/frmpoptions.h"
#include "options/windows/frmpotest.h"
#include "options/windows/frmppassword.h"
#include "options/windows/notedialogs.h"

namespace {
void shoot(QWidget& w, const QString& file) {
  w.show();
  w.raise();
  QApplication::processEvents();
  QApplication::processEvents();
  if (!w.grab().save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarnrq-options-shots <folder> [width height]\n");
    return 2;
  }
  QTemporaryDir home(QDir::tempPath() + "/tarnrq-options-shots-XXXXXX");
  ::setenv("TARNRQ_HOME", home.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());
  const QScreen* screen = QGuiApplication::primaryScreen();
  tarn::optionstools::seedStation(6, 4, screen->geometry().width(), screen->geometry().height());

  tarn::frmPOptions w;
  // The sizes were measured on this display: its identity as the window reads it.
  const tarn::options::DisplayInfo& display = w.model().monitor.displays.at(0);
  tarn::settings::write(tarn::settings::MonitorDevName, display.name);
  tarn::settings::write(tarn::settings::MonitorDevString, display.description);
  w.LoadSettings();
  const QSize smallest = w.minimumSizeHint();
  const QSize size = argc >= 4 ? QSize(std::atoi(argv[2]), std::atoi(argv[3])) : smallest;
  w.resize(size);
  std::printf("smallest size %dx%d, shown at %dx%d\n", smallest.width(), smallest.height(), w.width(),
              w.height());
  const char* const names[] = {"program",  "reports",  "notes", "docs",
                               "monitors", "platform", "tests", "passwords"};
  w.grdTTemplate->selectRow(0);
  w.grdPRCTTemplate->setCurrentCell(27, 0);
  w.grdRReferralForms->setCurrentCell(0, 0);
  for (int p = 0; p < tarn::options::kPageCount; ++p) {
    w.tabs->setCurrentIndex(p);
    shoot(w, out.filePath(QStringLiteral("options-%1-%2.png").arg(p + 1).arg(names[p])));
  }
  w.hide();

  tarn::frmPOTest balance;
  balance.setTestItem(*w.model().tests.templates[0].tpl.tiTestItem(4));
  shoot(balance, out.filePath("item-balance.png"));
  tarn::frmPOTest vision;
  vision.setMinimumDistance(tarn::options::MinimumVisionDistanceFromSettings());
  vision.setTestItem(*w.model().tests.templates[1].tpl.tiTestItem(1));
  shoot(vision, out.filePath("item-vision.png"));
  tarn::frmPOTNTemplate add;
  add.setSelectedSet("Default");
  shoot(add, out.filePath("notes-new-set.png"));
  tarn::frmPOTNotes note;
  note.setNote(
      tarn::options::resultRow(33, tarn::options::RowUse::Notes),
      "Your balance is severely reduced. Please discuss a fall prevention programme with your physician.");
  shoot(note, out.filePath("notes-edit.png"));
  tarn::frmPPassword password;
  shoot(password, out.filePath("password.png"));
  return 0;
}
