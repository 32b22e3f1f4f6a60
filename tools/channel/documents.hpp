#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "tree_files.hpp"

namespace zrq::channel {

// What an operator states about one package; the installer's size and digest
// come from the file itself.
struct PackageFacts {
  std::string packageId;
  std::string appId;
  std::string gameId;
  std::string channelCode;
  std::string displayName;
  nlohmann::json motherId;  // any JSON value; the check sends it as it is
  std::string type;         // "exe" or "msi"
  std::string url;
  FileDigest installer;
};

// The configuration document the shell fetches as /pc/config/<id>.json.
nlohmann::json makeGameConfig(const PackageFacts& facts);

// The shell manifest /pc/shell/latest.json announcing this shell.
nlohmann::json makeShellManifest(std::uint32_t versionCode, const std::string& url,
                                 const FileDigest& shell);

// As written into the tree: two-space indentation, UTF-8, a final newline.
// Throws the JSON library's error for text that is not valid UTF-8.
std::string documentText(const nlohmann::json& document);

}  // namespace zrq::channel
