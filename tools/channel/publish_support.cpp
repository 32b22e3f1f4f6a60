#include "publish_support.hpp"

#include <sys/stat.h>

#include "commands.hpp"
#include "tree_files.hpp"
#include "url_parts.hpp"

namespace zrq::channel {

StorePlace storePlaceFor(const std::string& root, const std::string& url, const std::string& field) {
  StorePlace place;
  const std::optional<UrlParts> parts = splitUrl(url);
  const std::optional<std::string> path =
      parts ? treePathFor(root, parts->decodedPath) : std::nullopt;
  if (!path) {
    place.problem = Problem{field, "a URL whose path names a file (no \".\" or \"..\" segments)",
                            describeValue(url), ""};
    return place;
  }
  place.path = *path;
  return place;
}

std::optional<Problem> storeConflict(const std::string& root, const StorePlace& place,
                                     const std::string& sha256, const std::string& field) {
  if (!isRegularFile(place.path)) return std::nullopt;
  const FileDigest there = digestFile(place.path);
  if (there.sha256 == sha256) return std::nullopt;
  return Problem{field, "a new URL for new bytes (caches keep a URL's file for good)",
                 treeName(root, place.path) + " holds other bytes (sha256 " + there.sha256 + ")",
                 ""};
}

void storeFile(const std::string& source, const std::string& target) {
  struct stat a {}, b {};
  if (::stat(source.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
      a.st_ino == b.st_ino) {
    return;  // already the file in the tree
  }
  copyFileAtomic(source, target);
}

std::string treeName(const std::string& root, const std::string& path) {
  if (path.compare(0, root.size(), root) == 0) {
    std::string rest = path.substr(root.size());
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    return rest;
  }
  return path;
}

nlohmann::json parseJsonOption(const std::string& option, const std::string& text) {
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception&) {
    throw UsageError(option + ": not a JSON value: " + text +
                     " (a number such as 7, or a quoted string such as '\"7\"')");
  }
}

}  // namespace zrq::channel
