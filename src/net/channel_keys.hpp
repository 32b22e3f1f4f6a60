#pragma once

#include <vector>

#include "net/rules/document_signature.hpp"

namespace cv {

// The channel's public keys compiled into this shell (ZRQ_CHANNEL_KEYS): none,
// one, or two while a channel moves to a new key. Without keys no signature is
// looked at.
const std::vector<ChannelKey>& channelKeys();

}  // namespace cv
