#pragma once

#include <functional>

namespace pendra {

// The one queue that saves files off the main thread, in the order they were
// handed over, so that an fsync never stalls a frame.
void writeFileAsync(std::function<void()> write);
// Returns once everything handed over so far is on disk (quitting, tests).
void waitForFileWrites();

}  // namespace pendra
