#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zrq::channel {

// What the toolkit needs to know of a shell exe before it is published.
struct PeFacts {
  std::uint16_t machine = 0;          // 0x14c: 32-bit x86
  std::uint16_t optionalMagic = 0;    // 0x10b: PE32
  std::uint16_t subsystem = 0;        // 2: Windows GUI
  std::uint16_t characteristics = 0;  // 0x2000: a DLL
  // The fixed file version of the version resource, when there is one.
  std::optional<std::uint16_t> fileVersion[4];
};

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kSubsystemWindowsGui = 2;
constexpr std::uint16_t kFileDll = 0x2000;

// Reads the headers and the version resource; throws std::runtime_error for
// anything that is not a well-formed PE image.
PeFacts readPeFacts(const std::string& image);

constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;

// Empty when the image is a 32-bit GUI exe (or, with allow64Bit, a 64-bit
// one), otherwise why it is not one.
std::string whyNotA32BitGuiExe(const PeFacts& facts, bool allow64Bit = false);

// The shell's version code: the last field of its file version ("1.0.0.<code>").
std::optional<std::uint32_t> shellVersionCodeOf(const PeFacts& facts);

}  // namespace zrq::channel
