#include "data/templates/template.h"

#include <cmath>

#include "balance/procedures/plausibility.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "data/datasettings.h"
#include "data/templates/taggedio.h"

namespace tarn {
namespace {

constexpr qint32 kFileVersion = 1;
constexpr qint32 kItemVersion = 1;
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
// Smallest item on disk: version Long, empty name, ten Longs and five Doubles, all tagged.
constexpr qint64 kMinItemBytes = 6 + 4 + 10 * 6 + 5 * 10;

// Empty when the item holds values a test can have, else the first that it cannot.
QString implausibleValue(const KM_RQTemplateItem& item) {
  using plausible::Code;
  using plausible::isPlausible;
  using Q = plausible::Quantity;
  if (!item.isBalance() && !item.isVision()) return QStringLiteral("a test kind of %1").arg(item.lKind());
  for (const double d : item.dDouble)
    if (!std::isfinite(d)) return QStringLiteral("a value that is not a number");
  const auto range = [](qint32 v, qint32 low, qint32 high) { return v >= low && v <= high; };
  if (item.isBalance()) {
    if (!range(item.surface(), 0, 2) || !range(item.eyes(), 0, 2))
      return QStringLiteral("a surface or eyes code");
    if (!isPlausible(Code::Flag, item.lLong[3]) || !isPlausible(Code::Flag, item.lLong[4]))
      return QStringLiteral("a beep setting");
    if (!isPlausible(Q::Frequency, item.frequencyHz()))
      return QStringLiteral("a frequency of %1 Hz").arg(item.frequencyHz());
    if (!isPlausible(Q::Seconds, item.preTestSeconds()) || !isPlausible(Q::Seconds, item.durationSeconds()))
      return QStringLiteral("a pre-test of %1 s or a duration of %2 s")
          .arg(item.preTestSeconds())
          .arg(item.durationSeconds());
  } else {
    if (!isPlausible(Code::Eye, item.eye())) return QStringLiteral("an eye code of %1").arg(item.eye());
    if (!isPlausible(Q::Setting, item.testsPerSize()) || !isPlausible(Q::Setting, item.correctAnswers()))
      return QStringLiteral("a number of tests or answers");
    if (!isPlausible(Code::Flag, item.lLong[4]) || !isPlausible(Code::Flag, item.lLong[5]))
      return QStringLiteral("a screen setting");
    if (!isPlausible(Q::Seconds, item.intervalSeconds()) || !isPlausible(Q::Distance, item.distance()))
      return QStringLiteral("an interval of %1 s or a distance of %2 m")
          .arg(item.intervalSeconds())
          .arg(item.distance());
  }
  return QString();
}

}  // namespace

bool KM_RQTemplateItem::Load(tagged::Reader& in) {
  qint32 version = 0;
  KM_RQTemplateItem item;
  if (!in.readLong(version)) return false;
  if (version != kItemVersion) {
    in.fail(QStringLiteral("unknown test item format %1").arg(version));
    return false;
  }
  in.readString(item.sName);
  for (int i = 0; i < 5; ++i) in.readLong(item.lLong[i]);
  for (double& d : item.dDouble) in.readDouble(d);
  for (int i = 5; i < 10; ++i) in.readLong(item.lLong[i]);
  if (in.failed()) return false;
  *this = item;
  return true;
}

bool KM_RQTemplateItem::Save(tagged::Writer& out) const {
  out.writeLong(kItemVersion);
  out.writeString(sName);
  for (int i = 0; i < 5; ++i) out.writeLong(lLong[i]);
  for (double d : dDouble) out.writeDouble(d);
  for (int i = 5; i < 10; ++i) out.writeLong(lLong[i]);
  return !out.failed();
}

KM_RQTemplateItem KM_RQTemplateItem::balanceFromDefaults(const QString& name, qint32 surface, qint32 eyes) {
  KM_RQTemplateItem item;
  item.sName = name;
  item.lLong[0] = kBalance;
  item.setSurface(surface);
  item.setEyes(eyes);
  item.setBeepBegin(settings::read(settings::TestBeepBegin) != 0);
  item.setBeepEnd(settings::read(settings::TestBeepEnd) != 0);
  item.setFrequencyHz(settings::read(settings::TestFrequency) / 1000.0);
  item.setPreTestSeconds(settings::read(settings::TestPreTestDuration) / 1000.0);
  item.setDurationSeconds(settings::read(settings::TestDuration) / 1000.0);
  return item;
}

KM_RQTemplate::KM_RQTemplate() = default;

void KM_RQTemplate::reset() {
  sName.clear();
  bEditable = true;
  fileName_.clear();
  items_.clear();
}

qint32 KM_RQTemplate::lTestCountBalance() const {
  qint32 n = 0;
  for (const auto& it : items_) n += it->isBalance() ? 1 : 0;
  return n;
}

qint32 KM_RQTemplate::lTestCountVision() const {
  qint32 n = 0;
  for (const auto& it : items_) n += it->isVision() ? 1 : 0;
  return n;
}

KM_RQTemplateItem* KM_RQTemplate::tiTestItem(qint32 index) {
  if (index == 0) {
    empty_ = KM_RQTemplateItem();  // a caller may have written into it
    return &empty_;
  }
  if (index < 1 || index > lTestCount()) return nullptr;
  return items_[static_cast<size_t>(index - 1)].get();
}

const KM_RQTemplateItem* KM_RQTemplate::tiTestItem(qint32 index) const {
  return const_cast<KM_RQTemplate*>(this)->tiTestItem(index);
}

bool KM_RQTemplate::setTestItem(qint32 index, const KM_RQTemplateItem& item) {
  if (index < 1 || index > lTestCount()) return false;
  items_[static_cast<size_t>(index - 1)]->MakeCopy(item);
  return true;
}

bool KM_RQTemplate::Load(const QString& fileName) {
  ProcLog log("KM_RQTemplate", "Load", fileName);
  reset();
  fileName_ = fileName.trimmed();
  QByteArray bytes;
  if (!tagged::loadFile(log, fileName_, kMaxFileBytes, bytes) || !LoadBytes(bytes)) return false;
  log.completed();
  return true;
}

bool KM_RQTemplate::LoadBytes(const QByteArray& bytes) {
  ProcLog log("KM_RQTemplate", "LoadBytes");
  tagged::Reader in(bytes);
  tagged::FileHead head;
  tagged::readHead(in, kFileVersion, "template", head);
  if (!in.failed() && (head.count < 0 || head.count > in.remaining() / kMinItemBytes))
    in.fail(QStringLiteral("a test count of %1 does not fit in the file").arg(head.count));
  std::vector<std::unique_ptr<KM_RQTemplateItem>> items;
  for (qint32 i = 0; i < head.count && !in.failed(); ++i) {
    auto item = std::make_unique<KM_RQTemplateItem>();
    if (!item->Load(in)) break;
    // A value no test can have is damage: a session must never run it.
    if (const QString bad = implausibleValue(*item); !bad.isEmpty())
      in.fail(QStringLiteral("test %1 holds %2").arg(i + 1).arg(bad));
    items.push_back(std::move(item));
  }
  if (in.failed()) {
    log.error(QStringLiteral("Damaged template file %1: %2").arg(fileName_, in.error()));
    return false;
  }
  sName = head.name;
  bEditable = head.editable;
  items_ = std::move(items);
  log.step(QStringLiteral("Loaded %1 tests").arg(head.count));
  log.completed();
  return true;
}

bool KM_RQTemplate::Save(const QString& fileName) {
  ProcLog log("KM_RQTemplate", "Save", fileName);
  if (!fileName.trimmed().isEmpty()) fileName_ = fileName.trimmed();
  tagged::Writer out;
  tagged::writeHead(out, kFileVersion, {sName, bEditable, lTestCount()});
  for (const auto& it : items_) it->Save(out);
  if (!tagged::saveFile(log, fileName_, out, "Template")) return false;
  log.completed();
  return true;
}

KM_RQTemplateItem* KM_RQTemplate::AddTest(qint32 kind, qint32 position) {
  if (kind != KM_RQTemplateItem::kVision && kind != KM_RQTemplateItem::kBalance) return nullptr;
  auto item = std::make_unique<KM_RQTemplateItem>();
  item->lLong[0] = kind;
  KM_RQTemplateItem* p = item.get();
  if (position >= 1 && position <= lTestCount())
    items_.insert(items_.begin() + (position - 1), std::move(item));
  else
    items_.push_back(std::move(item));
  return p;
}

void KM_RQTemplate::DelTest(qint32 index) {
  if (index < 1 || index > lTestCount()) return;
  items_.erase(items_.begin() + (index - 1));
}

void KM_RQTemplate::MoveTestUp(qint32 index) {
  if (index < 2 || index > lTestCount()) return;
  KM_RQTemplateItem tmp;
  tmp.MakeCopy(*items_[index - 1]);
  items_[index - 1]->MakeCopy(*items_[index - 2]);
  items_[index - 2]->MakeCopy(tmp);
}

void KM_RQTemplate::MoveTestDown(qint32 index) {
  if (index < 1 || index > lTestCount() - 1) return;
  MoveTestUp(index + 1);
}

KM_RQTemplate MakeDefaultTestTemplate() {
  KM_RQTemplate t;
  t.sName = QStringLiteral("KMTARNRQ");
  t.bEditable = true;
  struct Def {
    const char* name;
    qint32 surface, eyes;
  };
  // Normal stability first, eyes open before closed: the order of the norm test types.
  const Def defs[] = {{"Firm Surface - Eyes Open", kSurfacePlate, kEyesOpen},
                      {"Firm Surface - Eyes Closed", kSurfacePlate, kEyesClosed},
                      {"Foam Surface - Eyes Open", kSurfaceFoam, kEyesOpen},
                      {"Foam Surface - Eyes Closed", kSurfaceFoam, kEyesClosed}};
  for (const Def& d : defs) {
    KM_RQTemplateItem* item = t.AddTest(KM_RQTemplateItem::kBalance);
    item->MakeCopy(KM_RQTemplateItem::balanceFromDefaults(QString::fromLatin1(d.name), d.surface, d.eyes));
  }
  return t;
}

bool CreateDefaultTestTemplate(const QString& path) {
  KM_RQTemplate t = MakeDefaultTestTemplate();
  return t.Save(path);
}

bool TemplateHasEnabledTests(const QString& path, bool balanceEnabled, bool visionEnabled) {
  KM_RQTemplate t;
  if (!t.Load(path)) return false;
  return (balanceEnabled && t.lTestCountBalance() > 0) || (visionEnabled && t.lTestCountVision() > 0);
}

}  // namespace tarn
