// tarnrq-files [options] DIR: the file manager on data folder DIR (its list refreshed first).
//   --columns 2,1,5   the column choice to write first (else the stored one)
//   --sort N[:desc]   sort by grid column N (0-based) before showing
//   --select N        select the first N rows
//   --size WxH        window size in pixels
//   --shot FILE.png   grab the window into FILE.png and quit instead of showing it
//   --chooser FILE.png  grab the column chooser (over the current choice) as well
#include <QApplication>
#include <QCommandLineParser>
#include <QHeaderView>
#include <QTimer>
#include <cstdio>

#include "core/settingkeys.h"
#include "core/windows/filedialogpresenter.h"
#include "core/windows/messagepresenter.h"
#include "data/lists/list.h"
#include "files/fmcolumns.h"
#include "files/fmmodel.h"
#include "files/windows/frmfmanager.h"
#include "files/windows/frmfmcolumns.h"

namespace {
int fail(const QString& text) {
  std::fprintf(stderr, "tarnrq-files: %s\n", qPrintable(text));
  return 1;
}

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("tarnrq-files");
  QCommandLineParser p;
  p.setApplicationDescription("Shows the file manager on a data folder.");
  p.addHelpOption();
  p.addPositionalArgument("DIR", "Data folder.");
  p.addOption({"columns", "Column choice to store first, e.g. 2,1,5.", "IDS"});
  p.addOption({"sort", "Grid column to sort by, optionally :desc.", "N"});
  p.addOption({"select", "Rows to select from the top.", "N"});
  p.addOption({"size", "Window size WxH in pixels.", "WxH"});
  p.addOption({"shot", "Grab the window into this PNG and quit.", "FILE"});
  p.addOption({"chooser", "Grab the column chooser into this PNG too.", "FILE"});
  p.process(app);
  if (p.positionalArguments().size() != 1) return fail("give one data folder.");
  const QString folder = p.positionalArguments().first();

  if (p.isSet("columns")) {
    QVector<int> ids;
    for (const QString& s : p.value("columns").split(',', Qt::SkipEmptyParts)) ids << s.trimmed().toInt();
    if (!tarn::fm::WriteColumnsList(tarn::fm::ColumnsFilePath(), ids))
      return fail("cannot write the column file.");
  }
  tarn::KM_RQList list;
  if (list.Refresh(10.0f, folder, tarn::settings::read(tarn::settings::DefaultExt)) < 0)
    return fail("no such data folder: " + folder);
  tarn::installWidgetMessagePresenter();
  tarn::installWidgetFileDialogPresenter();

  tarn::FileManagerHooks hooks;
  hooks.refreshList = [&] { list.Refresh(10.0f, folder, tarn::settings::read(tarn::settings::DefaultExt)); };
  tarn::frmFManager form(list, hooks);
  if (p.isSet("size")) {
    const QStringList wh = p.value("size").split('x');
    form.resize(wh.value(0).toInt(), wh.value(1).toInt());
  }
  if (p.isSet("sort")) {
    const QStringList s = p.value("sort").split(':');
    form.grdFiles->sortByColumn(
        s.value(0).toInt(), s.value(1) == QLatin1String("desc") ? Qt::DescendingOrder : Qt::AscendingOrder);
  }
  if (p.isSet("select")) {
    QStringList names;
    for (int r = 0; r < p.value("select").toInt() && r < form.grid()->rowCount(); ++r)
      names << form.grid()->index(r, 0).data(tarn::fm::FileManagerModel::FileNameRole).toString();
    form.selectFiles(names);
  }
  if (!p.isSet("shot")) return form.exec() >= 0 ? 0 : 1;

  form.show();
  settle();
  if (!form.grab().save(p.value("shot"))) return fail("cannot write " + p.value("shot"));
  if (p.isSet("chooser")) {
    tarn::frmFMColumns chooser(form.model()->columns(), &form);
    chooser.lstAvailable->setCurrentRow(0);
    chooser.show();
    settle();
    if (!chooser.grab().save(p.value("chooser"))) return fail("cannot write " + p.value("chooser"));
  }
  std::printf("%d rows, %d columns\n", form.grid()->rowCount(), form.grid()->columnCount());
  return 0;
}
