#include <chrono>
#include <cstdio>

#include "commands.hpp"
#include "core/error.hpp"
#include "judge.hpp"
#include "net/rules/endpoints.hpp"
#include "net/rules/game_config.hpp"
#include "probe_steps.hpp"
#include "signature_check.hpp"

namespace zrq::channel {

namespace {

void probeManifest(const ProbeOptions& options, const std::string& hosts, const Trust& trust,
                   Report& report) {
  Entry& entry = report.add("manifest");
  const std::string url = "https://" + options.fileHost + "/" + cv::kShellManifestPath;
  nlohmann::json manifest;
  nlohmann::json facts;
  const auto started = std::chrono::steady_clock::now();
  if (!fetchDocument(options, "manifest", url, std::string(), entry, manifest, facts)) {
    entry.facts["manifest"] = facts;
    return;
  }
  entry.facts["manifest"] = facts;
  if (!judgeSignature(manifest, cv::kShellManifestPath, trust, entry)) {
    entry.problems.back().field = "manifest " + url + ": " + entry.problems.back().field;
    return;
  }
  const ManifestVerdict verdict = judgeShellManifest(manifest, options.shellVersion, hosts);
  for (Problem problem : verdict.problems) {
    problem.field = "manifest " + url + ": " + problem.field;
    entry.problems.push_back(problem);
  }
  if (!entry.ok()) return;
  std::string summary = "version " + std::to_string(*verdict.versionCode) +
                        (verdict.updatesOwnVersion ? " (an update for shells of version "
                                                   : " (no update for shells of version ") +
                        std::to_string(options.shellVersion) + ")" + signatureNote(entry);
  if (verdict.shell && !options.noDownload) {
    downloadAndVerify(options, "shell", *verdict.shell, hosts, "shell", entry, summary);
  }
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  entry.summary = summary + "; " + seconds(total);
}

void probePackage(const ProbeOptions& options, const std::string& hosts, const Trust& trust,
                  const std::string& packageId, Report& report) {
  Entry& entry = report.add("package " + packageId);
  entry.facts["packageId"] = packageId;
  const auto started = std::chrono::steady_clock::now();
  if (auto problem = packageIdProblem(packageId, "package id")) {
    entry.problems.push_back(*problem);
    return;
  }
  const std::string configUrl = "https://" + options.fileHost + "/" + cv::gameConfigPath(packageId);
  nlohmann::json config;
  nlohmann::json facts;
  const bool fetched =
      fetchDocument(options, "configuration", configUrl, std::string(), entry, config, facts);
  entry.facts["configuration"] = facts;
  if (!fetched) return;
  if (!judgeSignature(config, cv::gameConfigPath(packageId), trust, entry)) {
    entry.problems.back().field = "configuration: " + entry.problems.back().field;
    return;  // the shell neither posts the check nor downloads
  }
  for (Problem problem : judgeGameConfig(config, packageId, hosts)) {
    problem.field = "configuration: " + problem.field;
    entry.problems.push_back(problem);
  }
  if (!entry.ok()) return;  // the shell never posts the check for a broken configuration
  std::string summary = "configuration 200 " + std::to_string(facts["bytes"].get<std::uint64_t>()) +
                        " bytes" + signatureNote(entry);

  const std::string checkUrl = "https://" + options.checkHost + cv::kCheckTarget;
  nlohmann::json answer;
  const bool checked = fetchDocument(options, "check", checkUrl,
                                     cv::buildCheckRequest(cv::readGameConfig(config, packageId), packageId), entry, answer, facts);
  entry.facts["check"] = facts;
  if (!checked) return;
  try {
    cv::evaluateCheckResponse(answer, packageId);
  } catch (...) {
    Problem problem = problemFromException(std::current_exception(), &answer, "check answer");
    if (problem.field != "check answer") problem.field = "check answer: " + problem.field;
    if (problem.found.empty()) problem.found = answer.dump();
    if (problem.limit.empty()) problem.limit = "{\"code\":1,\"data\":{\"packageId\":\"" + packageId + "\"}}";
    entry.problems.push_back(problem);
    return;
  }
  summary += ", check authorized";
  if (!options.noDownload) {
    downloadAndVerify(options, "installer", cv::readGameConfig(config, packageId).installer, hosts,
                      packageId + " installer",
                      entry, summary);
  }
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  entry.summary = summary + "; " + seconds(total);
}

}  // namespace

void runProbe(const ProbeOptions& options, Report& report) {
  const std::string hosts = trustedHostsFor(options.fileHost);
  report.extra = {{"fileHost", options.fileHost}, {"checkHost", options.checkHost}};
  const Trust trust = trustFor(options.keyFiles);
  probeManifest(options, hosts, trust, report);
  for (const std::string& id : options.packageIds) probePackage(options, hosts, trust, id, report);
}

}  // namespace zrq::channel
