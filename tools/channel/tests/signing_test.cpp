// The toolkit's keys and signatures against the shell's own rule.
#include <gtest/gtest.h>

#include "core/error.hpp"
#include "core/messages.hpp"
#include "channel_keys_file.hpp"
#include "net/rules/document_signature.hpp"
#include "signature_check.hpp"

namespace zrq::channel {
namespace {

const std::string kKeys = ZRQ_SOURCE_DIR "/tests/keys/";
constexpr char kPath[] = "pc/config/1001.json";

TEST(ChannelKeyFile, IdIsTheStartOfTheDigestOfTheDerPublicKey) {
  // `openssl pkey -pubin -in test-channel-1.pub.pem -outform DER | sha256sum`, first 16 digits.
  EXPECT_EQ(loadChannelKey(kKeys + "test-channel-1.pub.pem").keyId, "970d7b368b2d5d7c");
  EXPECT_EQ(SigningKey::load(kKeys + "test-channel-1.pem").keyId(), "970d7b368b2d5d7c");
  EXPECT_EQ(loadChannelKey(kKeys + "test-channel-2.pem").keyId, "1c601c6a9d6f1076");
  EXPECT_THROW(SigningKey::load(kKeys + "test-channel-1.pub.pem"), std::runtime_error);
}

TEST(SignDocument, SignsWhatTheShellAcceptsAndNeverGoesBackInTime) {
  const SigningKey key = SigningKey::load(kKeys + "test-channel-2.pem");
  const std::vector<cv::ChannelKey> keys = {loadChannelKey(kKeys + "test-channel-2.pub.pem")};
  const nlohmann::json document = {{"displayName", "游戏"}, {"expiresAt", 5}, {"signedAt", 900}};
  const struct {
    std::int64_t now;
    std::optional<std::int64_t> expiresAt;
    std::int64_t signedAt;
  } cases[] = {{1000, std::nullopt, 1000}, {800, 2000, 900}};
  for (const auto& c : cases) {
    const nlohmann::json signed_ = signDocument(document, kPath, key, c.now, c.expiresAt);
    EXPECT_EQ(signed_["signedAt"], c.signedAt);
    EXPECT_EQ(signed_.contains("expiresAt"), c.expiresAt.has_value());
    const auto members = cv::verifyDocumentSignature(signed_, kPath, keys, c.now, c.signedAt);
    EXPECT_EQ(members.expiresAt, c.expiresAt);
    EXPECT_THROW(cv::verifyDocumentSignature(signed_, "pc/config/1002.json", keys, c.now, {}),
                 cv::Error);
  }
}

TEST(JudgeSignature, WarnsOfAnExpiryWithinTwoWeeksAndLooksAtNothingWithoutKeys) {
  const SigningKey key = SigningKey::load(kKeys + "test-channel-1.pem");
  const Trust trust{{key.publicKey()}, 1000000};
  const struct {
    std::int64_t expiresIn;
    std::size_t warnings;
  } cases[] = {{kExpiryWarningSeconds - 1, 1}, {kExpiryWarningSeconds, 0}};
  for (const auto& c : cases) {
    Entry entry;
    const auto signed_ = signDocument({{"a", 1}}, kPath, key, trust.now, trust.now + c.expiresIn);
    EXPECT_TRUE(judgeSignature(signed_, kPath, trust, entry));
    EXPECT_EQ(entry.warnings.size(), c.warnings);
  }
  Entry unsigned_;
  EXPECT_TRUE(judgeSignature({{"a", 1}}, kPath, Trust{{}, 0}, unsigned_));
  EXPECT_FALSE(judgeSignature({{"a", 1}}, kPath, trust, unsigned_));
  EXPECT_EQ(unsigned_.problems.at(0).player, cv::msg::kSignatureInvalid);
}

}  // namespace
}  // namespace zrq::channel
