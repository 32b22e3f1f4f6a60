#include "net/rules/json_body.hpp"
#include "core/messages.hpp"

#include "net/rules/rule_error.hpp"

namespace cv {

void appendJsonChunk(std::string& buffer, const char* data, unsigned long length) {
  // buffer never exceeds the limit, so the subtraction cannot wrap.
  ensureRule(buffer.size() <= kJsonBodyLimit && length <= kJsonBodyLimit - buffer.size(),
             NetworkFailure, msg::kDocumentTooLarge, "document size", "at most 131072 bytes");
  buffer.append(data, length);
}

nlohmann::json parseJsonBody(const std::string& body) {
  // The parser itself keeps no recursion; what is done with the value later does.
  const nlohmann::json::parser_callback_t depthLimit =
      [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                           event == nlohmann::json::parse_event_t::array_start;
        if (opens && depth >= kJsonDepthLimit) {
          throw nlohmann::json::parse_error::create(
              101, 0, "nesting deeper than " + std::to_string(kJsonDepthLimit), nullptr);
        }
        return true;
      };
  return nlohmann::json::parse(body, depthLimit, true, false);
}

}  // namespace cv
