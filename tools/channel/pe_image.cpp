#include "pe_image.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace zrq::channel {

namespace {

constexpr std::uint32_t kVersionSignature = 0xFEEF04BD;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;

class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  std::uint16_t u16(std::uint64_t at) const {
    need(at, 2);
    return static_cast<std::uint16_t>(byte(at) | byte(at + 1) << 8);
  }
  std::uint32_t u32(std::uint64_t at) const {
    need(at, 4);
    return static_cast<std::uint32_t>(byte(at)) | static_cast<std::uint32_t>(byte(at + 1)) << 8 |
           static_cast<std::uint32_t>(byte(at + 2)) << 16 |
           static_cast<std::uint32_t>(byte(at + 3)) << 24;
  }
  void need(std::uint64_t at, std::uint64_t length) const {
    if (at > bytes_.size() || length > bytes_.size() - at) {
      throw std::runtime_error("not a PE image: headers run past the end of the file");
    }
  }

 private:
  unsigned byte(std::uint64_t at) const { return static_cast<unsigned char>(bytes_[at]); }
  const std::string& bytes_;
};

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

// File offset of an address inside the image, or nothing outside every section.
std::optional<std::uint64_t> fileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
  for (const Section& s : sections) {
    const std::uint32_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < span &&
        rva - s.virtualAddress < s.rawSize) {
      return std::uint64_t{s.rawOffset} + (rva - s.virtualAddress);
    }
  }
  return std::nullopt;
}

// Offset (within the resource section) of the first entry of a directory with
// this id, or of its first entry when id is nothing.
std::optional<std::uint32_t> directoryEntry(const Reader& r, std::uint64_t base,
                                            std::uint32_t directory,
                                            std::optional<std::uint32_t> id) {
  const std::uint64_t at = base + directory;
  const std::uint32_t count = std::uint32_t{r.u16(at + 12)} + r.u16(at + 14);
  for (std::uint32_t i = 0; i < count && i < 4096; ++i) {
    const std::uint64_t entry = at + 16 + 8 * std::uint64_t{i};
    const std::uint32_t name = r.u32(entry);
    if (!id || name == *id) return r.u32(entry + 4);
  }
  return std::nullopt;
}

}  // namespace

PeFacts readPeFacts(const std::string& image) {
  const Reader r(image);
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') {
    throw std::runtime_error("not a PE image: no MZ header");
  }
  const std::uint32_t pe = r.u32(0x3C);
  r.need(pe, 24);
  if (image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    throw std::runtime_error("not a PE image: no PE signature");
  }
  PeFacts facts;
  facts.machine = r.u16(pe + 4);
  const std::uint16_t sectionCount = r.u16(pe + 6);
  const std::uint16_t optionalSize = r.u16(pe + 20);
  facts.characteristics = r.u16(pe + 22);
  const std::uint64_t optional = pe + 24;
  facts.optionalMagic = r.u16(optional);
  facts.subsystem = r.u16(optional + 68);
  const bool plus = facts.optionalMagic == 0x20B;
  const std::uint64_t directories = optional + (plus ? 112 : 96);
  const std::uint32_t directoryCount = r.u32(optional + (plus ? 108 : 92));

  std::vector<Section> sections;
  const std::uint64_t sectionTable = optional + optionalSize;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = sectionTable + 40 * std::uint64_t{i};
    sections.push_back({r.u32(at + 12), r.u32(at + 8), r.u32(at + 16), r.u32(at + 20)});
  }

  if (directoryCount <= kResourceDirectoryIndex) return facts;
  const std::uint32_t resourceRva = r.u32(directories + 8 * kResourceDirectoryIndex);
  if (resourceRva == 0) return facts;
  const auto base = fileOffset(sections, resourceRva);
  if (!base) return facts;

  // type RT_VERSION -> first name -> first language -> data entry
  auto level = directoryEntry(r, *base, 0, kResourceTypeVersion);
  for (int depth = 0; depth < 2 && level; ++depth) {
    if (!(*level & kSubdirectoryFlag)) return facts;
    level = directoryEntry(r, *base, *level & ~kSubdirectoryFlag, std::nullopt);
  }
  if (!level || (*level & kSubdirectoryFlag)) return facts;
  const std::uint32_t dataRva = r.u32(*base + *level);
  const std::uint32_t dataSize = r.u32(*base + *level + 4);
  const auto data = fileOffset(sections, dataRva);
  if (!data) return facts;
  r.need(*data, dataSize);
  // VS_VERSIONINFO: the fixed part begins with its signature, 32-bit aligned.
  for (std::uint64_t at = *data; at + 52 <= *data + dataSize; at += 4) {
    if (r.u32(at) != kVersionSignature) continue;
    const std::uint32_t ms = r.u32(at + 8);
    const std::uint32_t ls = r.u32(at + 12);
    facts.fileVersion[0] = static_cast<std::uint16_t>(ms >> 16);
    facts.fileVersion[1] = static_cast<std::uint16_t>(ms & 0xFFFF);
    facts.fileVersion[2] = static_cast<std::uint16_t>(ls >> 16);
    facts.fileVersion[3] = static_cast<std::uint16_t>(ls & 0xFFFF);
    break;
  }
  return facts;
}

std::string whyNotA32BitGuiExe(const PeFacts& facts, bool allow64Bit) {
  const bool is64Bit = facts.machine == kMachineAmd64 && facts.optionalMagic == kPe32PlusMagic;
  if ((facts.machine != kMachineI386 || facts.optionalMagic != kPe32Magic) &&
      !(allow64Bit && is64Bit)) {
    return "not a 32-bit x86 image (machine 0x" + [&] {
      static const char hex[] = "0123456789abcdef";
      std::string text;
      for (int shift = 12; shift >= 0; shift -= 4) text += hex[(facts.machine >> shift) & 0xF];
      return text;
    }() + ")";
  }
  if (facts.characteristics & kFileDll) return "a DLL, not an exe";
  if (facts.subsystem != kSubsystemWindowsGui) {
    return "not a GUI program (subsystem " + std::to_string(facts.subsystem) + ")";
  }
  return {};
}

std::optional<std::uint32_t> shellVersionCodeOf(const PeFacts& facts) {
  if (!facts.fileVersion[3]) return std::nullopt;
  return *facts.fileVersion[3];
}

}  // namespace zrq::channel
