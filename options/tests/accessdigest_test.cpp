#include <gtest/gtest.h>

#include <QRegularExpression>

#include "options/accessdigest.h"
#include "options/tests/optionstest.h"

namespace tarn {
namespace {

// The only test that pays the real rounds: it pins the algorithm and the factory digests.
TEST(Digest, KnownAnswersAndFactoryDigests) {
  // Known answers from an independent PBKDF2-HMAC-SHA256 with the same salt and rounds.
  const QString abc = AccessDigest("abc");
  EXPECT_EQ(abc, "9D785C9621C71257EEBE456EC5F7AB7073A64087");
  EXPECT_EQ(AccessDigest(QString::fromUtf8("Pässwort 1")), "12B7F206958CE7B34586C8D1CC007FFFF60611A4");
  EXPECT_EQ(AccessDigest("TARN-RQ-Admin-1999"), kFactoryAdminDigest);
  EXPECT_EQ(AccessDigest("TARN-RQ-Operator-1999"), kFactoryOperatorDigest);
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]{40}$").match(abc).hasMatch());
}

TEST(Digest, InstalledFunctionStandsInUntilRemoved) {
  {
    testing::CheapDigest cheap;
    EXPECT_NE(AccessDigest("abc"), "9D785C9621C71257EEBE456EC5F7AB7073A64087");
    EXPECT_EQ(AccessDigest("abc"), AccessDigest("abc"));
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{40}$").match(AccessDigest("abc")).hasMatch());
  }
  EXPECT_FALSE(setAccessDigestFunction({})) << "the real digest is back";
}

}  // namespace
}  // namespace tarn
