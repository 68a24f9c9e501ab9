// tarnrq-list [--json] DIR: refreshes the list of data folder DIR as the station does (list files
// and folder index in the common data folder, TARNRQ_HOME honoured) and prints it.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

#include "core/clock.h"
#include "data/lists/listrefresh.h"

namespace {

QString dateText(double days) {
  if (days == tarn::clock::kMissingDate || days <= -36000 || days >= 100000) return QString();
  return tarn::clock::fromDays(days).toString(Qt::ISODate);
}

QJsonObject summary(double date, float value, qint32 cls) {
  return QJsonObject{{"date", dateText(date)}, {"value", static_cast<double>(value)}, {"class", cls}};
}

QJsonObject entryJson(const tarn::KM_RQListFile& e) {
  QJsonObject o{{"file", e.sFileName},
                {"size", e.lFileSize},
                {"firstName", e.sSubjFName},
                {"middleName", e.sSubjMName},
                {"lastName", e.sSubjLName},
                {"id", e.sSubjID},
                {"isMale", e.lIsMale},
                {"dateOfBirth", dateText(e.dtSubjDoB)},
                {"height", e.dSubjHeight},
                {"visits", e.lVisitCount()},
                {"sessions", e.lSessionCount()},
                {"testVisits", e.lSTVisitCount()},
                {"testSessions", e.lSTSessionCount()},
                {"balanceTests", e.lTestBalanceCount()},
                {"visionTests", e.lTestVisionCount()},
                {"bmiTests", e.lTestBMICount()},
                {"created", dateText(e.dtCreationDate())},
                {"lastEdit", dateText(e.dtLastEditDate())},
                {"lastTest", dateText(e.dtLastSTDate())}};
  QJsonArray balance;
  for (qint32 t = 1; t <= 4; ++t) {
    balance.append(QJsonObject{
        {"type", t},
        {"lowest", summary(e.fBLowestDate(t), e.fBLowestStability(t), e.fBLowestStabClass(t))},
        {"highest", summary(e.fBHighestDate(t), e.fBHighestStability(t), e.fBHighestStabClass(t))},
        {"first", summary(e.fBFirstDate(t), e.fBFirstStability(t), e.fBFirstStabClass(t))},
        {"last", summary(e.fBLastDate(t), e.fBLastStability(t), e.fBLastStabClass(t))}});
  }
  o["balance"] = balance;
  o["bmi"] =
      QJsonObject{{"lowest", summary(e.fBMILowestDate(), e.fBMILowestValue(), e.fBMILowestClass())},
                  {"highest", summary(e.fBMIHighestDate(), e.fBMIHighestValue(), e.fBMIHighestClass())},
                  {"first", summary(e.fBMIFirstDate(), e.fBMIFirstValue(), e.fBMIFirstClass())},
                  {"last", summary(e.fBMILastDate(), e.fBMILastValue(), e.fBMILastClass())}};
  QJsonArray vision;
  for (qint32 eye = 1; eye <= 3; ++eye) {
    vision.append(QJsonObject{
        {"eye", eye},
        {"lowest", summary(e.fVLowestDate(eye), e.fVLowestValue(eye), e.fVLowestClass(eye))},
        {"highest", summary(e.fVHighestDate(eye), e.fVHighestValue(eye), e.fVHighestClass(eye))}});
  }
  o["vision"] = vision;
  o["worstStabilityClass"] = e.fBMinLowestStabClass();
  o["lowestStability"] = static_cast<double>(e.fBMinLowestStability());
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("tarnrq-list");
  QCommandLineParser p;
  p.setApplicationDescription("Refreshes and prints the subject file list of a data folder.");
  p.addHelpOption();
  p.addOption({"json", "Print one JSON object instead of text."});
  p.addPositionalArgument("DIR", "The data folder.");
  p.process(app);
  if (p.positionalArguments().size() != 1) {
    std::fprintf(stderr, "tarnrq-list: give exactly one data folder.\n");
    return 1;
  }
  const QString dir = p.positionalArguments().first();
  if (!QFileInfo(dir).isDir()) {
    std::fprintf(stderr, "tarnrq-list: %s is not a folder.\n", qPrintable(dir));
    return 1;
  }

  tarn::ListsRefreshParams params = tarn::ListsRefreshParams::fromSettings();
  params.dataPath = QFileInfo(dir).absoluteFilePath();
  tarn::KM_RQList list;
  const tarn::ListsRefreshResult r = tarn::ListsRefresh(list, params);
  if (!r.ok) {
    std::fprintf(stderr, "tarnrq-list: the list file %s could not be written.\n", qPrintable(r.listFile));
    return 1;
  }

  const QString stats =
      QStringLiteral(
          "Files: %1, with tests: %2, visits: %3 (%4 with tests), sessions: %5 (%6 with tests), "
          "balance tests: %7, vision tests: %8, BMI: %9, reduced balance: %10, reduced vision: "
          "%11, underweight: %12, overweight: %13")
          .arg(list.lFilesCount())
          .arg(list.lSTFilesCount())
          .arg(list.lVisitCount())
          .arg(list.lSTVisitCount())
          .arg(list.lSessionCount())
          .arg(list.lSTSessionCount())
          .arg(list.lSTTestBalanceCount())
          .arg(list.lSTTestVisionCount())
          .arg(list.lSTTestBMICount())
          .arg(list.lSTBadBalanceFilesCount())
          .arg(list.lSTBadVisionFilesCount())
          .arg(list.lSTUnderweightFilesCount())
          .arg(list.lSTOverweightFilesCount());
  if (p.isSet("json")) {
    QJsonArray entries;
    for (qint32 i = 1; i <= list.lFilesCount(); ++i) entries.append(entryJson(*list.lfFile(i)));
    QJsonObject statistics{{"files", list.lFilesCount()},
                           {"filesWithTests", list.lSTFilesCount()},
                           {"visits", list.lVisitCount()},
                           {"sessions", list.lSessionCount()},
                           {"testVisits", list.lSTVisitCount()},
                           {"testSessions", list.lSTSessionCount()},
                           {"balanceTests", list.lSTTestBalanceCount()},
                           {"visionTests", list.lSTTestVisionCount()},
                           {"bmiTests", list.lSTTestBMICount()},
                           {"reducedBalanceFiles", list.lSTBadBalanceFilesCount()},
                           {"reducedVisionFiles", list.lSTBadVisionFilesCount()},
                           {"underweightFiles", list.lSTUnderweightFilesCount()},
                           {"overweightFiles", list.lSTOverweightFilesCount()}};
    const QJsonObject root{{"dataFolder", list.sDataPath()},
                           {"listFile", r.listFile},
                           {"rebuilt", r.rebuilt},
                           {"statistics", statistics},
                           {"entries", entries}};
    std::fwrite(QJsonDocument(root).toJson(QJsonDocument::Indented).constData(), 1,
                static_cast<size_t>(QJsonDocument(root).toJson(QJsonDocument::Indented).size()), stdout);
    return 0;
  }
  std::printf("%s\n", qPrintable(stats));
  for (qint32 i = 1; i <= list.lFilesCount(); ++i) {
    const tarn::KM_RQListFile& e = *list.lfFile(i);
    const QString name = (e.sSubjLName + ", " + e.sSubjFName + ' ' + e.sSubjMName).trimmed();
    std::printf("%-18s %-32s %-12s visits %d sessions %d balance %d bmi %d last test %s worst class %d\n",
                qPrintable(e.sFileName), qPrintable(name), qPrintable(e.sSubjID), e.lVisitCount(),
                e.lSessionCount(), e.lTestBalanceCount(), e.lTestBMICount(),
                qPrintable(dateText(e.dtLastSTDate()).left(10)), e.fBMinLowestStabClass());
  }
  return 0;
}
