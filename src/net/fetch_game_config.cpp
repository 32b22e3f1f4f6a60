#include "net/fetch_game_config.hpp"

#include "net/endpoints.hpp"
#include "net/fetch_file_host_document.hpp"
#include "net/fetch_json.hpp"
#include "net/game_config.hpp"

namespace cv {

nlohmann::json fetchGameConfig(const std::string& packageId, const Checkpoint& checkpoint) {
  nlohmann::json config = fetchFileHostDocument(gameConfigPath(packageId), checkpoint);
  validateGameConfig(config, packageId);
  const nlohmann::json response =
      fetchJson(checkEndpointUrl(), buildCheckRequest(config, packageId), checkpoint);
  evaluateCheckResponse(response, packageId);
  return config;
}

}  // namespace cv
