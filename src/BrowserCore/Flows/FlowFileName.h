#pragma once

// The file a flow of a given name lives in, found from the name alone.

#include <string>
#include <string_view>

namespace vesk {

// The name in canonical composed form, lower-cased, cut at every character
// that is neither a letter nor a number (of any script; the combining marks
// of a kept character stay with it), the pieces joined with "-", "flow" when
// nothing is left, and ".json" appended. Names that differ only in case or
// punctuation share a file. The result holds nothing else, so it can never
// leave its folder. A name longer than a file name may be (255 bytes) is
// cut between two characters and ends in "-" and 8 hexadecimal digits of a
// digest of the uncut name.
std::string flowFileName(std::string_view name);

} // namespace vesk
