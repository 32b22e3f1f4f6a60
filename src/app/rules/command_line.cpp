#include "app/rules/command_line.hpp"
#include "core/messages.hpp"

#include <string>

#include "core/error.hpp"

namespace cv {
namespace {

std::uint32_t parseNumber(const std::wstring& value) {
  ensure(!value.empty() && value.find_first_not_of(L"0123456789") == std::wstring::npos,
         InvalidInput, msg::kBadUpdateOption);
  // A value beyond 64 bits is as invalid as a malformed command line.
  std::uint64_t number = 0;
  for (wchar_t digit : value) {
    const std::uint64_t d = static_cast<std::uint64_t>(digit - L'0');
    ensure(number <= (UINT64_MAX - d) / 10, InvalidInput, msg::kBadCommandLine);
    number = number * 10 + d;
  }
  ensure(number <= UINT32_MAX, InvalidInput, msg::kBadUpdateOption);
  return static_cast<std::uint32_t>(number);
}

}  // namespace

LaunchOptions parseCommandLine(const std::vector<std::wstring>& arguments) {
  LaunchOptions options;
  for (std::size_t index = 1; index < arguments.size(); ++index) {
    const std::wstring& option = arguments[index];
    const bool isReady = option == L"--update-ready";
    const bool isTarget = option == L"--update-target";
    const bool isHops = option == L"--update-hops";
    ensure(isReady || isTarget || isHops, InvalidInput, msg::kBadCommandLine);
    ensure(index + 1 < arguments.size(), InvalidInput, msg::kBadCommandLine);
    const std::wstring& value = arguments[++index];
    if (isReady) {
      options.updateReadyEvent = value;
    } else if (isTarget) {
      options.updateTarget = parseNumber(value);
    } else {
      const std::uint32_t hops = parseNumber(value);
      ensure(hops <= 3, InvalidInput, msg::kBadUpdateHops);
      options.updateHops = hops;
    }
  }
  return options;
}

int exitCodeFor(std::int32_t resultCode) {
  if (resultCode == Success) return 0;
  if (resultCode == Cancelled) return 2;
  return 1;
}

}  // namespace cv
