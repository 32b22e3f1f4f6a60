#include "platform/sha256.hpp"
#include "core/messages.hpp"

#include <windows.h>
#include <bcrypt.h>

#include "core/error.hpp"

namespace cv {

namespace {

bool failed(NTSTATUS status) { return status < 0; }

}  // namespace

Sha256::Sha256(const std::wstring& algorithm) {
  BCRYPT_ALG_HANDLE provider = nullptr;
  ensure(!failed(::BCryptOpenAlgorithmProvider(&provider, algorithm.c_str(), nullptr, 0)),
         UnexpectedFailure, msg::kSha256ProviderFailed);
  provider_ = provider;

  BCRYPT_HASH_HANDLE hash = nullptr;
  // The provider allocates and owns the hash object memory.
  if (failed(::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) {
    ::BCryptCloseAlgorithmProvider(provider, 0);
    provider_ = nullptr;
    throw Error(UnexpectedFailure, msg::kSha256CreationFailed);
  }
  hash_ = hash;
}

Sha256::~Sha256() {
  if (hash_ != nullptr) ::BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
  if (provider_ != nullptr)
    ::BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(provider_), 0);
}

void Sha256::update(const void* data, unsigned long length) {
  auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  ensure(!failed(::BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_), bytes, length, 0)),
         UnexpectedFailure, msg::kSha256UpdateFailed);
}

std::vector<unsigned char> Sha256::finish() {
  DWORD length = 0;
  ULONG copied = 0;
  ensure(!failed(::BCryptGetProperty(static_cast<BCRYPT_ALG_HANDLE>(provider_),
                                     BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length),
                                     sizeof(length), &copied, 0)),
         UnexpectedFailure, msg::kHashLengthFailed);
  std::vector<unsigned char> digest(length, 0);
  ensure(!failed(::BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_), digest.data(),
                                    length, 0)),
         UnexpectedFailure, msg::kSha256FinishFailed);
  return digest;
}

}  // namespace cv
