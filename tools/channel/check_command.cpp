#include <algorithm>

#include "core/error.hpp"
#include "core/messages.hpp"
#include "commands.hpp"
#include "descriptor_check.hpp"
#include "judge.hpp"
#include "net/rules/game_config.hpp"
#include "net/rules/json_body.hpp"
#include "pe_image.hpp"
#include "net/rules/endpoints.hpp"
#include "publish_support.hpp"
#include "signature_check.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

constexpr std::uint64_t kReadAtMost = 64ull * 1024 * 1024;  // a document far past the limit


// The file a descriptor names in the tree, checked with the shell's download
// rules: exactly sizeBytes long, with the described SHA-256.
void checkDescribedFile(const std::string& root, const cv::InstallerDescriptor& descriptor,
                        const std::string& what, Entry& entry) {
  const std::string& url = descriptor.url;
  const StorePlace place = storePlaceFor(root, url, what + " url");
  if (place.problem) {
    entry.problems.push_back(*place.problem);
    return;
  }
  const std::string name = treeName(root, place.path);
  entry.facts[what + "File"] = name;
  if (!isRegularFile(place.path)) {
    entry.problems.push_back({what + " file", "present in the tree at " + name, "missing",
                              cv::msg::kNotAvailable});
    return;
  }
  DescriptorCheck verify(descriptor);
  try {
    streamFile(place.path, [&](const char* data, unsigned long length) { verify(data, length); });
    verify.finish();
  } catch (const cv::Error& failure) {
    std::string found;
    if (verify.bytesSeen() > verify.expectedSize() ||
        verify.bytesSeen() < verify.expectedSize() || verify.actualSha256().empty()) {
      found = name + " is not " + std::to_string(verify.expectedSize()) + " bytes long";
    } else {
      found = name + " has sha256 " + verify.actualSha256();
    }
    entry.problems.push_back({what + " file",
                              std::to_string(verify.expectedSize()) + " bytes with sha256 " +
                                  descriptor.sha256,
                              found, failure.what()});
  }
}

// A document of the tree, or nothing when it is missing; a file that cannot be
// read becomes the entry's problem.
std::optional<std::string> readDocument(const std::string& path, Entry& entry, bool& unreadable) {
  unreadable = false;
  try {
    return readSmallFile(path, kReadAtMost);
  } catch (const std::runtime_error& error) {
    entry.problems.push_back({"document", "", error.what(), ""});
    unreadable = true;
    return std::nullopt;
  }
}

void checkConfig(const CheckOptions& options, const std::string& hosts, const Trust& trust,
                 const std::string& file, Report& report) {
  const std::string path = options.root + "/pc/config/" + file;
  Entry& entry = report.add(treeName(options.root, path));
  const std::string packageId = file.substr(0, file.size() - 5);
  if (auto problem = packageIdProblem(packageId, "file name")) {
    problem->limit = "<package id>.json, an id the shell reads from a setup file name";
    entry.problems.push_back(*problem);
    return;
  }
  bool unreadable = false;
  const std::optional<std::string> text = readDocument(path, entry, unreadable);
  if (unreadable) return;
  nlohmann::json config;
  if (auto problem = judgeJsonBody(text.value_or(""), config)) {
    entry.problems.push_back(*problem);
    return;
  }
  if (!judgeSignature(config, cv::gameConfigPath(packageId), trust, entry)) return;
  for (const Problem& problem : judgeGameConfig(config, packageId, hosts)) {
    entry.problems.push_back(problem);
  }
  if (!entry.ok()) return;
  const cv::InstallerDescriptor installer = cv::readGameConfig(config, packageId).installer;
  checkDescribedFile(options.root, installer, "installer", entry);
  entry.summary = "package " + packageId + ", " + (installer.isPackage() ? "msi " : "exe ") +
                  std::to_string(installer.size) + " bytes, sha256 " + installer.sha256 +
                  signatureNote(entry);
}

void checkShellFile(const CheckOptions& options, const cv::InstallerDescriptor& shell,
                    std::uint32_t version, Entry& entry) {
  checkDescribedFile(options.root, shell, "shell", entry);
  if (!entry.ok()) return;
  const StorePlace place = storePlaceFor(options.root, shell.url, "shell url");
  try {
    const PeFacts pe = readPeFacts(readSmallFile(place.path, kReadAtMost).value_or(""));
    if (const std::string why = whyNotA32BitGuiExe(pe, options.allow64Bit); !why.empty()) {
      entry.problems.push_back({"shell file", "a 32-bit Windows GUI exe", why, ""});
    } else if (shellVersionCodeOf(pe) != version) {
      const auto own = shellVersionCodeOf(pe);
      entry.problems.push_back(
          {"shell file", "the shell of version code " + std::to_string(version),
           own ? "its version resource says " + std::to_string(*own) : "no version resource", ""});
    }
  } catch (const std::runtime_error& error) {
    entry.problems.push_back({"shell file", "a 32-bit Windows GUI exe", error.what(), ""});
  }
}

void checkManifest(const CheckOptions& options, const std::string& hosts, const Trust& trust,
                   Report& report) {
  const std::string path = options.root + "/pc/shell/latest.json";
  Entry& entry = report.add(treeName(options.root, path));
  bool unreadable = false;
  const std::optional<std::string> text = readDocument(path, entry, unreadable);
  if (unreadable) return;
  if (!text) {
    entry.problems.push_back({"document", "present (every shell fetches it on every run)",
                              "missing", cv::msg::kNotAvailable});
    return;
  }
  nlohmann::json manifest;
  if (auto problem = judgeJsonBody(*text, manifest)) {
    entry.problems.push_back(*problem);
    return;
  }
  if (!judgeSignature(manifest, cv::kShellManifestPath, trust, entry)) return;
  const ManifestVerdict verdict = judgeShellManifest(manifest, options.shellVersion, hosts);
  entry.problems = verdict.problems;
  if (!entry.ok()) return;
  entry.summary = "version " + std::to_string(*verdict.versionCode);
  if (!verdict.shell) {
    entry.summary += ", no shell to download" + signatureNote(entry);
    return;
  }
  checkShellFile(options, *verdict.shell, *verdict.versionCode, entry);
  entry.summary += (verdict.updatesOwnVersion ? ", an update for shells of version "
                                              : ", no update for shells of version ") +
                   std::to_string(options.shellVersion) + ", shell " +
                   std::to_string(verdict.shell->size) + " bytes" +
                   signatureNote(entry);
}

}  // namespace

void runCheck(const CheckOptions& options, Report& report) {
  const std::string hosts = trustedHostsFor(options.fileHost);
  report.extra = {{"root", options.root}, {"fileHost", options.fileHost}};
  const Trust trust = trustFor(options.keyFiles);
  checkManifest(options, hosts, trust, report);
  const std::vector<std::string> configs = jsonFileNames(options.root + "/pc/config");
  for (const std::string& file : configs) checkConfig(options, hosts, trust, file, report);
  if (configs.empty()) {
    Entry& entry = report.add("pc/config");
    entry.problems.push_back({"pc/config", "at least one <package id>.json", "none", ""});
  }
}

}  // namespace zrq::channel
