#include "DoEvents.h"

#include <utility>

namespace {
// Installed once by the desktop program before any work starts, so no locking.
std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}
}  // namespace

void SetDoEventsHandler(std::function<void()> handler) { Handler() = std::move(handler); }

void DoEvents() {
    if (Handler()) Handler()();
}
