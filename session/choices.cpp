#include "session/choices.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "core/clock.h"
#include "core/eventlog.h"
#include "data/lists/list.h"
#include "data/subjectfile/subjectfile.h"
#include "data/templates/template.h"
#include "session/subjectinfo.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {

QStringList FileChoiceTitles() { return {Str(4106), Str(4107), Str(4108), Str(4109), Str(4110)}; }

std::vector<FileChoiceRow> FileChoiceRows(const KM_RQList& list, bool hideID, bool hideName, int lengthUnit) {
  std::vector<FileChoiceRow> rows;
  rows.reserve(static_cast<size_t>(list.lFilesCount()));
  for (qint32 i = 1; i <= list.lFilesCount(); ++i) {
    const KM_RQListFile* e = list.lfFile(i);
    if (!e) continue;
    FileChoiceRow r;
    r.fileName = e->sFileName;
    r.cells[kFileColID] = hideID ? Str(4111) : e->sSubjID;
    QString name = e->sSubjLName.trimmed() + QStringLiteral(", ") + e->sSubjFName.trimmed();
    if (!e->sSubjMName.trimmed().isEmpty()) name += QLatin1Char(' ') + e->sSubjMName.trimmed();
    r.cells[kFileColName] = hideName ? Str(4111) : name.trimmed();
    r.cells[kFileColGender] = e->lIsMale == kSexMale     ? Str(4112)
                              : e->lIsMale == kSexFemale ? Str(4113)
                                                         : QString();
    r.dobDays = e->dtSubjDoB;
    r.cells[kFileColDoB] =
        e->dtSubjDoB > clock::kMissingDate ? ShortDateText(clock::fromDays(e->dtSubjDoB).date()) : QString();
    r.heightM = e->dSubjHeight;
    r.cells[kFileColHeight] = FormatLength(e->dSubjHeight, lengthUnit, 2);
    rows.push_back(std::move(r));
  }
  return rows;
}

void SortFileChoiceRows(std::vector<FileChoiceRow>& rows, int column, bool ascending) {
  if (column < 0 || column >= kFileCols) return;
  const auto less = [column](const FileChoiceRow& a, const FileChoiceRow& b) {
    if (column == kFileColDoB) return a.dobDays < b.dobDays;
    if (column == kFileColHeight) return a.heightM < b.heightM;
    return a.cells[column].compare(b.cells[column], Qt::CaseInsensitive) < 0;
  };
  if (ascending)
    std::stable_sort(rows.begin(), rows.end(), less);
  else
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const FileChoiceRow& a, const FileChoiceRow& b) { return less(b, a); });
}

QStringList TemplateChoiceTitles() { return {Str(4305), Str(4306), Str(4307), Str(4308)}; }

std::vector<TemplateChoiceRow> TemplateChoiceRows(const QString& folder, const QString& extension) {
  ProcLog log("frmTTemplate", "Fill Grid", folder);
  QString ext = extension.trimmed();
  if (ext.isEmpty()) ext = QStringLiteral(".tef");
  if (!ext.startsWith(QLatin1Char('.'))) ext.prepend(QLatin1Char('.'));
  const QDir dir(folder);
  const QStringList names =
      dir.entryList({QLatin1Char('*') + ext}, QDir::Files, QDir::Name | QDir::IgnoreCase);
  std::vector<TemplateChoiceRow> rows;
  for (const QString& name : names) {
    TemplateChoiceRow r;
    r.path = dir.filePath(name);
    KM_RQTemplate t;
    r.readable = t.Load(r.path);
    r.cells[kTplColNumber] = QString::number(rows.size() + 1);
    if (r.readable) {
      r.cells[kTplColName] = t.sName.trimmed().isEmpty() ? QFileInfo(name).completeBaseName() : t.sName;
      r.cells[kTplColVision] = QString::number(t.lTestCountVision());
      r.cells[kTplColBalance] = QString::number(t.lTestCountBalance());
      r.tests = t.lTestCount();
    } else {
      log.step(QStringLiteral("Cannot be read: ") + name);
      r.cells[kTplColName] = Str(4309).arg(name);
    }
    rows.push_back(std::move(r));
  }
  log.completed();
  return rows;
}

}  // namespace tarn
