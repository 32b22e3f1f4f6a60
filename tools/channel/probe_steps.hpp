#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "commands.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "report.hpp"

// The requests a probe makes, each as the shell would make it, with what went
// wrong added to the entry as the problem the shell would have.
namespace zrq::channel {

// "1.25 s"
std::string seconds(double value);

// GET (or POST, with a body) of a JSON document, judged as the shell takes one;
// false when the shell would fail here. facts gets the exchange's figures.
bool fetchDocument(const ProbeOptions& options, const std::string& what, const std::string& url,
                   const std::string& body, Entry& entry, nlohmann::json& document,
                   nlohmann::json& facts);

// A described file streamed from the host and held to its descriptor; then,
// when it arrived right, the host's answer to a request for its second half,
// as a shell asks for the rest of a download that broke off. Adds to summary.
void downloadAndVerify(const ProbeOptions& options, const std::string& what,
                       const cv::InstallerDescriptor& descriptor, const std::string& trustedHosts,
                       const std::string& label, Entry& entry, std::string& summary);

}  // namespace zrq::channel
