#include "platform/sha256.hpp"

#include <gtest/gtest.h>

#include <string>

#include "core/error.hpp"

namespace cv {
namespace {

std::string digestOf(const std::string& text) {
  Sha256 digest;
  digest.update(text.data(), static_cast<unsigned long>(text.size()));
  return toHex(digest.finish());
}

TEST(Sha256, MatchesTheStandardVectors) {
  Sha256 empty;
  EXPECT_EQ(toHex(empty.finish()),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(digestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, SplitUpdatesIncludingEmptyPiecesGiveTheSameDigest) {
  const std::string text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  Sha256 digest;
  digest.update(text.data(), 0);
  digest.update(text.data(), 1);
  digest.update(text.data() + 1, 0);
  digest.update(text.data() + 1, 30);
  digest.update(nullptr, 0);
  digest.update(text.data() + 31, static_cast<unsigned long>(text.size() - 31));
  const std::vector<unsigned char> bytes = digest.finish();
  EXPECT_EQ(bytes.size(), 32u);
  EXPECT_EQ(toHex(bytes), digestOf(text));
}

TEST(Sha256, HexIsLowerCaseTwoCharactersPerByte) {
  EXPECT_EQ(toHex({0x00, 0xAB, 0xFF}), "00abff");
}

TEST(Sha256, UnsupportedAlgorithmFailsAtConstruction) {
  try {
    Sha256 digest(L"NOT-A-HASH");
    FAIL() << "construction succeeded";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, UnexpectedFailure);
    EXPECT_STREQ(error.what(), "SHA256 provider failed");
  }
}

}  // namespace
}  // namespace cv
