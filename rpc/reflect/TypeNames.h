// Names of the interface's types as its IDL writes them (i32, list<string>,
// map<i64,i32>, TaskInfo), and the records and enumerations a type reaches,
// all derived from the C++ types, the records' field tables and the
// enumerations' traits.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "service/WireCodec.h"

namespace TevrinAV::reflect {

template <class T, class = void>
struct TypeName;

#define TEVRIN_TYPE_NAME(CppType, Name)       \
  template <>                                 \
  struct TypeName<CppType> {                  \
    static std::string get() { return Name; } \
  };
TEVRIN_TYPE_NAME(bool, "bool")
TEVRIN_TYPE_NAME(int8_t, "byte")
TEVRIN_TYPE_NAME(int16_t, "i16")
TEVRIN_TYPE_NAME(int32_t, "i32")
TEVRIN_TYPE_NAME(int64_t, "i64")
TEVRIN_TYPE_NAME(double, "double")
TEVRIN_TYPE_NAME(WideString, "string")
#undef TEVRIN_TYPE_NAME

template <class E>
struct TypeName<E, std::enable_if_t<std::is_enum_v<E>>> {
  static std::string get() { return wire::EnumTraits<E>::name; }
};
template <class R>
struct TypeName<R, std::enable_if_t<wire::IsRecord<R>::value>> {
  static std::string get() { return wire::RecordTraits<R>::name; }
};
template <class T>
struct TypeName<std::vector<T>> {
  static std::string get() { return "list<" + TypeName<T>::get() + ">"; }
};
template <class T>
struct TypeName<std::set<T>> {
  static std::string get() { return "set<" + TypeName<T>::get() + ">"; }
};
template <class K, class V>
struct TypeName<std::map<K, V>> {
  static std::string get() { return "map<" + TypeName<K>::get() + "," + TypeName<V>::get() + ">"; }
};

template <class T>
std::string TypeNameOf() {
  return TypeName<T>::get();
}

// One field of a record or one argument of an operation.
struct FieldInfo {
  int16_t id;
  std::string name;
  std::string type;
  bool operator==(const FieldInfo& o) const { return id == o.id && name == o.name && type == o.type; }
};

struct RecordInfo {
  std::string name;
  std::vector<FieldInfo> fields;
};

// The types a value of T holds: its elements, keys and values.
template <class T>
struct ElementTypes {
  using type = std::tuple<>;
};
template <class T>
struct ElementTypes<std::vector<T>> {
  using type = std::tuple<T>;
};
template <class T>
struct ElementTypes<std::set<T>> {
  using type = std::tuple<T>;
};
template <class K, class V>
struct ElementTypes<std::map<K, V>> {
  using type = std::tuple<K, V>;
};

// The records and enumerations reached from some types, each once, in the
// order they are first met (a record before the records of its fields).
struct ReachedTypes {
  std::vector<RecordInfo> records;
  std::vector<std::string> enumerations;

  template <class T>
  void add();

private:
  template <class Record>
  void addRecord();
  template <class... T>
  void addEach(std::tuple<T...>*) {
    (add<T>(), ...);
  }
  bool seen(const std::string& name);
  std::set<std::string> seen_;
};

template <class T>
void ReachedTypes::add() {
  if constexpr (std::is_enum_v<T>) {
    if (!seen(TypeNameOf<T>())) enumerations.push_back(TypeNameOf<T>());
  } else if constexpr (wire::IsRecord<T>::value) {
    addRecord<T>();
  } else {
    addEach(static_cast<typename ElementTypes<T>::type*>(nullptr));
  }
}

template <class Record>
void ReachedTypes::addRecord() {
  if (seen(TypeNameOf<Record>())) return;
  RecordInfo info{TypeNameOf<Record>(), {}};
  std::size_t index = records.size();
  records.push_back(info);
  std::apply(
      [&](const auto&... field) {
        auto describe = [&](const auto& f) {
          using T = std::remove_reference_t<decltype(std::declval<Record&>().*(f.value))>;
          records[index].fields.push_back({f.id, f.name, TypeNameOf<T>()});
          add<T>();
        };
        (describe(field), ...);
      },
      wire::RecordTraits<Record>::fields);
}

inline bool ReachedTypes::seen(const std::string& name) { return !seen_.insert(name).second; }

}  // namespace TevrinAV::reflect
