#include "net/rules/document_signature.hpp"
#include "core/messages.hpp"

#include <limits>

#include "core/error.hpp"
#include "net/rules/rule_error.hpp"
#include "platform/rules/base64.hpp"

namespace cv {

namespace {

constexpr char kSignatureLimit[] =
    "an object {\"keyId\": 16 lower-case hex digits, \"value\": base64 of the 64-byte r||s}";
constexpr char kTimeLimit[] = "a non-negative integer Unix time in seconds";
constexpr std::size_t kKeyIdDigits = 16;

bool isKeyId(const std::string& text) {
  if (text.size() != kKeyIdDigits) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// A JSON integer that fits 0..INT64_MAX (a number like 1.0 is no integer here).
std::optional<std::int64_t> unixTime(const nlohmann::json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
  }
  if (value.is_number_integer() && value.get<std::int64_t>() >= 0) return value.get<std::int64_t>();
  return std::nullopt;
}

void refuseUnless(bool condition, const char* field, const char* limit) {
  ensureRule(condition, BadData, msg::kSignatureInvalid, field, limit);
}

}  // namespace

std::string signedMessage(const std::string& path, const nlohmann::json& document) {
  nlohmann::json unsigned_ = document;
  unsigned_.erase("signature");
  return path + "\n" + unsigned_.dump();
}

SignatureMembers readSignatureMembers(const nlohmann::json& document) {
  SignatureMembers members;
  const auto signature = document.find("signature");
  refuseUnless(signature != document.end() && signature->is_object(), "signature",
               kSignatureLimit);
  const auto keyId = signature->find("keyId");
  refuseUnless(keyId != signature->end() && keyId->is_string() &&
                   isKeyId(keyId->get_ref<const std::string&>()),
               "signature.keyId", "16 lower-case hex digits");
  members.keyId = keyId->get<std::string>();
  const auto value = signature->find("value");
  std::optional<std::vector<unsigned char>> bytes;
  if (value != signature->end() && value->is_string()) {
    bytes = decodeBase64(value->get_ref<const std::string&>());
  }
  refuseUnless(bytes && bytes->size() == members.value.size(), "signature.value",
               "base64 of the 64-byte r||s (88 characters)");
  std::copy(bytes->begin(), bytes->end(), members.value.begin());

  const auto signedAt = document.find("signedAt");
  const std::optional<std::int64_t> at =
      signedAt != document.end() ? unixTime(*signedAt) : std::nullopt;
  refuseUnless(at.has_value(), "signedAt", kTimeLimit);
  members.signedAt = *at;
  const auto expiresAt = document.find("expiresAt");
  if (expiresAt != document.end()) {
    members.expiresAt = unixTime(*expiresAt);
    refuseUnless(members.expiresAt.has_value(), "expiresAt", kTimeLimit);
  }
  return members;
}

SignatureMembers verifyDocumentSignature(const nlohmann::json& document, const std::string& path,
                                         const std::vector<ChannelKey>& keys, std::int64_t now,
                                         std::optional<std::int64_t> newestAccepted) {
  const SignatureMembers members = readSignatureMembers(document);
  const ChannelKey* key = nullptr;
  for (const ChannelKey& candidate : keys) {
    if (candidate.keyId == members.keyId) key = &candidate;
  }
  refuseUnless(key != nullptr, "signature.keyId", "the id of a key this shell was built with");
  // A provider that cannot be had verifies nothing: the document is refused.
  refuseUnless(verifyP256(key->point, signedMessage(path, document), members.value) ==
                   SignatureCheck::Valid,
               "signature.value", "a signature of this document at this path by that key");
  ensureRule(!members.expiresAt || now <= *members.expiresAt, BadData, msg::kDocumentExpired,
             "expiresAt", "a time not yet past by this machine's clock");
  ensureRule(!newestAccepted || members.signedAt >= *newestAccepted, BadData,
             msg::kDocumentRolledBack, "signedAt",
             "not older than the newest signedAt this machine accepted for this path");
  return members;
}

}  // namespace cv
