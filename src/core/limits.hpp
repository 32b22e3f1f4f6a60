#pragma once

// The protocol's limits and the shell's fixed waits, each in one place. The
// test harness reads this file too (tools/zrqtest/vocabulary.py).

#include <cstddef>
#include <cstdint>

namespace cv {

// Documents.
inline constexpr std::size_t kJsonBodyLimit = 131072;    // bytes of a server's JSON answer
inline constexpr int kJsonDepthLimit = 64;               // nesting of a body, the top level 1
inline constexpr std::size_t kTextLimit = 256;           // gameId, channelCode, displayName (bytes)
inline constexpr std::size_t kChannelCodeLimit = 128;    // channelCode (bytes)
inline constexpr std::size_t kAppIdLimit = 128;          // appId (characters of [a-zA-Z0-9_-])
inline constexpr std::size_t kUrlLimit = 16384;          // installer.url (bytes)
inline constexpr std::size_t kSizeDigitsLimit = 15;      // sizeBytes (decimal digits)
inline constexpr std::size_t kVersionDigitsLimit = 10;   // versionCode (decimal digits)
inline constexpr std::uint32_t kMaxVersionCode = 4294967295u;
inline constexpr std::size_t kPackageIdDigitsLimit = 10; // the package id of a file name
inline constexpr std::uint32_t kMaxPackageId = 4294967295u;

// The download.
inline constexpr std::uint64_t kDownloadSpaceMargin = 1048576;  // free bytes beyond the file
inline constexpr unsigned kRetryWaitsMs[] = {1000, 2000, 4000, 8000};
inline constexpr int kSendTimeoutMs = 10000;
inline constexpr int kReceiveTimeoutMs = 10000;

// The handover and the start.
inline constexpr std::uint32_t kMaxHandoffHops = 3;
inline constexpr unsigned long kAcknowledgementTimeoutMs = 15000;
inline constexpr unsigned long kPackageOpenWaitMs = 10000;  // msiexec's hold on its package

}  // namespace cv
