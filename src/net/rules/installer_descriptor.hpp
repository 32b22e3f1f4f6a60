#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/document_rules.hpp"

namespace cv {

enum class InstallerKind { Exe, Msi };

// A file the shell downloads (the game's installer, a newer shell), as the
// server described it and the rules accepted it.
struct InstallerDescriptor {
  InstallerKind kind = InstallerKind::Exe;
  std::string sha256;  // 64 lower-case hex digits
  std::uint64_t size = 0;
  std::string url;
  // As served, not judged: its type is only looked at once the file is verified.
  nlohmann::json publisherSha256;

  bool isPackage() const { return kind == InstallerKind::Msi; }
};

// The rules of a descriptor at document[member] ("installer" in a
// configuration, "shell" in the manifest): type, sha256, sizeBytes and url,
// in that order.
DocumentRules installerDescriptorRules(const std::string& member);

// The descriptor at document[member] once its rules passed, as part of the
// rules of the document that holds it.
InstallerDescriptor descriptorAt(const nlohmann::json& document, const std::string& member);

// The descriptor at document[member], its rules enforced.
InstallerDescriptor readInstallerDescriptor(const nlohmann::json& document,
                                            const std::string& member);

}  // namespace cv
