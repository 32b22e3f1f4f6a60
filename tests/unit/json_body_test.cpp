#include "net/json_body.hpp"

#include <string>

#include <gtest/gtest.h>

#include "app/error.hpp"

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

}  // namespace
}  // namespace cv
