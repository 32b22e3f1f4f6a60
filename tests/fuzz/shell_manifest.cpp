// The shell update manifest (first line: the running shell's version code,
// 2 unless it is a number; then the JSON body as the shell reads it) and the
// version code rule. Beside not crashing: a version code is accepted only as
// decimal text without a leading zero, at most 4294967295, and reads back as
// the same text; no update unless the announced code is strictly above the
// shell's own; an update is the served shell descriptor, a valid "exe", with
// only its versionCode member set to that code as a number, which the handover
// reads back; every rule failure is the Error of its rule.
#include <optional>
#include <regex>
#include <string>

#include "fuzz_support.hpp"
#include "net/installer_descriptor.hpp"
#include "net/json_body.hpp"
#include "net/shell_manifest.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

std::uint32_t ownVersionFrom(std::string_view field) {
  if (field.empty() || field.size() > 10 || field.find_first_not_of("0123456789") != std::string_view::npos) return 2;
  const unsigned long long value = std::stoull(std::string(field));
  return value > 4294967295ull ? 2 : static_cast<std::uint32_t>(value);
}

// Checks parseVersionCode on one value; the code when accepted.
std::optional<std::uint32_t> checkVersionCode(const json& value) {
  static const std::regex rule("[1-9][0-9]{0,9}");
  try {
    const std::uint32_t code = cv::parseVersionCode(value);
    FUZZ_REQUIRE(value.is_string());
    FUZZ_REQUIRE(std::regex_match(value.get<std::string>(), rule));
    FUZZ_REQUIRE(code >= 1 && std::to_string(code) == value.get<std::string>());
    return code;
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(error.code == -1 && std::string(error.what()) == "安装助手版本信息无效");
    const bool wellFormed = value.is_string() && std::regex_match(value.get<std::string>(), rule);
    FUZZ_REQUIRE(!wellFormed || std::stoull(value.get<std::string>()) > 4294967295ull);
    return std::nullopt;
  }
}

json withoutVersionCode(json descriptor) {
  descriptor.erase("versionCode");
  return descriptor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint32_t ownVersion = ownVersionFrom(input.until('\n'));
  json manifest;
  try {
    manifest = cv::parseJsonBody(std::string(input.rest()));
  } catch (const json::exception&) {
    return 0;
  }
  std::optional<std::uint32_t> announced;
  if (manifest.is_object() && manifest.contains("versionCode")) announced = checkVersionCode(manifest["versionCode"]);

  json update;
  try {
    update = cv::evaluateShellManifest(manifest, ownVersion);
  } catch (const cv::Error& error) {
    const std::string message = error.what();
    if (error.code == -5) {
      FUZZ_REQUIRE(isOneOf(error.what(), {"安装器类型无效", "安装器校验信息无效", "安装器大小无效", "下载地址无效"}));
      FUZZ_REQUIRE(announced && *announced > ownVersion);
    } else {
      FUZZ_REQUIRE(error.code == -1);
      FUZZ_REQUIRE(isOneOf(error.what(), {"安装助手版本配置不兼容", "安装助手版本信息无效", "安装助手更新文件类型无效"}));
      if (message == "安装助手版本信息无效") FUZZ_REQUIRE(!announced);
      if (message == "安装助手更新文件类型无效") FUZZ_REQUIRE(manifest["shell"]["type"] == "msi");
    }
    if (message != "安装助手版本配置不兼容") FUZZ_REQUIRE(manifest.at("schemaVersion") == 1);
    return 0;
  } catch (const json::exception&) {
    return 0;
  }

  FUZZ_REQUIRE(manifest.at("schemaVersion") == 1);
  FUZZ_REQUIRE(announced.has_value());
  if (update.is_null()) {
    FUZZ_REQUIRE(*announced <= ownVersion);
    return 0;
  }
  FUZZ_REQUIRE(*announced > ownVersion);
  FUZZ_REQUIRE(update.is_object());
  FUZZ_REQUIRE(update.at("versionCode").is_number_unsigned());
  FUZZ_REQUIRE(update.at("versionCode").get<std::uint32_t>() == *announced);
  FUZZ_REQUIRE(update.at("versionCode") == *announced);
  FUZZ_REQUIRE(update.at("type") == "exe");
  cv::validateInstallerDescriptor(update, "shell");
  FUZZ_REQUIRE(withoutVersionCode(update) == withoutVersionCode(manifest.at("shell")));
  return 0;
}
