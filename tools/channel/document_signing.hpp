#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "channel_keys_file.hpp"

namespace zrq::channel {

// How `sign`, `package --key` and `shell --key` sign: one key, one clock
// reading, one expiry for every document of a run.
struct Signer {
  SigningKey key;
  std::int64_t now = 0;
  std::optional<std::int64_t> expiresAt;
};

// The signer for --key (nothing when it is empty) and --expires-in DAYS (0:
// no expiry). Throws std::runtime_error for a file that is no P-256 key.
std::optional<Signer> signerFor(const std::string& keyFile, unsigned expiresInDays);

// The document signed for its path on the file host; its signedAt never goes
// below the one of the document published at file, since shells that accepted
// that one refuse anything older.
nlohmann::json signForPublishing(const Signer& signer, const nlohmann::json& document,
                                 const std::string& path, const std::string& file);

}  // namespace zrq::channel
