#include "platform/ecdsa_p256.hpp"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "platform/sha256.hpp"
#include "platform/unique_handle.hpp"

namespace cv {

namespace {

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { ::BCryptCloseAlgorithmProvider(handle, 0); }
};

struct KeyTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { ::BCryptDestroyKey(handle); }
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

    BCRYPT_ALG_HANDLE opened = nullptr;
    const NTSTATUS openStatus =
        ::BCryptOpenAlgorithmProvider(&opened, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    const UniqueHandle<AlgorithmTraits> provider(opened);
    if (openStatus < 0) return SignatureCheck::Unavailable;
    // BCRYPT_ECCKEY_BLOB followed by X and Y.
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, key.data(), key.size());
    BCRYPT_KEY_HANDLE keyHandle = nullptr;
    const NTSTATUS importStatus = ::BCryptImportKeyPair(provider.get(), nullptr,
                                                        BCRYPT_ECCPUBLIC_BLOB, &keyHandle, blob,
                                                        sizeof blob, 0);
    const UniqueHandle<KeyTraits> imported(keyHandle);
    if (importStatus < 0) {
      // A point that is not on the curve is a key nobody can sign for.
      return SignatureCheck::Invalid;
    }
    unsigned char value[64];
    std::memcpy(value, signature.data(), sizeof value);
    const NTSTATUS status =
        ::BCryptVerifySignature(imported.get(), nullptr, digest.data(),
                                static_cast<ULONG>(digest.size()), value, sizeof value, 0);
    if (status == 0) return SignatureCheck::Valid;
    return status == kInvalidSignature ? SignatureCheck::Invalid : SignatureCheck::Unavailable;
  } catch (...) {
    return SignatureCheck::Unavailable;
  }
}

}  // namespace cv
