// An installer or shell descriptor (a JSON document, read as the shell reads
// server bodies). Beside not crashing: the outcome is the one the four rules
// give when checked in order with the regular expressions "[a-f0-9]{64}" and
// "[1-9][0-9]{0,14}" (an independent check of the hand-written matchers); a
// rule failure is Error(-5) naming that member; the descriptor is never
// changed; an accepted size reads back as the same decimal text, 1 to
// 999999999999999.
#include <string>

#include "fuzz_support.hpp"
#include "json_rules.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/rule_error.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

// The member a refusal names, by its message.
const char* keyOf(const std::string& message) {
  if (message == "安装器类型无效") return "type";
  if (message == "安装器校验信息无效") return "sha256";
  if (message == "安装器大小无效") return "sizeBytes";
  if (message == "下载地址无效") return "url";
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<json> parsed =
      documentFrom(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed) return 0;
  json descriptor = *parsed;
  const std::string member = size % 2 ? "shell" : "installer";
  const json before = descriptor;

  const json document = {{member, descriptor}};
  cv::InstallerDescriptor read;
  const Outcome outcome = outcomeOf([&] {
    try {
      read = cv::readInstallerDescriptor(document, member);
    } catch (const cv::RuleError& error) {
      FUZZ_REQUIRE(error.field == member + "." + keyOf(error.what()));
      throw;
    }
  });
  FUZZ_REQUIRE(descriptor == before);
  FUZZ_REQUIRE(outcome == expectedDescriptorOutcome(descriptor));
  if (outcome.kind != Outcome::Accepted) return 0;

  const std::string& text = descriptor.at("sizeBytes").get_ref<const std::string&>();
  FUZZ_REQUIRE(read.size >= 1 && read.size <= 999999999999999ull);
  FUZZ_REQUIRE(std::to_string(read.size) == text);
  FUZZ_REQUIRE(read.sha256 == descriptor.at("sha256") && read.url == descriptor.at("url"));
  FUZZ_REQUIRE(read.isPackage() == (descriptor.at("type") == "msi"));
  return 0;
}
