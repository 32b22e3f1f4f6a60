#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/document_signature.hpp"

namespace zrq::channel {

// A channel's private key, as `keygen` writes it and `sign` takes it.
class SigningKey {
 public:
  // Reads a PEM private key; throws std::runtime_error when it is none, or
  // not an ECDSA P-256 key.
  static SigningKey load(const std::string& path);
  // A fresh key.
  static SigningKey generate();
  ~SigningKey();
  SigningKey(SigningKey&&) noexcept;
  SigningKey(const SigningKey&) = delete;

  const std::string& keyId() const { return keyId_; }
  // The public half, as a shell built with it holds it.
  cv::ChannelKey publicKey() const;
  // PKCS #8 private key and SubjectPublicKeyInfo, both PEM.
  std::string privatePem() const;
  std::string publicPem() const;
  // ECDSA over the SHA-256 of message, as r || s.
  cv::P256Signature sign(const std::string& message) const;

 private:
  explicit SigningKey(void* key);
  void* key_;  // EVP_PKEY
  std::string keyId_;
};

// A PEM public key (or the public half of a private one) as the shell holds
// its compiled-in keys; throws std::runtime_error for anything else.
cv::ChannelKey loadChannelKey(const std::string& path);

// The document signed for its path: signedAt = max(now, the document's own
// earlier signedAt), expiresAt = expiresAt or none, then the signature.
nlohmann::json signDocument(const nlohmann::json& document, const std::string& path,
                            const SigningKey& key, std::int64_t now,
                            std::optional<std::int64_t> expiresAt);

}  // namespace zrq::channel
