#pragma once

namespace vantorel {

// Room for any text of shortestDoubleText or swiftDoubleDescription (Date.h).
constexpr int shortestDoubleCapacity = 40;

// Writes shortestDoubleText of a finite value into `out` (shortestDoubleCapacity bytes) without
// building a string; returns the end of the text.
char* writeShortestDoubleText(double value, char* out);

} // namespace vantorel
