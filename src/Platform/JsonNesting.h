#pragma once

// How deep a JSON text nests, counted before it is parsed. Copying,
// comparing and writing a parsed value recurse once per level, so a text
// nested tens of thousands of levels deep (a line from the agent, a file on
// disk) would overflow the stack. No document of ours needs more than a few
// levels; a deeper one is refused before any value is built from it.

#include <string_view>

namespace vesk {

// The nesting no document read by the program may pass.
inline constexpr int deepestJsonNesting = 128;

// Whether brackets and braces in `text` open more than `limit` levels at
// once. Brackets inside strings do not count.
bool jsonNestsDeeperThan(std::string_view text, int limit = deepestJsonNesting);

} // namespace vesk
