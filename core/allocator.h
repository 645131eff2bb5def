#pragma once

namespace tavin {

// The conversion rebuilds texts of tens of megabytes pass after pass. By
// default the C library maps every such buffer afresh and unmaps it when it
// is freed, so each pass pays page faults for the whole text; keeping large
// buffers in the heap lets the next pass reuse the memory. Call once at
// program start.
void keepLargeBuffers();

}  // namespace tavin
