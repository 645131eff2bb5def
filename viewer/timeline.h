// The viewer's timeline: with TAVIN_DEBUG set, each mark prints the
// milliseconds since the program started and what was reached, on standard
// error ("tavin: 812 ms page loaded"). Without it a mark costs one test.
#pragma once

namespace tavin {

// Starts the clock; the first mark starts it when this was not called.
void startTimeline();

// Whether TAVIN_DEBUG asks for the timeline.
bool timelineOn();

void mark(const char* what);

}  // namespace tavin
