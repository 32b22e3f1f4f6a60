#include "net/fetch_file_host_document.hpp"

#include "net/accepted_signatures.hpp"
#include "net/channel_keys.hpp"
#include "net/rules/document_signature.hpp"
#include "net/rules/endpoints.hpp"
#include "net/fetch_json.hpp"
#include "platform/clock.hpp"

namespace cv {

nlohmann::json fetchFileHostDocument(const std::string& path, const Checkpoint& checkpoint) {
  nlohmann::json document = fetchJson(fileHostBaseUrl() + "/" + path, std::string(), checkpoint);
  const std::vector<ChannelKey>& keys = channelKeys();
  if (keys.empty() || !document.is_object()) return document;
  const std::optional<std::int64_t> newest = newestAcceptedSignature(path);
  const SignatureMembers accepted =
      verifyDocumentSignature(document, path, keys, unixTimeNow(), newest);
  // Records only rise: the same document accepted again leaves its record alone.
  if (!newest || *newest < accepted.signedAt) recordAcceptedSignature(path, accepted.signedAt);
  return document;
}

}  // namespace cv
