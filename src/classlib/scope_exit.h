#pragma once
// A guard for the rare one-off clean-up that has no owner type of its own.
#include <utility>

// Runs `action` when the scope ends, also by an exception.
template <class F>
class ScopeExit {
public:
  explicit ScopeExit(F action) : action_(std::move(action)) {}
  ~ScopeExit() { action_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

private:
  F action_;
};
template <class F>
ScopeExit(F) -> ScopeExit<F>;
