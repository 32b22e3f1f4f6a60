#include "net/fetch_shell_manifest.hpp"

#include <string>

#include "core/version.hpp"
#include "net/endpoints.hpp"
#include "net/fetch_file_host_document.hpp"
#include "net/shell_manifest.hpp"

namespace cv {

nlohmann::json fetchShellManifest(const Checkpoint& checkpoint) {
  const nlohmann::json manifest = fetchFileHostDocument(kShellManifestPath, checkpoint);
  return evaluateShellManifest(manifest, shellVersionCode);
}

}  // namespace cv
