#include "net/fetch_json.hpp"

namespace cv {

nlohmann::json fetchJson(const std::string& url, const std::string& body,
                         const Checkpoint& checkpoint) {
  std::string text;
  httpsRequest(
      url, body, false,
      [&text](const char* data, unsigned long length) { appendJsonChunk(text, data, length); },
      checkpoint);
  return parseJsonBody(text);
}

}  // namespace cv
