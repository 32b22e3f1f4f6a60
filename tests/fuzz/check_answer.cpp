// The check endpoint's answer (first line: the package id, then the JSON body
// as the shell reads it). Beside not crashing (a code of any numeric size or
// type included): the answer authorizes only when its code reads as the
// integer 1 and data.packageId is the package id as text; a refusal is the
// Error its errorType names, with its code; nothing else escapes but the JSON
// library's errors for unusable shapes.
#include <optional>
#include <string>

#include "fuzz_support.hpp"
#include "json_rules.hpp"
#include "net/rules/game_config.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

// What the code member says: 1 (authorized) or not; nothing for a type the
// library cannot read as a number.
std::optional<bool> codeIsOne(const json& answer) {
  if (!answer.contains("code")) return false;
  const json& code = answer["code"];
  if (code.is_number_integer()) return code == 1;
  if (code.is_number_float()) {
    const double value = code.get<double>();
    return value >= 1.0 && value < 2.0;  // read as an integer: toward zero
  }
  return std::nullopt;
}

// What the shell must make of the answer, read independently of its code.
Outcome expectedOutcome(const json& answer, const std::string& packageId) {
  if (!answer.is_object()) return libraryError();
  const std::optional<bool> one = codeIsOne(answer);
  if (!one) return libraryError();
  if (*one) {
    if (!answer.contains("data") || !answer["data"].is_object() || !answer["data"].contains("packageId")) {
      return libraryError();
    }
    if (answer["data"]["packageId"] == packageId) return {};
    return refused(-5, "下载验证结果不匹配");
  }
  if (!answer.contains("errorType")) return refused(-7, "游戏暂不可用，请稍后重试");
  if (!answer["errorType"].is_string()) return libraryError();
  const std::string& type = answer["errorType"].get_ref<const std::string&>();
  if (type == "CHANNEL_DISABLED") return refused(-1, "当前渠道暂不允许下载");
  if (type == "INVALID_PACKAGE") return refused(-1, "安装文件标识无效，请重新下载");
  if (type == "STALE_TASK" || type == "INSTALLER_NOT_READY") return refused(-7, "安装资源正在更新，请稍后重试");
  return refused(-7, "游戏暂不可用，请稍后重试");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::string packageId = packageIdOr1234(input.until('\n'));
  std::optional<json> answer = documentFrom(input.rest());
  if (!answer) return 0;
  const Outcome outcome = outcomeOf([&] { cv::evaluateCheckResponse(*answer, packageId); });
  FUZZ_REQUIRE(outcome == expectedOutcome(*answer, packageId));
  return 0;
}
