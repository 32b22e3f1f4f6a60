#include "net/rules/json_body.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace cv {
namespace {

TEST(FetchJsonBody, AcceptsExactlyTheLimitAcrossChunks) {
  const std::string chunk(65536, 'x');
  std::string buffer;
  appendJsonChunk(buffer, chunk.data(), 65536);
  appendJsonChunk(buffer, chunk.data(), 65536);
  EXPECT_EQ(buffer.size(), 131072u);
  appendJsonChunk(buffer, chunk.data(), 0);
  EXPECT_EQ(buffer.size(), 131072u);
}

TEST(FetchJsonBody, RefusesTheChunkThatWouldPassTheLimitBeforeAppendingIt) {
  const std::string chunk(65536, 'x');
  std::string buffer(131071, 'x');
  appendJsonChunk(buffer, chunk.data(), 1);
  try {
    appendJsonChunk(buffer, chunk.data(), 1);
    FAIL() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -7);
    EXPECT_STREQ(error.what(), "配置信息过大");
  }
  EXPECT_EQ(buffer.size(), 131072u);

  std::string half(100000, 'x');
  EXPECT_THROW(appendJsonChunk(half, chunk.data(), 65536), Error);
  EXPECT_EQ(half.size(), 100000u);
}

TEST(JsonBody, ParsesStrictlyOneDocument) {
  EXPECT_EQ(parseJsonBody("{\"a\":[1,2]}")["a"][1], 2);
  EXPECT_EQ(parseJsonBody(" 1.0 "), 1);
  for (const char* bad : {"", "{\"a\":1} x", "{\"a\":1 /* c */}", "// c\n1", "{'a':1}",
                          "[1,]", "\xEF\xBB\xBF\xFF"}) {
    EXPECT_THROW(parseJsonBody(bad), nlohmann::json::parse_error) << bad;
  }
}

std::string nested(int depth, const std::string& open, const std::string& close,
                   const std::string& inner = "1") {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += inner;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(JsonBody, AcceptsNestingUpToTheLimit) {
  EXPECT_EQ(parseJsonBody(nested(kJsonDepthLimit, "[", "]")).dump(),
            nested(kJsonDepthLimit, "[", "]"));
  EXPECT_NO_THROW(parseJsonBody(nested(kJsonDepthLimit, "{\"a\":", "}")));
  EXPECT_NO_THROW(parseJsonBody(nested(kJsonDepthLimit / 2, "[{\"k\":", "}]")));
  // Brackets inside strings are text, not nesting.
  EXPECT_NO_THROW(parseJsonBody("[\"" + std::string(10000, '[') + "\"]"));
}

TEST(JsonBody, RefusesDeeperNestingAsInvalidJson) {
  for (const std::string& deep :
       {nested(kJsonDepthLimit + 1, "[", "]"), nested(kJsonDepthLimit + 1, "{\"a\":", "}"),
        nested(20000, "[", "]"),
        // Deep inside an otherwise ordinary document, and unterminated.
        "{\"installer\":{\"packageId\":" + nested(20000, "[", "]") + "}}",
        std::string(100000, '[')}) {
    EXPECT_THROW(parseJsonBody(deep), nlohmann::json::parse_error);
  }
}

}  // namespace
}  // namespace cv
