#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "problem.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

// Where in the tree a URL's file lies, or the problem with the URL for that.
struct StorePlace {
  std::string path;                // ROOT + the URL's decoded path
  std::optional<Problem> problem;  // set when there is no such place
};
StorePlace storePlaceFor(const std::string& root, const std::string& url, const std::string& field);

// A file already at the place with other bytes than these: the server block
// serves files under /pc/ as immutable, so new bytes need a new URL.
std::optional<Problem> storeConflict(const std::string& root, const StorePlace& place,
                                     const std::string& sha256, const std::string& field);

// Copies source to the tree unless the same bytes are there already.
void storeFile(const std::string& source, const std::string& target);

// "ROOT/pc/config/1001.json" as the report names it: relative to ROOT.
std::string treeName(const std::string& root, const std::string& path);

// A command line value that must be JSON (--mother-id): usage error otherwise.
nlohmann::json parseJsonOption(const std::string& option, const std::string& text);

}  // namespace zrq::channel
