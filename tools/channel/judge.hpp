#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/rules/installer_descriptor.hpp"
#include "problem.hpp"

namespace zrq::channel {

// Every judgement here runs the shell's own rule code; what a failing rule
// means for the player is the message that code throws.

// A package id the shell can read from a setup file name, or why not.
std::optional<Problem> packageIdProblem(const std::string& packageId, const std::string& field);

// A response body as the shell takes it: at most 131072 bytes, then strict JSON.
// Sets document when it parses.
std::optional<Problem> judgeJsonBody(const std::string& body, nlohmann::json& document);

// A configuration document for a package: the shell's validation, a check
// request it can build, and an installer URL the shell will download from the
// file host (trustedHosts: the file host's name).
std::vector<Problem> judgeGameConfig(const nlohmann::json& config, const std::string& packageId,
                                     const std::string& trustedHosts);

// The shell manifest, as shells of ownVersion take it; when it names a shell,
// that descriptor too, as every older shell takes it. Sets shell to the
// announced shell's descriptor when it is valid (null otherwise).
struct ManifestVerdict {
  std::vector<Problem> problems;
  std::optional<std::uint32_t> versionCode;
  std::optional<cv::InstallerDescriptor> shell;  // none: no shell to download
  bool updatesOwnVersion = false;
};
ManifestVerdict judgeShellManifest(const nlohmann::json& manifest, std::uint32_t ownVersion,
                                   const std::string& trustedHosts);

// The trusted download hosts of a file host given as HOST[:PORT].
std::string trustedHostsFor(const std::string& fileHost);

}  // namespace zrq::channel
