// Text read from a file or a caller's bytes, made safe to show in a message.
#pragma once

#include <string>
#include <string_view>

namespace nuvex::engine {

// The bytes as printable ASCII: bytes 0x20 to 0x7E stay as they are except the backslash, which
// is doubled; every other byte (control characters, DEL, anything beyond ASCII) is written as
// \xHH with two upper-case hex digits. The result is plain ASCII whatever the input, so that every
// interface carries it intact (a C message buffer, a Python str, a terminal), and it can be read
// back byte for byte. Used for every text a message takes from a file (names in an NTv2 header).
std::string printableText(std::string_view bytes);

}  // namespace nuvex::engine
