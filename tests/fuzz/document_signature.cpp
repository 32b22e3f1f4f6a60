// The signature rule of a keyed shell, fed any body at a configuration's
// path: besides not crashing, a document is accepted only when what it signs
// is exactly what the channel signed (the test key's configuration of
// tests/unit/signed_fixture.hpp): no changed byte of any member, no member
// added or removed, gets through; and every refusal is one of the three
// failures a player may see for it.
#include <string>

#include "../unit/signed_fixture.hpp"
#include "core/messages.hpp"
#include "fuzz_support.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/rule_error.hpp"

namespace {

using nlohmann::json;
using namespace cv::testing;

bool isRefusal(const cv::Error& error) {
  const std::string message = error.what();
  return error.code == cv::BadData &&
         (message == cv::msg::kSignatureInvalid || message == cv::msg::kDocumentExpired ||
          message == cv::msg::kDocumentRolledBack);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zrq::fuzz::Input input(data, size);
  // The first byte picks the clock and what was accepted before.
  const std::uint8_t mode = input.byte();
  const std::int64_t now = mode & 1 ? kExpiresAt + 1 : kSignedAt;
  const std::optional<std::int64_t> newest =
      mode & 2 ? std::optional<std::int64_t>(kSignedAt + (mode & 4 ? 1 : 0)) : std::nullopt;
  json document;
  try {
    document = cv::parseJsonBody(std::string(input.rest()));
  } catch (const json::exception&) {
    return 0;
  }
  if (!document.is_object()) return 0;
  static const std::string original = cv::signedMessage(kPath, signedConfig());
  try {
    cv::verifyDocumentSignature(document, kPath, {kSecond, kFirst}, now, newest);
    FUZZ_REQUIRE(cv::signedMessage(kPath, document) == original);
    FUZZ_REQUIRE(now <= kExpiresAt && (!newest || *newest <= kSignedAt));
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(isRefusal(error));
  }
  return 0;
}
