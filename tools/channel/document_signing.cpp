#include "document_signing.hpp"

#include <ctime>

#include "net/rules/json_body.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

constexpr std::int64_t kDay = 86400;

std::optional<std::int64_t> publishedSignedAt(const std::string& file) {
  try {
    const auto text = readSmallFile(file, cv::kJsonBodyLimit);
    if (!text) return std::nullopt;
    const nlohmann::json published = nlohmann::json::parse(*text, nullptr, false);
    if (published.is_object() && published.contains("signedAt") &&
        published["signedAt"].is_number_integer()) {
      return published["signedAt"].get<std::int64_t>();
    }
  } catch (const std::runtime_error&) {
  }
  return std::nullopt;
}

}  // namespace

std::optional<Signer> signerFor(const std::string& keyFile, unsigned expiresInDays) {
  if (keyFile.empty()) return std::nullopt;
  Signer signer{SigningKey::load(keyFile), static_cast<std::int64_t>(std::time(nullptr)), {}};
  if (expiresInDays > 0) signer.expiresAt = signer.now + kDay * expiresInDays;
  return signer;
}

nlohmann::json signForPublishing(const Signer& signer, const nlohmann::json& document,
                                 const std::string& path, const std::string& file) {
  std::int64_t now = signer.now;
  if (const auto published = publishedSignedAt(file); published && *published > now) {
    now = *published;
  }
  return signDocument(document, path, signer.key, now, signer.expiresAt);
}

}  // namespace zrq::channel
