#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/document_rules.hpp"
#include "net/rules/installer_descriptor.hpp"

namespace cv {

// A package's configuration as the rules accepted it.
struct GameConfig {
  std::string appId;
  std::string gameId;
  std::string channelCode;
  std::string displayName;
  InstallerDescriptor installer;
  // installer.packageId as served, of any JSON type: sent in the check and
  // written to the attempt log unchanged.
  nlohmann::json motherId;
};

// The configuration's rules for the package id of the file name, in order:
// schemaVersion and packageId, appId, gameId, channelCode and displayName,
// channelCode's own limit, then the installer descriptor's.
DocumentRules gameConfigRules(const std::string& packageId);

// The configuration, its rules enforced (the first broken one thrown).
GameConfig readGameConfig(const nlohmann::json& config, const std::string& packageId);

// The compact check request body.
std::string buildCheckRequest(const GameConfig& config, const std::string& packageId);

// Accepts an authorizing answer; throws the refusal's Error otherwise.
void evaluateCheckResponse(const nlohmann::json& response, const std::string& packageId);

}  // namespace cv
