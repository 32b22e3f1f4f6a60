#include "net/fetch_game_config.hpp"

#include "net/rules/endpoints.hpp"
#include "net/fetch_file_host_document.hpp"
#include "net/fetch_json.hpp"

namespace cv {

GameConfig fetchGameConfig(const std::string& packageId, const Checkpoint& checkpoint) {
  const GameConfig config =
      readGameConfig(fetchFileHostDocument(gameConfigPath(packageId), checkpoint), packageId);
  const nlohmann::json response =
      fetchJson(checkEndpointUrl(), buildCheckRequest(config, packageId), checkpoint);
  evaluateCheckResponse(response, packageId);
  return config;
}

}  // namespace cv
