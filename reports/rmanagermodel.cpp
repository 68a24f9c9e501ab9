#include "reports/rmanagermodel.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <functional>

#include "balance/norms/norms.h"
#include "core/clock.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

QString na() { return Str(9195); }

QString orNA(const QString& s) { return s.isEmpty() ? na() : s; }

QString number(double v, int decimals) { return orNA(FormatNumber(v, decimals)); }

QString dateTimeText(double day) {
  const QString d = ShortDateText(day);
  return d.isEmpty() ? na() : d + " " + MediumTimeText(day);
}

QString genderText(qint32 isMale) {
  if (isMale == 1) return Str(9055);
  if (isMale == 0) return Str(9056);
  return na();
}

QString bmiClassText(qint32 cls) {
  const bool known = (cls >= 1 && cls <= 4) || (cls >= 6 && cls <= 9);
  return known ? Str(9199 + cls) : na();
}

// A sort key: numbers compare as numbers, texts without regard to case.
struct Key {
  bool numeric = false;
  double n = 0;
  QString text;
};

bool keyLess(const Key& a, const Key& b) {
  if (a.numeric && b.numeric) return a.n < b.n;
  if (a.numeric != b.numeric) return a.numeric;  // numbers before N/A
  return QString::compare(a.text, b.text, Qt::CaseInsensitive) < 0;
}

Key num(double v) { return Key{true, v, {}}; }
Key text(const QString& s) { return Key{false, 0, s}; }

template <class KeyOf>
void sortOrder(std::vector<int>& order, bool ascending, KeyOf keyOf) {
  std::vector<Key> keys(order.size());
  std::vector<int> pos(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    keys[i] = keyOf(order[i]);
    pos[i] = int(i);
  }
  std::stable_sort(pos.begin(), pos.end(), [&](int a, int b) {
    return ascending ? keyLess(keys[size_t(a)], keys[size_t(b)]) : keyLess(keys[size_t(b)], keys[size_t(a)]);
  });
  std::vector<int> sorted(order.size());
  for (size_t i = 0; i < pos.size(); ++i) sorted[i] = order[size_t(pos[i])];
  order.swap(sorted);
}

bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d) || d == 0; }

}  // namespace

ReportsManagerModel::ReportsManagerModel(const KM_RQList* list, const ReportUnits& units, bool hideNames)
    : list_(list), units_(units), hideNames_(hideNames) {
  const int n = list_ ? list_->lFilesCount() : 0;
  fileOrder_.reserve(size_t(n));
  for (int i = 1; i <= n; ++i) fileOrder_.push_back(i);
}

ReportsManagerModel ReportsManagerModel::fromSettings(const KM_RQList* list) {
  return ReportsManagerModel(list, ReportUnits::fromSettings(), settings::readBool(settings::HipaaCompliant));
}

QString ReportsManagerModel::fileHeader(int column) {
  return column >= 0 && column < kFileColumns ? Str(9021 + column) : QString();
}

const KM_RQListFile* ReportsManagerModel::fileAt(int row) const {
  if (!list_ || row < 0 || row >= fileCount()) return nullptr;
  return list_->lfFile(fileOrder_[size_t(row)]);
}

QString ReportsManagerModel::fileCell(int row, int column) const {
  const KM_RQListFile* f = fileAt(row);
  if (!f) return QString();
  switch (column) {
    case kFileID:
      return f->sSubjID;
    case kFileName: {
      if (hideNames_) return Str(9050);
      QString first = f->sSubjFName;
      if (!f->sSubjMName.isEmpty()) first += " " + f->sSubjMName;
      if (f->sSubjLName.isEmpty()) return first;
      return first.isEmpty() ? f->sSubjLName : f->sSubjLName + Str(9051) + first;
    }
    case kFileGender:
      return genderText(f->lIsMale);
    case kFileDoB:
      return orNA(ShortDateText(f->dtSubjDoB));
    case kFileHeight:
      return f->dSubjHeight > 0 ? orNA(FormatLength(f->dSubjHeight, units_.length, kHeightDecimals)) : na();
    case kFileVisits:
      return QString::number(f->lVisitCount());
    case kFileSessions:
      return QString::number(f->lSessionCount());
    case kFileRQVisits:
      return QString::number(f->lSTVisitCount());
    case kFileRQSessions:
      return QString::number(f->lSTSessionCount());
    case kFileVisionTests:
      return QString::number(f->lTestVisionCount());
    case kFileBalanceTests:
      return QString::number(f->lTestBalanceCount());
  }
  return QString();
}

void ReportsManagerModel::sortFiles(int column, bool ascending) {
  const KM_RQListFile* keep = selected_;
  sortOrder(fileOrder_, ascending, [&](int index) -> Key {
    const KM_RQListFile* f = list_->lfFile(index);
    switch (column) {
      case kFileDoB:
        return missingDate(f->dtSubjDoB) ? text(na()) : num(f->dtSubjDoB);
      case kFileHeight:
        return f->dSubjHeight > 0 ? num(f->dSubjHeight) : text(na());
      case kFileVisits:
        return num(f->lVisitCount());
      case kFileSessions:
        return num(f->lSessionCount());
      case kFileRQVisits:
        return num(f->lSTVisitCount());
      case kFileRQSessions:
        return num(f->lSTSessionCount());
      case kFileVisionTests:
        return num(f->lTestVisionCount());
      case kFileBalanceTests:
        return num(f->lTestBalanceCount());
      default: {
        // Text columns; the name sorts by last name even when names are hidden from view.
        if (column == kFileName) return text(f->sSubjLName + '\x1f' + f->sSubjFName + '\x1f' + f->sSubjMName);
        return text(column == kFileID ? f->sSubjID : genderText(f->lIsMale));
      }
    }
  });
  selected_ = keep;
}

void ReportsManagerModel::selectFile(int row) {
  const KM_RQListFile* f = fileAt(row);
  if (f == selected_) return;
  selected_ = f;
  chosenBalance_.clear();
  chosenVision_.clear();
  loadTests();
}

int ReportsManagerModel::selectedFileRow() const {
  if (!selected_) return -1;
  for (int r = 0; r < fileCount(); ++r)
    if (fileAt(r) == selected_) return r;
  return -1;
}

QString ReportsManagerModel::selectedFilePath() const {
  if (!selected_ || !list_) return QString();
  return QDir(list_->sDataPath()).filePath(selected_->sFileName);
}

void ReportsManagerModel::loadTests() {
  balance_.clear();
  vision_.clear();
  balanceOrder_.clear();
  visionOrder_.clear();
  if (!selected_) return;
  const auto edits = edits_.find(selected_->sFileName);
  for (qint32 i = 1; i <= selected_->lTestBalanceCount(); ++i) {
    KM_RQListTestBalance r;
    r.MakeCopy(*selected_->ltTestBalanceItem(i));
    if (edits != edits_.end())
      if (auto e = edits->second.find(keyOf(r)); e != edits->second.end()) {
        r.sName = e->second.first;
        r.sNotes = e->second.second;
      }
    balanceOrder_.push_back(int(balance_.size()));
    balance_.push_back(std::move(r));
  }
  for (qint32 i = 1; i <= selected_->lTestVisionCount(); ++i) {
    KM_RQListTestVision r;
    r.MakeCopy(*selected_->ltTestVisionItem(i));
    visionOrder_.push_back(int(vision_.size()));
    vision_.push_back(std::move(r));
  }
}

QString ReportsManagerModel::balanceHeader(int column) {
  return column >= 0 && column < kBalanceColumns ? Str(9101 + column) : QString();
}

const KM_RQListTestBalance& ReportsManagerModel::balanceAt(int row) const {
  return balance_[size_t(balanceOrder_[size_t(row)])];
}

QString ReportsManagerModel::balanceCell(int row, int column) const {
  if (row < 0 || row >= balanceCount()) return QString();
  const int index = balanceOrder_[size_t(row)];
  const KM_RQListTestBalance& r = balance_[size_t(index)];
  const bool results = ListRecordHasResults(r);
  switch (column) {
    case kBalNumber:
      return QString::number(index + 1);
    case kBalVisit:
      return r.sVisitID;
    case kBalSession:
      return r.sSessionID;
    case kBalDateTime:
      return dateTimeText(r.dtDate);
    case kBalName:
      return r.sName;
    case kBalType:
      return r.lTestType >= 1 && r.lTestType <= 4 ? Str(9169 + r.lTestType) : na();
    case kBalStatus:
      return Str(!results ? 9187 : r.bIsInterrupted ? 9186 : 9185);
    case kBalResults:
      return results && r.lStabilityClass >= 1 && r.lStabilityClass <= 5 ? Str(9189 + r.lStabilityClass)
                                                                         : na();
    case kBalStability:
      return results ? number(StabilityScorePercent(r.fStability), 1) + "%" : na();
    case kBalDirectionality:
      return results ? number(r.fDirectionality * 100.0, 0) + "%" : na();
    case kBalFatigue:
      return results ? number(r.fFatigue * 100.0, 1) + "%" : na();
    case kBalParP:
      return results ? number(r.fParP, 1) : na();
    case kBalHeight:
      return r.fHeight > 0 ? orNA(FormatLength(r.fHeight, units_.length, kHeightDecimals)) : na();
    case kBalWeight:
      return r.fWeight > 0 ? orNA(FormatMass(r.fWeight, units_.mass, kWeightDecimals)) : na();
    case kBalBMI:
      return r.fBMI > 0 ? number(r.fBMI, 1) : na();
    case kBalBMIClass:
      return bmiClassText(r.lBMIClass);
  }
  return QString();
}

void ReportsManagerModel::sortBalance(int column, bool ascending) {
  sortOrder(balanceOrder_, ascending, [&](int index) -> Key {
    const KM_RQListTestBalance& r = balance_[size_t(index)];
    const bool results = ListRecordHasResults(r);
    switch (column) {
      case kBalNumber:
        return num(index);
      case kBalDateTime:
        return missingDate(r.dtDate) ? text(na()) : num(r.dtDate);
      case kBalType:
        return num(r.lTestType);
      case kBalResults:
        return results && r.lStabilityClass > 0 ? num(r.lStabilityClass) : text(na());
      case kBalStability:
        return results ? num(r.fStability) : text(na());
      case kBalDirectionality:
        return results ? num(r.fDirectionality) : text(na());
      case kBalFatigue:
        return results ? num(r.fFatigue) : text(na());
      case kBalParP:
        return results ? num(r.fParP) : text(na());
      case kBalHeight:
        return r.fHeight > 0 ? num(r.fHeight) : text(na());
      case kBalWeight:
        return r.fWeight > 0 ? num(r.fWeight) : text(na());
      case kBalBMI:
        return r.fBMI > 0 ? num(r.fBMI) : text(na());
      case kBalBMIClass:
        return r.lBMIClass > 0 ? num(r.lBMIClass) : text(na());
      case kBalVisit:
        return text(r.sVisitID);
      case kBalSession:
        return text(r.sSessionID);
      case kBalName:
        return text(r.sName);
      default:  // status
        return text(Str(!results ? 9187 : r.bIsInterrupted ? 9186 : 9185));
    }
  });
}

QString ReportsManagerModel::balanceEmptyText() const {
  if (!selected_) return Str(9160);
  return balance_.empty() ? Str(9161) : QString();
}

QString ReportsManagerModel::visionHeader(int column) {
  return column >= 0 && column < kVisionColumns ? Str(9251 + column) : QString();
}

const KM_RQListTestVision& ReportsManagerModel::visionAt(int row) const {
  return vision_[size_t(visionOrder_[size_t(row)])];
}

QString ReportsManagerModel::visionCell(int row, int column) const {
  if (row < 0 || row >= visionCount()) return QString();
  const int index = visionOrder_[size_t(row)];
  const KM_RQListTestVision& r = vision_[size_t(index)];
  switch (column) {
    case kVisNumber:
      return QString::number(index + 1);
    case kVisVisit:
      return r.sVisitID;
    case kVisSession:
      return r.sSessionID;
    case kVisDateTime:
      return dateTimeText(r.dtDate);
    case kVisName:
      return r.sName;
  }
  return QString();
}

void ReportsManagerModel::sortVision(int column, bool ascending) {
  sortOrder(visionOrder_, ascending, [&](int index) -> Key {
    const KM_RQListTestVision& r = vision_[size_t(index)];
    switch (column) {
      case kVisNumber:
        return num(index);
      case kVisDateTime:
        return missingDate(r.dtDate) ? text(na()) : num(r.dtDate);
      case kVisVisit:
        return text(r.sVisitID);
      case kVisSession:
        return text(r.sSessionID);
      default:
        return text(r.sName);
    }
  });
}

QString ReportsManagerModel::visionEmptyText() const {
  if (!selected_) return Str(9260);
  return vision_.empty() ? Str(9261) : QString();
}

ReportTestKey ReportsManagerModel::keyOf(const KM_RQListTestBalanceData& r) const {
  return {r.sVisitID, r.sSessionID, r.sTestID};
}

ReportTestKey ReportsManagerModel::keyOf(const KM_RQListTestVisionData& r) const {
  return {r.sVisitID, r.sSessionID, r.sTestID};
}

namespace {
ReportsManagerModel::Toggle toggle(std::vector<ReportTestKey>& chosen, const ReportTestKey& key) {
  const auto it = std::find(chosen.begin(), chosen.end(), key);
  if (it != chosen.end()) {
    chosen.erase(it);
    return ReportsManagerModel::Toggle::LeftOut;
  }
  if (int(chosen.size()) >= kMaxChosenTests) return ReportsManagerModel::Toggle::Refused;
  chosen.push_back(key);
  return ReportsManagerModel::Toggle::Chosen;
}

int placeOf(const std::vector<ReportTestKey>& chosen, const ReportTestKey& key) {
  const auto it = std::find(chosen.begin(), chosen.end(), key);
  return it == chosen.end() ? 0 : int(it - chosen.begin()) + 1;
}
}  // namespace

ReportsManagerModel::Toggle ReportsManagerModel::toggleBalance(int row) {
  if (row < 0 || row >= balanceCount()) return Toggle::Refused;
  return toggle(chosenBalance_, keyOf(balanceAt(row)));
}

ReportsManagerModel::Toggle ReportsManagerModel::toggleVision(int row) {
  if (row < 0 || row >= visionCount()) return Toggle::Refused;
  return toggle(chosenVision_, keyOf(visionAt(row)));
}

int ReportsManagerModel::balanceChoiceNumber(int row) const {
  return row >= 0 && row < balanceCount() ? placeOf(chosenBalance_, keyOf(balanceAt(row))) : 0;
}

int ReportsManagerModel::visionChoiceNumber(int row) const {
  return row >= 0 && row < visionCount() ? placeOf(chosenVision_, keyOf(visionAt(row))) : 0;
}

bool ReportsManagerModel::balanceChosen(int row) const { return balanceChoiceNumber(row) > 0; }
bool ReportsManagerModel::visionChosen(int row) const { return visionChoiceNumber(row) > 0; }

QString ReportsManagerModel::choiceText() const {
  if (!canReport()) return Str(9303);
  return Str(9304).arg(chosenBalance_.size()).arg(chosenVision_.size());
}

void ReportsManagerModel::updateTest(const ReportTestKey& key, const QString& name, const QString& notes) {
  if (!selected_) return;
  edits_[selected_->sFileName][key] = {name, notes};
  for (KM_RQListTestBalance& r : balance_)
    if (keyOf(r) == key) {
      r.sName = name;
      r.sNotes = notes;
    }
}

}  // namespace tarn
