#include <map>

#include "commands.hpp"
#include "document_signing.hpp"
#include "documents.hpp"
#include "judge.hpp"
#include "net/rules/endpoints.hpp"
#include "publish_support.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

// The option that supplies each member of the configuration.
const std::map<std::string, std::string> kOptionOf = {
    {"packageId", "--package-id"},   {"appId", "--app-id"},
    {"gameId", "--game-id"},         {"channelCode", "--channel-code"},
    {"displayName", "--display-name"}, {"installer.type", "--type"},
    {"installer.url", "--url"},      {"installer.sizeBytes", "--installer"},
    {"installer.sha256", "--installer"}, {"installer.packageId", "--mother-id"}};

void nameOption(Problem& problem) {
  const auto option = kOptionOf.find(problem.field);
  if (option != kOptionOf.end()) problem.field += " (" + option->second + ")";
}

std::string typeFor(const PackageOptions& options) {
  if (!options.type.empty()) return options.type;
  const std::string& name = options.installer;
  if (name.size() >= 4) {
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (tail == ".msi") return "msi";
  }
  return "exe";
}

}  // namespace

void runPackage(const PackageOptions& options, Report& report) {
  const std::string target = options.root + "/" + cv::gameConfigPath(options.packageId);
  Entry& entry = report.add(treeName(options.root, target));
  const std::string hosts = trustedHostsFor(options.fileHost);

  if (auto problem = packageIdProblem(options.packageId, "--package-id")) {
    entry.problems.push_back(*problem);
    return;
  }
  const std::optional<Signer> signer = signerFor(options.keyFile, options.expiresInDays);
  PackageFacts facts{options.packageId, options.appId, options.gameId, options.channelCode,
                     options.displayName, parseJsonOption("--mother-id", options.motherId),
                     typeFor(options), options.url, digestFile(options.installer)};
  nlohmann::json config = makeGameConfig(facts);

  for (Problem problem : judgeGameConfig(config, options.packageId, hosts)) {
    nameOption(problem);
    entry.problems.push_back(problem);
  }
  std::string text;
  if (entry.ok()) {
    try {
      if (signer) {
        config = signForPublishing(*signer, config, cv::gameConfigPath(options.packageId), target);
      }
      text = documentText(config);
    } catch (const nlohmann::json::exception& error) {
      entry.problems.push_back({"configuration", "valid UTF-8 text", error.what(), ""});
    }
  }
  nlohmann::json parsed;
  if (entry.ok()) {
    if (auto problem = judgeJsonBody(text, parsed)) entry.problems.push_back(*problem);
  }
  StorePlace place;
  if (entry.ok() && options.store) {
    place = storePlaceFor(options.root, options.url, "installer.url (--url)");
    if (!place.problem) {
      place.problem = storeConflict(options.root, place, facts.installer.sha256,
                                    "installer.url (--url)");
    }
    if (place.problem) entry.problems.push_back(*place.problem);
  }
  entry.facts = {{"path", target}, {"document", config}};
  if (!entry.ok()) return;  // nothing is written

  // The installer first: a configuration never names a file not yet there.
  if (options.store) storeFile(options.installer, place.path);
  writeFileAtomic(target, text);
  entry.summary = "written: package " + options.packageId + ", " + facts.type + " " +
                  std::to_string(facts.installer.size) + " bytes, sha256 " +
                  facts.installer.sha256;
  if (signer) entry.summary += "; signed by key " + signer->key.keyId();
  if (options.store) entry.summary += "; installer stored as " + treeName(options.root, place.path);
}

}  // namespace zrq::channel
