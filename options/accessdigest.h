#pragma once
// Digests of the access passwords. Only digests are stored, never a password.
#include <QString>
#include <functional>

namespace tarn {
// PBKDF2-HMAC-SHA256 of the UTF-8 text with the station's fixed salt, 100 000 rounds, the first
// 20 bytes as 40 upper-case hexadecimal characters. The same text always gives the same digest.
// Goes through the installed digest function (below).
QString AccessDigest(const QString& text);
// The real digest, whatever function is installed.
QString Pbkdf2AccessDigest(const QString& text);

// Tests install a cheap digest so that password rules are checked without paying the rounds
// each time; returns the previous function. An empty function restores the real digest.
using AccessDigestFunction = std::function<QString(const QString&)>;
AccessDigestFunction setAccessDigestFunction(AccessDigestFunction digest);

inline constexpr int kDigestIterations = 100000;
inline constexpr char kDigestSalt[] = "Kamrith Labs TARN RQ access control";

// Digests of the two factory passwords: written at the first start and restored when a password
// is set to empty. While "Key1" holds the administrator's, no administrator password is set.
inline constexpr char kFactoryAdminDigest[] = "DE0B102D9CCEA92EF5B97A5C2F003EA2B8CB71E7";
inline constexpr char kFactoryOperatorDigest[] = "13985166CD79C1AC281533E080DC74B5C6738277";

}  // namespace tarn
