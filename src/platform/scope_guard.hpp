#pragma once

#include <utility>

namespace cv {

// Runs a callable when the scope ends, on every path, unless dismissed.
template <typename F>
class ScopeGuard {
 public:
  explicit ScopeGuard(F action) : action_(std::move(action)) {}
  ~ScopeGuard() {
    if (active_) action_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;
  void dismiss() { active_ = false; }

 private:
  F action_;
  bool active_ = true;
};

template <typename F>
ScopeGuard<F> onScopeExit(F action) {
  return ScopeGuard<F>(std::move(action));
}

}  // namespace cv
