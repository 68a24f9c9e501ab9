#include "options/accessdigest.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>

namespace tarn {
namespace {
AccessDigestFunction& installed() {
  static AccessDigestFunction f;
  return f;
}
}  // namespace

QString Pbkdf2AccessDigest(const QString& text) {
  const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, text.toUtf8(),
                                                            QByteArray(kDigestSalt), kDigestIterations, 20);
  return QString::fromLatin1(key.toHex().toUpper());
}

QString AccessDigest(const QString& text) {
  const AccessDigestFunction& f = installed();
  return f ? f(text) : Pbkdf2AccessDigest(text);
}

AccessDigestFunction setAccessDigestFunction(AccessDigestFunction digest) {
  return std::exchange(installed(), std::move(digest));
}

}  // namespace tarn
