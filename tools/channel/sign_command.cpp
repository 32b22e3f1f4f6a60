#include "core/error.hpp"
#include "core/messages.hpp"
#include "commands.hpp"
#include "document_signing.hpp"
#include "documents.hpp"
#include "judge.hpp"
#include "net/rules/endpoints.hpp"
#include "net/rules/json_body.hpp"
#include "publish_support.hpp"
#include "signature_check.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

constexpr std::uint64_t kReadAtMost = 64ull * 1024 * 1024;

// The document's problems by the shell's own rules, before it is signed.
using Judge = std::vector<Problem> (*)(const nlohmann::json& document, const std::string& path,
                                       const SignOptions& options);

std::vector<Problem> judgeManifest(const nlohmann::json& manifest, const std::string&,
                                   const SignOptions& options) {
  return judgeShellManifest(manifest, options.shellVersion, trustedHostsFor(options.fileHost))
      .problems;
}

std::vector<Problem> judgeConfig(const nlohmann::json& config, const std::string& path,
                                 const SignOptions& options) {
  const std::string file = path.substr(path.rfind('/') + 1);
  const std::string packageId = file.substr(0, file.size() - 5);
  if (auto problem = packageIdProblem(packageId, "file name")) return {*problem};
  return judgeGameConfig(config, packageId, trustedHostsFor(options.fileHost));
}

void signOne(const SignOptions& options, const Signer& signer, const std::string& path,
             Judge judge, Report& report) {
  const std::string file = options.root + "/" + path;
  Entry& entry = report.add(path);
  std::optional<std::string> text;
  try {
    text = readSmallFile(file, kReadAtMost);
  } catch (const std::runtime_error& error) {
    entry.problems.push_back({"document", "", error.what(), ""});
    return;
  }
  if (!text) {
    entry.problems.push_back({"document", "present", "missing", ""});
    return;
  }
  nlohmann::json document;
  if (auto problem = judgeJsonBody(*text, document)) {
    entry.problems.push_back(*problem);
    return;
  }
  if (!document.is_object()) {
    entry.problems.push_back({"document", "a JSON object", describeValue(document),
                              cv::msg::kUnexpectedFailure});
    return;
  }
  entry.problems = judge(document, path, options);
  if (!entry.ok()) return;  // nothing is signed that the shell would refuse anyway

  const nlohmann::json signedDocument = signForPublishing(signer, document, path, file);
  const std::string signedText = documentText(signedDocument);
  // What is written is what a shell with this key accepts.
  nlohmann::json reread;
  if (auto problem = judgeJsonBody(signedText, reread)) {
    entry.problems.push_back(*problem);
    return;
  }
  const Trust own{{signer.key.publicKey()}, signer.now};
  if (!judgeSignature(reread, path, own, entry)) return;
  writeFileAtomic(file, signedText);
  const std::int64_t signedAt = signedDocument["signedAt"].get<std::int64_t>();
  entry.summary = "signed by key " + signer.key.keyId() + ", signedAt " + std::to_string(signedAt) +
                  " (" + utcText(signedAt) + "), " +
                  (signer.expiresAt ? "expires " + utcText(*signer.expiresAt) : "no expiry");
  entry.facts["signedAt"] = signedAt;
  if (signer.expiresAt) entry.facts["expiresAt"] = *signer.expiresAt;
}

}  // namespace

void runSign(const SignOptions& options, Report& report) {
  const std::optional<Signer> signer = signerFor(options.keyFile, options.expiresInDays);
  report.extra = {{"root", options.root}, {"keyId", signer->key.keyId()}};
  signOne(options, *signer, cv::kShellManifestPath, judgeManifest, report);
  for (const std::string& name : jsonFileNames(options.root + "/pc/config")) {
    signOne(options, *signer, cv::gameConfigPath(name.substr(0, name.size() - 5)), judgeConfig,
            report);
  }
}

}  // namespace zrq::channel
