#pragma once

#include <cstdint>
#include <string>

#include "core/limits.hpp"

namespace cv {

inline constexpr wchar_t kHandoffEventPrefix[] = L"Local\\ZRQUpdate-";

// Name form a new shell accepts for the handover event.
bool isValidHandoffEventName(const std::wstring& name);
// The new shell's command line: "\"path\" --update-target T --update-hops H --update-ready NAME".
std::wstring handoffCommandLine(const std::wstring& newShellPath, std::uint32_t targetVersion,
                                std::uint32_t nextHops, const std::wstring& eventName);

// The last path component, and the path without it (the root keeps its separator).
std::wstring fileNameOfPath(const std::wstring& path);
std::wstring directoryOfPath(const std::wstring& path);

}  // namespace cv
