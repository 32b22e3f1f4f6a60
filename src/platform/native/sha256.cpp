// SHA-256 through OpenSSL's libcrypto for builds without CNG (the channel
// toolkit on Linux); the same interface, failures and messages as the shell's.
#include "platform/sha256.hpp"
#include "core/messages.hpp"

#include <openssl/evp.h>

#include "core/error.hpp"

namespace cv {

namespace {
EVP_MD_CTX* context(void* handle) { return static_cast<EVP_MD_CTX*>(handle); }
}  // namespace

Sha256::Sha256(const std::wstring& algorithm) {
  // Only the one algorithm the shell uses; OpenSSL would accept other names.
  const EVP_MD* md = algorithm == L"SHA256" ? EVP_sha256() : nullptr;
  ensure(md != nullptr, UnexpectedFailure, msg::kSha256ProviderFailed);
  provider_ = const_cast<EVP_MD*>(md);
  hash_ = EVP_MD_CTX_new();
  if (hash_ == nullptr || EVP_DigestInit_ex(context(hash_), md, nullptr) != 1) {
    EVP_MD_CTX_free(context(hash_));
    hash_ = nullptr;
    provider_ = nullptr;
    throw Error(UnexpectedFailure, msg::kSha256CreationFailed);
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(context(hash_)); }

void Sha256::update(const void* data, unsigned long length) {
  ensure(EVP_DigestUpdate(context(hash_), data, length) == 1, UnexpectedFailure,
         msg::kSha256UpdateFailed);
}

std::vector<unsigned char> Sha256::finish() {
  const int length = EVP_MD_size(static_cast<const EVP_MD*>(provider_));
  ensure(length > 0, UnexpectedFailure, msg::kHashLengthFailed);
  std::vector<unsigned char> digest(static_cast<std::size_t>(length));
  unsigned int written = 0;
  ensure(EVP_DigestFinal_ex(context(hash_), digest.data(), &written) == 1 &&
             written == digest.size(),
         UnexpectedFailure, msg::kSha256FinishFailed);
  return digest;
}

}  // namespace cv
