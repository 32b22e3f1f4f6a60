// zrq-channel: publishes what the shell needs from its file host, checks a
// tree before it is uploaded and probes the live hosts as a shell meets them,
// all with the shell's own rules.
#include <unistd.h>

#include <iostream>

#include <CLI/CLI.hpp>

#include "core/version.hpp"
#include "build_config.hpp"
#include "commands.hpp"

namespace {

using namespace zrq::channel;

constexpr int kUsageError = 2;

const std::string kDefaultFileHost = cv::build::kFileHost;
const std::string kDefaultCheckHost = cv::build::kCheckHost;

void addFileHost(CLI::App& command, std::string& fileHost) {
  fileHost = kDefaultFileHost;
  command.add_option("--file-host", fileHost,
                     "The file host (HOST[:PORT]) that installer and shell URLs must name")
      ->capture_default_str();
}

void addSigning(CLI::App& command, std::string& keyFile, unsigned& expiresInDays,
                bool required) {
  CLI::Option* key = command.add_option("--key", keyFile, "The channel's private key (PEM, from "
                                        "zrq-channel keygen): sign the document with it")
                         ->check(CLI::ExistingFile);
  if (required) key->required();
  command.add_option("--expires-in", expiresInDays, "Days after which shells refuse the signed "
                     "document (default: it does not expire)")->check(CLI::Range(1u, 36500u));
}

void addKeyFiles(CLI::App& command, std::vector<std::string>& keyFiles) {
  command.add_option("--key-file", keyFiles, "Verify signatures with this public key (PEM; may be "
                     "given twice) instead of the keys this build carries")
      ->check(CLI::ExistingFile);
}

void addShellVersion(CLI::App& command, std::uint32_t& shellVersion) {
  shellVersion = cv::shellVersionCode;
  command.add_option("--shell-version", shellVersion, "Judge the manifest as shells of this "
                     "version code do")->capture_default_str();
}

void addAllow64Bit(CLI::App& command, bool& allow) {
  command.add_flag("--allow-64-bit", allow, "Accept a 64-bit shell exe as well (for test runs on "
                   "machines that run no 32-bit x86 code; players get the 32-bit shell)");
}

// Prints the report as lines or as one JSON document; its exit code.
int finish(const Report& report, bool json) {
  if (json) {
    std::cout << report.toJson().dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
              << '\n';
  } else {
    report.printLines(std::cout);
  }
  return report.exitCode();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zrq-channel: author, check and probe what the setup shell needs from its servers, "
               "with the shell's own rules. Exit 0: all well; 1: a problem was found; 2: usage."};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Help for every command");
  bool json = false;

  PackageOptions package;
  CLI::App* packageCommand = app.add_subcommand(
      "package", "Write ROOT/pc/config/ID.json for an installer (validated with the shell's rules; "
                 "nothing is written when a rule fails)");
  packageCommand->add_option("ROOT", package.root, "The file host's tree")->required();
  packageCommand->add_option("--package-id", package.packageId, "The package id (the number in "
                             "<Game>_Setup_pc<ID>.exe)")->required();
  packageCommand->add_option("--installer", package.installer, "The installer file (hashed and "
                             "measured)")->required()->check(CLI::ExistingFile);
  packageCommand->add_option("--url", package.url, "The installer's https URL on the file host")
      ->required();
  packageCommand->add_option("--app-id", package.appId, "appId")->required();
  packageCommand->add_option("--game-id", package.gameId, "gameId")->required();
  packageCommand->add_option("--channel-code", package.channelCode, "channelCode")->required();
  packageCommand->add_option("--display-name", package.displayName, "displayName (shown in the "
                             "window's caption)")->required();
  packageCommand->add_option("--mother-id", package.motherId, "installer.packageId, any JSON "
                             "value (sent in the check as motherId)")->required();
  packageCommand->add_option("--type", package.type, "exe or msi (default: msi for a .msi "
                             "installer, otherwise exe)")->check(CLI::IsMember({"exe", "msi"}));
  packageCommand->add_flag("--store", package.store, "Also copy the installer into ROOT at the "
                           "URL's path");
  addFileHost(*packageCommand, package.fileHost);
  addSigning(*packageCommand, package.keyFile, package.expiresInDays, false);
  packageCommand->add_flag("--json", json, "Print one JSON report");

  ShellOptions shell;
  CLI::App* shellCommand = app.add_subcommand(
      "shell", "Write ROOT/pc/shell/latest.json announcing a new shell (its version code from the "
               "exe's version resource)");
  shellCommand->add_option("ROOT", shell.root, "The file host's tree")->required();
  shellCommand->add_option("--exe", shell.exe, "The new 32-bit shell exe")->required()
      ->check(CLI::ExistingFile);
  shellCommand->add_option("--url", shell.url, "The exe's https URL on the file host")->required();
  shellCommand->add_flag("--force", shell.force, "Publish even when the version code is not above "
                         "the published one");
  shellCommand->add_flag("--store", shell.store, "Also copy the exe into ROOT at the URL's path");
  addFileHost(*shellCommand, shell.fileHost);
  addAllow64Bit(*shellCommand, shell.allow64Bit);
  addSigning(*shellCommand, shell.keyFile, shell.expiresInDays, false);
  shellCommand->add_flag("--json", json, "Print one JSON report");

  NameOptions name;
  CLI::App* nameCommand = app.add_subcommand(
      "name", "Copy the shell as NAME_Setup_pcID.exe, a name from which the shell reads exactly ID");
  nameCommand->add_option("--exe", name.exe, "The shell exe")->required()->check(CLI::ExistingFile);
  nameCommand->add_option("--package-id", name.packageId, "The package id")->required();
  nameCommand->add_option("--game", name.game, "The start of the file name, e.g. the game's name")
      ->required();
  nameCommand->add_option("--out", name.outDir, "Directory for the copy (default: the current one)")
      ->check(CLI::ExistingDirectory);
  nameCommand->add_flag("--json", json, "Print one JSON report");

  CheckOptions check;
  CLI::App* checkCommand = app.add_subcommand(
      "check", "Check a whole tree offline: every configuration, the shell manifest and the files "
               "they name");
  checkCommand->add_option("ROOT", check.root, "The file host's tree")->required()
      ->check(CLI::ExistingDirectory);
  addFileHost(*checkCommand, check.fileHost);
  addAllow64Bit(*checkCommand, check.allow64Bit);
  addKeyFiles(*checkCommand, check.keyFiles);
  addShellVersion(*checkCommand, check.shellVersion);
  checkCommand->add_flag("--json", json, "Print one JSON report");

  ProbeOptions probe;
  probe.fileHost = kDefaultFileHost;
  probe.checkHost = kDefaultCheckHost;
  CLI::App* probeCommand = app.add_subcommand(
      "probe", "Make a shell's requests to the live hosts now: manifest, configuration, check "
               "(a real POST), installer");
  probeCommand->add_option("ID", probe.packageIds, "Package ids")->required();
  probeCommand->add_option("--file-host", probe.fileHost, "HOST[:PORT] of the file host")
      ->capture_default_str();
  probeCommand->add_option("--check-host", probe.checkHost, "HOST[:PORT] of the check endpoint")
      ->capture_default_str();
  probeCommand->add_option("--ca", probe.caFile, "Trust only the CA certificates in this PEM file "
                           "(default: the system store)")->check(CLI::ExistingFile);
  probeCommand->add_flag("--no-download", probe.noDownload, "Do not download installers or the shell");
  addShellVersion(*probeCommand, probe.shellVersion);
  addKeyFiles(*probeCommand, probe.keyFiles);
  probeCommand->add_flag("--json", json, "Print one JSON report");

  KeygenOptions keygen;
  CLI::App* keygenCommand = app.add_subcommand(
      "keygen", "Make a channel's ECDSA P-256 key pair: DIR/channel-key.pem (private, mode 0600) "
                "and DIR/channel-key.pub.pem (built into the shell); prints the key id");
  keygenCommand->add_option("--out", keygen.outDir, "The directory for the two files")->required()
      ->check(CLI::ExistingDirectory);
  keygenCommand->add_flag("--json", json, "Print one JSON report");

  SignOptions sign;
  CLI::App* signCommand = app.add_subcommand(
      "sign", "Sign every document of a tree in place (pc/shell/latest.json, pc/config/*.json), "
              "refusing one the shell's rules refuse");
  signCommand->add_option("ROOT", sign.root, "The file host's tree")->required()
      ->check(CLI::ExistingDirectory);
  addSigning(*signCommand, sign.keyFile, sign.expiresInDays, true);
  addFileHost(*signCommand, sign.fileHost);
  addShellVersion(*signCommand, sign.shellVersion);
  signCommand->add_flag("--json", json, "Print one JSON report");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageError;
  }

  try {
    if (*packageCommand) {
      Report report("package");
      runPackage(package, report);
      return finish(report, json);
    }
    if (*shellCommand) {
      Report report("shell");
      runShell(shell, report);
      return finish(report, json);
    }
    if (*nameCommand) {
      Report report("name");
      runName(name, report);
      return finish(report, json);
    }
    if (*keygenCommand) {
      Report report("keygen");
      runKeygen(keygen, report);
      return finish(report, json);
    }
    if (*signCommand) {
      Report report("sign");
      runSign(sign, report);
      return finish(report, json);
    }
    if (*checkCommand) {
      Report report("check");
      runCheck(check, report);
      return finish(report, json);
    }
    Report report("probe");
    probe.progress = !json && ::isatty(STDERR_FILENO);
    runProbe(probe, report);
    return finish(report, json);
  } catch (const UsageError& e) {
    std::cerr << "zrq-channel: " << e.what() << "\nRun with --help for more information.\n";
    return kUsageError;
  } catch (const std::exception& e) {
    // A file that cannot be read or written: the command could not do its work.
    std::cerr << "zrq-channel: " << e.what() << '\n';
    return 1;
  }
}
