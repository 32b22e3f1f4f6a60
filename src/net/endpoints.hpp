#pragma once

#include <string>

namespace cv {

// "https://" + the file host (with its port, if the build names one).
std::string fileHostBaseUrl();
// The authorization check endpoint, full URL.
std::string checkEndpointUrl();
// Trusted download hosts: lower-case names separated by ";" (ports dropped).
const std::string& trustedDownloadHosts();

// "Files.Example:8443" -> "files.example"; a bracketed IPv6 literal keeps its brackets.
std::string downloadHostName(const std::string& hostAndPort);

}  // namespace cv
