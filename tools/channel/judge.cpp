#include "judge.hpp"

#include <algorithm>

#include "core/error.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"
#include "net/rules/endpoints.hpp"
#include "net/rules/game_config.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/setup_file_name.hpp"
#include "net/rules/shell_manifest.hpp"
#include "url_parts.hpp"

namespace zrq::channel {

namespace {

template <typename Call>
std::optional<Problem> problemOf(Call&& call, const nlohmann::json* doc, const std::string& field) {
  try {
    call();
    return std::nullopt;
  } catch (...) {
    return problemFromException(std::current_exception(), doc, field);
  }
}

std::vector<Problem> problemsOf(const cv::DocumentRules& rules, const nlohmann::json& doc) {
  std::vector<Problem> problems;
  for (const cv::Violation& violation : cv::violationsOf(rules, doc)) {
    problems.push_back(problemFromViolation(violation, doc));
  }
  return problems;
}

// The URL the shell downloads from, judged by its request rules as field.
std::optional<Problem> urlProblem(const nlohmann::json& doc, const std::string& field,
                                  const std::string& trustedHosts) {
  const nlohmann::json* url = memberAt(doc, field);
  auto problem = problemOf([&] { checkUrlAsShell(url->get<std::string>(), &trustedHosts); }, &doc,
                           field);
  if (problem) {
    problem->field = field;
    problem->found = describeValue(*url);
  }
  return problem;
}

}  // namespace

std::string trustedHostsFor(const std::string& fileHost) { return cv::downloadHostName(fileHost); }

std::optional<Problem> packageIdProblem(const std::string& packageId, const std::string& field) {
  const cv::DocumentRules rules = cv::packageIdRules();
  const std::vector<cv::Violation> broken = cv::violationsOf(rules, packageId);
  if (broken.empty()) return std::nullopt;
  Problem problem = problemFromViolation(broken.front(), packageId);
  problem.field = field;
  problem.found = describeValue(packageId);
  return problem;
}

std::optional<Problem> judgeJsonBody(const std::string& body, nlohmann::json& document) {
  if (body.size() > cv::kJsonBodyLimit) {
    return Problem{"document size", "at most " + std::to_string(cv::kJsonBodyLimit) + " bytes",
                   std::to_string(body.size()) + " bytes", cv::msg::kDocumentTooLarge};
  }
  return problemOf([&] { document = cv::parseJsonBody(body); }, nullptr, "document");
}

std::vector<Problem> judgeGameConfig(const nlohmann::json& config, const std::string& packageId,
                                     const std::string& trustedHosts) {
  std::vector<Problem> problems = problemsOf(cv::gameConfigRules(packageId), config);
  if (!problems.empty()) return problems;
  if (auto problem = problemOf(
          [&] { cv::buildCheckRequest(cv::readGameConfig(config, packageId), packageId); },
          &config, "check request")) {
    problems.push_back(*problem);
    return problems;
  }
  if (auto problem = urlProblem(config, "installer.url", trustedHosts)) problems.push_back(*problem);
  return problems;
}

ManifestVerdict judgeShellManifest(const nlohmann::json& manifest, std::uint32_t ownVersion,
                                   const std::string& trustedHosts) {
  ManifestVerdict verdict;
  verdict.problems = problemsOf(cv::shellManifestRules(), manifest);
  if (!verdict.problems.empty()) return verdict;
  verdict.versionCode = cv::parseVersionCode(manifest.at("versionCode"));
  verdict.updatesOwnVersion = *verdict.versionCode > ownVersion;
  // Shells older than the announced one download it: judge it as they do.
  if (!verdict.updatesOwnVersion && (!manifest.contains("shell") || *verdict.versionCode <= 1)) {
    return verdict;
  }
  verdict.problems = problemsOf(cv::announcedShellRules(), manifest);
  if (!verdict.problems.empty()) return verdict;
  if (auto problem = urlProblem(manifest, "shell.url", trustedHosts)) {
    verdict.problems.push_back(*problem);
    return verdict;
  }
  verdict.shell = cv::readInstallerDescriptor(manifest, "shell");
  return verdict;
}

}  // namespace zrq::channel
