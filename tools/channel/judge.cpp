#include "judge.hpp"

#include "core/error.hpp"
#include "net/endpoints.hpp"
#include "net/game_config.hpp"
#include "net/json_body.hpp"
#include "net/setup_file_name.hpp"
#include "net/shell_manifest.hpp"
#include "platform/text.hpp"
#include "url_parts.hpp"

namespace zrq::channel {

namespace {

constexpr unsigned long kReadChunk = 65536;

template <typename Call>
std::optional<Problem> problemOf(Call&& call, const nlohmann::json* doc, const std::string& field) {
  try {
    call();
    return std::nullopt;
  } catch (...) {
    return problemFromException(std::current_exception(), doc, field);
  }
}

}  // namespace

std::string trustedHostsFor(const std::string& fileHost) { return cv::downloadHostName(fileHost); }

std::optional<Problem> packageIdProblem(const std::string& packageId, const std::string& field) {
  std::optional<Problem> problem = problemOf(
      [&] {
        const std::string read =
            cv::packageIdFromFileName(cv::toWide("Game_Setup_pc" + packageId + ".exe"));
        if (read != packageId) {
          throw cv::Error(cv::InvalidInput, "安装文件名称不完整，请重新下载");
        }
      },
      nullptr, field);
  if (problem) {
    problem->field = field;
    problem->found = nlohmann::json(packageId).dump(-1, ' ', false,
                                                    nlohmann::json::error_handler_t::replace);
    if (problem->limit.empty() || problem->limit.rfind("ends in", 0) == 0) {
      problem->limit = "what the shell reads from Game_Setup_pc<id>.exe: 1 to 10 digits "
                       "without a leading zero";
    }
  }
  return problem;
}

std::optional<Problem> judgeJsonBody(const std::string& body, nlohmann::json& document) {
  std::string received;
  std::optional<Problem> problem = problemOf(
      [&] {
        // In the transport's pieces, so the limit trips where the shell's does.
        for (std::size_t at = 0; at < body.size(); at += kReadChunk) {
          const auto length = static_cast<unsigned long>(std::min<std::size_t>(kReadChunk, body.size() - at));
          cv::appendJsonChunk(received, body.data() + at, length);
        }
        document = cv::parseJsonBody(received);
      },
      nullptr, "document");
  if (problem && problem->field == "document size") {
    problem->found = std::to_string(body.size()) + " bytes";
  }
  return problem;
}

std::vector<Problem> judgeGameConfig(const nlohmann::json& config, const std::string& packageId,
                                     const std::string& trustedHosts) {
  std::vector<Problem> problems;
  if (auto problem = problemOf([&] { cv::validateGameConfig(config, packageId); }, &config,
                               "configuration")) {
    problems.push_back(*problem);
    return problems;
  }
  if (auto problem = problemOf([&] { cv::buildCheckRequest(config, packageId); }, &config,
                               "check request")) {
    problems.push_back(*problem);
    return problems;
  }
  const nlohmann::json& url = config.at("installer").at("url");
  if (auto problem = problemOf(
          [&] { checkUrlAsShell(url.get<std::string>(), &trustedHosts); }, &config,
          "installer.url")) {
    problem->field = "installer.url";
    problem->found = describeValue(url);
    if (problem->limit.empty()) problem->limit = "an https URL";
    problems.push_back(*problem);
  }
  return problems;
}

ManifestVerdict judgeShellManifest(const nlohmann::json& manifest, std::uint32_t ownVersion,
                                   const std::string& trustedHosts) {
  ManifestVerdict verdict;
  nlohmann::json update;
  if (auto problem = problemOf([&] { update = cv::evaluateShellManifest(manifest, ownVersion); },
                               &manifest, "manifest")) {
    verdict.problems.push_back(*problem);
    return verdict;
  }
  verdict.versionCode = cv::parseVersionCode(manifest.at("versionCode"));
  verdict.updatesOwnVersion = !update.is_null();
  if (update.is_null() && manifest.contains("shell") && *verdict.versionCode > 1) {
    // Shells older than the announced one download it: judge it as they do.
    if (auto problem = problemOf(
            [&] { update = cv::evaluateShellManifest(manifest, *verdict.versionCode - 1); },
            &manifest, "shell")) {
      verdict.problems.push_back(*problem);
      return verdict;
    }
  }
  if (update.is_null()) return verdict;

  const nlohmann::json& url = update.at("url");
  if (auto problem = problemOf([&] { checkUrlAsShell(url.get<std::string>(), &trustedHosts); },
                               &manifest, "shell.url")) {
    problem->field = "shell.url";
    problem->found = describeValue(url);
    verdict.problems.push_back(*problem);
    return verdict;
  }
  verdict.shell = std::move(update);
  return verdict;
}

}  // namespace zrq::channel
