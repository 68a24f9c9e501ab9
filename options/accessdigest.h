#pragma once
// Digests of the access passwords. Only digests are stored, never a password.
#include <QString>

namespace tarn {
// PBKDF2-HMAC-SHA256 of the UTF-8 text with the station's fixed salt, 100 000 rounds, the first
// 20 bytes as 40 upper-case hexadecimal characters. The same text always gives the same digest.
QString AccessDigest(const QString& text);

inline constexpr int kDigestIterations = 100000;
inline constexpr char kDigestSalt[] = "Kamrith Labs TARN RQ access control";

}  // namespace tarn
