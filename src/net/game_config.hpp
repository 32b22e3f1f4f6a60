#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cv {

void validateGameConfig(const nlohmann::json& config, const std::string& packageId);
// The compact check request body for a validated configuration.
std::string buildCheckRequest(const nlohmann::json& config, const std::string& packageId);
// Accepts an authorizing answer; throws the refusal's Error otherwise.
void evaluateCheckResponse(const nlohmann::json& response, const std::string& packageId);

}  // namespace cv
