// The check endpoint's answer (first line: the package id, then the JSON body
// as the shell reads it). Beside not crashing (a code of any numeric size or
// type included): the answer authorizes only when its code reads as the
// integer 1 and data.packageId is the package id as text; a refusal is the
// Error its errorType names, with its code; nothing else escapes but the JSON
// library's errors for unusable shapes.
#include <cmath>
#include <optional>
#include <string>

#include "fuzz_support.hpp"
#include "net/game_config.hpp"
#include "net/json_body.hpp"

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

struct Refusal {
  int code;
  const char* message;
};

Refusal refusalFor(const json& answer) {
  const std::string type = answer.contains("errorType") && answer["errorType"].is_string()
                               ? answer["errorType"].get<std::string>()
                               : std::string();
  if (type == "CHANNEL_DISABLED") return {-1, "当前渠道暂不允许下载"};
  if (type == "INVALID_PACKAGE") return {-1, "安装文件标识无效，请重新下载"};
  if (type == "STALE_TASK" || type == "INSTALLER_NOT_READY") return {-7, "安装资源正在更新，请稍后重试"};
  return {-7, "游戏暂不可用，请稍后重试"};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::string packageId = packageIdOr1234(input.until('\n'));
  json answer;
  try {
    answer = cv::parseJsonBody(std::string(input.rest()));
  } catch (const json::exception&) {
    return 0;
  }

  bool authorized = false;
  std::optional<cv::Error> refused;
  bool libraryError = false;
  try {
    cv::evaluateCheckResponse(answer, packageId);
    authorized = true;
  } catch (const cv::Error& error) {
    refused = error;
  } catch (const json::exception&) {
    libraryError = true;
  }

  if (!answer.is_object()) {
    FUZZ_REQUIRE(libraryError);
    return 0;
  }
  const std::optional<bool> one = codeIsOne(answer);
  if (!one) {
    FUZZ_REQUIRE(libraryError);
    return 0;
  }
  if (*one) {
    const bool hasData = answer.contains("data") && answer["data"].is_object() &&
                         answer["data"].contains("packageId");
    if (!hasData) {
      FUZZ_REQUIRE(libraryError);
      return 0;
    }
    const bool echoed = answer["data"]["packageId"] == packageId;
    FUZZ_REQUIRE(authorized == echoed);
    if (!echoed) {
      FUZZ_REQUIRE(refused && refused->code == -5 && std::string(refused->what()) == "下载验证结果不匹配");
    }
    return 0;
  }

  FUZZ_REQUIRE(!authorized);
  if (answer.contains("errorType") && !answer["errorType"].is_string()) {
    FUZZ_REQUIRE(libraryError);
    return 0;
  }
  const Refusal expected = refusalFor(answer);
  FUZZ_REQUIRE(refused && refused->code == expected.code);
  FUZZ_REQUIRE(std::string(refused->what()) == expected.message);
  return 0;
}
