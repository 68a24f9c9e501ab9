#include "data/subjectfile/subjectfile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <variant>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr qint64 kMaxFileBytes = qint64(1) << 30;
constexpr double kMissing = clock::kMissingDate;
const char kModule[] = "SubjectFile";
// What checking and reading one file may cost, in the thread's processor time (ms): a hostile
// file is stopped there, and a busy machine does not turn a sound file away.
constexpr qint64 kOpenBudget = 500;

int pastDeadline(void* deadline) { return clock::threadCpuMs() > *static_cast<qint64*>(deadline); }

// A text for the log: quoted file names are replaced by their private form (the name of a
// subject file is often the subject's).
QString forLog(const QString& text) {
  static const QRegularExpression quoted(QStringLiteral("\"([^\"]*[/.][^\"]*)\""));
  QString out;
  qsizetype last = 0;
  for (auto it = quoted.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    out += text.mid(last, m.capturedStart() - last) + eventlog::privateFileName(m.captured(1));
    last = m.capturedEnd();
  }
  return out + text.mid(last);
}

// ---- Column descriptions: one list per record kind, used for the schema, writing and reading.

template <class T>
struct Field {
  const char* name;
  std::variant<QString T::*, qint32 T::*, qint16 T::*, float T::*, double T::*> member;
};

template <class T>
using Fields = std::vector<Field<T>>;

#define F(T, m) \
  Field<T> { #m, &T::m }

const Fields<SubjectInfo>& subjectFields() {
  static const Fields<SubjectInfo> f = {
      F(SubjectInfo, sNameFirst), F(SubjectInfo, sNameMiddle), F(SubjectInfo, sNameLast),
      F(SubjectInfo, sSubjectID), F(SubjectInfo, lIsMale),     F(SubjectInfo, dtDoB),
      F(SubjectInfo, sStreet),    F(SubjectInfo, sCity),       F(SubjectInfo, sState),
      F(SubjectInfo, sZip),       F(SubjectInfo, sPhone),      F(SubjectInfo, sFax),
      F(SubjectInfo, sEmail),     F(SubjectInfo, sNotes)};
  return f;
}

const Fields<PhysInfo>& physFields() {
  static const Fields<PhysInfo> f = {F(PhysInfo, dHeight),       F(PhysInfo, dMass),
                                     F(PhysInfo, lPhysImpaired), F(PhysInfo, sPhysImpairedSpecify),
                                     F(PhysInfo, lBlind),        F(PhysInfo, sBlindSpecify),
                                     F(PhysInfo, lDeaf),         F(PhysInfo, sDeafSpecify),
                                     F(PhysInfo, lDominantSide), F(PhysInfo, lPregnant),
                                     F(PhysInfo, sNotes)};
  return f;
}

const Fields<MedContact>& contactFields() {
  static const Fields<MedContact> f = {
      F(MedContact, sName),   F(MedContact, sSpecialty), F(MedContact, sUPIN),  F(MedContact, sCompany),
      F(MedContact, sStreet), F(MedContact, sCity),      F(MedContact, sState), F(MedContact, sZip),
      F(MedContact, sPhone),  F(MedContact, sFax),       F(MedContact, sEmail)};
  return f;
}

const Fields<OperatorInfo>& operatorFields() {
  static const Fields<OperatorInfo> f = {F(OperatorInfo, sOperatorName), F(OperatorInfo, sTestingCity),
                                         F(OperatorInfo, sTestingState), F(OperatorInfo, sNotes)};
  return f;
}

const Fields<Visit>& visitFields() {
  static const Fields<Visit> f = {F(Visit, sVisitID), F(Visit, sName), F(Visit, dtDate),
                                  F(Visit, dtTimeBegin), F(Visit, dtTimeEnd)};
  return f;
}

const Fields<Session>& sessionFields() {
  static const Fields<Session> f = {F(Session, sSessionID), F(Session, sName), F(Session, dtDate),
                                    F(Session, sEvaluation), F(Session, sIntervention)};
  return f;
}

// Columns of schema version 1, then those version 2 added.
const Fields<BalanceTest>& balanceFields(int version = SubjectFile::kSchemaVersion) {
  using B = BalanceTest;
  static const Fields<B> f = {F(B, sTestID),
                              F(B, sName),
                              F(B, dtDate),
                              F(B, bIsDone),
                              F(B, lTestType),
                              F(B, lSurface),
                              F(B, lEyes),
                              F(B, lStance),
                              F(B, lArms),
                              F(B, lShoes),
                              F(B, lHead),
                              F(B, lGaze),
                              F(B, lBreathing),
                              F(B, lMentalTask),
                              F(B, sShoesSpecify),
                              F(B, sOtherConditions),
                              F(B, fFrequency),
                              F(B, fPretest),
                              F(B, fOrigDuration),
                              F(B, fActDuration),
                              F(B, bBeepBegin),
                              F(B, bBeepEnd),
                              F(B, sPlate),
                              F(B, sPlateSerial),
                              F(B, bSouthernHemisphere),
                              F(B, lZeroDurationMs),
                              F(B, lExcitationMv),
                              F(B, lZeroSurface),
                              F(B, dtZeroDate),
                              F(B, fZeroAve1),
                              F(B, fZeroAve2),
                              F(B, fZeroAve3),
                              F(B, fZeroSD1),
                              F(B, fZeroSD2),
                              F(B, fZeroSD3),
                              F(B, fZeroRMS1),
                              F(B, fZeroRMS2),
                              F(B, fZeroRMS3),
                              F(B, lTotalSamples),
                              F(B, lValidSamples),
                              F(B, bIsInterrupted),
                              F(B, bIsFallen),
                              F(B, fXo),
                              F(B, fYo),
                              F(B, fLoSX),
                              F(B, fLoSY),
                              F(B, fMaxMLSway),
                              F(B, fMaxAPSway),
                              F(B, f95MLSway),
                              F(B, f95APSway),
                              F(B, f95MaxSway),
                              F(B, f95MinSway),
                              F(B, fMaxSway),
                              F(B, fAveSway),
                              F(B, fVMax),
                              F(B, fVAve),
                              F(B, fAMax),
                              F(B, fAAve),
                              F(B, fPlen),
                              F(B, f95Area),
                              F(B, fStability),
                              F(B, lStabilityClass),
                              F(B, fSwayDirection),
                              F(B, fDirectionality),
                              F(B, fMinMaxRatio),
                              F(B, fFatigue),
                              F(B, fParP),
                              F(B, fHeight),
                              F(B, fWeight),
                              F(B, fBMI),
                              F(B, lBMIClass),
                              F(B, bBMIEnabled),
                              F(B, sNotes)};
  static const Fields<B> v2 = [] {
    Fields<B> all = f;
    for (const Field<B>& added : {F(B, fRotation), F(B, fTilt1), F(B, fTilt2), F(B, fCoPThresholdF)})
      all.push_back(added);
    return all;
  }();
  return version >= 2 ? v2 : f;
}

const Fields<VisionTest>& visionFields() {
  using V = VisionTest;
  static const Fields<V> f = {
      F(V, sTestID),       F(V, sName),     F(V, dtDate),        F(V, bIsDone),         F(V, lEye),
      F(V, dInterval),     F(V, dDistance), F(V, lTestsPerSize), F(V, lCorrectAnswers), F(V, lFullScreen),
      F(V, lHighContrast), F(V, dAcuity),   F(V, lAcuityClass),  F(V, sNotes)};
  return f;
}

#undef F

// Columns of each table after its key and parent columns.
struct TableColumns {
  QStringList ddl, names;
};

// One record kind's fields within a table, their column names prefixed.
template <class T>
struct Part {
  const char* prefix;
  const Fields<T>& fields;
};

template <class T>
void addColumns(TableColumns& c, const Part<T>& part) {
  for (const auto& f : part.fields) {
    const QString name = QLatin1String(part.prefix) + QLatin1String(f.name);
    const char* type = std::visit(
        [](auto m) -> const char* {
          using M = std::remove_reference_t<decltype(std::declval<T>().*m)>;
          if constexpr (std::is_same_v<M, QString>) return "TEXT NOT NULL DEFAULT ''";
          if constexpr (std::is_integral_v<M>) return "INTEGER NOT NULL DEFAULT 0";
          return "REAL NOT NULL DEFAULT 0";
        },
        f.member);
    c.ddl << QStringLiteral("\"%1\" %2").arg(name, QLatin1String(type));
    c.names << QStringLiteral("\"%1\"").arg(name);
  }
}

template <class... T>
TableColumns columnsOf(const Part<T>&... parts) {
  TableColumns c;
  (addColumns(c, parts), ...);
  return c;
}

const TableColumns& subjectColumns() {
  static const TableColumns t = columnsOf(Part<SubjectInfo>{"", subjectFields()});
  return t;
}

const TableColumns& visitColumns() {
  static const TableColumns t =
      columnsOf(Part<Visit>{"", visitFields()}, Part<PhysInfo>{"phys_", physFields()},
                Part<MedContact>{"refby_", contactFields()}, Part<MedContact>{"sendto_", contactFields()});
  return t;
}

const TableColumns& sessionColumns() {
  static const TableColumns t =
      columnsOf(Part<Session>{"", sessionFields()}, Part<OperatorInfo>{"km_", operatorFields()},
                Part<OperatorInfo>{"sg_", operatorFields()});
  return t;
}

const TableColumns& balanceColumns(int version = SubjectFile::kSchemaVersion) {
  static const TableColumns v1 = columnsOf(Part<BalanceTest>{"", balanceFields(1)});
  static const TableColumns v2 = columnsOf(Part<BalanceTest>{"", balanceFields(2)});
  return version >= 2 ? v2 : v1;
}

const TableColumns& visionColumns() {
  static const TableColumns t = columnsOf(Part<VisionTest>{"", visionFields()});
  return t;
}

QStringList schemaStatements(int version) {
  const auto cols = [](const TableColumns& t) { return t.ddl.join(QStringLiteral(", ")); };
  return {
      QStringLiteral("CREATE TABLE properties(name TEXT PRIMARY KEY NOT NULL, value ANY) STRICT"),
      QStringLiteral("CREATE TABLE subject(only_row INTEGER PRIMARY KEY CHECK(only_row = 1), %1) STRICT")
          .arg(cols(subjectColumns())),
      QStringLiteral("CREATE TABLE visit(id INTEGER PRIMARY KEY, position INTEGER NOT NULL, %1) STRICT")
          .arg(cols(visitColumns())),
      QStringLiteral("CREATE TABLE session(id INTEGER PRIMARY KEY, "
                     "visit INTEGER NOT NULL REFERENCES visit(id) ON DELETE CASCADE, "
                     "position INTEGER NOT NULL, %1) STRICT")
          .arg(cols(sessionColumns())),
      QStringLiteral("CREATE INDEX session_by_visit ON session(visit)"),
      QStringLiteral("CREATE TABLE balance_test(id INTEGER PRIMARY KEY, "
                     "session INTEGER NOT NULL REFERENCES session(id) ON DELETE CASCADE, "
                     "position INTEGER NOT NULL, %1) STRICT")
          .arg(cols(balanceColumns(version))),
      QStringLiteral("CREATE INDEX balance_test_by_session ON balance_test(session)"),
      QStringLiteral("CREATE TABLE balance_samples(test INTEGER PRIMARY KEY "
                     "REFERENCES balance_test(id) ON DELETE CASCADE, frequency REAL NOT NULL, "
                     "acquired REAL NOT NULL, sample_count INTEGER NOT NULL CHECK(sample_count >= 0), "
                     "fz BLOB NOT NULL, m1 BLOB NOT NULL, m2 BLOB NOT NULL%1) STRICT")
          .arg(version >= 2 ? QStringLiteral(", checksum INTEGER NOT NULL") : QString()),
      QStringLiteral("CREATE TABLE vision_test(id INTEGER PRIMARY KEY, "
                     "session INTEGER NOT NULL REFERENCES session(id) ON DELETE CASCADE, "
                     "position INTEGER NOT NULL, %1) STRICT")
          .arg(cols(visionColumns())),
      QStringLiteral("CREATE INDEX vision_test_by_session ON vision_test(session)"),
  };
}

// ---- Small SQLite helpers.

class Stmt {
 public:
  Stmt(sqlite3* db, const QString& sql) : db_(db) {
    const QByteArray u = sql.toUtf8();
    rc_ = sqlite3_prepare_v2(db, u.constData(), static_cast<int>(u.size()), &st_, nullptr);
  }
  ~Stmt() { sqlite3_finalize(st_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  bool ok() const { return rc_ == SQLITE_OK && st_ != nullptr; }
  sqlite3_stmt* get() const { return st_; }
  int step() { return rc_ = sqlite3_step(st_); }
  bool run() {  // executes a statement that returns no rows and readies it for the next binding
    const int rc = step();
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
    return rc == SQLITE_DONE;
  }
  QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
  int rc_ = SQLITE_ERROR;
};

bool exec(sqlite3* db, const QString& sql, QString* error = nullptr) {
  char* msg = nullptr;
  const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg);
  if (rc != SQLITE_OK && error) *error = QString::fromUtf8(msg ? msg : sqlite3_errstr(rc));
  sqlite3_free(msg);
  return rc == SQLITE_OK;
}

void bindText(sqlite3_stmt* st, int i, const QString& s) {
  const QByteArray u = s.toUtf8();
  sqlite3_bind_text(st, i, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* st, int i) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
  return p ? QString::fromUtf8(p, sqlite3_column_bytes(st, i)) : QString();
}

template <class T>
void bindFields(sqlite3_stmt* st, int& i, const T& obj, const Fields<T>& fields) {
  for (const auto& f : fields) {
    std::visit(
        [&](auto m) {
          const auto& v = obj.*m;
          using M = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<M, QString>) {
            bindText(st, i, v);
          } else if constexpr (std::is_same_v<M, qint16>) {
            sqlite3_bind_int(st, i, v != 0 ? kTrue : kFalse);  // any true is stored as -1
          } else if constexpr (std::is_integral_v<M>) {
            sqlite3_bind_int(st, i, v);
          } else {
            sqlite3_bind_double(st, i, static_cast<double>(v));
          }
        },
        f.member);
    ++i;
  }
}

template <class T>
void readFields(sqlite3_stmt* st, int& i, T& obj, const Fields<T>& fields) {
  for (const auto& f : fields) {
    std::visit(
        [&](auto m) {
          auto& v = obj.*m;
          using M = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<M, QString>) {
            v = columnText(st, i);
          } else if constexpr (std::is_same_v<M, qint16>) {
            v = sqlite3_column_int64(st, i) != 0 ? kTrue : kFalse;
          } else if constexpr (std::is_integral_v<M>) {
            const sqlite3_int64 x = sqlite3_column_int64(st, i);
            v = static_cast<M>(
                std::clamp<sqlite3_int64>(x, std::numeric_limits<M>::min(), std::numeric_limits<M>::max()));
          } else {
            v = static_cast<M>(sqlite3_column_double(st, i));
          }
        },
        f.member);
    ++i;
  }
}

// "INSERT INTO table(keys, columns) VALUES (?, ...)" with one placeholder per key and column.
QString insertSql(const char* table, const QStringList& keys, const TableColumns& c) {
  QStringList q;
  for (qsizetype i = 0; i < keys.size() + c.names.size(); ++i) q << QStringLiteral("?");
  return QStringLiteral("INSERT INTO %1(%2) VALUES (%3)")
      .arg(QLatin1String(table), (keys + c.names).join(u','), q.join(QStringLiteral(", ")));
}

// Binds the key columns in order; returns the index of the next parameter.
int bindKeys(sqlite3_stmt* st, std::initializer_list<qint64> keys) {
  int i = 1;
  for (const qint64 k : keys) sqlite3_bind_int64(st, i++, k);
  return i;
}

// Calls row() for every row of a query; false, with error set unless row() set it, when the query
// fails or row() refuses a row.
template <class F>
bool forEachRow(sqlite3* db, const QString& sql, QString& error, F row) {
  Stmt s(db, sql);
  if (!s.ok()) {
    error = s.error();
    return false;
  }
  int rc;
  while ((rc = s.step()) == SQLITE_ROW)
    if (!row(s.get())) return false;
  if (rc != SQLITE_DONE) {
    error = s.error();
    return false;
  }
  return true;
}

// Samples are stored as little-endian float32 whatever the machine.
QByteArray floatsToBlob(const float* v, qint32 n) {
  QByteArray b(static_cast<qsizetype>(n) * 4, Qt::Uninitialized);
  for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
    quint32 u = std::bit_cast<quint32>(v[i]);
    if constexpr (std::endian::native == std::endian::big) u = qbswap(u);
    std::memcpy(b.data() + i * 4, &u, 4);
  }
  return b;
}

std::vector<float> blobToFloats(const void* p, int n) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    quint32 u = 0;
    std::memcpy(&u, static_cast<const char*>(p) + size_t(i) * 4, 4);
    if constexpr (std::endian::native == std::endian::big) u = qbswap(u);
    v[static_cast<size_t>(i)] = std::bit_cast<float>(u);
  }
  return v;
}

// The schema as SQLite records it, to recognise files of our own making.
QStringList schemaFingerprint(sqlite3* db) {
  QStringList out;
  Stmt s(db, QStringLiteral(
                 "SELECT type, name, tbl_name, ifnull(sql, '') FROM sqlite_schema ORDER BY type, name"));
  if (!s.ok()) return {QStringLiteral("?")};
  while (s.step() == SQLITE_ROW) {
    out << columnText(s.get(), 0) + QLatin1Char('|') + columnText(s.get(), 1) + QLatin1Char('|') +
               columnText(s.get(), 2) + QLatin1Char('|') + columnText(s.get(), 3);
  }
  return out;
}

bool createSchema(sqlite3* db, QString* error, int version = SubjectFile::kSchemaVersion) {
  if (!exec(db, QStringLiteral("BEGIN"), error)) return false;
  for (const QString& sql : schemaStatements(version)) {
    if (!exec(db, sql, error)) {
      exec(db, QStringLiteral("ROLLBACK"));
      return false;
    }
  }
  if (!exec(db, QStringLiteral("PRAGMA user_version = %1").arg(version), error) ||
      !exec(db, QStringLiteral("COMMIT"), error)) {
    exec(db, QStringLiteral("ROLLBACK"));
    return false;
  }
  return true;
}

// The schema of each version this program reads (1 and the current one).
const QStringList& referenceFingerprint(int version) {
  static const auto make = [](int v) {
    sqlite3* db = nullptr;
    QStringList r;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
        createSchema(db, nullptr, v))
      r = schemaFingerprint(db);
    sqlite3_close_v2(db);
    return r;
  };
  static const QStringList v1 = make(1), current = make(SubjectFile::kSchemaVersion);
  return version == 1 ? v1 : current;
}

// One 8-byte word into the checksum: xor, multiply by an odd number, fold the high half down.
// Each step can be undone, so a changed word always gives another checksum.
inline quint64 checksumStep(quint64 h, quint64 word) {
  h = (h ^ word) * 0x9E3779B97F4A7C15ULL;
  return h ^ (h >> 32);
}

quint64 checksumBytes(quint64 h, const void* p, qint64 bytes) {
  const auto* b = static_cast<const unsigned char*>(p);
  qint64 i = 0;
  for (; i + 8 <= bytes; i += 8) {
    quint64 w;
    std::memcpy(&w, b + i, 8);
    if constexpr (std::endian::native == std::endian::big) w = qbswap(w);
    h = checksumStep(h, w);
  }
  quint64 tail = 0;
  for (qint64 k = 0; i + k < bytes; ++k) tail |= quint64(b[i + k]) << (8 * k);
  return checksumStep(h, tail);
}

sqlite3* openMemory() {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  // A file from elsewhere must not be able to run anything but plain reads and writes.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  if (!exec(db, QStringLiteral("PRAGMA foreign_keys = ON"))) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  return db;
}

QString idWithNumber(const char* prefix, qint32 n) {
  return QLatin1String(prefix) + QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
}

// The number after a two-letter prefix such as "B1", or 0.
qint32 idNumber(const QString& id, const char* prefix) {
  if (!id.startsWith(QLatin1String(prefix))) return 0;
  bool ok = false;
  const qint32 n = id.mid(2).toInt(&ok);
  return ok && n > 0 ? n : 0;
}

SubjectFile::BeforeRenameHook& beforeRenameHook() {
  static SubjectFile::BeforeRenameHook hook;
  return hook;
}

bool syncPath(const QString& path, bool directory) {
  const int fd = ::open(QFile::encodeName(path).constData(), directory ? O_RDONLY | O_DIRECTORY : O_RDWR);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

// ---- Object model.

QString BalanceTest::sVisitID() const {
  return session_ && session_->visit() ? session_->visit()->sVisitID : QString();
}
QString BalanceTest::sSessionID() const { return session_ ? session_->sSessionID : QString(); }
QString VisionTest::sVisitID() const {
  return session_ && session_->visit() ? session_->visit()->sVisitID : QString();
}
QString VisionTest::sSessionID() const { return session_ ? session_->sSessionID : QString(); }

bool BalanceTest::hasZero() const { return dtZeroDate > kMissing; }

void BalanceTest::ClearResults() {
  BalanceTest blank(session_);
  ClearTestData();
  bIsDone = kFalse;
  dtDate = blank.dtDate;
  fActDuration = 0;
  lTotalSamples = lValidSamples = 0;
  bIsInterrupted = bIsFallen = kFalse;
  fXo = fYo = fMaxMLSway = fMaxAPSway = f95MLSway = f95APSway = f95MaxSway = f95MinSway = 0;
  fMaxSway = fAveSway = fVMax = fVAve = fAMax = fAAve = fPlen = f95Area = fStability = 0;
  lStabilityClass = 0;
  fSwayDirection = fDirectionality = fMinMaxRatio = fFatigue = fParP = 0;
  fBMI = 0;
  lBMIClass = 0;
}

void BalanceTest::ClearZero() {
  dtZeroDate = kMissing;
  lZeroSurface = 0;
  fZeroAve1 = fZeroAve2 = fZeroAve3 = fZeroSD1 = fZeroSD2 = fZeroSD3 = 0;
  fZeroRMS1 = fZeroRMS2 = fZeroRMS3 = 0;
}

void BalanceTest::copyValuesFrom(const BalanceTest& other) {
  Session* keep = session_;
  *this = other;
  session_ = keep;
}

qint32 Session::nextTestNumber() const {
  qint32 n = 0;
  for (const auto& t : balance_) n = std::max(n, idNumber(t->sTestID, "B1"));
  for (const auto& t : vision_) n = std::max(n, idNumber(t->sTestID, "W1"));
  return n + 1;
}

BalanceTest* Session::AddBalanceTest() {
  auto t = std::make_unique<BalanceTest>(this);
  t->sTestID = idWithNumber("B1", nextTestNumber());
  return balance_.append(std::move(t));
}

VisionTest* Session::AddVisionTest() {
  auto t = std::make_unique<VisionTest>(this);
  t->sTestID = idWithNumber("W1", nextTestNumber());
  return vision_.append(std::move(t));
}

Session* Visit::AddSession() {
  qint32 n = 0;
  for (const auto& s : sessions_) n = std::max(n, idNumber(s->sSessionID, "S1"));
  auto s = std::make_unique<Session>(this);
  s->sSessionID = idWithNumber("S1", n + 1);
  s->dtDate = clock::nowDays();
  return sessions_.append(std::move(s));
}

// ---- The file.

quint64 SubjectFile::SamplesChecksum(double frequency, double acquired, qint64 count, const void* fz,
                                     const void* m1, const void* m2) {
  quint64 h =
      checksumStep(checksumStep(0, std::bit_cast<quint64>(frequency)), std::bit_cast<quint64>(acquired));
  h = checksumStep(h, static_cast<quint64>(count));
  for (const void* channel : {fz, m1, m2}) h = checksumBytes(h, channel, count * 4);
  return h;
}

SubjectFile::SubjectFile() = default;

SubjectFile::~SubjectFile() { Close(); }

void SubjectFile::setBeforeRenameHook(BeforeRenameHook hook) { beforeRenameHook() = std::move(hook); }

bool SubjectFile::fail(const QString& text) {
  lastError_ = text;
  eventlog::logEvent(QStringLiteral("%1: %2").arg(QLatin1String(kModule), forLog(text)), EventType::Error);
  return false;
}

void SubjectFile::resetContents() {
  visits_.clear();
  subject = SubjectInfo();
  sTitle.clear();
  sAuthor.clear();
  identification_.clear();
  creationDate_ = lastEditDate_ = kMissing;
}

void SubjectFile::Close() {
  if (db_) {
    ProcLog log(kModule, "Close", eventlog::privateFileName(fileName_));
    sqlite3_close_v2(db_);
    db_ = nullptr;
    log.completed();
  }
  resetContents();
  fileName_.clear();
}

qint32 SubjectFile::SessionCount() const {
  qint32 n = 0;
  for (const auto& v : visits_) n += v->SessionCount();
  return n;
}

Visit* SubjectFile::AddVisit() {
  qint32 n = 0;
  for (const auto& v : visits_) n = std::max(n, idNumber(v->sVisitID, "V1"));
  auto v = std::make_unique<Visit>();
  v->sVisitID = idWithNumber("V1", n + 1);
  const QDateTime now = clock::now();
  v->dtDate = clock::dateToDays(now.date());
  v->dtTimeBegin = v->dtTimeEnd = clock::toDays(now);
  return visits_.append(std::move(v));
}

bool SubjectFile::CreateEmpty(const QString& identification) {
  ProcLog log(kModule, "CreateEmpty", identification);
  Close();
  lastError_.clear();
  sqlite3* db = openMemory();
  QString error;
  if (!db || !createSchema(db, &error)) {
    sqlite3_close_v2(db);
    return fail(Str(2100).arg(error));
  }
  db_ = db;
  identification_ = identification;
  creationDate_ = lastEditDate_ = clock::nowDays();
  log.completed();
  return true;
}

bool SubjectFile::Open(const QString& path, const QString& identification) {
  ProcLog log(kModule, "Open", eventlog::privateFileName(path));
  Close();
  lastError_.clear();
  // Read by the name's own bytes, so that a name that is not valid UTF-8 opens too.
  QByteArray bytes;
  QString why;
  switch (folders::readFile(path, kMaxFileBytes, &bytes, &why)) {
    case folders::ReadResult::Missing:
      return fail(Str(2101).arg(path));
    case folders::ReadResult::TooLarge:
      return fail(Str(2102).arg(path));
    case folders::ReadResult::Failed:
      return fail(Str(2103).arg(path, why));
    case folders::ReadResult::Read:
      break;
  }
  if (!OpenBytes(bytes, identification, path)) return false;
  fileName_ = path;
  log.completed();
  return true;
}

bool SubjectFile::IsAcceptable(const QString& path, const QString& identification, QString* why) {
  SubjectFile f;
  const bool ok = f.Open(path, identification);
  if (!ok && why) *why = f.LastError();
  return ok;
}

bool SubjectFile::OpenBytes(const QByteArray& bytes, const QString& identification, const QString& path) {
  Close();
  lastError_.clear();
  const QString name = path.isEmpty() ? Str(2124) : path;
  static const char kMagic[] = "SQLite format 3";  // with its terminating zero: 16 bytes
  if (bytes.size() < 100 || std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
    return fail(Str(2104).arg(name));

  sqlite3* db = openMemory();
  if (!db) return fail(Str(2105).arg(name));
  auto* buf = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(bytes.size())));
  if (!buf) {
    sqlite3_close_v2(db);
    return fail(Str(2105).arg(name));
  }
  std::memcpy(buf, bytes.constData(), static_cast<size_t>(bytes.size()));
  if (sqlite3_deserialize(db, "main", buf, bytes.size(), bytes.size(),
                          SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return fail(Str(2104).arg(name));
  }
  db_ = db;
  // Every step below is bounded: a hostile file costs at most a fraction of a second.
  qint64 deadline = clock::threadCpuMs() + kOpenBudget;
  sqlite3_progress_handler(db_, 1000, pastDeadline, &deadline);
  const auto damaged = [&](const QString& why) {
    const bool interrupted = sqlite3_errcode(db_) == SQLITE_INTERRUPT;
    const QString text = Str(2106).arg(name, interrupted ? Str(2107) : why);
    Close();
    return fail(text);
  };
  const auto notOurs = [&]() {
    Close();
    return fail(Str(2104).arg(name));
  };

  // The layout first, from the header and the schema alone: none of the file's own SQL (a CHECK
  // constraint, say) runs before the file is known to hold exactly our tables.
  qint64 version = 0;
  {
    Stmt v(db_, QStringLiteral("PRAGMA user_version"));
    if (!v.ok() || v.step() != SQLITE_ROW) {
      if (sqlite3_errcode(db_) == SQLITE_NOTADB) return notOurs();
      return damaged(v.error());
    }
    version = sqlite3_column_int64(v.get(), 0);
  }
  if (version > kSchemaVersion) {
    Close();
    return fail(Str(2111).arg(name));
  }
  if ((version != 1 && version != kSchemaVersion) || schemaFingerprint(db_) != referenceFingerprint(version))
    return notOurs();
  {
    Stmt check(db_, QStringLiteral("PRAGMA quick_check(1)"));
    if (!check.ok() || check.step() != SQLITE_ROW) return damaged(check.error());
    const QString verdict = columnText(check.get(), 0);
    if (verdict != QLatin1String("ok")) return damaged(verdict);
  }
  {
    Stmt fk(db_, QStringLiteral("PRAGMA foreign_key_check"));
    if (!fk.ok()) return damaged(fk.error());
    const int rc = fk.step();
    if (rc == SQLITE_ROW) return damaged(Str(2109));
    if (rc != SQLITE_DONE) return damaged(fk.error());
  }

  // Properties first: a file of another kind is refused before anything else is read.
  {
    Stmt p(db_, QStringLiteral("SELECT name, value FROM properties"));
    if (!p.ok()) return damaged(p.error());
    bool haveId = false;
    int rc;
    while ((rc = p.step()) == SQLITE_ROW) {
      const QString key = columnText(p.get(), 0);
      if (key == QLatin1String("Identification")) {
        identification_ = columnText(p.get(), 1);
        haveId = true;
      } else if (key == QLatin1String("CreationDate")) {
        creationDate_ = sqlite3_column_double(p.get(), 1);
      } else if (key == QLatin1String("LastEditDate")) {
        lastEditDate_ = sqlite3_column_double(p.get(), 1);
      } else if (key == QLatin1String("Title")) {
        sTitle = columnText(p.get(), 1);
      } else if (key == QLatin1String("Author")) {
        sAuthor = columnText(p.get(), 1);
      } else if (key == QLatin1String("SchemaVersion")) {
        if (sqlite3_column_int64(p.get(), 1) != version) return damaged(Str(2110));
      }
    }
    if (rc != SQLITE_DONE) return damaged(p.error());
    if (!haveId) return damaged(Str(2108));
    if (identification_ != identification) {
      const QString found = identification_;
      Close();
      return fail(Str(2112).arg(name, found));
    }
  }
  if (!readAll(static_cast<int>(version))) return damaged(lastError_);
  sqlite3_progress_handler(db_, 0, nullptr, nullptr);  // our own work on the copy is not bounded
  if (version < kSchemaVersion) {
    // Everything is in the objects now; a save writes it all under the current schema.
    sqlite3* current = openMemory();
    if (!current || !createSchema(current, nullptr)) {
      sqlite3_close_v2(current);
      Close();
      return fail(Str(2105).arg(name));
    }
    sqlite3_close_v2(db_);
    db_ = current;
  }
  return true;
}

bool SubjectFile::readAll(int version) {
  const auto refuse = [&](const QString& why) {
    lastError_ = why;
    return false;
  };
  const auto select = [](const char* keys, const TableColumns& c, const char* rest) {
    return QStringLiteral("SELECT %1%2 FROM %3")
        .arg(QLatin1String(keys), c.names.join(u','), QLatin1String(rest));
  };
  bool haveSubject = false;
  if (!forEachRow(db_, select("", subjectColumns(), "subject WHERE only_row = 1"), lastError_,
                  [&](sqlite3_stmt* st) {
                    int i = 0;
                    readFields(st, i, subject, subjectFields());
                    return haveSubject = true;
                  }))
    return false;
  if (!haveSubject) return refuse(Str(2113));

  QHash<qint64, Visit*> visits;
  if (!forEachRow(db_, select("id, ", visitColumns(), "visit ORDER BY position, id"), lastError_,
                  [&](sqlite3_stmt* st) {
                    auto v = std::make_unique<Visit>();
                    int i = 1;
                    readFields(st, i, *v, visitFields());
                    readFields(st, i, v->phys, physFields());
                    readFields(st, i, v->contacts.referredBy, contactFields());
                    readFields(st, i, v->contacts.sendResultsTo, contactFields());
                    visits.insert(sqlite3_column_int64(st, 0), visits_.append(std::move(v)));
                    return true;
                  }))
    return false;

  QHash<qint64, Session*> sessions;
  if (!forEachRow(db_, select("id, visit, ", sessionColumns(), "session ORDER BY position, id"), lastError_,
                  [&](sqlite3_stmt* st) {
                    Visit* parent = visits.value(sqlite3_column_int64(st, 1));
                    if (!parent) return refuse(Str(2114));
                    auto x = std::make_unique<Session>(parent);
                    int i = 2;
                    readFields(st, i, *x, sessionFields());
                    readFields(st, i, x->kmOperator, operatorFields());
                    readFields(st, i, x->sgOperator, operatorFields());
                    sessions.insert(sqlite3_column_int64(st, 0), parent->sessions_.append(std::move(x)));
                    return true;
                  }))
    return false;

  // Balance and vision tests: the same columns before their own.
  const auto readTests = [&](const char* table, const auto& columns, const auto& fields, auto add) {
    return forEachRow(db_, select("id, session, ", columns, table), lastError_, [&](sqlite3_stmt* st) {
      Session* parent = sessions.value(sqlite3_column_int64(st, 1));
      if (!parent) return refuse(Str(2115));
      int i = 2;
      readFields(st, i, *add(parent, sqlite3_column_int64(st, 0)), fields);
      return true;
    });
  };
  QHash<qint64, BalanceTest*> balance;
  if (!readTests("balance_test ORDER BY position, id", balanceColumns(version), balanceFields(version),
                 [&](Session* parent, qint64 id) {
                   auto* t = parent->balance_.append(std::make_unique<BalanceTest>(parent));
                   balance.insert(id, t);
                   return t;
                 }) ||
      !readTests("vision_test ORDER BY position, id", visionColumns(), visionFields(),
                 [&](Session* parent, qint64) {
                   return parent->vision_.append(std::make_unique<VisionTest>(parent));
                 }))
    return false;

  const bool checked = version >= 2;  // version 1 stored no checksum
  return forEachRow(
      db_,
      QStringLiteral("SELECT test, frequency, acquired, sample_count, fz, m1, m2%1 FROM balance_samples")
          .arg(checked ? QStringLiteral(", checksum") : QString()),
      lastError_, [&](sqlite3_stmt* st) {
        BalanceTest* t = balance.value(sqlite3_column_int64(st, 0));
        const sqlite3_int64 n = sqlite3_column_int64(st, 3);
        if (!t || n < 0 || n > std::numeric_limits<qint32>::max() / 4) return refuse(Str(2116));
        const double frequency = sqlite3_column_double(st, 1), acquired = sqlite3_column_double(st, 2);
        const void* blob[3];
        for (int c = 0; c < 3; ++c) {
          blob[c] = sqlite3_column_blob(st, 4 + c);
          const int bytes = sqlite3_column_bytes(st, 4 + c);
          if (bytes != n * 4 || (n > 0 && !blob[c])) return refuse(Str(2117).arg(t->sTestID));
        }
        std::vector<float> ch[3];
        for (int c = 0; c < 3; ++c) ch[c] = blobToFloats(blob[c], static_cast<int>(n));
        t->SetTestData(std::make_shared<PlateTestDataBuffer>(
            static_cast<float>(frequency), acquired, std::move(ch[0]), std::move(ch[1]), std::move(ch[2])));
        if (checked) {
          const auto stored = static_cast<quint64>(sqlite3_column_int64(st, 7));
          if (stored != SamplesChecksum(frequency, acquired, n, blob[0], blob[1], blob[2])) {
            t->damagedChecksum_ = stored;
            eventlog::logEvent(
                QStringLiteral("%1: the recorded samples of test %2 do not match their checksum")
                    .arg(QLatin1String(kModule), t->sTestID),
                EventType::Error);
          }
        }
        return true;
      });
}

bool SubjectFile::writeAll() {
  QString error;
  if (!exec(db_, QStringLiteral("BEGIN IMMEDIATE"), &error)) return fail(error);
  const auto rollback = [&](const QString& why) {
    exec(db_, QStringLiteral("ROLLBACK"));
    return fail(Str(2118).arg(why));
  };
  for (const char* table :
       {"balance_samples", "balance_test", "vision_test", "session", "visit", "subject", "properties"}) {
    if (!exec(db_, QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), &error))
      return rollback(error);
  }
  {
    Stmt p(db_, QStringLiteral("INSERT INTO properties(name, value) VALUES (?, ?)"));
    if (!p.ok()) return rollback(p.error());
    const auto put = [&](const char* key, auto value) {
      bindText(p.get(), 1, QLatin1String(key));
      if constexpr (std::is_same_v<decltype(value), QString>)
        bindText(p.get(), 2, value);
      else if constexpr (std::is_same_v<decltype(value), double>)
        sqlite3_bind_double(p.get(), 2, value);
      else
        sqlite3_bind_int(p.get(), 2, value);
      return p.run();
    };
    if (!put("Identification", identification_) || !put("SchemaVersion", kSchemaVersion) ||
        !put("CreationDate", creationDate_) || !put("LastEditDate", lastEditDate_) || !put("Title", sTitle) ||
        !put("Author", sAuthor))
      return rollback(p.error());
  }
  {
    Stmt s(db_, insertSql("subject", {QStringLiteral("only_row")}, subjectColumns()));
    if (!s.ok()) return rollback(s.error());
    int i = bindKeys(s.get(), {1});
    bindFields(s.get(), i, subject, subjectFields());
    if (!s.run()) return rollback(s.error());
  }
  const QStringList childKeys = {QStringLiteral("id"), QStringLiteral("session"), QStringLiteral("position")};
  Stmt iv(db_, insertSql("visit", {QStringLiteral("id"), QStringLiteral("position")}, visitColumns()));
  Stmt is(db_,
          insertSql("session", {QStringLiteral("id"), QStringLiteral("visit"), QStringLiteral("position")},
                    sessionColumns()));
  Stmt ib(db_, insertSql("balance_test", childKeys, balanceColumns()));
  Stmt iw(db_, insertSql("vision_test", childKeys, visionColumns()));
  Stmt id(db_, QStringLiteral("INSERT INTO balance_samples(test, frequency, acquired, sample_count, fz, m1, "
                              "m2, checksum) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
  for (const Stmt* s : {&iv, &is, &ib, &iw, &id})
    if (!s->ok()) return rollback(s->error());
  qint64 visitId = 0, sessionId = 0, balanceId = 0, visionId = 0, visitPos = 0;
  for (const auto& v : visits_) {
    ++visitId;
    int i = bindKeys(iv.get(), {visitId, ++visitPos});
    bindFields(iv.get(), i, *v, visitFields());
    bindFields(iv.get(), i, v->phys, physFields());
    bindFields(iv.get(), i, v->contacts.referredBy, contactFields());
    bindFields(iv.get(), i, v->contacts.sendResultsTo, contactFields());
    if (!iv.run()) return rollback(iv.error());
    qint64 sessionPos = 0;
    for (const auto& x : v->sessions_) {
      ++sessionId;
      i = bindKeys(is.get(), {sessionId, visitId, ++sessionPos});
      bindFields(is.get(), i, *x, sessionFields());
      bindFields(is.get(), i, x->kmOperator, operatorFields());
      bindFields(is.get(), i, x->sgOperator, operatorFields());
      if (!is.run()) return rollback(is.error());
      qint64 testPos = 0;
      for (const auto& t : x->balance_) {
        ++balanceId;
        i = bindKeys(ib.get(), {balanceId, sessionId, ++testPos});
        bindFields(ib.get(), i, *t, balanceFields());
        if (!ib.run()) return rollback(ib.error());
        if (const auto data = t->storedData()) {
          sqlite3_bind_int64(id.get(), 1, balanceId);
          sqlite3_bind_double(id.get(), 2, data->Frequency());
          sqlite3_bind_double(id.get(), 3, data->DateTime());
          sqlite3_bind_int(id.get(), 4, data->Count());
          QByteArray blob[3];
          for (int c = 0; c < 3; ++c) {
            blob[c] = floatsToBlob(data->channel(c), data->Count());
            sqlite3_bind_blob(id.get(), 5 + c, blob[c].constData(), static_cast<int>(blob[c].size()),
                              SQLITE_TRANSIENT);
          }
          const quint64 checksum =
              t->damagedChecksum_
                  ? *t->damagedChecksum_
                  : SamplesChecksum(data->Frequency(), data->DateTime(), data->Count(), blob[0].constData(),
                                    blob[1].constData(), blob[2].constData());
          sqlite3_bind_int64(id.get(), 8, static_cast<sqlite3_int64>(checksum));
          if (!id.run()) return rollback(id.error());
        }
      }
      testPos = 0;
      for (const auto& t : x->vision_) {
        ++visionId;
        i = bindKeys(iw.get(), {visionId, sessionId, ++testPos});
        bindFields(iw.get(), i, *t, visionFields());
        if (!iw.run()) return rollback(iw.error());
      }
    }
  }
  if (!exec(db_, QStringLiteral("COMMIT"), &error)) return rollback(error);
  return true;
}

bool SubjectFile::Save(const QString& path) {
  ProcLog log(kModule, "Save", eventlog::privateFileName(path));
  lastError_.clear();
  if (!db_) return fail(Str(2119));
  const QString target = path.trimmed().isEmpty() ? fileName_ : path.trimmed();
  if (target.isEmpty()) return fail(Str(2120));

  const double previousEdit = lastEditDate_;
  lastEditDate_ = clock::nowDays();
  if (!writeAll()) {
    lastEditDate_ = previousEdit;
    return false;
  }
  log.step(QStringLiteral("Data stored"));

  const QFileInfo info(target);
  // Health data: the new file is the user's alone, whatever the file it replaces allowed.
  QString tempPath;
  {
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      tempPath = folders::hiddenTempPath(target);
      fd = ::open(QFile::encodeName(tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      const QString why = QString::fromLocal8Bit(std::strerror(errno));
      lastEditDate_ = previousEdit;
      return fail(Str(2121).arg(target, why));
    }
    ::close(fd);
  }
  const auto abandon = [&](const QString& why) {
    QFile::remove(tempPath);
    lastEditDate_ = previousEdit;
    return fail(Str(2122).arg(target, why));
  };

  sqlite3* out = nullptr;
  if (sqlite3_open_v2(QFile::encodeName(tempPath).constData(), &out, SQLITE_OPEN_READWRITE, nullptr) !=
      SQLITE_OK) {
    const QString why = QString::fromUtf8(sqlite3_errmsg(out));
    sqlite3_close_v2(out);
    return abandon(why);
  }
  // The temporary file is worthless until renamed, so it needs no journal of its own.
  exec(out, QStringLiteral("PRAGMA journal_mode = OFF"));
  sqlite3_backup* b = sqlite3_backup_init(out, "main", db_, "main");
  int rc = b ? sqlite3_backup_step(b, -1) : sqlite3_errcode(out);
  if (b) sqlite3_backup_finish(b);
  const QString backupError = QString::fromUtf8(sqlite3_errstr(rc));
  sqlite3_close_v2(out);
  if (rc != SQLITE_DONE) return abandon(backupError);
  if (!syncPath(tempPath, false)) return abandon(QString::fromLocal8Bit(std::strerror(errno)));
  log.step(QStringLiteral("Written and synced"));

  if (const auto& hook = beforeRenameHook(); hook && !hook(tempPath)) return abandon(Str(2123));
  if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(target).constData()) != 0)
    return abandon(QString::fromLocal8Bit(std::strerror(errno)));
  syncPath(info.absolutePath(), true);  // makes the rename itself durable
  fileName_ = target;
  log.completed();
  return true;
}

}  // namespace tarn
