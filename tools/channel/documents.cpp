#include "documents.hpp"

namespace zrq::channel {

nlohmann::json makeGameConfig(const PackageFacts& facts) {
  return {{"schemaVersion", 1},
          {"packageId", facts.packageId},
          {"appId", facts.appId},
          {"gameId", facts.gameId},
          {"channelCode", facts.channelCode},
          {"displayName", facts.displayName},
          {"installer",
           {{"type", facts.type},
            {"url", facts.url},
            {"sha256", facts.installer.sha256},
            {"sizeBytes", std::to_string(facts.installer.size)},
            {"packageId", facts.motherId}}}};
}

nlohmann::json makeShellManifest(std::uint32_t versionCode, const std::string& url,
                                 const FileDigest& shell) {
  return {{"schemaVersion", 1},
          {"versionCode", std::to_string(versionCode)},
          {"shell",
           {{"type", "exe"},
            {"url", url},
            {"sha256", shell.sha256},
            {"sizeBytes", std::to_string(shell.size)}}}};
}

std::string documentText(const nlohmann::json& document) { return document.dump(2) + "\n"; }

}  // namespace zrq::channel
