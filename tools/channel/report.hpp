#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "problem.hpp"

namespace zrq::channel {

// One line of a command's report: a document, a file or a package, and either
// what was found to be right or everything found wrong with it; then a line
// for each thing that works, but worse for players than it should.
struct Entry {
  std::string name;
  std::string summary;            // shown when there are no problems
  std::vector<Problem> problems;  // none: OK
  std::vector<Problem> warnings;  // not failures: they leave the exit code alone
  nlohmann::json facts = nlohmann::json::object();  // for --json

  bool ok() const { return problems.empty(); }
};

class Report {
 public:
  explicit Report(std::string command) : command_(std::move(command)) {}

  Entry& add(std::string name);
  bool ok() const;
  // 0 when every entry is OK, 1 otherwise.
  int exitCode() const { return ok() ? 0 : 1; }

  // "OK   name: summary" or "FAIL name: problem; problem", one line per entry,
  // each followed by a "WARN name: warning" line per warning.
  void printLines(std::ostream& out) const;
  nlohmann::json toJson() const;

  nlohmann::json extra = nlohmann::json::object();  // command-level facts for --json

 private:
  std::string command_;
  std::vector<Entry> entries_;
};

}  // namespace zrq::channel
