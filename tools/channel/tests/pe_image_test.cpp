#include "pe_image.hpp"

#include <stdexcept>

#include <gtest/gtest.h>

#include "pe_builder.hpp"

namespace zrq::channel {
namespace {

using testing::buildPe;
using testing::PeShape;

TEST(PeImage, ReadsAShellsVersionCodeFromItsFileVersion) {
  PeShape shape;
  shape.versionCode = 7;
  const PeFacts facts = readPeFacts(buildPe(shape));
  EXPECT_EQ(whyNotA32BitGuiExe(facts), "");
  ASSERT_TRUE(facts.fileVersion[0] && facts.fileVersion[1]);
  EXPECT_EQ(*facts.fileVersion[0], 1);
  EXPECT_EQ(*facts.fileVersion[1], 0);
  EXPECT_EQ(shellVersionCodeOf(facts), 7u);
}

TEST(PeImage, AnImageWithoutAVersionResourceHasNoVersionCode) {
  PeShape shape;
  shape.versionCode = 0;
  EXPECT_EQ(shellVersionCodeOf(readPeFacts(buildPe(shape))), std::nullopt);
}

TEST(PeImage, OnlyA32BitGuiExePasses) {
  PeShape wide;
  wide.machine = 0x8664;
  wide.magic = 0x20B;
  EXPECT_NE(whyNotA32BitGuiExe(readPeFacts(buildPe(wide))).find("0x8664"), std::string::npos);
  EXPECT_EQ(whyNotA32BitGuiExe(readPeFacts(buildPe(wide)), true), "");
  PeShape console;
  console.subsystem = 3;
  EXPECT_NE(whyNotA32BitGuiExe(readPeFacts(buildPe(console))), "");
  PeShape dll;
  dll.characteristics = 0x2102;
  EXPECT_NE(whyNotA32BitGuiExe(readPeFacts(buildPe(dll))).find("DLL"), std::string::npos);
  // The PE32+ optional header of a 64-bit image is read at its own offsets.
  EXPECT_EQ(shellVersionCodeOf(readPeFacts(buildPe(wide))), 2u);
}

TEST(PeImage, MalformedFilesAreRefusedNotRead) {
  EXPECT_THROW(readPeFacts(""), std::runtime_error);
  EXPECT_THROW(readPeFacts("not an exe at all, just some text that is long enough to pass"),
               std::runtime_error);
  std::string image = buildPe(PeShape{});
  image[0x40] = 'X';
  EXPECT_THROW(readPeFacts(image), std::runtime_error);
  std::string far = buildPe(PeShape{});
  testing::put32(far, 0x3C, 0x7FFFFFF0);  // PE header offset past the end
  EXPECT_THROW(readPeFacts(far), std::runtime_error);
  std::string cut = buildPe(PeShape{}).substr(0, 0x250);  // resources cut off
  EXPECT_THROW(readPeFacts(cut), std::runtime_error);
}

}  // namespace
}  // namespace zrq::channel
