// Developer output (DebugOut) and its replaceable sink.
#pragma once
// Developer output: English lines for whoever is debugging the program.
// By default the lines go to stderr when TF_DEBUG is set and are dropped otherwise;
// tests install their own sink to capture them.
#include <functional>
#include <string>
#include <string_view>

namespace tf {

using DebugSink = std::function<void(std::string_view)>;

// Passes one text to the developer output.
void DebugOut(std::string_view text);
// printf-style convenience.
void DebugOutF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink; an empty function restores the default (stderr when TF_DEBUG is set).
// Returns the sink that was installed before.
DebugSink SetDebugSink(DebugSink sink);

}  // namespace tf
