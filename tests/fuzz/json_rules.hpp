#pragma once

// For the targets that judge JSON documents: what a call ended with, and the
// descriptor rules written out a second time, independently of the shell's
// code, with the regular expressions they are stated in.

#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/error.hpp"
#include "net/rules/json_body.hpp"

namespace zrq::fuzz {

struct Outcome {
  enum Kind { Accepted, Refused, LibraryError } kind = Accepted;
  int code = 0;
  std::string message;  // of a refusal

  bool operator==(const Outcome& other) const {
    return kind == other.kind && code == other.code && message == other.message;
  }
};

// The body as the shell parses a server's answer; nothing when it refuses it.
inline std::optional<nlohmann::json> documentFrom(std::string_view body) {
  try {
    return cv::parseJsonBody(std::string(body));
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

inline Outcome refused(int code, const char* message) { return {Outcome::Refused, code, message}; }
inline Outcome libraryError() { return {Outcome::LibraryError, 0, {}}; }

// Runs the call: accepted, refused with the shell's Error, or stopped by the
// JSON library (a missing member, a member of an unusable type). Anything else
// escapes, and libFuzzer reports it.
template <typename Call>
Outcome outcomeOf(Call&& call) {
  try {
    call();
    return {};
  } catch (const cv::Error& error) {
    return {Outcome::Refused, error.code, error.what()};
  } catch (const nlohmann::json::exception&) {
    return libraryError();
  }
}

// Type, sha256, sizeBytes and url, in that order.
inline Outcome expectedDescriptorOutcome(const nlohmann::json& descriptor) {
  static const std::regex digest("[a-f0-9]{64}");
  static const std::regex size("[1-9][0-9]{0,14}");
  const auto text = [&](const char* key) -> const std::string* {
    if (!descriptor.contains(key) || !descriptor[key].is_string()) return nullptr;
    return &descriptor[key].get_ref<const std::string&>();
  };
  if (!descriptor.is_object() || !descriptor.contains("type")) return libraryError();
  if (descriptor["type"] != "exe" && descriptor["type"] != "msi") return refused(-5, "安装器类型无效");
  if (!text("sha256")) return libraryError();
  if (!std::regex_match(*text("sha256"), digest)) return refused(-5, "安装器校验信息无效");
  if (!text("sizeBytes")) return libraryError();
  if (!std::regex_match(*text("sizeBytes"), size)) return refused(-5, "安装器大小无效");
  if (!descriptor.contains("url")) return libraryError();
  if (!text("url") || text("url")->size() > 16384) return refused(-5, "下载地址无效");
  return {};
}

}  // namespace zrq::fuzz
