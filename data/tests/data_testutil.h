#pragma once
// File, database, corpus and stream helpers shared by the data tests.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include "data/storage/olestg.h"
#include "testsupport/sandbox.h"

namespace tarn::datatest {

inline QString sandboxPath(const QString& file) { return QDir(testsupport::sandboxFolder()).filePath(file); }

inline QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// Runs SQL straight on a file, as a damaged, hand-edited or foreign file would look.
inline void execSql(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
  char* msg = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &msg), SQLITE_OK) << (msg ? msg : "");
  sqlite3_free(msg);
  sqlite3_close(db);
}

// Flips `count` bytes of a file, starting `offset` bytes after the first place that holds
// `marker`, as a damaged disk sector would.
inline void flipBytesAfter(const QString& path, const QByteArray& marker, qsizetype offset, int count) {
  QByteArray bytes = fileBytes(path);
  const qsizetype at = bytes.indexOf(marker);
  ASSERT_GE(at, 0);
  ASSERT_LE(at + offset + count, bytes.size());
  for (qsizetype i = at + offset; i < at + offset + count; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  writeBytes(path, bytes);
}

// A folder of the fuzzing corpus, found from the source tree.
inline QDir corpusDir(const char* name) {
  return QDir(QStringLiteral(TARNRQ_SOURCE_DIR "/fuzz/corpus/") + name);
}

// The value kinds of a stream, one letter each (S, L, I, F, D, T, B); "none" when it is missing.
inline QString streamKinds(KMX_OLEStorage& storage, const QString& stream) {
  auto st = storage.OpenStream(stream, stgmode::Read);
  if (!st) return "none";
  QString out;
  for (StgValue v = st->ReadNext(); !v.isError(); v = st->ReadNext()) out += "?SLIFDTB"[int(v.type())];
  return out;
}

}  // namespace tarn::datatest
