#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "session/launch_options.hpp"
#include "net/rules/shell_manifest.hpp"
#include "net/staging_area.hpp"
#include "session/rules/handoff_rules.hpp"
#include "session/session_resources.hpp"

namespace cv {

class RunState;

// New shell's side, run by every session.
void acknowledgeHandoff(const LaunchOptions& options);

// Old shell's side: download, verify and start the newer shell, wait for its acknowledgement.
void runSelfUpdate(const ShellUpdate& update, const std::string& packageId,
                   const std::string& attemptId, const StagingArea& area,
                   const LaunchOptions& options, RunState& state, SessionResources& resources,
                   nlohmann::json& attemptLog);
void handOffToNewShell(const std::wstring& newShellPath, std::uint32_t targetVersion,
                       const LaunchOptions& options);

}  // namespace cv
