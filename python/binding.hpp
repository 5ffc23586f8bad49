// What every part of the Python module shares: how C++ strings cross into Python (texts as
// str with one character per byte, raw bytes as bytes, files on this computer as paths),
// an adapter that binds a member function with those conversions, and a builder for the
// payload classes (fields, keyword construction, indexed properties, __repr__).
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <concepts>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace qordtcon::python {

namespace py = pybind11;

// A text as the sign holds it: one byte per character, so Python sees Latin-1 ('É' is
// byte 0xC9) and a character beyond U+00FF cannot be sent (UnicodeEncodeError).
struct Text {
  std::string s;
};
// Bytes as they are (payloads, file blocks, the statistics' raw clock fields).
struct Bytes {
  std::string s;
};
// A file on this computer: str, bytes or os.PathLike, in the file system's encoding.
struct LocalPath {
  std::string s;
};

}  // namespace qordtcon::python

namespace pybind11::detail {

template <>
struct type_caster<qordtcon::python::Text> {
  PYBIND11_TYPE_CASTER(qordtcon::python::Text, const_name("str"));
  bool load(handle src, bool) {
    if (!PyUnicode_Check(src.ptr())) return false;
    // Not Latin-1: the codec's UnicodeEncodeError (a ValueError) says which character.
    auto latin1 = reinterpret_steal<object>(PyUnicode_AsLatin1String(src.ptr()));
    if (!latin1) throw error_already_set();
    value.s.assign(PyBytes_AS_STRING(latin1.ptr()), PyBytes_GET_SIZE(latin1.ptr()));
    return true;
  }
  static handle cast(const qordtcon::python::Text& text, return_value_policy, handle) {
    return PyUnicode_DecodeLatin1(text.s.data(), static_cast<ssize_t>(text.s.size()), nullptr);
  }
};

template <>
struct type_caster<qordtcon::python::Bytes> {
  PYBIND11_TYPE_CASTER(qordtcon::python::Bytes, const_name("bytes"));
  bool load(handle src, bool) {
    if (PyBytes_Check(src.ptr())) {
      value.s.assign(PyBytes_AS_STRING(src.ptr()), PyBytes_GET_SIZE(src.ptr()));
    } else if (PyByteArray_Check(src.ptr())) {
      value.s.assign(PyByteArray_AS_STRING(src.ptr()), PyByteArray_GET_SIZE(src.ptr()));
    } else {
      return false;
    }
    return true;
  }
  static handle cast(const qordtcon::python::Bytes& bytes, return_value_policy, handle) {
    return PyBytes_FromStringAndSize(bytes.s.data(), static_cast<ssize_t>(bytes.s.size()));
  }
};

template <>
struct type_caster<qordtcon::python::LocalPath> {
  PYBIND11_TYPE_CASTER(qordtcon::python::LocalPath, const_name("os.PathLike"));
  bool load(handle src, bool) {
    PyObject* encoded = nullptr;
    if (!PyUnicode_FSConverter(src.ptr(), &encoded)) {
      PyErr_Clear();  // not a path: pybind11 reports the mismatched argument
      return false;
    }
    auto bytes = reinterpret_steal<object>(encoded);
    value.s.assign(PyBytes_AS_STRING(encoded), PyBytes_GET_SIZE(encoded));
    return true;
  }
  static handle cast(const qordtcon::python::LocalPath& path, return_value_policy, handle) {
    return PyUnicode_DecodeFSDefaultAndSize(path.s.data(), static_cast<ssize_t>(path.s.size()));
  }
};

}  // namespace pybind11::detail

namespace qordtcon::python {

// How a C++ parameter or result looks in Python: every string as S (Text, Bytes or
// LocalPath), anything else unchanged. A string the C++ side changes in place has no
// general form; such methods are bound by hand.
template <class S, class T>
struct As {
  using type = T;
  template <class U>
  static U&& in(U&& value) {
    return std::forward<U>(value);
  }
  static T out(T value) { return value; }
};
template <class S>
struct As<S, void> {
  using type = void;
};
template <class S>
struct As<S, std::string> {
  using type = S;
  static std::string in(S value) { return std::move(value.s); }
  static S out(std::string value) { return S{std::move(value)}; }
};
template <class S>
struct As<S, const std::string&> : As<S, std::string> {};
template <class S>
struct As<S, std::string_view> : As<S, std::string> {};
template <class S>
struct As<S, std::string&>;  // in-out: bind by hand

// Runs a payload method as it is.
struct Direct {
  template <class Self, class F>
  static decltype(auto) Run(Self&, F&& call) {
    return call();
  }
};

// A callable for pybind11 that calls `method` on a Self with the conversions of As<S, ...>,
// through Policy::Run (the control releases the GIL there).
template <class S, class Self, class Policy, class R, class... A, class M>
auto Wrap(M method) {
  return [method](Self& self, typename As<S, A>::type... args) -> typename As<S, R>::type {
    auto call = [&]() -> R {
      return (self.*method)(As<S, A>::in(std::forward<typename As<S, A>::type>(args))...);
    };
    if constexpr (std::is_void_v<R>) {
      Policy::Run(self, call);
    } else {
      return As<S, R>::out(Policy::Run(self, call));
    }
  };
}

template <class S = Text, class Self = void, class Policy = Direct, class C, class R, class... A>
auto Method(R (C::*method)(A...)) {
  using Target = std::conditional_t<std::is_void_v<Self>, C, Self>;
  return Wrap<S, Target, Policy, R, A...>(method);
}
template <class S = Text, class Self = void, class Policy = Direct, class C, class R, class... A>
auto Method(R (C::*method)(A...) const) {
  using Target = std::conditional_t<std::is_void_v<Self>, const C, Self>;
  return Wrap<S, Target, Policy, R, A...>(method);
}

// One payload class: its public fields as attributes, a constructor taking any of them as
// keywords, C++ overload pairs (indexed and count properties) as one method each, and a
// __repr__ that shows the fields and the table rows.
template <class C>
class Data {
 public:
  Data(py::module_& m, const char* name) : cls_(m, name), shown_(std::make_shared<Shown>()) {
    cls_.def(py::init([](const py::kwargs& fields) {
               C object;
               {
                 py::object view = py::cast(&object, py::return_value_policy::reference);
                 for (const auto& [name, value] : fields)
                   py::setattr(view, name, value);
               }
               return object;
             }),
             "Every keyword sets the field of its name.");
    cls_.def("__repr__", [shown = shown_](py::handle self) { return shown->Repr(self); });
    if constexpr (std::equality_comparable<C>) {
      cls_.def(
          "__eq__", [](const C& a, const C& b) { return a == b; }, py::is_operator());
    }
  }

  // Text fields that hold raw bytes: they are bytes in Python.
  Data& Raw(std::initializer_list<const char*> names) {
    raw_.insert(raw_.end(), names.begin(), names.end());
    return *this;
  }

  template <class T, class B>
  Data& Field(const char* name, T B::*member) {
    shown_->fields.emplace_back(name);
    if constexpr (std::is_same_v<T, std::string>) {
      if (IsRaw(name)) return Convert<Bytes>(name, member);
      return Convert<Text>(name, member);
    } else if constexpr (std::is_enum_v<T>) {
      // Any number is stored, named or not, as C++ allows.
      using N = std::underlying_type_t<T>;
      cls_.def_property(
          name, [member](const C& c) { return c.*member; },
          [member](C& c, N value) { c.*member = static_cast<T>(value); });
    } else {
      cls_.def_readwrite(name, member);
    }
    return *this;
  }

  // An indexed or count property: name(index...) reads, name(index..., value) writes.
  template <class S = Text, class B, class R, class... I>
  Data& Pair(const char* name, R (B::*get)(I...) const, void (B::*set)(I..., std::decay_t<R>)) {
    cls_.def(name, Method<S, C>(get));
    cls_.def(name, Method<S, C>(set));
    if constexpr (sizeof...(I) == 1) shown_->columns.emplace_back(name);
    return *this;
  }

  // The rows __repr__ shows: first..count(), count being a method of the class; or
  // first..last for a fixed table.
  Data& Rows(int first, const char* count) {
    shown_->first = first;
    shown_->count = count;
    return *this;
  }
  Data& Rows(int first, int last) {
    shown_->first = first;
    shown_->last = last;
    return *this;
  }

  // An encoder or decoder: its payload strings are bytes.
  template <class M>
  Data& Codec(const char* name, M method) {
    cls_.def(name, Method<python::Bytes, C>(method));
    return *this;
  }

  template <class... Args>
  Data& def(Args&&... args) {
    cls_.def(std::forward<Args>(args)...);
    return *this;
  }

  py::class_<C>& cls() { return cls_; }

 private:
  struct Shown {
    std::vector<std::string> fields;
    std::vector<std::string> columns;
    int first = 0;
    int last = -1;
    std::string count;

    std::string Repr(py::handle self) const;
  };

  bool IsRaw(std::string_view name) const {
    for (const char* raw : raw_)
      if (name == raw) return true;
    return false;
  }

  template <class S, class B>
  Data& Convert(const char* name, std::string B::*member) {
    cls_.def_property(
        name, [member](const C& c) { return S{c.*member}; },
        [member](C& c, S value) { c.*member = std::move(value.s); });
    return *this;
  }

  py::class_<C> cls_;
  std::shared_ptr<Shown> shown_;
  std::vector<const char*> raw_;
};

// "name(field=value, ..., rows=[(column=value, ...), ...])", rows up to the first entry the
// table does not hold.
template <class C>
std::string Data<C>::Shown::Repr(py::handle self) const {
  std::string text = py::str(py::type::handle_of(self).attr("__name__"));
  std::string sep;
  text += '(';
  for (const auto& name : fields) {
    text += sep + name + '=' + std::string(py::repr(self.attr(name.c_str())));
    sep = ", ";
  }
  const int last = count.empty() ? this->last : self.attr(count.c_str())().cast<int>();
  if (!columns.empty() && (!count.empty() || last >= first)) {
    if (!count.empty()) {
      text += sep + count + '=' + std::to_string(last);
      sep = ", ";
    }
    text += sep + "rows=[";
    for (int i = first; i <= last; ++i) {
      std::string row = "(";
      for (const auto& column : columns) {
        try {
          row += std::string(row.size() > 1 ? ", " : "") + column + '=' +
                 std::string(py::repr(self.attr(column.c_str())(i)));
        } catch (const py::error_already_set& e) {
          if (!e.matches(PyExc_IndexError)) throw;
          return text + "])";  // a count the table refused
        }
      }
      text += std::string(i > first ? ", " : "") + row + ')';
    }
    text += ']';
  }
  return text + ')';
}

// Binds a list of public fields: QORDTCON_FIELDS(Class, a, b, c) gives
// .Field("a", &Class::a).Field("b", &Class::b)... (up to 256 names: four levels of four
// rescans).
#define QORDTCON_PARENS ()
#define QORDTCON_EXPAND(...) \
  QORDTCON_EXPAND4(QORDTCON_EXPAND4(QORDTCON_EXPAND4(QORDTCON_EXPAND4(__VA_ARGS__))))
#define QORDTCON_EXPAND4(...) \
  QORDTCON_EXPAND3(QORDTCON_EXPAND3(QORDTCON_EXPAND3(QORDTCON_EXPAND3(__VA_ARGS__))))
#define QORDTCON_EXPAND3(...) \
  QORDTCON_EXPAND2(QORDTCON_EXPAND2(QORDTCON_EXPAND2(QORDTCON_EXPAND2(__VA_ARGS__))))
#define QORDTCON_EXPAND2(...) \
  QORDTCON_EXPAND1(QORDTCON_EXPAND1(QORDTCON_EXPAND1(QORDTCON_EXPAND1(__VA_ARGS__))))
#define QORDTCON_EXPAND1(...) __VA_ARGS__
#define QORDTCON_FOR_EACH(macro, C, ...) \
  __VA_OPT__(QORDTCON_EXPAND(QORDTCON_FOR_EACH_NEXT(macro, C, __VA_ARGS__)))
#define QORDTCON_FOR_EACH_NEXT(macro, C, first, ...) \
  macro(C, first) __VA_OPT__(QORDTCON_FOR_EACH_AGAIN QORDTCON_PARENS(macro, C, __VA_ARGS__))
#define QORDTCON_FOR_EACH_AGAIN() QORDTCON_FOR_EACH_NEXT
#define QORDTCON_FIELD(C, name) .Field(#name, &C::name)
#define QORDTCON_PAIR(C, name) .Pair(#name, &C::name, &C::name)
#define QORDTCON_FIELDS(C, ...) QORDTCON_FOR_EACH(QORDTCON_FIELD, C, __VA_ARGS__)
#define QORDTCON_PAIRS(C, ...) QORDTCON_FOR_EACH(QORDTCON_PAIR, C, __VA_ARGS__)
// A class with its fields, bound into the module `m` in scope; QORDTCON_PAYLOAD adds its
// one encoder or decoder.
#define QORDTCON_DATA(C, ...) ::qordtcon::python::Data<C>(m, #C) QORDTCON_FIELDS(C, __VA_ARGS__)
#define QORDTCON_PAYLOAD(C, codec, ...) QORDTCON_DATA(C, __VA_ARGS__).Codec(#codec, &C::codec)

// The parts of the module, one per group.
void BindPayloads(py::module_& m);
void BindFiles(py::module_& m);
void BindControl(py::module_& m);

}  // namespace qordtcon::python
