#include "net/rules/accepted_signature_record.hpp"

#include <nlohmann/json.hpp>

namespace cv {

std::string acceptedSignatureFileName(const std::string& path) {
  std::string name;
  for (char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (c == '/') {
      name += '-';
    } else if (plain) {
      name += c;
    } else {
      return {};
    }
  }
  if (name.empty() || name[0] == '.' || name.size() > 200) return {};
  return name;
}

std::string acceptedSignatureText(const std::string& path, std::int64_t signedAt) {
  return nlohmann::json{{"path", path}, {"signedAt", signedAt}}.dump() + "\n";
}

std::optional<std::int64_t> readAcceptedSignature(const std::string& text, const std::string& path) {
  const nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
  if (!record.is_object() || record.value("path", nlohmann::json()) != path) return std::nullopt;
  const auto signedAt = record.find("signedAt");
  if (signedAt == record.end() || !signedAt->is_number_integer()) return std::nullopt;
  return signedAt->get<std::int64_t>();
}

}  // namespace cv
