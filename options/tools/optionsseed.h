#pragma once
// A station set up the way a clinic would have it, for the options tools: units, monitor sizes,
// additional documents, and as many templates and note sets as asked for. Everything is written
// below TARNRQ_HOME, which the caller points at a folder of its own.
#include <QDir>
#include <QString>

#include "core/folders.h"
#include "core/settingkeys.h"
#include "data/templates/comments.h"
#include "data/templates/template.h"
#include "support/strings/strings.h"

namespace tarn::optionstools {

inline void seedStation(int templates, int noteSets, int resHor, int resVert) {
  namespace s = tarn::settings;
  s::write(s::UnitsForce, 3);
  s::write(s::UnitsMass, 3);
  s::write(s::UnitsLength, 3);
  s::write(s::ReportPrinter, "Front Desk Laser");
  s::write(s::MonitorDevName, "Display 1");
  s::write(s::MonitorResHor, resHor);
  s::write(s::MonitorResVert, resVert);
  s::write(s::MonitorWidthMM, 527);
  s::write(s::MonitorHeightMM, 296);
  s::write(s::MonitorDiagonalMM, 605);
  s::write(s::referralDoc(1), QDir(folders::documentsFolder()).filePath("Forms/Adult introduction.pdf"));
  s::write(s::referralDoc(33),
           QDir(folders::documentsFolder()).filePath("Forms/Severely reduced stability.pdf"));
  const QString folder = folders::userDataFolder();
  folders::ensureFolder(folder);
  for (int i = 0; i < templates; ++i) {
    KM_RQTemplate t = MakeDefaultTestTemplate();
    t.sName = i == 0 ? QStringLiteral("Standard Balance") : QStringLiteral("Clinic Template %1").arg(i);
    if (i % 3 == 1) {
      KM_RQTemplateItem* v = t.AddTest(KM_RQTemplateItem::kVision, 1);
      v->sName = QStringLiteral("Visual Acuity");
      v->setEye(3);
      v->setDistance(3.0);
      v->setTestsPerSize(5);
      v->setCorrectAnswers(3);
    }
    t.Save(QDir(folder).filePath(i == 0 ? QStringLiteral("KMTARNRQ.tef")
                                        : QStringLiteral("KMTARNRQ%1.tef").arg(i)));
  }
  const StringLookup text = [](int id) { return StrExists(id) ? Str(id) : QString(); };
  for (int i = 0; i < noteSets; ++i) {
    KM_RQTComments c = MakeDefaultComments(i % kDefaultCommentSets, text);
    c.sName = i == 0 ? QStringLiteral("Default") : QStringLiteral("Note Set %1").arg(i);
    for (int n = KM_RQTComments::kBlockSize; n <= KM_RQTComments::kDefaultCount; n += 3)
      c.setComment(n, QStringLiteral("Please discuss these results with your physician (note %1).").arg(n));
    c.Save(QDir(folder).filePath(i == 0 ? QStringLiteral("KMTARNRQ.cof")
                                        : QStringLiteral("KMTARNRQ%1.cof").arg(i)));
  }
}

}  // namespace tarn::optionstools
