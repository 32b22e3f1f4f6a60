#include "net/fetch_json.hpp"

#include "app/error.hpp"

namespace cv {

void appendJsonChunk(std::string& buffer, const char* data, unsigned long length) {
  // buffer never exceeds the limit, so the subtraction cannot wrap.
  ensure(buffer.size() <= kJsonBodyLimit && length <= kJsonBodyLimit - buffer.size(),
         NetworkFailure, "配置信息过大");
  buffer.append(data, length);
}

nlohmann::json fetchJson(const std::string& url, const std::string& body,
                         const Checkpoint& checkpoint) {
  std::string text;
  httpsRequest(
      url, body, false,
      [&text](const char* data, unsigned long length) { appendJsonChunk(text, data, length); },
      checkpoint);
  return nlohmann::json::parse(text, nullptr, true, false);
}

}  // namespace cv
