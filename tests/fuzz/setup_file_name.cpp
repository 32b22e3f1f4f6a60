// The shell's own file name -> package id. Beside not crashing: the outcome is
// the one the pattern "_Setup_pc([1-9][0-9]{0,9})( ?\([1-9][0-9]*\))?\.exe$",
// searched with ASCII letters in any case, gives (an independent regular
// expression checks the hand-written matcher); an accepted id is 1 to 10
// digits, at most 4294967295, and the same id comes back from a plain name
// built from it and from the name with anything put in front.
#include <regex>
#include <string>

#include "fuzz_support.hpp"
#include "net/rules/setup_file_name.hpp"
#include "platform/text.hpp"

namespace {

using namespace zrq::fuzz;

constexpr const char* kIncomplete = "安装文件名称不完整，请重新下载";
constexpr const char* kTooLarge = "安装文件标识无效，请重新下载";

struct Outcome {
  bool accepted = false;
  std::string id;
  std::string message;
};

Outcome judge(const std::wstring& name) {
  Outcome outcome;
  try {
    outcome.id = cv::packageIdFromFileName(name);
    outcome.accepted = true;
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(error.code == -1);
    FUZZ_REQUIRE(isOneOf(error.what(), {kIncomplete, kTooLarge}));
    outcome.message = error.what();
  }
  return outcome;
}

// The rule as written, on a copy with A-Z lowered (the shell folds ASCII only).
Outcome byRegex(const std::wstring& name) {
  static const std::wregex pattern(L"_setup_pc([1-9][0-9]{0,9})( ?\\([1-9][0-9]*\\))?\\.exe$",
                                   std::regex::ECMAScript);
  const std::wstring lowered = asciiLower(name);
  std::wsmatch match;
  Outcome outcome;
  if (!std::regex_search(lowered, match, pattern)) {
    outcome.message = kIncomplete;
    return outcome;
  }
  const std::wstring digits = match[1].str();
  if (digits.size() == 10 && digits > L"4294967295") {
    outcome.message = kTooLarge;
    return outcome;
  }
  outcome.accepted = true;
  outcome.id = std::string(digits.begin(), digits.end());
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring name = wideFromBytes({reinterpret_cast<const char*>(data), size});
  const Outcome outcome = judge(name);

  // std::regex recurses per character; long names are judged by the rest alone.
  if (name.size() <= 300) {
    const Outcome expected = byRegex(name);
    FUZZ_REQUIRE(outcome.accepted == expected.accepted);
    FUZZ_REQUIRE(outcome.id == expected.id);
    FUZZ_REQUIRE(outcome.message == expected.message);
  }
  if (!outcome.accepted) return 0;

  const std::string& id = outcome.id;
  FUZZ_REQUIRE(!id.empty() && id.size() <= 10 && id[0] != '0');
  FUZZ_REQUIRE(id.find_first_not_of("0123456789") == std::string::npos);
  FUZZ_REQUIRE(std::stoull(id) <= 4294967295ull);
  FUZZ_REQUIRE(asciiLower(name).size() >= 4 && asciiLower(name).substr(name.size() - 4) == L".exe");

  FUZZ_REQUIRE(judge(L"Game_Setup_pc" + widenAscii(id) + L".exe").id == id);
  FUZZ_REQUIRE(judge(L"x_Setup_pc1" + name).id == id);
  FUZZ_REQUIRE(judge(L"\u6e38" + name).id == id);
  return 0;
}
