// ECDSA P-256 through OpenSSL's libcrypto for builds without CNG (the channel
// toolkit on Linux); the same interface and answers as the shell's.
#include "platform/ecdsa_p256.hpp"

#include <memory>

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

namespace cv {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

void freeBytes(unsigned char* bytes) { OPENSSL_free(bytes); }

// The public key from its uncompressed point (0x04 || X || Y).
Owned<EVP_PKEY, EVP_PKEY_free> publicKey(const P256PublicKey& key) {
  unsigned char point[65];
  point[0] = 0x04;
  std::copy(key.begin(), key.end(), point + 1);
  Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free> build(OSSL_PARAM_BLD_new());
  if (!build ||
      OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) != 1 ||
      OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point) != 1) {
    return nullptr;
  }
  Owned<OSSL_PARAM, OSSL_PARAM_free> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* made = nullptr;
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &made, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
    return nullptr;
  }
  return Owned<EVP_PKEY, EVP_PKEY_free>(made);
}

}  // namespace

SignatureCheck verifyP256(const P256PublicKey& key, const std::string& message,
                          const P256Signature& signature) noexcept {
  const auto pkey = publicKey(key);
  if (!pkey) return SignatureCheck::Invalid;  // not a point of the curve
  // DER form of r || s, as libcrypto verifies it.
  Owned<ECDSA_SIG, ECDSA_SIG_free> sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
  BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return SignatureCheck::Unavailable;
  }
  unsigned char* der = nullptr;
  const int derLength = i2d_ECDSA_SIG(sig.get(), &der);
  if (derLength <= 0) return SignatureCheck::Unavailable;
  Owned<unsigned char, freeBytes> derOwned(der);
  Owned<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) != 1) {
    return SignatureCheck::Unavailable;
  }
  const int verdict = EVP_DigestVerify(context.get(), der, static_cast<std::size_t>(derLength),
                                       reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size());
  if (verdict == 1) return SignatureCheck::Valid;
  return SignatureCheck::Invalid;
}

}  // namespace cv
