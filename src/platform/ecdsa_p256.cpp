#include "platform/ecdsa_p256.hpp"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "platform/sha256.hpp"

namespace cv {

namespace {

struct Provider {
  BCRYPT_ALG_HANDLE handle = nullptr;
  ~Provider() {
    if (handle != nullptr) ::BCryptCloseAlgorithmProvider(handle, 0);
  }
};

struct Key {
  BCRYPT_KEY_HANDLE handle = nullptr;
  ~Key() {
    if (handle != nullptr) ::BCryptDestroyKey(handle);
  }
};

// STATUS_INVALID_SIGNATURE: the one answer that means "checked, and wrong".
constexpr NTSTATUS kInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);

}  // namespace

SignatureCheck verifyP256(const P256PublicKey& key, const std::string& message,
                          const P256Signature& signature) noexcept {
  try {
    Sha256 sha;
    sha.update(message.data(), static_cast<unsigned long>(message.size()));
    std::vector<unsigned char> digest = sha.finish();

    Provider provider;
    if (::BCryptOpenAlgorithmProvider(&provider.handle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) <
        0) {
      return SignatureCheck::Unavailable;
    }
    // BCRYPT_ECCKEY_BLOB followed by X and Y.
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, key.data(), key.size());
    Key imported;
    if (::BCryptImportKeyPair(provider.handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported.handle,
                              blob, sizeof blob, 0) < 0) {
      // A point that is not on the curve is a key nobody can sign for.
      return SignatureCheck::Invalid;
    }
    unsigned char value[64];
    std::memcpy(value, signature.data(), sizeof value);
    const NTSTATUS status =
        ::BCryptVerifySignature(imported.handle, nullptr, digest.data(),
                                static_cast<ULONG>(digest.size()), value, sizeof value, 0);
    if (status == 0) return SignatureCheck::Valid;
    return status == kInvalidSignature ? SignatureCheck::Invalid : SignatureCheck::Unavailable;
  } catch (...) {
    return SignatureCheck::Unavailable;
  }
}

}  // namespace cv
