#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/messages.hpp"
#include "platform/ecdsa_p256.hpp"

namespace cv {

// What a shell built with channel keys says of a document it refuses.

// A public key a channel signs its documents with. Its id is the lower-case
// hex of the first 8 bytes of the SHA-256 of its DER SubjectPublicKeyInfo.
struct ChannelKey {
  std::string keyId;
  P256PublicKey point;
};

// The members a signed document carries at its top level.
struct SignatureMembers {
  std::string keyId;  // 16 lower-case hex digits
  P256Signature value;
  std::int64_t signedAt = 0;  // Unix time in seconds
  std::optional<std::int64_t> expiresAt;
};

// What is signed: the document's path on the file host (no leading slash), a
// line feed, then the document without its "signature" member, serialised as
// the shell serialises JSON everywhere (compact, keys in ascending byte order,
// non-ASCII characters as UTF-8).
std::string signedMessage(const std::string& path, const nlohmann::json& document);

// The signature members of an object, or RuleError(-5, msg::kSignatureInvalid)
// naming the malformed or missing one.
SignatureMembers readSignatureMembers(const nlohmann::json& document);

// A keyed shell's judgement of a fetched object, before any of its other
// members is used: signed by one of keys, not expired at now, and not older
// than the newest signedAt this machine accepted for the same path. Returns
// the members; throws RuleError(-5, ...) with the refusal's message.
SignatureMembers verifyDocumentSignature(const nlohmann::json& document, const std::string& path,
                                         const std::vector<ChannelKey>& keys, std::int64_t now,
                                         std::optional<std::int64_t> newestAccepted);

}  // namespace cv
