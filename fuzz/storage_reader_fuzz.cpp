// Treats the input as a storage file: open it, walk every storage, read every value with and
// without an asked type, convert each value, read the summary information, and copy the whole
// tree into a memory root. Anything but a clean failure is a finding.
#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "data/storage/olestg.h"

namespace {

using namespace tarn;

void readStream(KMX_OLEStream& s) {
  static const StgType kAsk[] = {StgType::String, StgType::Long, StgType::Integer, StgType::Single,
                                 StgType::Double, StgType::Date, StgType::Boolean};
  unsigned n = 0;
  while (!s.atEnd()) {
    // Alternate between plain reads and reads asking a type, so both paths see damaged bytes.
    const StgValue v = (n % 3 == 2) ? s.ReadNext(kAsk[n % 7], true, false) : s.ReadNext(true, n % 2 == 0);
    ++n;
    try {
      switch (v.type()) {
        case StgType::String:
          (void)v.toString().size();
          break;
        case StgType::Long:
          (void)v.toLong();
          break;
        case StgType::Integer:
          (void)v.toInteger();
          break;
        case StgType::Single:
          (void)v.toSingle();
          break;
        case StgType::Double:
          (void)v.toDouble();
          break;
        case StgType::Date:
          (void)v.toDate();
          break;
        case StgType::Boolean:
          (void)v.toBoolean16();
          break;
        default:
          (void)v.toLong();
          break;  // an error value: must throw
      }
      (void)v.toDouble();
    } catch (const StorageError&) {
    }
    if (v.isError()) break;
  }
}

void walk(KMX_OLEStorage& st, int depth) {
  if (depth > 32) return;
  QString name;
  for (auto t = st.EnumElements(0, name); t != StgElementType::End; t = st.EnumElements(1, name)) {
    if (t == StgElementType::Storage) {
      if (auto sub = st.OpenStorage(name, stgmode::Read)) walk(*sub, depth + 1);
    } else if (auto s = st.OpenStream(name, stgmode::Read)) {
      readStream(*s);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KMX_OLEStgTool tool;
  auto root = tool.OpenStorageImage(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                    QStringLiteral("fuzz input"));
  if (!root) return 0;
  if (root->OpenSummaryInfo()) (void)root->GetSummaryProperty(QStringLiteral("Subject"));
  walk(*root, 0);
  const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
  auto mem = tool.CreateRootStorageOnMemory(QStringLiteral("MEM_fuzz"), stgmode::CreateReplace, h, 0, true);
  if (mem && root->CopyTo(*mem)) {
    walk(*mem, 0);
    mem->Commit(stgcommit::Overwrite);
  }
  tool.ReleaseMemoryBlock(h);
  return 0;
}
