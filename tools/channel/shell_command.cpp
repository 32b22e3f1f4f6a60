#include "core/version.hpp"
#include "commands.hpp"
#include "document_signing.hpp"
#include "documents.hpp"
#include "judge.hpp"
#include "net/rules/endpoints.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/shell_manifest.hpp"
#include "pe_image.hpp"
#include "publish_support.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

constexpr std::uint64_t kExeLimit = 64ull * 1024 * 1024;

// The version code already published, nothing when there is no manifest.
std::optional<std::uint32_t> publishedVersion(const std::string& path, Entry& entry) {
  const auto text = readSmallFile(path, cv::kJsonBodyLimit);
  if (!text) return std::nullopt;
  try {
    return cv::parseVersionCode(nlohmann::json::parse(*text).at("versionCode"));
  } catch (...) {
    Problem problem = problemFromException(std::current_exception(), nullptr, "published manifest");
    problem.field = "published manifest";
    problem.limit = "readable, to compare version codes (--force replaces it anyway)";
    entry.problems.push_back(problem);
    return std::nullopt;
  }
}

}  // namespace

void runShell(const ShellOptions& options, Report& report) {
  const std::string target = options.root + "/" + cv::kShellManifestPath;
  Entry& entry = report.add(treeName(options.root, target));
  const std::string hosts = trustedHostsFor(options.fileHost);

  const std::optional<Signer> signer = signerFor(options.keyFile, options.expiresInDays);
  const auto image = readSmallFile(options.exe, kExeLimit);
  if (!image) throw UsageError("--exe: " + options.exe + " does not exist");
  PeFacts pe;
  try {
    pe = readPeFacts(*image);
  } catch (const std::runtime_error& error) {
    entry.problems.push_back({"--exe", "a 32-bit Windows GUI exe", error.what(), ""});
    return;
  }
  if (const std::string why = whyNotA32BitGuiExe(pe, options.allow64Bit); !why.empty()) {
    entry.problems.push_back({"--exe", "a 32-bit Windows GUI exe", why, ""});
    return;
  }
  const std::optional<std::uint32_t> version = shellVersionCodeOf(pe);
  if (!version || *version == 0) {
    entry.problems.push_back({"--exe", "a shell whose version resource carries its version code",
                              "no file version", ""});
    return;
  }

  std::optional<std::uint32_t> published;
  if (!options.force) {
    published = publishedVersion(target, entry);
    if (!entry.ok()) return;
    if (published && *version <= *published) {
      entry.problems.push_back({"versionCode",
                                "above the published version code " + std::to_string(*published) +
                                    " (or --force)",
                                std::to_string(*version) + " in the exe's version resource", ""});
      return;
    }
  }

  const FileDigest digest = digestFile(options.exe);
  nlohmann::json manifest = makeShellManifest(*version, options.url, digest);
  const ManifestVerdict verdict = judgeShellManifest(manifest, cv::shellVersionCode, hosts);
  for (Problem problem : verdict.problems) {
    if (problem.field == "shell.url") problem.field += " (--url)";
    entry.problems.push_back(problem);
  }
  if (signer) manifest = signForPublishing(*signer, manifest, cv::kShellManifestPath, target);
  const std::string text = documentText(manifest);
  nlohmann::json parsed;
  if (entry.ok()) {
    if (auto problem = judgeJsonBody(text, parsed)) entry.problems.push_back(*problem);
  }
  StorePlace place;
  if (entry.ok() && options.store) {
    place = storePlaceFor(options.root, options.url, "shell.url (--url)");
    if (!place.problem) {
      place.problem = storeConflict(options.root, place, digest.sha256, "shell.url (--url)");
    }
    if (place.problem) entry.problems.push_back(*place.problem);
  }
  entry.facts = {{"path", target}, {"document", manifest}};
  if (!entry.ok()) return;

  if (options.store) storeFile(options.exe, place.path);
  writeFileAtomic(target, text);
  entry.summary = "written: shell version " + std::to_string(*version) + ", " +
                  std::to_string(digest.size) + " bytes, sha256 " + digest.sha256;
  if (published) entry.summary += " (was " + std::to_string(*published) + ")";
  if (signer) entry.summary += "; signed by key " + signer->key.keyId();
  if (options.store) entry.summary += "; shell stored as " + treeName(options.root, place.path);
}

}  // namespace zrq::channel
