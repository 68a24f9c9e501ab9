#include "balance/procedures/conditions.h"

#include <cmath>

#include "support/strings/strings.h"

namespace tarn {

QString ListItem(int list, qint32 index) {
  const QStringList items = Str(list).split('|');
  if (index < 1 || index > items.size()) return QString();
  return items.at(index - 1);
}

QString ConditionInSentence(const QString& item) {
  QStringList words = QString(item).replace('\n', ' ').simplified().split(' ', Qt::SkipEmptyParts);
  for (QString& w : words) {
    qsizetype first = 0;
    while (first < w.size() && !w.at(first).isLetter()) ++first;
    qsizetype letters = 0;
    for (QChar ch : w)
      if (ch.isLetter()) ++letters;
    if (first >= w.size() || letters < 2 || !w.at(first).isUpper()) continue;
    if (w.toUpper() == w) continue;  // an abbreviation
    w[first] = w.at(first).toLower();
  }
  return words.join(' ');
}

namespace {
bool isOther(const QString& item) { return item.trimmed().isEmpty() || item.trimmed() == "Other"; }

QString quoted(const QString& name) { return "'" + name + "'"; }
}  // namespace

QString SecondsText(qint32 ms) {
  if (ms % 1000 == 0) return QString::number(ms / 1000);
  return QString::number(std::round(ms / 100.0) / 10.0, 'f', 1);
}

QString ComposeStaticInstructions(const TestConditions& c, const TestTiming& t, bool displayOn,
                                  const InstructionButtonNames& names) {
  QStringList parts;
  parts << Str(3200);

  // Where and how to stand. An "Other" condition is explained by the operator, so its fragment
  // is left out rather than read to the subject as "other".
  const QString surface = ListItem(conditionlists::kSurface, c.surface);
  QString stand = Str(3201).arg(isOther(surface) ? Str(3218) : ConditionInSentence(surface));
  const QString shoes = ListItem(conditionlists::kShoes, c.shoes);
  if (!isOther(shoes)) stand += Str(3202).arg(ConditionInSentence(QString(shoes).remove(" (specify)")));
  const QString stance = ListItem(conditionlists::kStance, c.stance);
  if (!isOther(stance)) stand += Str(3203).arg(ConditionInSentence(stance));
  const QString arms = ListItem(conditionlists::kArms, c.arms);
  if (!isOther(arms)) stand += Str(3204).arg(ConditionInSentence(arms));
  const QString head = ListItem(conditionlists::kHead, c.head);
  if (!isOther(head)) stand += Str(3205).arg(ConditionInSentence(head));
  const QString gaze = ListItem(conditionlists::kGaze, c.gaze);
  if (!isOther(gaze)) stand += Str(3206).arg(ConditionInSentence(gaze));
  parts << stand + ".";

  parts << Str(3207).arg(SecondsText(t.preTestMs), quoted(names.acquire), SecondsText(t.durationMs));

  if (t.beepBegin || t.beepEnd) {
    QStringList when;
    if (t.beepBegin) when << Str(3209);
    if (t.beepEnd) when << Str(3210);
    parts << Str(3208).arg(when.join(Str(3211)));
  }

  const QString eyes = ListItem(conditionlists::kEyes, c.eyes);
  QString during = Str(3212).arg(isOther(eyes) ? Str(3219) : ConditionInSentence(eyes));
  if (displayOn) during += Str(3213);
  const QString breathing = ListItem(conditionlists::kBreathing, c.breathing);
  if (!isOther(breathing)) during += Str(3214).arg(ConditionInSentence(breathing));
  during += Str(3215);
  parts << during;

  // A mental task changes what the subject does during the test, so it is said aloud too.
  const QString task = ListItem(conditionlists::kMentalTasking, c.mentalTasking);
  if (c.mentalTasking > 1 && !isOther(task)) parts << Str(3216).arg(ConditionInSentence(task));

  parts << Str(3217).arg(quoted(names.unableToComplete));
  return parts.at(0) + "\n" + parts.mid(1).join("\n\n");
}

QString ComposeAfterTestInstructions(const InstructionButtonNames& names, bool saveable, bool fallen) {
  if (saveable && !names.save.isEmpty()) {
    QStringList saves;
    for (const QString& s : names.save) saves << quoted(s);
    return Str(3220).arg(quoted(names.redo), saves.join(Str(3221)));
  }
  if (fallen) return Str(3224).arg(quoted(names.redo));
  return Str(3222).arg(quoted(names.redo), quoted(names.unableToComplete));
}

QString ComposeNoPlateInstructions(const InstructionButtonNames& names) {
  return Str(3223).arg(quoted(names.back));
}

QString StaticTestCaption(qint32 normTestType) {
  QString caption = Str(3225);
  if (normTestType >= 1 && normTestType <= 4) caption += Str(3225 + normTestType);
  return caption;
}

}  // namespace tarn
