#include "report.hpp"

namespace zrq::channel {

Entry& Report::add(std::string name) {
  entries_.push_back(Entry{});
  entries_.back().name = std::move(name);
  return entries_.back();
}

bool Report::ok() const {
  for (const Entry& entry : entries_) {
    if (!entry.ok()) return false;
  }
  return true;
}

void Report::printLines(std::ostream& out) const {
  for (const Entry& entry : entries_) {
    if (entry.ok()) {
      out << "OK   " << entry.name;
      if (!entry.summary.empty()) out << ": " << entry.summary;
    } else {
      out << "FAIL " << entry.name << ": ";
      for (std::size_t i = 0; i < entry.problems.size(); ++i) {
        out << (i ? "; " : "") << entry.problems[i].text();
      }
    }
    out << '\n';
    for (const Problem& warning : entry.warnings) {
      out << "WARN " << entry.name << ": " << warning.text() << '\n';
    }
  }
}

nlohmann::json Report::toJson() const {
  nlohmann::json entries = nlohmann::json::array();
  for (const Entry& entry : entries_) {
    nlohmann::json problems = nlohmann::json::array();
    for (const Problem& problem : entry.problems) problems.push_back(problem.toJson());
    nlohmann::json warnings = nlohmann::json::array();
    for (const Problem& warning : entry.warnings) warnings.push_back(warning.toJson());
    nlohmann::json item = entry.facts;
    item["name"] = entry.name;
    item["ok"] = entry.ok();
    item["problems"] = std::move(problems);
    item["warnings"] = std::move(warnings);
    if (!entry.summary.empty()) item["summary"] = entry.summary;
    entries.push_back(std::move(item));
  }
  nlohmann::json out = extra;
  out["command"] = command_;
  out["ok"] = ok();
  out["entries"] = std::move(entries);
  return out;
}

}  // namespace zrq::channel
