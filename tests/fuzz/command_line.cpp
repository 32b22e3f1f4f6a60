// The shell's command line (the arguments after the program path, split at
// NUL bytes). Beside not crashing: a rejection is Error(-1) with one of its
// three messages; an accepted line has only option-value pairs, its hop count
// is at most 3, every value is the one after the option's last occurrence,
// and the options written out again parse to the same values. The exit code
// of any result code is 0, 1 or 2.
#include <string>
#include <vector>

#include "app/rules/command_line.hpp"
#include "fuzz_support.hpp"

namespace {

using namespace zrq::fuzz;
using cv::LaunchOptions;

bool sameOptions(const LaunchOptions& a, const LaunchOptions& b) {
  return a.updateReadyEvent == b.updateReadyEvent && a.updateTarget == b.updateTarget &&
         a.updateHops == b.updateHops;
}

// "007" -> "7", "000" -> "0".
std::wstring withoutLeadingZeros(const std::wstring& digits) {
  const std::size_t first = digits.find_first_not_of(L'0');
  return first == std::wstring::npos ? L"0" : digits.substr(first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::int32_t resultCode = static_cast<std::int32_t>(input.u32());
  const int exitCode = cv::exitCodeFor(resultCode);
  FUZZ_REQUIRE(exitCode == (resultCode == 0 ? 0 : resultCode == -10 ? 2 : 1));

  std::vector<std::wstring> arguments{L"C:\\Downloads\\Game_Setup_pc1234.exe"};
  if (size > 4) {
    for (const std::string_view field : fieldsAtNul(input.rest())) arguments.push_back(wideFromBytes(field));
  }

  LaunchOptions options;
  try {
    options = cv::parseCommandLine(arguments);
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(error.code == -1);
    FUZZ_REQUIRE(isOneOf(error.what(), {"启动参数无效", "更新参数无效", "更新次数无效"}));
    return 0;
  }

  FUZZ_REQUIRE(arguments.size() % 2 == 1);
  FUZZ_REQUIRE(options.updateHops <= 3);
  // The value after the last occurrence of each option decides; absent ones keep their default.
  const std::wstring* ready = nullptr;
  const std::wstring* target = nullptr;
  const std::wstring* hops = nullptr;
  for (std::size_t i = 1; i < arguments.size(); i += 2) {
    const std::wstring& option = arguments[i];
    const std::wstring& value = arguments[i + 1];
    if (option == L"--update-ready") {
      ready = &value;
      continue;
    }
    FUZZ_REQUIRE(option == L"--update-target" || option == L"--update-hops");
    FUZZ_REQUIRE(!value.empty() && value.find_first_not_of(L"0123456789") == std::wstring::npos);
    (option == L"--update-target" ? target : hops) = &value;
  }
  FUZZ_REQUIRE(options.updateReadyEvent == (ready ? *ready : L""));
  FUZZ_REQUIRE(target ? withoutLeadingZeros(*target) == std::to_wstring(options.updateTarget)
                      : options.updateTarget == 0);
  FUZZ_REQUIRE(hops ? withoutLeadingZeros(*hops) == std::to_wstring(options.updateHops)
                    : options.updateHops == 0);

  const std::vector<std::wstring> written{arguments[0],
                                          L"--update-target", std::to_wstring(options.updateTarget),
                                          L"--update-hops", std::to_wstring(options.updateHops),
                                          L"--update-ready", options.updateReadyEvent};
  FUZZ_REQUIRE(sameOptions(cv::parseCommandLine(written), options));
  return 0;
}
