// The interface's values as JSON, both ways, for every declared type: bools,
// numbers (64-bit ones exact, never through floating point), texts (UTF-8
// JSON strings of the wide texts), enumerations (their numbers), lists and
// sets (arrays), maps (objects keyed by the number's decimal text) and
// records (objects of the fields whose was-set flags are set, in field
// order), all from the C++ types and the records' field tables.
#pragma once

#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "TypeNames.h"
#include "service/WideText.h"
#include "service/WireCodec.h"

namespace TevrinAV::reflect {

// Objects keep their members in the order written: fields in table order,
// map entries in key order.
using Json = nlohmann::ordered_json;

// A JSON value that does not fit the type asked for. where() is the place
// inside the value, such as [2], ["5"] or .threat.text2 (empty at the top);
// problem() says what was expected and what was found.
class JsonTypeError : public std::runtime_error {
public:
  explicit JsonTypeError(const std::string& problem) : std::runtime_error(problem), problem_(problem) {}
  const std::string& where() const { return where_; }
  const std::string& problem() const { return problem_; }
  // Adds the step that led here, on the way out.
  void prefix(const std::string& step) { where_ = step + where_; }

private:
  std::string where_;
  std::string problem_;
};

// The value as a reader is told about it: null, true, number 5, string "x"
// (cut after 40 characters), an array, an object.
std::string DescribeJson(const Json& value);
// Throws JsonTypeError: "expected TYPE, got ..." and the note, if any.
[[noreturn]] void ThrowExpected(const std::string& type, const Json& got, const char* note = "");

// The text of a map key and back; the number must be whole and in range.
template <class K>
std::string KeyText(const K& key);
template <class K>
K KeyFromText(const std::string& text);

// A value of T to start from: its zero value, where a record has every
// field (each a template of its own), lists and maps are empty.
template <class T>
Json TemplateJson();

// The JSON text of `value`: indented by two, or on one line when compact.
// Besides JSON's own escapes, DEL and the C1 controls are written as \u
// escapes, so that no control character reaches a terminal raw.
std::string DumpJson(const Json& value, bool compact);

// A decimal i64 with an optional minus sign and nothing else; false when it
// is not one or is out of range.
bool ParseWholeNumber(const std::string& text, int64_t& number);

// Specialised per kind of type: `write(value)` gives the JSON, `read(json,
// value)` fills the value or throws JsonTypeError.
template <class T, class = void>
struct JsonCodec;

template <class T>
Json ToJson(const T& value) {
  return JsonCodec<T>::write(value);
}
template <class T>
void FromJson(const Json& json, T& value) {
  JsonCodec<T>::read(json, value);
}
// FromJson of an element, naming its place (`step`) when it does not fit.
template <class T>
void ReadStep(const Json& json, T& value, const std::string& step) {
  try {
    FromJson(json, value);
  } catch (JsonTypeError& e) {
    e.prefix(step);
    throw;
  }
}

template <>
struct JsonCodec<bool> {
  static Json write(bool v) { return v; }
  static void read(const Json& j, bool& v) {
    if (!j.is_boolean()) ThrowExpected("bool", j);
    v = j.get<bool>();
  }
};

template <class T>
struct JsonCodec<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
  static Json write(T v) { return static_cast<int64_t>(v); }
  static void read(const Json& j, T& v, const std::string& type = TypeNameOf<T>()) {
    if (!j.is_number_integer()) ThrowExpected(type, j);
    if (j.is_number_unsigned()) {
      if (j.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<T>::max()))
        ThrowExpected(type, j, " (out of range)");
      v = static_cast<T>(j.get<uint64_t>());
      return;
    }
    auto n = j.get<int64_t>();
    if (n < std::numeric_limits<T>::min() || n > std::numeric_limits<T>::max())
      ThrowExpected(type, j, " (out of range)");
    v = static_cast<T>(n);
  }
};

template <>
struct JsonCodec<double> {
  static Json write(double v) { return v; }
  static void read(const Json& j, double& v) {
    if (!j.is_number()) ThrowExpected("double", j);
    v = j.get<double>();
  }
};

template <class E>
struct JsonCodec<E, std::enable_if_t<std::is_enum_v<E>>> {
  using Number = std::underlying_type_t<E>;
  static Json write(E v) { return static_cast<int64_t>(v); }
  static void read(const Json& j, E& v) {
    Number n{};
    JsonCodec<Number>::read(j, n, TypeNameOf<E>() + " (an " + TypeNameOf<Number>() + ")");
    v = static_cast<E>(n);
  }
};

template <>
struct JsonCodec<WideString> {
  static Json write(const WideString& v);
  static void read(const Json& j, WideString& v);
};

template <class T>
struct JsonCodec<std::vector<T>> {
  static Json write(const std::vector<T>& v) {
    Json array = Json::array();
    for (const T& item : v) array.push_back(ToJson(item));
    return array;
  }
  static void read(const Json& j, std::vector<T>& v) {
    if (!j.is_array()) ThrowExpected(TypeNameOf<std::vector<T>>(), j);
    v.clear();
    v.reserve(j.size());
    for (std::size_t i = 0; i < j.size(); ++i) {
      T item{};
      ReadStep(j[i], item, "[" + std::to_string(i) + "]");
      v.push_back(std::move(item));
    }
  }
};

template <class T>
struct JsonCodec<std::set<T>> {
  static Json write(const std::set<T>& v) {
    Json array = Json::array();
    for (const T& item : v) array.push_back(ToJson(item));
    return array;
  }
  static void read(const Json& j, std::set<T>& v) {
    if (!j.is_array()) ThrowExpected(TypeNameOf<std::set<T>>(), j);
    v.clear();
    for (std::size_t i = 0; i < j.size(); ++i) {
      T item{};
      ReadStep(j[i], item, "[" + std::to_string(i) + "]");
      v.insert(std::move(item));
    }
  }
};

template <class K, class V>
struct JsonCodec<std::map<K, V>> {
  static Json write(const std::map<K, V>& v) {
    Json object = Json::object();
    for (const auto& [key, value] : v) object[KeyText(key)] = ToJson(value);
    return object;
  }
  static void read(const Json& j, std::map<K, V>& v) {
    if (!j.is_object()) ThrowExpected(TypeNameOf<std::map<K, V>>(), j);
    v.clear();
    for (const auto& [text, value] : j.items()) {
      std::string step = "[" + Json(text).dump(-1, ' ', false, Json::error_handler_t::replace) + "]";
      K key{};
      try {
        key = KeyFromText<K>(text);
      } catch (JsonTypeError& e) {
        e.prefix(step);
        throw;
      }
      ReadStep(value, v[key], step);
    }
  }
};

template <class R>
struct JsonCodec<R, std::enable_if_t<wire::IsRecord<R>::value>> {
  static Json write(const R& record) {
    Json object = Json::object();
    std::apply(
        [&](const auto&... field) {
          auto put = [&](const auto& f) {
            if (record.isset.*(f.flag)) object[f.name] = ToJson(record.*(f.value));
          };
          (put(field), ...);
        },
        wire::RecordTraits<R>::fields);
    return object;
  }
  // Fields the object lacks keep their values and flags.
  static void read(const Json& j, R& record) {
    if (!j.is_object()) ThrowExpected(TypeNameOf<R>(), j);
    for (const auto& [name, value] : j.items()) {
      bool known = std::apply(
          [&, &name = name, &value = value](const auto&... field) {
            auto take = [&](const auto& f) {
              if (name != f.name) return false;
              ReadStep(value, record.*(f.value), "." + name);
              record.isset.*(f.flag) = true;
              return true;
            };
            return (take(field) || ...);
          },
          wire::RecordTraits<R>::fields);
      if (!known)
        throw JsonTypeError("unknown field '" + name + "' of " + TypeNameOf<R>() + "; its fields: " + FieldNames());
    }
  }
  static std::string FieldNames() {
    std::string names;
    std::apply([&](const auto&... field) { ((names += (names.empty() ? "" : ", ") + std::string(field.name)), ...); },
               wire::RecordTraits<R>::fields);
    return names;
  }
};

template <class K>
std::string KeyText(const K& key) {
  if constexpr (std::is_same_v<K, WideString>) {
    return ToJson(key).template get<std::string>();
  } else {
    static_assert(std::is_integral_v<K> || std::is_enum_v<K>, "map keys are numbers or texts");
    return std::to_string(static_cast<int64_t>(key));
  }
}

template <class K>
K KeyFromText(const std::string& text) {
  if constexpr (std::is_same_v<K, WideString>) {
    K key;
    FromJson(Json(text), key);
    return key;
  } else {
    int64_t number = 0;
    if (!ParseWholeNumber(text, number)) ThrowExpected(TypeNameOf<K>() + " as a decimal key", Json(text));
    K key{};
    FromJson(Json(number), key);
    return key;
  }
}

template <class T>
Json TemplateJson() {
  if constexpr (wire::IsRecord<T>::value) {
    Json object = Json::object();
    std::apply(
        [&](const auto&... field) {
          auto put = [&](const auto& f) {
            using Field = std::remove_reference_t<decltype(std::declval<T&>().*(f.value))>;
            object[f.name] = TemplateJson<Field>();
          };
          (put(field), ...);
        },
        wire::RecordTraits<T>::fields);
    return object;
  } else {
    return ToJson(T{});
  }
}

}  // namespace TevrinAV::reflect
