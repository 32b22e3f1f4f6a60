#pragma once

// Test builds only (ZRQ_TEST_SEAMS): a few narrow switches, read from the
// environment, that let tests under Wine take the paths only other Windows
// versions or other processes would make the shell take. A release build has
// none of them: every query answers "not set".
#include <optional>

namespace cv::seams {

#if defined(ZRQ_TEST_SEAMS)

// ZRQ_TEST_ABSENT lists names, separated by ';', that the shell must treat as
// missing from the system: functions it looks up at run time, and
// "WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY" for a WinHTTP that refuses that access type.
bool pretendsAbsent(const char* name);

// ZRQ_TEST_LAUNCH_ERROR=<decimal>: starting the installer fails with that code.
std::optional<unsigned long> launchError();

// ZRQ_TEST_WINDOWS_SHARING=1: replacing a file fails, as Windows makes it fail,
// while another handle to it does not share deletion (Wine renames regardless).
bool windowsSharingOnReplace();

// ZRQ_TEST_RETRY_WAIT_MS=<decimal>: every pause before a download asks again
// lasts that long instead (for tests whose hosts keep failing).
std::optional<unsigned> retryWaitMs();

#else

inline bool pretendsAbsent(const char*) { return false; }
inline std::optional<unsigned long> launchError() { return std::nullopt; }
inline bool windowsSharingOnReplace() { return false; }
inline std::optional<unsigned> retryWaitMs() { return std::nullopt; }

#endif

}  // namespace cv::seams
