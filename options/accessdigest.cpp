#include "options/accessdigest.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>

namespace tarn {
QString AccessDigest(const QString& text) {
  const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, text.toUtf8(),
                                                            QByteArray(kDigestSalt), kDigestIterations, 20);
  return QString::fromLatin1(key.toHex().toUpper());
}
}  // namespace tarn
