#include "session/run_state.hpp"
#include "core/messages.hpp"

#include "core/error.hpp"

namespace cv {

void RunState::throwIfCancelled() const {
  if (cancelRequested.load()) throw Error(Cancelled, msg::kCancelled);
}

void RunState::enterLaunching() {
  std::lock_guard<std::mutex> guard(stateLock_);
  throwIfCancelled();
  publish(Stage::Launching);
}

CloseDecision RunState::requestClose() {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto current = stage.load();
  if (current < static_cast<std::int32_t>(Stage::Launching)) {
    cancelRequested.store(true);
    return CloseDecision::CancelRequested;
  }
  if (current >= static_cast<std::int32_t>(Stage::Finished)) return CloseDecision::Destroy;
  return CloseDecision::Ignore;
}

void RunState::setTitle(const std::wstring& title) {
  std::lock_guard<std::mutex> guard(stateLock_);
  title_ = title;
}

std::wstring RunState::title() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return title_;
}

void RunState::reportFailure(std::int32_t code, const std::wstring& message) {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    message_ = message;
  }
  resultCode = code;
  publish(Stage::Failed);
}

void RunState::appendToMessage(const std::wstring& suffix) {
  std::lock_guard<std::mutex> guard(stateLock_);
  message_ += suffix;
}

std::wstring RunState::message() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return message_;
}

RunState& processRunState() {
  static RunState state;
  return state;
}

}  // namespace cv
