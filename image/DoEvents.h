#pragma once
// Lets pending window events run. The core knows no window system: the
// desktop program installs the handler; elsewhere DoEvents does nothing.

#include <functional>

void SetDoEventsHandler(std::function<void()> handler);
void DoEvents();
