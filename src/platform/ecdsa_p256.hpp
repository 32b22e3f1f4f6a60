#pragma once

#include <array>
#include <string>

namespace cv {

// An ECDSA P-256 public key as the point's coordinates X || Y (32 bytes each,
// big-endian), and a signature as r || s (32 bytes each, big-endian).
using P256PublicKey = std::array<unsigned char, 64>;
using P256Signature = std::array<unsigned char, 64>;

enum class SignatureCheck {
  Valid,
  Invalid,
  Unavailable,  // the system's provider could not be had: nothing can be trusted
};

// ECDSA over the SHA-256 of message, through the system's CNG provider
// (libcrypto in the native build of the decision code).
SignatureCheck verifyP256(const P256PublicKey& key, const std::string& message,
                          const P256Signature& signature) noexcept;

}  // namespace cv
