#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "report.hpp"

namespace zrq::channel {

// Options shared by the commands that judge a tree or a host.
struct Output {
  bool json = false;
};

struct PackageOptions {
  std::string root;
  std::string packageId;
  std::string installer;
  std::string url;
  std::string appId;
  std::string gameId;
  std::string channelCode;
  std::string displayName;
  std::string motherId;  // JSON text
  std::string type;      // empty: from the installer's name
  bool store = false;
  std::string fileHost;
  std::string keyFile;   // empty: the document is not signed
  unsigned expiresInDays = 0;
};

struct ShellOptions {
  std::string root;
  std::string exe;
  std::string url;
  bool force = false;
  bool store = false;
  std::string fileHost;
  bool allow64Bit = false;
  std::string keyFile;  // empty: the document is not signed
  unsigned expiresInDays = 0;
};

struct NameOptions {
  std::string exe;
  std::string packageId;
  std::string game;
  std::string outDir;
};

struct KeygenOptions {
  std::string outDir;
};

struct SignOptions {
  std::string root;
  std::string keyFile;
  unsigned expiresInDays = 0;  // 0: the documents do not expire
  std::string fileHost;
  std::uint32_t shellVersion = 0;
};

struct CheckOptions {
  std::string root;
  std::string fileHost;
  std::uint32_t shellVersion = 0;
  bool allow64Bit = false;
  std::vector<std::string> keyFiles;  // none: the build's keys
};

struct ProbeOptions {
  std::string fileHost;
  std::string checkHost;
  std::vector<std::string> packageIds;
  std::string caFile;
  bool noDownload = false;
  std::uint32_t shellVersion = 0;
  bool progress = false;  // a progress line on the terminal
  std::vector<std::string> keyFiles;  // none: the build's keys
};

// Each fills the report; the caller prints it and exits with its code.
void runPackage(const PackageOptions& options, Report& report);
void runShell(const ShellOptions& options, Report& report);
void runName(const NameOptions& options, Report& report);
void runCheck(const CheckOptions& options, Report& report);
void runKeygen(const KeygenOptions& options, Report& report);
void runSign(const SignOptions& options, Report& report);
void runProbe(const ProbeOptions& options, Report& report);

// A usage error found after parsing (a value the parser could not judge).
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace zrq::channel
