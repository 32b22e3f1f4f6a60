#include "net/json_body.hpp"

#include "net/rule_error.hpp"

namespace cv {

void appendJsonChunk(std::string& buffer, const char* data, unsigned long length) {
  // buffer never exceeds the limit, so the subtraction cannot wrap.
  ensureRule(buffer.size() <= kJsonBodyLimit && length <= kJsonBodyLimit - buffer.size(),
             NetworkFailure, "配置信息过大", "document size", "at most 131072 bytes");
  buffer.append(data, length);
}

nlohmann::json parseJsonBody(const std::string& body) {
  return nlohmann::json::parse(body, nullptr, true, false);
}

}  // namespace cv
