// SHA-256, so that the state dump can name a stored file's bytes in 64 characters: a
// test compares what arrived with what was sent without reading it back block by block.
#pragma once

#include <string>
#include <string_view>

namespace signsim {

// The digest of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace signsim
