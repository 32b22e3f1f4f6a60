#pragma once

#include <cstdint>
#include <string>

namespace zrq::channel::testing {

// A minimal PE image: one .rsrc section holding a version resource whose file
// version is 1.0.0.<versionCode> (none when versionCode is 0).
struct PeShape {
  std::uint16_t machine = 0x14C;
  std::uint16_t magic = 0x10B;
  std::uint16_t subsystem = 2;
  std::uint16_t characteristics = 0x0102;  // executable, 32-bit machine
  std::uint16_t versionCode = 2;
};

inline void put16(std::string& image, std::size_t at, std::uint32_t value) {
  image[at] = static_cast<char>(value & 0xFF);
  image[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void put32(std::string& image, std::size_t at, std::uint32_t value) {
  put16(image, at, value & 0xFFFF);
  put16(image, at + 2, value >> 16);
}

inline std::string buildPe(const PeShape& shape) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  put32(image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  const bool plus = shape.magic == 0x20B;
  const std::size_t optionalSize = plus ? 240 : 224;
  put16(image, 0x44, shape.machine);
  put16(image, 0x46, 1);  // one section
  put16(image, 0x54, static_cast<std::uint32_t>(optionalSize));
  put16(image, 0x56, shape.characteristics);
  const std::size_t optional = 0x58;
  put16(image, optional, shape.magic);
  put16(image, optional + 68, shape.subsystem);
  put32(image, optional + (plus ? 108 : 92), 16);
  const std::size_t directories = optional + (plus ? 112 : 96);
  const std::uint32_t rsrcRva = 0x1000;
  const std::size_t raw = 0x200;
  if (shape.versionCode != 0) {
    put32(image, directories + 16, rsrcRva);
    put32(image, directories + 20, 0x100);
  }
  const std::size_t section = optional + optionalSize;
  image.replace(section, 5, ".rsrc");
  put32(image, section + 8, 0x200);   // virtual size
  put32(image, section + 12, rsrcRva);
  put32(image, section + 16, 0x200);  // raw size
  put32(image, section + 20, static_cast<std::uint32_t>(raw));

  // type 16 -> name 1 -> language 0x409 -> data entry
  put16(image, raw + 14, 1);
  put32(image, raw + 16, 16);
  put32(image, raw + 20, 0x80000000u | 0x18);
  put16(image, raw + 0x18 + 14, 1);
  put32(image, raw + 0x18 + 16, 1);
  put32(image, raw + 0x18 + 20, 0x80000000u | 0x30);
  put16(image, raw + 0x30 + 14, 1);
  put32(image, raw + 0x30 + 16, 0x409);
  put32(image, raw + 0x30 + 20, 0x48);
  put32(image, raw + 0x48, rsrcRva + 0x58);
  put32(image, raw + 0x48 + 4, 0x80);
  // VS_VERSIONINFO: lengths, type, "VS_VERSION_INFO", padding, fixed part.
  const std::size_t info = raw + 0x58;
  put16(image, info, 0x80);
  put16(image, info + 2, 52);
  const std::string key = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < key.size(); ++i) put16(image, info + 6 + 2 * i, key[i]);
  const std::size_t fixed = info + 40;
  put32(image, fixed, 0xFEEF04BD);
  put32(image, fixed + 8, 0x00010000);  // 1.0
  put32(image, fixed + 12, shape.versionCode);  // .0.<code>
  return image;
}

}  // namespace zrq::channel::testing
