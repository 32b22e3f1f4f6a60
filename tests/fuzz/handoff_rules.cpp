// The handover rules: the event name a new shell accepts and the command line
// an old shell writes. Input: a 32-bit target version, a hop byte, then the
// new shell's path and the event name separated by a NUL byte. Beside not
// crashing: a name is accepted exactly when it matches
// "Local\\ZRQUpdate-[A-Za-z0-9\\\\-]{0,83}" as a whole (an independent regular
// expression); for an accepted name, the command line split into arguments as
// Windows splits them parses, with the shell's own option rules, to exactly the
// target, the hop count and the name that were written.
#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "app/rules/command_line.hpp"
#include "fuzz_support.hpp"
#include "session/rules/handoff_rules.hpp"

namespace {

using namespace zrq::fuzz;

// Windows' argument splitting for a quoted program path followed by arguments
// that hold no quotation marks: the path runs to the closing quote, the rest
// splits at runs of spaces and tabs, and backslashes are ordinary characters.
std::vector<std::wstring> splitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> arguments;
  FUZZ_REQUIRE(!line.empty() && line[0] == L'"');
  const std::size_t close = line.find(L'"', 1);
  FUZZ_REQUIRE(close != std::wstring::npos);
  arguments.push_back(line.substr(1, close - 1));
  std::size_t at = close + 1;
  while (at < line.size()) {
    if (line[at] == L' ' || line[at] == L'\t') {
      ++at;
      continue;
    }
    const std::size_t end = line.find_first_of(L" \t", at);
    arguments.push_back(line.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
    at = end == std::wstring::npos ? line.size() : end;
  }
  return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint32_t target = input.u32();
  const std::uint32_t nextHops = 1 + input.byte() % cv::kMaxHandoffHops;  // the old shell had 0 to 2
  const std::string_view pathBytes = input.until('\0');
  const std::wstring eventName = wideFromBytes(input.rest());

  static const std::wregex nameRule(L"Local\\\\ZRQUpdate-[A-Za-z0-9\\\\-]{0,83}");
  const bool accepted = cv::isValidHandoffEventName(eventName);
  if (eventName.size() <= 300) FUZZ_REQUIRE(accepted == std::regex_match(eventName, nameRule));
  if (!accepted) return 0;
  FUZZ_REQUIRE(eventName.size() >= 16 && eventName.size() <= 99);

  // A Windows path holds no quotation mark; the shell quotes it whole.
  std::wstring path = wideFromBytes(pathBytes);
  path.erase(std::remove(path.begin(), path.end(), L'"'), path.end());
  const std::wstring line = cv::handoffCommandLine(path, target, nextHops, eventName);
  const std::vector<std::wstring> arguments = splitCommandLine(line);
  FUZZ_REQUIRE(arguments.size() == 7);
  FUZZ_REQUIRE(arguments[0] == path);
  const cv::LaunchOptions options = cv::parseCommandLine(arguments);
  FUZZ_REQUIRE(options.updateTarget == target);
  FUZZ_REQUIRE(options.updateHops == nextHops);
  FUZZ_REQUIRE(options.updateReadyEvent == eventName);
  return 0;
}
