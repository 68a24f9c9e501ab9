// tarnrq-demo-data --files N --out DIR [--seed S]: a folder of demonstration subject files
// recorded on the simulated platform, plus the default test and comment templates.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "core/settingkeys.h"
#include "data/templates/comments.h"
#include "data/templates/template.h"
#include "data/tools/demodata.h"
#include "support/strings/strings.h"

namespace {
int fail(const QString& text) {
  std::fprintf(stderr, "tarnrq-demo-data: %s\n", qPrintable(text));
  return 1;
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("tarnrq-demo-data");
  QCommandLineParser p;
  p.setApplicationDescription("Writes demonstration subject files recorded on the simulated platform.");
  p.addHelpOption();
  p.addOption({"files", "Number of subject files to write (1 to 100000).", "N"});
  p.addOption({"out", "Folder for the subject files (created when missing).", "DIR"});
  p.addOption({"seed", "Seed of the random subjects and recordings (default 1).", "S", "1"});
  p.process(app);

  bool ok = false;
  const int files = p.value("files").toInt(&ok);
  if (!p.isSet("files") || !ok || files < 1 || files > 100000)
    return fail("--files needs a whole number from 1 to 100000.");
  const QString out = p.value("out").trimmed();
  if (out.isEmpty()) return fail("--out needs a folder.");
  const quint64 seed = p.value("seed").toULongLong(&ok);
  if (!ok) return fail("--seed needs a whole number.");

  tarn::demodata::Options o;
  o.files = files;
  o.seed = seed;
  auto recorder = tarn::demodata::makePlateRecorder(seed);
  QString error;
  const int written = tarn::demodata::writeDemoFolder(out, o, *recorder, &error);
  if (written < files) return fail(QStringLiteral("stopped after %1 files: %2").arg(written).arg(error));

  // The templates go where the settings say the station looks for them.
  const QString templateDir = tarn::settings::read(tarn::settings::TemplatePath);
  const QString templateFile = QDir(templateDir).filePath(tarn::settings::read(tarn::settings::TemplateFile));
  QDir().mkpath(templateDir);
  if (!QFileInfo::exists(templateFile) && !tarn::CreateDefaultTestTemplate(templateFile))
    return fail("cannot write the test template " + templateFile);
  const QString commentsDir = tarn::settings::read(tarn::settings::CommentsPath);
  const QString commentsFile = QDir(commentsDir).filePath(tarn::settings::read(tarn::settings::CommentsFile));
  QDir().mkpath(commentsDir);
  if (!QFileInfo::exists(commentsFile)) {
    // The generic notes, so that printed reports show the paragraphs a clinic would start from.
    tarn::KM_RQTComments c = tarn::MakeDefaultComments(1, [](int id) { return tarn::Str(id); });
    c.sName = tarn::settings::read(tarn::settings::CommentsName);
    if (!c.Save(commentsFile)) return fail("cannot write the comment template " + commentsFile);
  }
  std::printf("%d subject files written to %s\ntest template: %s\ncomment template: %s\n", written,
              qPrintable(QDir(out).absolutePath()), qPrintable(templateFile), qPrintable(commentsFile));
  return 0;
}
