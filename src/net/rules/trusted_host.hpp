#pragma once

#include <string>

namespace cv {

// True when host, lower-cased (A-Z only), equals one ";"-separated entry of
// hosts exactly. Empty entries never match; ports and subdomains are not special.
bool hostInList(std::wstring host, const std::string& hosts);

}  // namespace cv
