#pragma once

#include <string>
#include <vector>

namespace cv {

// Incremental digest through the system's CNG provider (libcrypto in the
// native build of the decision code).
class Sha256 {
 public:
  explicit Sha256(const std::wstring& algorithm = L"SHA256");
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* data, unsigned long length);
  std::vector<unsigned char> finish();

 private:
  void* provider_ = nullptr;  // BCRYPT_ALG_HANDLE (native: the EVP_MD)
  void* hash_ = nullptr;      // BCRYPT_HASH_HANDLE (native: the EVP_MD_CTX)
};

// Lower-case hexadecimal, two characters per byte.
std::string toHex(const std::vector<unsigned char>& bytes);

}  // namespace cv
