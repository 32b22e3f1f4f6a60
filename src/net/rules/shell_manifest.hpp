#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "net/rules/document_rules.hpp"
#include "net/rules/installer_descriptor.hpp"

namespace cv {

// A shell newer than the running one, as the manifest announced it.
struct ShellUpdate {
  std::uint32_t versionCode = 0;
  InstallerDescriptor shell;
};

std::uint32_t parseVersionCode(const nlohmann::json& value);

// The manifest's rules up to its version code: schemaVersion, versionCode.
DocumentRules shellManifestRules();
// The rules of an announced shell: the descriptor's, and an exe.
DocumentRules announcedShellRules();

// Nothing when the manifest names no shell newer than ownVersion; otherwise
// the newer shell, its rules enforced.
std::optional<ShellUpdate> readShellManifest(const nlohmann::json& manifest,
                                             std::uint32_t ownVersion);

}  // namespace cv
