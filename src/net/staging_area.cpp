#include "net/staging_area.hpp"
#include "core/messages.hpp"

#include "core/error.hpp"
#include "platform/locations.hpp"
#include "platform/rules/path.hpp"
#include "platform/process_identity.hpp"
#include "platform/protected_directory.hpp"

namespace cv {

StagingArea stagingAreaOfThisRun() {
  StagingArea area;
  area.elevated = processIdentity().elevated;
  area.rules = stagingRulesFor(area.elevated);
  if (!area.elevated) {
    area.temp = joinPath(sdkRootDirectory(), kStagingDirectoryName);
    return area;
  }
  // Under the player's own folders any program of the player's could steer
  // an elevated run; below ProgramData only Administrators can make these.
  const std::optional<std::wstring>& user = processIdentity().user;
  ensure(user.has_value(), SystemFailure, msg::kDirectoryAclFailed);
  area.temp = elevatedStagingChain(programDataDirectory(), *user).back();
  return area;
}

void createStagingArea(const StagingArea& area) {
  if (!area.elevated) {
    createProtectedDirectory(area.temp);
    return;
  }
  const std::optional<std::wstring>& user = processIdentity().user;
  ensure(user.has_value(), SystemFailure, msg::kDirectoryAclFailed);
  for (const std::wstring& directory : elevatedStagingChain(programDataDirectory(), *user)) {
    createAdministratorsDirectory(directory);
  }
}

void createStagingDirectory(const StagingArea& area, const std::wstring& directory) {
  if (area.elevated) {
    createAdministratorsDirectory(directory);
  } else {
    createProtectedDirectory(directory);
  }
}

}  // namespace cv
