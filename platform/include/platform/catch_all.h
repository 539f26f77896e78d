// Code that the system calls (an exported function, a COM method, a window procedure, a thread
// routine) must let no exception out: it would cross frames that know nothing of C++. Each such
// boundary runs its body through CatchAll, which says once what an escaping exception becomes.
#pragma once

#include <new>

namespace platform {

// The body's result; `onFailure` when it throws.
template <typename Result, typename Body>
Result CatchAll(Result onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

// The body's result; `outOfMemory` when it runs out of memory, `onFailure` when it throws
// anything else (for HRESULTs: E_OUTOFMEMORY and E_UNEXPECTED).
template <typename Result, typename Body>
Result CatchAll(Result outOfMemory, Result onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return outOfMemory;
  } catch (...) {
    return onFailure;
  }
}

// A body without a result, whose failure leaves nothing to report.
template <typename Body>
void CatchAll(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace platform
