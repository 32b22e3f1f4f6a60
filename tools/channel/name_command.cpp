#include "core/error.hpp"
#include "commands.hpp"
#include "judge.hpp"
#include "net/rules/setup_file_name.hpp"
#include "pe_image.hpp"
#include "platform/text.hpp"
#include "publish_support.hpp"
#include "tree_files.hpp"

namespace zrq::channel {

namespace {

constexpr std::uint64_t kExeLimit = 64ull * 1024 * 1024;

// Why a game name cannot start a Windows file name, empty when it can.
std::string whyNotAFileNamePart(const std::string& game) {
  if (game.empty()) return "empty";
  for (const char c : game) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos) {
      return "holds a character Windows does not allow in file names";
    }
  }
  try {
    cv::toWide(game);
  } catch (const cv::Error&) {
    return "not valid UTF-8";
  }
  return {};
}

}  // namespace

void runName(const NameOptions& options, Report& report) {
  const std::string fileName = options.game + "_Setup_pc" + options.packageId + ".exe";
  const std::string target = (options.outDir.empty() ? "." : options.outDir) + "/" + fileName;
  Entry& entry = report.add(target);

  if (auto problem = packageIdProblem(options.packageId, "--package-id")) {
    entry.problems.push_back(*problem);
    return;
  }
  if (const std::string why = whyNotAFileNamePart(options.game); !why.empty()) {
    entry.problems.push_back({"--game", "text that can begin a Windows file name", why, ""});
    return;
  }
  // The shell's own rule must read exactly this id back from the name.
  try {
    const std::string read = cv::packageIdFromFileName(cv::toWide(fileName));
    if (read != options.packageId) {
      entry.problems.push_back({"file name", "a name the shell reads as package " +
                                                 options.packageId, "it reads " + read, ""});
    }
  } catch (...) {
    entry.problems.push_back(problemFromException(std::current_exception(), nullptr, "file name"));
  }
  const auto image = readSmallFile(options.exe, kExeLimit);
  if (!image) throw UsageError("--exe: " + options.exe + " does not exist");
  try {
    const PeFacts pe = readPeFacts(*image);
    if (pe.subsystem != kSubsystemWindowsGui || (pe.characteristics & kFileDll)) {
      entry.problems.push_back({"--exe", "a Windows GUI exe (the shell)", "another kind of image", ""});
    }
  } catch (const std::runtime_error& error) {
    entry.problems.push_back({"--exe", "a Windows GUI exe (the shell)", error.what(), ""});
  }
  entry.facts = {{"path", target}, {"packageId", options.packageId}};
  if (!entry.ok()) return;

  writeFileAtomic(target, *image);
  entry.summary = "the shell reads package " + options.packageId + " from this name";
}

}  // namespace zrq::channel
