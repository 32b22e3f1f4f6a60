#include "net/rules/document_signature.hpp"
#include "core/messages.hpp"

#include <string>

#include <gtest/gtest.h>

#include "expect_error.hpp"
#include "net/rules/accepted_signature_record.hpp"
#include "signed_fixture.hpp"
#include "platform/rules/base64.hpp"

namespace cv {
namespace {

using nlohmann::json;
using namespace cv::testing;

SignatureMembers verify(const json& doc, std::int64_t now = kSignedAt,
                        std::optional<std::int64_t> newest = std::nullopt,
                        const std::string& path = kPath) {
  return verifyDocumentSignature(doc, path, {kSecond, kFirst}, now, newest);
}

TEST(SignedMessage, IsThePathThenTheDocumentWithoutItsSignatureCompactAndSorted) {
  const struct {
    const char* document;
    const char* message;
  } cases[] = {
      {R"({"b":1,"a":"x","signature":{"keyId":"k"}})", "p/q.json\n{\"a\":\"x\",\"b\":1}"},
      {R"({"n":"游\u620f \"q\" \\ \n\t\u0001/"})",
       "p/q.json\n{\"n\":\"游戏 \\\"q\\\" \\\\ \\n\\t\\u0001/\"}"},
      {R"({"o":{"z":[1,{"y":null,"x":true}],"a":{}},"e":[]})",
       "p/q.json\n{\"e\":[],\"o\":{\"a\":{},\"z\":[1,{\"x\":true,\"y\":null}]}}"},
      {R"({"signedAt":5, "signature":"not an object"})", "p/q.json\n{\"signedAt\":5}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.document);
    EXPECT_EQ(signedMessage("p/q.json", json::parse(c.document)), c.message);
  }
}

TEST(DocumentSignature, AcceptsTheChannelsSignatureByEitherKey) {
  const SignatureMembers members = verify(signedConfig(), kExpiresAt, kSignedAt);
  EXPECT_EQ(members.keyId, kFirst.keyId);
  EXPECT_EQ(members.signedAt, kSignedAt);
  EXPECT_EQ(members.expiresAt, kExpiresAt);
}

TEST(DocumentSignature, RefusesWhatTheChannelDidNotSign) {
  const std::string invalid = msg::kSignatureInvalid;
  const struct {
    const char* name;
    void (*change)(json&);
    std::string path;
    std::string message;
  } cases[] = {
      {"a changed member", [](json& d) { d["installer"]["sizeBytes"] = "4"; }, kPath, invalid},
      {"a changed nested value", [](json& d) { d["installer"]["packageId"][1]["a"] = 2.5; }, kPath,
       invalid},
      {"an added member", [](json& d) { d["extra"] = 1; }, kPath, invalid},
      {"a later signedAt", [](json& d) { d["signedAt"] = kSignedAt + 1; }, kPath, invalid},
      {"no expiry", [](json& d) { d.erase("expiresAt"); }, kPath, invalid},
      {"another package's path", [](json&) {}, "pc/config/1002.json", invalid},
      {"the manifest's path", [](json&) {}, "pc/shell/latest.json", invalid},
      {"no signature", [](json& d) { d.erase("signature"); }, kPath, invalid},
      {"a signature that is text", [](json& d) { d["signature"] = "x"; }, kPath, invalid},
      {"an unknown key", [](json& d) { d["signature"]["keyId"] = "0123456789abcdef"; }, kPath,
       invalid},
      {"a key id in capitals", [](json& d) { d["signature"]["keyId"] = "970D7B368B2D5D7C"; }, kPath,
       invalid},
      {"no value", [](json& d) { d["signature"].erase("value"); }, kPath, invalid},
      {"a value of 63 bytes", [](json& d) { d["signature"]["value"] = encodeBase64(std::vector<unsigned char>(63, 1)); },
       kPath, invalid},
      {"a value that is not base64", [](json& d) { d["signature"]["value"] = std::string(88, '*'); },
       kPath, invalid},
      {"no signedAt", [](json& d) { d.erase("signedAt"); }, kPath, invalid},
      {"a signedAt of 1.0", [](json& d) { d["signedAt"] = 1.0; }, kPath, invalid},
      {"a signedAt in text", [](json& d) { d["signedAt"] = "1765000000"; }, kPath, invalid},
      {"a negative signedAt", [](json& d) { d["signedAt"] = -1; }, kPath, invalid},
      {"an expiresAt in text", [](json& d) { d["expiresAt"] = "1900000000"; }, kPath, invalid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    json doc = signedConfig();
    c.change(doc);
    expectError([&] { verify(doc, kSignedAt, std::nullopt, c.path); }, BadData, c.message.c_str());
  }
}

TEST(DocumentSignature, RefusesAnExpiredOrOlderDocumentOnlyWhenItsSignatureHolds) {
  const struct {
    const char* name;
    std::int64_t now;
    std::optional<std::int64_t> newest;
    const char* message;  // nullptr: accepted
  } cases[] = {
      {"at the expiry", kExpiresAt, std::nullopt, nullptr},
      {"a second after it", kExpiresAt + 1, std::nullopt, msg::kDocumentExpired},
      {"the same signedAt accepted before", kSignedAt, kSignedAt, nullptr},
      {"a newer one accepted before", kSignedAt, kSignedAt + 1, msg::kDocumentRolledBack},
      {"expired and older", kExpiresAt + 1, kSignedAt + 1, msg::kDocumentExpired},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.message == nullptr) {
      EXPECT_NO_THROW(verify(signedConfig(), c.now, c.newest));
    } else {
      expectError([&] { verify(signedConfig(), c.now, c.newest); }, BadData, c.message);
    }
  }
  json forged = signedConfig();
  forged["displayName"] = "x";
  expectError([&] { verify(forged, kExpiresAt + 1, kSignedAt + 1); }, BadData,
              msg::kSignatureInvalid);
}

TEST(Base64, DecodesOnlyTheCanonicalForm) {
  const std::vector<unsigned char> bytes = {0xfb, 0xff, 0x00, 0x41};
  EXPECT_EQ(encodeBase64(bytes), "+/8AQQ==");
  EXPECT_EQ(decodeBase64("+/8AQQ=="), bytes);
  EXPECT_EQ(decodeBase64(""), std::vector<unsigned char>());
  for (const char* text : {"+/8AQR==", "+/8AQQ=", "+/8AQQ", "+/8A QQ==", "+/8AQQ==\n", "+/8=AQQ=",
                           "-_8AQQ==", "+/8AQQ=A"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(decodeBase64(text).has_value());
  }
}

TEST(AcceptedSignatureRecord, NamesOneFilePerPathAndReadsOnlyItsOwnPath) {
  EXPECT_EQ(acceptedSignatureFileName("pc/config/1001.json"), "pc-config-1001.json");
  EXPECT_EQ(acceptedSignatureFileName("pc/shell/latest.json"), "pc-shell-latest.json");
  for (const char* bad : {"", "../x", ".x", "a\\b", "a b", "a:b"}) {
    EXPECT_EQ(acceptedSignatureFileName(bad), "") << bad;
  }
  const std::string text = acceptedSignatureText(kPath, kSignedAt);
  EXPECT_EQ(text, "{\"path\":\"pc/config/1001.json\",\"signedAt\":1765000000}\n");
  EXPECT_EQ(readAcceptedSignature(text, kPath), kSignedAt);
  EXPECT_EQ(readAcceptedSignature(text, "pc/config/1002.json"), std::nullopt);
  for (const char* damaged : {"", "{", "[]", "{\"path\":\"pc/config/1001.json\"}",
                              "{\"path\":\"pc/config/1001.json\",\"signedAt\":\"1\"}"}) {
    EXPECT_EQ(readAcceptedSignature(damaged, kPath), std::nullopt) << damaged;
  }
}

}  // namespace
}  // namespace cv
