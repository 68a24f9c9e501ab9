#pragma once
// Comment templates (".cof"): 72 prepared texts, three blocks of 24, one per report family.
#include <QString>
#include <QStringList>
#include <functional>

namespace tarn {

class KM_RQTComments {
 public:
  static constexpr qint32 kDefaultCount = 71;  // highest index: 72 comments
  static constexpr int kBlockSize = 24;

  KM_RQTComments() { reset(); }

  QString sName;
  bool bEditable = true;

  const QString& sFileName() const { return fileName_; }
  qint32 lTestCount() const { return static_cast<qint32>(comments_.size()) - 1; }
  // 0..lTestCount; reading outside gives "", writing outside is ignored.
  QString sComment(qint32 index) const;
  void setComment(qint32 index, const QString& text);

  // A missing or damaged file gives the empty template (72 "-") and False.
  bool Load(const QString& fileName);
  // The same from the bytes of a file; on failure the template is left as it was.
  bool LoadBytes(const QByteArray& bytes);
  // A non-blank argument replaces the remembered file name; the file is replaced whole or not at all.
  bool Save(const QString& fileName = QString());

  void reset();  // no name, editable, 72 comments "-", no file name

 private:
  QString fileName_;
  QStringList comments_;
};

// The prepared comment sets: 0 "Empty" and 1..6 the generic sets whose texts come from the
// string table. Family 0's block stays "-"; families 1 and 2 take their texts by id.
inline constexpr int kDefaultCommentSets = 7;
using StringLookup = std::function<QString(int id)>;
KM_RQTComments MakeDefaultComments(int number, const StringLookup& text);

}  // namespace tarn
