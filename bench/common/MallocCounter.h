#pragma once

// Live heap bytes of the process, counted where every allocation ends up: malloc.
// Qt allocates string, list and hash payloads with malloc directly, so a counter of
// operator new alone misses most of a message. Linking MallocCounter.cpp into a
// benchmark replaces the allocator entry points of that program only.
[[nodiscard]] long long liveHeapBytes();
