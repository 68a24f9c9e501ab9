#include "data/templates/comments.h"

#include "balance/procedures/plausibility.h"
#include "core/eventlog.h"
#include "data/templates/taggedio.h"

namespace tarn {
namespace {

constexpr qint32 kFileVersion = 1;
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
constexpr qint64 kMinCommentBytes = 4;  // type code and an empty count
const QString kNoComment = QStringLiteral("-");

}  // namespace

void KM_RQTComments::reset() {
  sName.clear();
  bEditable = true;
  fileName_.clear();
  comments_ = QStringList();
  for (int i = 0; i <= kDefaultCount; ++i) comments_.append(kNoComment);
}

QString KM_RQTComments::sComment(qint32 index) const {
  if (index < 0 || index > lTestCount()) return QString();
  return comments_.at(index);
}

void KM_RQTComments::setComment(qint32 index, const QString& text) {
  if (index < 0 || index > lTestCount()) return;
  comments_[index] = text;
}

bool KM_RQTComments::Load(const QString& fileName) {
  ProcLog log("KM_RQTComments", "Load", fileName);
  reset();
  fileName_ = fileName.trimmed();
  QByteArray bytes;
  if (!tagged::loadFile(log, fileName_, kMaxFileBytes, bytes) || !LoadBytes(bytes)) return false;
  log.completed();
  return true;
}

bool KM_RQTComments::LoadBytes(const QByteArray& bytes) {
  ProcLog log("KM_RQTComments", "LoadBytes");
  tagged::Reader in(bytes);
  tagged::FileHead head;
  tagged::readHead(in, kFileVersion, "comment template", head);
  if (!in.failed() && (head.count < 0 || head.count >= in.remaining() / kMinCommentBytes))
    in.fail(QStringLiteral("a comment count of %1 does not fit in the file").arg(head.count));
  // The templates hold three report families of 24 comments; a count far beyond is damage.
  if (!in.failed() && !plausible::isPlausible(plausible::Quantity::Setting, head.count))
    in.fail(QStringLiteral("a comment count of %1").arg(head.count));
  QStringList comments;
  for (qint32 i = 0; i <= head.count && !in.failed(); ++i) {
    QString c;
    if (in.readString(c)) comments.append(c);
  }
  if (in.failed()) {
    log.error(QStringLiteral("Damaged comment template %1: %2").arg(fileName_, in.error()));
    return false;
  }
  sName = head.name;
  bEditable = head.editable;
  comments_ = comments;
  log.completed();
  return true;
}

bool KM_RQTComments::Save(const QString& fileName) {
  ProcLog log("KM_RQTComments", "Save", fileName);
  if (!fileName.trimmed().isEmpty()) fileName_ = fileName.trimmed();
  tagged::Writer out;
  tagged::writeHead(out, kFileVersion, {sName, bEditable, lTestCount()});
  for (const QString& c : comments_) out.writeString(c);
  if (!tagged::saveFile(log, fileName_, out, "Comment template")) return false;
  log.completed();
  return true;
}

KM_RQTComments MakeDefaultComments(int number, const StringLookup& text) {
  KM_RQTComments c;
  if (number < 0 || number >= kDefaultCommentSets) number = 0;
  if (text) c.sName = text(2455 + number);
  if (number == 0 || !text) return c;
  // Family 1 ids; family 2 uses the same ids + 1000. Each set has its own slice of the table.
  const int k = number - 1;
  static constexpr int kStability[6] = {20720, 20740, 20760, 20780, 20900, 20920};
  static constexpr int kBmi[6] = {20710, 20730, 20750, 20770, 20790, 20910};
  for (int family = 1; family <= 2; ++family) {
    const int shift = (family - 1) * 1000;
    QList<int> ids;
    ids << 20310 + 10 * k + shift << 20311 + 10 * k + shift;        // comment: adult, child
    for (int i = 0; i < 4; ++i) ids << 20450 + 5 * k + i + shift;   // vision
    for (int i = 0; i < 10; ++i) ids << kStability[k] + i + shift;  // stability adult, child
    for (int i = 0; i < 4; ++i) ids << kBmi[k] + i + shift;         // BMI adult
    for (int i = 0; i < 4; ++i) ids << kBmi[k] + 5 + i + shift;     // BMI child
    for (int i = 0; i < KM_RQTComments::kBlockSize; ++i) {
      const QString t = text(ids[i]);
      c.setComment(family * KM_RQTComments::kBlockSize + i, t.isEmpty() ? kNoComment : t);
    }
  }
  return c;
}

}  // namespace tarn
