// Feeds arbitrary bytes to the list file reader: they must load or be refused, never crash.
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <unistd.h>
#include <cstdint>
#include <cstdlib>

#include "data/lists/list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = [] {
    const QString p = QDir::tempPath() + QStringLiteral("/tarnrq-fuzz-%1.slf").arg(::getpid());
    return p;
  }();
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
  f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  f.close();
  tarn::KM_RQList list;
  if (list.FileLoad(path)) {
    for (qint32 i = 1; i <= list.lFilesCount(); ++i) {
      const tarn::KM_RQListFile* e = list.lfFile(i);
      (void)e->fBMinLowestStabClass();
      (void)e->fVMaxHighestValue();
      for (qint32 t = 1; t <= e->lTestBalanceCount(); ++t) (void)e->ltTestBalanceItem(t)->fStability;
    }
  } else if (list.lFilesCount() != 0) {
    std::abort();  // a refused file must leave the list empty
  }
  return 0;
}
