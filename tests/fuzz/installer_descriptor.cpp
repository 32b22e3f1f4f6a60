// An installer or shell descriptor (a JSON document, read as the shell reads
// server bodies). Beside not crashing: the outcome is the one the four rules
// give when checked in order with the regular expressions "[a-f0-9]{64}" and
// "[1-9][0-9]{0,14}" (an independent check of the hand-written matchers); a
// rule failure is Error(-5) naming that member; the descriptor is never
// changed; an accepted size reads back as the same decimal text, 1 to
// 999999999999999.
#include <regex>
#include <string>

#include "fuzz_support.hpp"
#include "net/download_sink.hpp"
#include "net/installer_descriptor.hpp"
#include "net/json_body.hpp"
#include "net/rule_error.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

enum class Verdict { Accepted, LibraryError, Type, Sha256, Size, Url };

// The rules in order, written out independently of the shell's code.
Verdict expectedVerdict(const json& descriptor) {
  static const std::regex digest("[a-f0-9]{64}");
  static const std::regex size("[1-9][0-9]{0,14}");
  if (!descriptor.is_object() || !descriptor.contains("type")) return Verdict::LibraryError;
  const json& type = descriptor["type"];
  if (type != "exe" && type != "msi") return Verdict::Type;
  if (!descriptor.contains("sha256") || !descriptor["sha256"].is_string()) return Verdict::LibraryError;
  if (!std::regex_match(descriptor["sha256"].get<std::string>(), digest)) return Verdict::Sha256;
  if (!descriptor.contains("sizeBytes") || !descriptor["sizeBytes"].is_string()) return Verdict::LibraryError;
  if (!std::regex_match(descriptor["sizeBytes"].get<std::string>(), size)) return Verdict::Size;
  if (!descriptor.contains("url")) return Verdict::LibraryError;
  const json& url = descriptor["url"];
  if (!url.is_string() || url.get<std::string>().size() > 16384) return Verdict::Url;
  return Verdict::Accepted;
}

Verdict verdictOf(const cv::RuleError& error, const std::string& member) {
  FUZZ_REQUIRE(error.code == -5);
  const std::string message = error.what();
  const std::string field = error.field;
  const auto is = [&](const char* text, const char* key) {
    if (message != text) return false;
    FUZZ_REQUIRE(field == member + "." + key);
    return true;
  };
  if (is("安装器类型无效", "type")) return Verdict::Type;
  if (is("安装器校验信息无效", "sha256")) return Verdict::Sha256;
  if (is("安装器大小无效", "sizeBytes")) return Verdict::Size;
  if (is("下载地址无效", "url")) return Verdict::Url;
  FUZZ_REQUIRE(!"a message of the descriptor rules");
  return Verdict::LibraryError;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  json descriptor;
  try {
    descriptor = cv::parseJsonBody(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const json::exception&) {
    return 0;
  }
  const std::string member = size % 2 ? "shell" : "installer";
  const json before = descriptor;

  Verdict verdict = Verdict::Accepted;
  try {
    cv::validateInstallerDescriptor(descriptor, member);
  } catch (const cv::RuleError& error) {
    verdict = verdictOf(error, member);
  } catch (const json::exception&) {
    verdict = Verdict::LibraryError;
  }
  FUZZ_REQUIRE(descriptor == before);
  FUZZ_REQUIRE(verdict == expectedVerdict(descriptor));
  if (verdict != Verdict::Accepted) return 0;

  const std::string& text = descriptor.at("sizeBytes").get_ref<const std::string&>();
  const std::uint64_t bytes = cv::parseSizeBytes(text);
  FUZZ_REQUIRE(bytes >= 1 && bytes <= 999999999999999ull);
  FUZZ_REQUIRE(std::to_string(bytes) == text);
  return 0;
}
