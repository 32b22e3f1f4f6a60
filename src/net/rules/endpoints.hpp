#pragma once

#include <string>

namespace cv {

// "https://" + the file host (with its port, if the build names one).
std::string fileHostBaseUrl();
// The documents' paths on the file host, without the leading "/": what a
// channel's signature binds each document to.
inline constexpr char kShellManifestPath[] = "pc/shell/latest.json";
std::string gameConfigPath(const std::string& packageId);
// The authorization check endpoint: its path and query on the check host, and
// its full URL.
inline constexpr char kCheckTarget[] = "/index.php?g=Home&m=PcSetup&a=check";
std::string checkEndpointUrl();
// Trusted download hosts: lower-case names separated by ";" (ports dropped).
const std::string& trustedDownloadHosts();

// "Files.Example:8443" -> "files.example"; a bracketed IPv6 literal keeps its brackets.
std::string downloadHostName(const std::string& hostAndPort);

}  // namespace cv
