#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/installer_descriptor.hpp"

#include "core/error.hpp"

namespace cv {

// What the shell is asked to open: the installer itself, or msiexec with "/i".
struct InstallerCommand {
  std::wstring file;
  std::optional<std::wstring> parameters;
};

// systemDirectory is only used for a package.
InstallerCommand installerCommand(InstallerKind kind, const std::wstring& downloadPath,
                                  const std::wstring& systemDirectory);

// The failure for a start that did not happen: a declined start (1223) is a cancellation.
Error launchFailure(std::uint32_t win32Error);

// Starts the verified installer without waiting for it (msi through the system
// directory's msiexec.exe). Records launchWin32Error in the log either way.
// For a package it returns once msiexec waits for the player's input (it has
// opened the package by then), at most 10 s after the start, so that the
// caller's hold on the file lasts until msiexec holds it.
void launchInstaller(InstallerKind kind, const std::wstring& downloadPath,
                     const std::wstring& stagingDirectory, nlohmann::json& attemptLog);

}  // namespace cv
