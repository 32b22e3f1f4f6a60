// The bounded JSON fetch: a body delivered in chunks of random sizes (as the
// transport hands them over, at most 64 KiB each) after a run of leading
// blanks that brings it near the 131072-byte limit, then parsed. Beside not
// crashing or hanging: a chunk is refused exactly when the body would pass the
// limit, and then nothing of it is kept; a body parses exactly when it is one
// strict JSON document nested at most 64 deep (depth counted by a separate,
// non-recursive reader); a parsed value serialises, compactly and indented,
// to text that parses back to the same value.
//
// Input: a byte n (n % 8 + 1 chunk sizes follow), the 16-bit chunk sizes (0
// for 65536), a 32-bit count of leading blanks, then the body.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "net/rules/json_body.hpp"

namespace {

using namespace zrq::fuzz;
using nlohmann::json;

// Whether the text is one strict JSON document, and how deep it nests.
struct DepthReader : nlohmann::json_sax<json> {
  int depth = 0;
  int deepest = 0;
  bool open() {
    deepest = std::max(deepest, ++depth);
    return true;
  }
  bool close() {
    --depth;
    return true;
  }
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return open(); }
  bool key(string_t&) override { return true; }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  std::vector<std::size_t> chunkSizes(input.byte() % 8 + 1);
  for (std::size_t& chunk : chunkSizes) {
    const std::uint16_t length = input.u16();
    chunk = length == 0 ? 65536 : length;
  }
  // Mostly a few blanks; a count up to one past the limit stays as it is.
  const std::uint32_t count = input.u32();
  const std::size_t blanks = count <= cv::kJsonBodyLimit + 1 ? count : count % 4096;
  const std::string body = std::string(blanks, ' ') + std::string(input.rest());

  std::string buffer;
  std::size_t offered = 0;
  for (std::size_t turn = 0; offered < body.size(); ++turn) {
    const std::size_t length = std::min(chunkSizes[turn % chunkSizes.size()], body.size() - offered);
    const std::size_t sizeBefore = buffer.size();
    try {
      cv::appendJsonChunk(buffer, body.data() + offered, static_cast<unsigned long>(length));
    } catch (const cv::Error& error) {
      FUZZ_REQUIRE(error.code == -7 && std::string(error.what()) == "配置信息过大");
      FUZZ_REQUIRE(sizeBefore + length > cv::kJsonBodyLimit);
      FUZZ_REQUIRE(buffer == body.substr(0, offered));
      FUZZ_REQUIRE(body.size() > cv::kJsonBodyLimit);
      return 0;  // the transfer ends here
    }
    FUZZ_REQUIRE(sizeBefore + length <= cv::kJsonBodyLimit);
    FUZZ_REQUIRE(buffer.size() == sizeBefore + length);
    offered += length;
  }
  FUZZ_REQUIRE(buffer == body);

  DepthReader reader;
  const bool wellFormed = json::sax_parse(buffer, &reader, json::input_format_t::json, true, false);
  json value;
  try {
    value = cv::parseJsonBody(buffer);
  } catch (const json::parse_error&) {
    FUZZ_REQUIRE(!wellFormed || reader.deepest > cv::kJsonDepthLimit);
    return 0;
  } catch (const json::out_of_range&) {
    // A number beyond what a double holds.
    FUZZ_REQUIRE(!wellFormed);
    return 0;
  }
  FUZZ_REQUIRE(wellFormed && reader.deepest <= cv::kJsonDepthLimit);
  FUZZ_REQUIRE(cv::parseJsonBody(value.dump()) == value);
  FUZZ_REQUIRE(cv::parseJsonBody(value.dump(2)) == value);
  return 0;
}
