// One row of a payload codec table: what to do with the object, and what must come
// out — payload bytes, decoded fields shown as text, or the name of the error raised.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

struct PayloadCase {
  const char* name;
  std::function<std::string()> run;
  std::string expected;
};

// The error a call raises, by name ("" when it returns).
inline std::string Caught(const std::function<void()>& call) {
  try {
    call();
    return "";
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

// Fields joined by blanks, numbers in decimal, texts as they are.
template <typename... T>
std::string Show(const T&... fields) {
  std::ostringstream out;
  const char* sep = "";
  auto put = [&](const auto& field) {
    out << sep;
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(field)>>)
      out << +field;
    else
      out << field;
    sep = " ";
  };
  (put(fields), ...);
  return out.str();
}

// A fresh object of class T, filled by `fill`, then encoded.
template <typename T, typename Fill>
std::function<std::string()> Encode(Fill fill) {
  return [fill] {
    T obj;
    fill(obj);
    return obj.GetStringFromData();
  };
}

inline void RunCases(const std::vector<PayloadCase>& cases) {
  for (const PayloadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string got;
    const std::string error = Caught([&] { got = c.run(); });
    EXPECT_EQ(error.empty() ? got : error, c.expected);
  }
}
