#include "net/fetch_shell_manifest.hpp"

#include <string>

#include "core/version.hpp"
#include "net/rules/endpoints.hpp"
#include "net/fetch_file_host_document.hpp"
#include "net/rules/shell_manifest.hpp"

namespace cv {

std::optional<ShellUpdate> fetchShellManifest(const Checkpoint& checkpoint) {
  return readShellManifest(fetchFileHostDocument(kShellManifestPath, checkpoint), shellVersionCode);
}

}  // namespace cv
