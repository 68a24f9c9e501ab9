#pragma once
// Helpers shared by the storage tests.
#include <QString>

#include <memory>

#include "data/storage/olestg.h"
#include "data/tests/data_testutil.h"

namespace tarn::stgtest {

using datatest::sandboxPath;

// A fresh memory root on a fresh block of the given tool.
inline std::shared_ptr<KMX_OLEStorage> memoryRoot(KMX_OLEStgTool& tool, const QString& name = "MEM_test") {
  const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
  return tool.CreateRootStorageOnMemory(name, stgmode::CreateReplace, h, 0, true);
}

inline bool writeStream(KMX_OLEStorage& st, const QString& name, std::initializer_list<StgValue> values) {
  auto s = st.CreateStream(name, stgmode::CreateReplace);
  if (!s) return false;
  for (const StgValue& v : values)
    if (!s->Write(v, true, false)) return false;
  return s->Commit(0);
}

// A fresh memory root for each test.
class MemoryRootTest : public ::testing::Test {
 protected:
  KMX_OLEStgTool tool;
  std::shared_ptr<KMX_OLEStorage> root = memoryRoot(tool);
};

// A small tree shaped like a list file: summary, [List] with streams and two numbered entries.
inline void buildSampleTree(KMX_OLEStorage& root) {
  root.OpenSummaryInfo();
  root.SetSummaryProperty("Subject", "Kamrith Labs MARC");
  root.SetSummaryProperty("Title", "File List");
  root.WriteSummaryInfo();
  auto list = root.CreateStorage("List", stgmode::CreateReplace);
  writeStream(*list, "Version", {StgValue::fromString("KM RQLists"), StgValue::fromSingle(1.0f)});
  writeStream(*list, "FileData", {StgValue::fromLong(2)});
  for (int i = 1; i <= 2; ++i) {
    auto f = list->CreateStorage(QString("File %1").arg(i), stgmode::CreateReplace);
    writeStream(*f, "Data",
                {StgValue::fromString(QString("subject%1.kpf").arg(i)), StgValue::fromLong(1000 * i),
                 StgValue::fromDate(45000.5 + i), StgValue::fromBoolean(i == 1)});
    auto t = f->CreateStorage("TestB 1", stgmode::CreateReplace);
    writeStream(*t, "Data", {StgValue::fromDouble(0.125 * i), StgValue::fromInteger(qint16(-i))});
  }
  root.Commit(stgcommit::Overwrite);
}

}  // namespace tarn::stgtest
