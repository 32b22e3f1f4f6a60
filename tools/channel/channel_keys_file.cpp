#include "channel_keys_file.hpp"

#include <stdexcept>
#include <utility>
#include <vector>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "platform/rules/base64.hpp"
#include "platform/sha256.hpp"

namespace zrq::channel {

namespace {

EVP_PKEY* pkey(void* key) { return static_cast<EVP_PKEY*>(key); }

struct Bio {
  BIO* bio;
  ~Bio() { BIO_free(bio); }
};

std::string bioText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

void requireP256(EVP_PKEY* key, const std::string& path) {
  char group[64] = {};
  std::size_t length = 0;
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC ||
      EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                     &length) != 1 ||
      std::string(group) != "prime256v1") {
    EVP_PKEY_free(key);
    throw std::runtime_error(path + " is not an ECDSA P-256 key");
  }
}

// The id the shell's build gives the key: the first 8 bytes of the SHA-256 of
// its DER SubjectPublicKeyInfo, in lower-case hex.
std::string keyIdOf(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key, &der);
  if (length <= 0) throw std::runtime_error("cannot encode the public key");
  cv::Sha256 sha;
  sha.update(der, static_cast<unsigned long>(length));
  OPENSSL_free(der);
  std::vector<unsigned char> digest = sha.finish();
  digest.resize(8);
  return cv::toHex(digest);
}

cv::P256PublicKey pointOf(EVP_PKEY* key) {
  unsigned char point[65];
  std::size_t length = 0;
  if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point,
                                      sizeof point, &length) != 1 ||
      length != sizeof point || point[0] != 0x04) {
    throw std::runtime_error("cannot read the public key's point");
  }
  cv::P256PublicKey out;
  std::copy(point + 1, point + 65, out.begin());
  return out;
}

EVP_PKEY* readPem(const std::string& path, bool privateKey) {
  Bio file{BIO_new_file(path.c_str(), "r")};
  if (file.bio == nullptr) throw std::runtime_error("cannot read " + path);
  EVP_PKEY* key = privateKey ? PEM_read_bio_PrivateKey(file.bio, nullptr, nullptr, nullptr)
                             : PEM_read_bio_PUBKEY(file.bio, nullptr, nullptr, nullptr);
  return key;
}

}  // namespace

SigningKey::SigningKey(void* key) : key_(key), keyId_(keyIdOf(pkey(key))) {}
SigningKey::SigningKey(SigningKey&& other) noexcept
    : key_(std::exchange(other.key_, nullptr)), keyId_(std::move(other.keyId_)) {}
SigningKey::~SigningKey() { EVP_PKEY_free(pkey(key_)); }

SigningKey SigningKey::load(const std::string& path) {
  EVP_PKEY* key = readPem(path, true);
  if (key == nullptr) throw std::runtime_error(path + " holds no PEM private key");
  requireP256(key, path);
  return SigningKey(key);
}

SigningKey SigningKey::generate() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (key == nullptr) throw std::runtime_error("cannot generate a P-256 key");
  return SigningKey(key);
}

cv::ChannelKey SigningKey::publicKey() const { return {keyId_, pointOf(pkey(key_))}; }

std::string SigningKey::privatePem() const {
  Bio out{BIO_new(BIO_s_mem())};
  if (PEM_write_bio_PrivateKey(out.bio, pkey(key_), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    throw std::runtime_error("cannot encode the private key");
  }
  return bioText(out.bio);
}

std::string SigningKey::publicPem() const {
  Bio out{BIO_new(BIO_s_mem())};
  if (PEM_write_bio_PUBKEY(out.bio, pkey(key_)) != 1) {
    throw std::runtime_error("cannot encode the public key");
  }
  return bioText(out.bio);
}

cv::P256Signature SigningKey::sign(const std::string& message) const {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  std::vector<unsigned char> der(128);
  std::size_t length = der.size();
  const bool signedOk =
      context != nullptr &&
      EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, pkey(key_)) == 1 &&
      EVP_DigestSign(context, der.data(), &length,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
  EVP_MD_CTX_free(context);
  if (!signedOk) throw std::runtime_error("cannot sign");
  const unsigned char* at = der.data();
  ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(length));
  if (sig == nullptr) throw std::runtime_error("cannot read the signature");
  cv::P256Signature out{};
  const bool fits = BN_bn2binpad(ECDSA_SIG_get0_r(sig), out.data(), 32) == 32 &&
                    BN_bn2binpad(ECDSA_SIG_get0_s(sig), out.data() + 32, 32) == 32;
  ECDSA_SIG_free(sig);
  if (!fits) throw std::runtime_error("cannot read the signature");
  return out;
}

cv::ChannelKey loadChannelKey(const std::string& path) {
  EVP_PKEY* key = readPem(path, false);
  if (key == nullptr) key = readPem(path, true);
  if (key == nullptr) throw std::runtime_error(path + " holds no PEM public key");
  requireP256(key, path);
  cv::ChannelKey channelKey;
  try {
    channelKey = {keyIdOf(key), pointOf(key)};
  } catch (...) {
    EVP_PKEY_free(key);
    throw;
  }
  EVP_PKEY_free(key);
  return channelKey;
}

nlohmann::json signDocument(const nlohmann::json& document, const std::string& path,
                            const SigningKey& key, std::int64_t now,
                            std::optional<std::int64_t> expiresAt) {
  nlohmann::json signedDocument = document;
  signedDocument.erase("signature");
  std::int64_t signedAt = now;
  const auto previous = document.find("signedAt");
  // Shells refuse a signedAt below one they accepted: never go back.
  if (previous != document.end() && previous->is_number_integer() &&
      previous->get<std::int64_t>() > signedAt) {
    signedAt = previous->get<std::int64_t>();
  }
  signedDocument["signedAt"] = signedAt;
  if (expiresAt) {
    signedDocument["expiresAt"] = *expiresAt;
  } else {
    signedDocument.erase("expiresAt");
  }
  const cv::P256Signature value = key.sign(cv::signedMessage(path, signedDocument));
  signedDocument["signature"] = {
      {"keyId", key.keyId()},
      {"value", cv::encodeBase64(std::vector<unsigned char>(value.begin(), value.end()))}};
  return signedDocument;
}

}  // namespace zrq::channel
