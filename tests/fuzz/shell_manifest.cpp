// The shell update manifest (first line: the running shell's version code,
// 2 unless it is a number; then the JSON body as the shell reads it) and the
// version code rule. Beside not crashing: the outcome is the one the rules
// give when checked in order as written (the version code with the regular
// expression "[1-9][0-9]{0,9}" and the limit 4294967295, the shell with the
// descriptor rules); an accepted version code reads back as the same text;
// there is an update only for a code strictly above the shell's own, and it is
// the served shell descriptor with only its versionCode member set to that
// code as a number, which the handover reads back.
#include <optional>
#include <regex>
#include <string>

#include "fuzz_support.hpp"
#include "json_rules.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/shell_manifest.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

std::uint32_t ownVersionFrom(std::string_view field) {
  if (field.empty() || field.size() > 10 || field.find_first_not_of("0123456789") != std::string_view::npos) return 2;
  const unsigned long long value = std::stoull(std::string(field));
  return value > 4294967295ull ? 2 : static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> expectedVersionCode(const json& value) {
  static const std::regex rule("[1-9][0-9]{0,9}");
  if (!value.is_string() || !std::regex_match(value.get<std::string>(), rule)) return std::nullopt;
  const unsigned long long code = std::stoull(value.get<std::string>());
  if (code > 4294967295ull) return std::nullopt;
  return static_cast<std::uint32_t>(code);
}

void checkVersionCode(const json& value) {
  std::uint32_t code = 0;
  const Outcome outcome = outcomeOf([&] { code = cv::parseVersionCode(value); });
  const std::optional<std::uint32_t> expected = expectedVersionCode(value);
  FUZZ_REQUIRE(outcome == (expected ? Outcome{} : refused(-1, "安装助手版本信息无效")));
  if (expected) FUZZ_REQUIRE(code == *expected && std::to_string(code) == value.get<std::string>());
}

// What the manifest should give: an outcome, and for an accepted one whether
// it announces an update.
Outcome expectedOutcome(const json& manifest, std::uint32_t ownVersion, bool& update) {
  update = false;
  if (!manifest.is_object() || !manifest.contains("schemaVersion")) return libraryError();
  if (manifest["schemaVersion"] != 1) return refused(-1, "安装助手版本配置不兼容");
  if (!manifest.contains("versionCode")) return libraryError();
  const std::optional<std::uint32_t> latest = expectedVersionCode(manifest["versionCode"]);
  if (!latest) return refused(-1, "安装助手版本信息无效");
  if (*latest <= ownVersion) return {};
  if (!manifest.contains("shell")) return libraryError();
  const Outcome descriptor = expectedDescriptorOutcome(manifest["shell"]);
  if (descriptor.kind != Outcome::Accepted) return descriptor;
  if (manifest["shell"]["type"] != "exe") return refused(-1, "安装助手更新文件类型无效");
  update = true;
  return {};
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint32_t ownVersion = ownVersionFrom(input.until('\n'));
  std::optional<json> parsed = documentFrom(input.rest());
  if (!parsed) return 0;
  json& manifest = *parsed;
  if (manifest.is_object() && manifest.contains("versionCode")) checkVersionCode(manifest["versionCode"]);

  std::optional<cv::ShellUpdate> update;
  const Outcome outcome = outcomeOf([&] { update = cv::readShellManifest(manifest, ownVersion); });
  bool expectUpdate = false;
  FUZZ_REQUIRE(outcome == expectedOutcome(manifest, ownVersion, expectUpdate));
  if (outcome.kind != Outcome::Accepted) return 0;

  FUZZ_REQUIRE(update.has_value() == expectUpdate);
  if (!expectUpdate) return 0;
  const std::uint32_t latest = *expectedVersionCode(manifest["versionCode"]);
  FUZZ_REQUIRE(latest > ownVersion);
  FUZZ_REQUIRE(update->versionCode == latest);
  const json& shell = manifest["shell"];
  FUZZ_REQUIRE(update->shell.sha256 == shell.at("sha256") && update->shell.url == shell.at("url"));
  FUZZ_REQUIRE(std::to_string(update->shell.size) == shell.at("sizeBytes"));
  FUZZ_REQUIRE(!update->shell.isPackage());
  return 0;
}
