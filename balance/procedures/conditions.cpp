#include "balance/procedures/conditions.h"

#include <cmath>

namespace tarn {

QString ListItem(const char* list, qint32 index) {
  const QStringList items = QString::fromUtf8(list).split('|');
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
  parts << "Instructions:";

  // Where and how to stand. An "Other" condition is explained by the operator, so its fragment
  // is left out rather than read to the subject as "other".
  const QString surface = ListItem(conditionlists::kSurface, c.surface);
  QString stand =
      "Please stand on the " + (isOther(surface) ? QString("test surface") : ConditionInSentence(surface));
  const QString shoes = ListItem(conditionlists::kShoes, c.shoes);
  if (!isOther(shoes)) stand += ", wearing " + ConditionInSentence(QString(shoes).remove(" (specify)"));
  const QString stance = ListItem(conditionlists::kStance, c.stance);
  if (!isOther(stance)) stand += ", in a " + ConditionInSentence(stance) + " stance";
  const QString arms = ListItem(conditionlists::kArms, c.arms);
  if (!isOther(arms)) stand += ", arms " + ConditionInSentence(arms);
  const QString head = ListItem(conditionlists::kHead, c.head);
  if (!isOther(head)) stand += ", with the head " + ConditionInSentence(head);
  const QString gaze = ListItem(conditionlists::kGaze, c.gaze);
  if (!isOther(gaze)) stand += ", looking " + ConditionInSentence(gaze);
  parts << stand + ".";

  parts << "The actual test will begin " + SecondsText(t.preTestMs) + " seconds after the " +
               quoted(names.acquire) + " button is pressed, and will last " + SecondsText(t.durationMs) +
               " seconds.";

  if (t.beepBegin || t.beepEnd) {
    QStringList when;
    if (t.beepBegin) when << "the beginning";
    if (t.beepEnd) when << "the end";
    parts << "A sound will be generated to signal " + when.join(" and ") + " of the test.";
  }

  const QString eyes = ListItem(conditionlists::kEyes, c.eyes);
  QString during = "During the test, avoid any unnecessary movements, do not talk, keep your eyes " +
                   (isOther(eyes) ? QString("as instructed") : ConditionInSentence(eyes));
  if (displayOn) during += ", if you'd like, you may watch your weight shifting movements on the display";
  const QString breathing = ListItem(conditionlists::kBreathing, c.breathing);
  if (!isOther(breathing)) during += ", try breathing " + ConditionInSentence(breathing);
  during += ", and relax.";
  parts << during;

  // A mental task changes what the subject does during the test, so it is said aloud too.
  const QString task = ListItem(conditionlists::kMentalTasking, c.mentalTasking);
  if (c.mentalTasking > 1 && !isOther(task)) parts << "While standing, " + ConditionInSentence(task) + ".";

  parts << "If unable to complete the test as instructed without losing balance or requiring external "
           "support press or check " +
               quoted(names.unableToComplete) + ".";
  return parts.at(0) + "\n" + parts.mid(1).join("\n\n");
}

QString ComposeAfterTestInstructions(const InstructionButtonNames& names) {
  QStringList saves;
  for (const QString& s : names.save) saves << quoted(s);
  return "Click " + quoted(names.redo) + " to perform the test again, or " + saves.join(" or ") +
         " to save the current test.";
}

QString StaticTestCaption(qint32 normTestType) {
  static const char* const suffix[] = {"", " (NSEO) Test", " (NSEC) Test", " (PSEO) Test", " (PSEC) Test"};
  QString caption = QString::fromUtf8("KM TARN™ RQ Balance Testing");
  if (normTestType >= 1 && normTestType <= 4) caption += suffix[normTestType];
  return caption;
}

}  // namespace tarn
