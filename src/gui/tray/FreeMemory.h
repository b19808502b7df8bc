#pragma once

namespace vimo {

// Every thread allocates from the one heap. glibc gives each thread that allocates a heap of
// its own, and the xcb reader and the store's worker keep theirs, half empty, all day: with
// many notes open that is a megabyte. Before the first thread starts.
void UseOneHeap();

// Gives the heap's free pages back to the system. glibc returns only what is free at the top
// of its heap; what start-up or a batch of notes freed lies spread all through it.
void ReturnFreeMemory();

} // namespace vimo
