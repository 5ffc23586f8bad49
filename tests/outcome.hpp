// Outcomes of payload codec calls as text, so that one table row can pin the exact bytes
// an encoder produced, the fields a decoder left, or the error either raised.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// One table row: what a case did, as text, and what it should have done.
struct Case {
  const char* name;
  std::string got;
  std::string want;
};

inline void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(c.got, c.want) << c.name;
}

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

// Fields joined by blanks: numbers in decimal, texts as they are ("1 -2 AB").
template <class... Field>
std::string Show(const Field&... fields) {
  std::string out;
  const char* sep = "";
  auto put = [&](const auto& field) {
    out += std::exchange(sep, " ");
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(field)>>)
      out += std::to_string(+field);
    else
      out += field;
  };
  (put(fields), ...);
  return out;
}

// What `run` returned ("" for nothing), or the kind of error it raised.
template <class Run>
std::string Outcome(Run run) {
  try {
    if constexpr (std::is_void_v<decltype(run())>) {
      run();
      return "";
    } else {
      return run();
    }
  } catch (const std::overflow_error&) {
    return "overflow_error";
  } catch (const std::invalid_argument&) {
    return "invalid_argument";
  } catch (const std::out_of_range&) {
    return "out_of_range";
  } catch (const std::logic_error&) {
    return "logic_error";
  }
}

// The payload of an encoder in hex, or its error.
template <class Payload>
std::string Encoded(Payload payload) {
  return Outcome([&] { return Hex(payload.GetStringFromData()); });
}

// A decoder's Boolean result as "true" or "false", or its error.
template <class Decode>
std::string Returned(Decode decode) {
  return Outcome([&] { return std::string(decode() ? "true" : "false"); });
}
