#include "channel_keys_file.hpp"
#include "commands.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

constexpr char kPrivateName[] = "channel-key.pem";
constexpr char kPublicName[] = "channel-key.pub.pem";

}  // namespace

void runKeygen(const KeygenOptions& options, Report& report) {
  const std::string privatePath = options.outDir + "/" + kPrivateName;
  const std::string publicPath = options.outDir + "/" + kPublicName;
  for (const std::string& path : {privatePath, publicPath}) {
    if (isRegularFile(path)) {
      throw UsageError(path + " exists; a channel's key is never replaced in place (see "
                              "rotating to a new key)");
    }
  }
  const SigningKey key = SigningKey::generate();
  writeNewFile(privatePath, key.privatePem(), 0600);
  writeNewFile(publicPath, key.publicPem(), 0644);
  report.extra["keyId"] = key.keyId();
  Entry& secret = report.add(privatePath);
  secret.summary = "private key " + key.keyId() +
                   ", mode 0600: signs with zrq-channel sign --key; keep it off the file host";
  secret.facts = {{"keyId", key.keyId()}, {"path", privatePath}};
  Entry& shared = report.add(publicPath);
  shared.summary = "public key " + key.keyId() +
                   ": build the shell with -DZRQ_CHANNEL_KEYS=" + publicPath;
  shared.facts = {{"keyId", key.keyId()}, {"path", publicPath}};
}

}  // namespace zrq::channel
