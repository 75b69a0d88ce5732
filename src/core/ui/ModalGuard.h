#pragma once

#include <functional>

// Tests run without a person to close a modal dialog, menu or window: one that would open unanswered
// is reported through this handler and treated as cancelled, instead of waiting for ever.
namespace ModalGuard {
using Handler = std::function<void(const char* what)>;

void setHandler(Handler handler);
// True when modal windows must not open; the handler has then been told what tried to.
bool blocked(const char* what);
} // namespace ModalGuard
