#pragma once

// Test builds only (ZRQ_TEST_SEAMS): a few narrow switches, read from the
// environment, that let tests under Wine take the paths only other Windows
// versions or other processes would make the shell take, and a record of the
// few requests whose effect Wine does not show. A release build has none of
// them: every query answers "not set" and nothing is recorded.
#include <optional>
#include <string>
#include <vector>

namespace cv::seams {

// What the shell asked of Windows where Wine does not show the effect.
enum class Noted {
  NewFileOwner,  // the owner each new file was created with; none for the system's default
  DllDirectory,  // each value given to SetDllDirectoryW; none for null
};

#if defined(ZRQ_TEST_SEAMS)

// ZRQ_TEST_ABSENT lists names, separated by ';', that the shell must treat as
// missing from the system: functions it looks up at run time (delay-loaded
// ones included), DLLs it loads from the system directory ("winhttp.dll"),
// "WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY" for a WinHTTP that refuses that access
// type, and "WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2" for one that cannot be asked
// for TLS 1.1 and 1.2.
bool pretendsAbsent(const char* name);

// ZRQ_TEST_LAUNCH_ERROR=<decimal>: starting the installer fails with that code.
std::optional<unsigned long> launchError();

// ZRQ_TEST_ELEVATED=1 or 0: the token reads as elevated, or not, whatever it
// says (Wine 8 gives every process a full administrator's token, Wine 10 only
// a program started "as administrator"). Under it, directories this process
// made count as made by Administrators, whom Wine never names as owners.
std::optional<bool> elevated();

// ZRQ_TEST_WINDOWS_SHARING=1: replacing a file fails, as Windows makes it fail,
// while another handle to it does not share deletion (Wine renames regardless).
bool windowsSharingOnReplace();

// Kept in this process's memory, oldest first, for its unit tests to read.
void note(Noted what, const wchar_t* value);
std::vector<std::optional<std::wstring>> noted(Noted what);
void forgetNoted();
// ZRQ_TEST_RETRY_WAIT_MS=<decimal>: every pause before a download asks again
// lasts that long instead (for tests whose hosts keep failing).
std::optional<unsigned> retryWaitMs();
// ZRQ_TEST_TRANSFER_TIMEOUT_MS=<decimal>: the send and receive time-outs of every
// request (for tests whose hosts stall each of several requests).
std::optional<unsigned> transferTimeoutMs();

#else

inline bool pretendsAbsent(const char*) { return false; }
inline std::optional<unsigned long> launchError() { return std::nullopt; }
inline bool windowsSharingOnReplace() { return false; }
inline std::optional<bool> elevated() { return std::nullopt; }
inline void note(Noted, const wchar_t*) {}
inline std::optional<unsigned> retryWaitMs() { return std::nullopt; }
inline std::optional<unsigned> transferTimeoutMs() { return std::nullopt; }

#endif

}  // namespace cv::seams
