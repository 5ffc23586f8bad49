// Outcomes of payload codec calls as text, so that one table row can pin the exact bytes
// an encoder produced, the fields a decoder left, or the error either raised.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

// One table row: what a case did, as text, and what it should have done.
struct Case {
  const char* name;
  std::string got;
  std::string want;
};

// Bytes as upper-case hex pairs separated by blanks ("03 31 00").
inline std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", c);
    if (!out.empty()) out += ' ';
    out += pair;
  }
  return out;
}

// A text in quotes, with bytes outside printable ASCII written as \xHH.
inline std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (unsigned char c : text) {
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02X", c);
    out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : std::string(code);
  }
  return out + "'";
}

// What `run` returned, or the kind of error it raised.
template <class Run>
std::string Outcome(Run run) {
  try {
    return run();
  } catch (const std::invalid_argument&) {
    return "invalid_argument";
  } catch (const std::out_of_range&) {
    return "out_of_range";
  }
}

// The payload of an encoder in hex, or its error.
template <class Payload>
std::string Encoded(const Payload& payload) {
  return Outcome([&] { return Hex(payload.GetStringFromData()); });
}

// A decoder's Boolean result as "true" or "false", or its error.
template <class Decode>
std::string Returned(Decode decode) {
  return Outcome([&] { return std::string(decode() ? "true" : "false"); });
}

// Numbers separated by blanks ("1 -2 40000").
template <class... Number>
std::string Numbers(Number... n) {
  std::string out;
  ((out += (out.empty() ? "" : " ") + std::to_string(n)), ...);
  return out;
}
