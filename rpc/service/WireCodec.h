// Wire form of the values and records of the service interface. A record is
// declared once as a field table (RecordTraits); the templates here read and
// write it, and one loop, ReadStruct, reads every struct of the interface.
//
// Reading is generic in the protocol: with the service's own protocol (the
// one every client here uses) the calls are direct and inline; any other
// TProtocol is read through its virtual functions. ReadAs picks one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocol.h>

#include "ServiceProtocol.h"
#include "WideText.h"

namespace TevrinAV {

namespace wire {

using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TType;

// ---- Records --------------------------------------------------------------

// One field of a record: its id, the member holding it and its was-set flag.
template <class Record, class T>
struct FieldSpec {
  int16_t id;
  const char* name;
  T Record::*value;
  bool Record::Isset::*flag;
};

// Names a record field in a field table: id, member and flag of one name.
#define TEVRIN_FIELD(Record, Id, Member)                                                        \
  ::TevrinAV::wire::FieldSpec<Record, decltype(Record::Member)> {                               \
    Id, #Member, &Record::Member, &Record::Isset::Member                                        \
  }

// A record declared as one list of its fields: with
//   #define TEVRIN_RECORD_Point(FIELD) FIELD(1, x, int32_t) FIELD(2, label, WideString)
// TEVRIN_RECORD_MEMBERS(Point) in its struct gives the members, the was-set
// flags (`isset`, in field order) and read/write, and TEVRIN_RECORD_TRAITS(Point)
// in namespace TevrinAV::wire its field table.
#define TEVRIN_RECORD_MEMBER(Id, Name, ...) __VA_ARGS__ Name{};
#define TEVRIN_RECORD_FLAG(Id, Name, ...) bool Name = false;
#define TEVRIN_RECORD_FIELD(Id, Name, ...) TEVRIN_FIELD(Self, Id, Name),
#define TEVRIN_RECORD_MEMBERS(Record)                                 \
  TEVRIN_RECORD_##Record(TEVRIN_RECORD_MEMBER) struct Isset {         \
    TEVRIN_RECORD_##Record(TEVRIN_RECORD_FLAG)                        \
  } isset;                                                            \
  uint32_t read(apache::thrift::protocol::TProtocol* iprot);          \
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
#define TEVRIN_RECORD_TRAITS(Record)                                            \
  template <>                                                                   \
  struct RecordTraits<Record> {                                                 \
    using Self = Record;                                                        \
    static constexpr const char* name = #Record;                                \
    static constexpr auto fields =                                              \
        FieldsOf(TEVRIN_RECORD_##Record(TEVRIN_RECORD_FIELD) EndOfFields{});    \
  };

// A record's field table without the end marker that lets a macro write a
// comma after every field: FieldsOf(f1, f2, EndOfFields{}) is (f1, f2).
struct EndOfFields {};
template <class Tuple, std::size_t... I>
constexpr auto FirstOf(const Tuple& items, std::index_sequence<I...>) {
  return std::make_tuple(std::get<I>(items)...);
}
template <class... T>
constexpr auto FieldsOf(const T&... items) {
  return FirstOf(std::make_tuple(items...), std::make_index_sequence<sizeof...(T) - 1>{});
}

// Specialised for each record type: `name` and the tuple `fields`.
template <class Record>
struct RecordTraits;

// Specialised for each enumeration of the interface: its `name`.
template <class Enum>
struct EnumTraits;

template <class T, class = void>
struct IsRecord : std::false_type {};
template <class T>
struct IsRecord<T, std::void_t<decltype(RecordTraits<T>::fields)>> : std::true_type {};

// ---- Value codecs ---------------------------------------------------------

// Wire type of a value and how to write and read it.
template <class T, class = void>
struct Codec;

#define TEVRIN_SCALAR_CODEC(CppType, WireType, Suffix)                                               \
  template <>                                                                                        \
  struct Codec<CppType> {                                                                            \
    static constexpr TType type = apache::thrift::protocol::WireType;                                \
    static uint32_t write(TProtocol& out, const CppType& v) { return out.write##Suffix(v); }        \
    template <class P>                                                                               \
    static uint32_t read(P& in, CppType& v) {                                                        \
      return in.read##Suffix(v);                                                                     \
    }                                                                                                \
  };
TEVRIN_SCALAR_CODEC(bool, T_BOOL, Bool)
TEVRIN_SCALAR_CODEC(int8_t, T_BYTE, Byte)
TEVRIN_SCALAR_CODEC(int16_t, T_I16, I16)
TEVRIN_SCALAR_CODEC(int32_t, T_I32, I32)
TEVRIN_SCALAR_CODEC(int64_t, T_I64, I64)
TEVRIN_SCALAR_CODEC(double, T_DOUBLE, Double)
#undef TEVRIN_SCALAR_CODEC

template <>
struct Codec<WideString> {
  static constexpr TType type = apache::thrift::protocol::T_STRING;
  static uint32_t write(TProtocol& out, const WideString& v) { return WriteWideString(&out, v); }
  template <class P>
  static uint32_t read(P& in, WideString& v) {
    if constexpr (std::is_same_v<P, ServiceProtocol>)
      return in.readWideString(v);
    else
      return ReadWideString(&in, v);
  }
};

// Enumerations travel as i32; every number is kept, named or not.
template <class E>
struct Codec<E, std::enable_if_t<std::is_enum_v<E>>> {
  static constexpr TType type = apache::thrift::protocol::T_I32;
  static uint32_t write(TProtocol& out, const E& v) { return out.writeI32(static_cast<int32_t>(v)); }
  template <class P>
  static uint32_t read(P& in, E& v) {
    int32_t number = 0;
    uint32_t xfer = in.readI32(number);
    v = static_cast<E>(number);
    return xfer;
  }
};

template <class Record, class P>
uint32_t ReadRecord(P& in, Record& record);
template <class Record>
uint32_t WriteRecord(TProtocol& out, const Record& record);

template <class R>
struct Codec<R, std::enable_if_t<IsRecord<R>::value>> {
  static constexpr TType type = apache::thrift::protocol::T_STRUCT;
  static uint32_t write(TProtocol& out, const R& v) { return WriteRecord(out, v); }
  template <class P>
  static uint32_t read(P& in, R& v) {
    return ReadRecord(in, v);
  }
};

// Charges an element that arrived against what the reply may take in
// memory, when `in` is the service's protocol (ServiceProtocol.h).
template <class P>
void ChargeElement(P& in, std::size_t bytes) {
  if constexpr (std::is_same_v<P, ServiceProtocol>) in.chargeElement(bytes);
}
// What a node of a set or map takes besides its value: three links and a colour.
inline constexpr std::size_t kTreeNodeBytes = 4 * sizeof(void*);

// Containers are emptied, then filled element by element: a hostile count
// costs no more memory than the elements that really arrive, and each is
// charged its size.
template <class T>
struct Codec<std::vector<T>> {
  static constexpr TType type = apache::thrift::protocol::T_LIST;
  static uint32_t write(TProtocol& out, const std::vector<T>& v) {
    uint32_t xfer = out.writeListBegin(Codec<T>::type, static_cast<uint32_t>(v.size()));
    for (const T& item : v) xfer += Codec<T>::write(out, item);
    return xfer + out.writeListEnd();
  }
  template <class P>
  static uint32_t read(P& in, std::vector<T>& v) {
    v.clear();
    TType elementType;
    uint32_t count = 0;
    uint32_t xfer = in.readListBegin(elementType, count);
    if constexpr (std::is_same_v<P, ServiceProtocol> && std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
      // Numbers in the binary form the service's protocol reads: in blocks.
      if (elementType == Codec<T>::type) return xfer + in.readNumbers(v, count) + in.readListEnd();
    }
    // Room for the announced elements, up to a constant: a long list grows
    // less often, a hostile count costs no more than that constant.
    constexpr std::size_t kReservedBytes = 1 << 20;
    v.reserve(std::min<std::size_t>(count, kReservedBytes / sizeof(T)));
    for (uint32_t i = 0; i < count; ++i) {
      T item{};
      xfer += Codec<T>::read(in, item);
      ChargeElement(in, sizeof(T));
      v.push_back(std::move(item));
    }
    return xfer + in.readListEnd();
  }
};

template <class T>
struct Codec<std::set<T>> {
  static constexpr TType type = apache::thrift::protocol::T_SET;
  static uint32_t write(TProtocol& out, const std::set<T>& v) {
    uint32_t xfer = out.writeSetBegin(Codec<T>::type, static_cast<uint32_t>(v.size()));
    for (const T& item : v) xfer += Codec<T>::write(out, item);
    return xfer + out.writeSetEnd();
  }
  template <class P>
  static uint32_t read(P& in, std::set<T>& v) {
    v.clear();
    TType elementType;
    uint32_t count = 0;
    uint32_t xfer = in.readSetBegin(elementType, count);
    for (uint32_t i = 0; i < count; ++i) {
      T item{};
      xfer += Codec<T>::read(in, item);
      ChargeElement(in, sizeof(T) + kTreeNodeBytes);
      v.insert(std::move(item));
    }
    return xfer + in.readSetEnd();
  }
};

// A key that comes twice keeps the value read last.
template <class K, class V>
struct Codec<std::map<K, V>> {
  static constexpr TType type = apache::thrift::protocol::T_MAP;
  static uint32_t write(TProtocol& out, const std::map<K, V>& v) {
    uint32_t xfer = out.writeMapBegin(Codec<K>::type, Codec<V>::type, static_cast<uint32_t>(v.size()));
    for (const auto& [key, value] : v) {
      xfer += Codec<K>::write(out, key);
      xfer += Codec<V>::write(out, value);
    }
    return xfer + out.writeMapEnd();
  }
  template <class P>
  static uint32_t read(P& in, std::map<K, V>& v) {
    v.clear();
    TType keyType;
    TType valueType;
    uint32_t count = 0;
    uint32_t xfer = in.readMapBegin(keyType, valueType, count);
    for (uint32_t i = 0; i < count; ++i) {
      K key{};
      xfer += Codec<K>::read(in, key);
      ChargeElement(in, sizeof(typename std::map<K, V>::value_type) + kTreeNodeBytes);
      xfer += Codec<V>::read(in, v[key]);
    }
    return xfer + in.readMapEnd();
  }
};

// ---- The one struct reader ------------------------------------------------

// Reads a struct field by field until its stop. `takeField(id, type, xfer)`
// reads the value of a field it knows and answers true; every other field is
// skipped by its wire type, so the reader stays aligned.
template <class P, class TakeField>
uint32_t ReadStruct(P& in, TakeField&& takeField) {
  std::string name;
  TType type;
  int16_t id;
  uint32_t xfer = in.readStructBegin(name);
  for (;;) {
    xfer += in.readFieldBegin(name, type, id);
    if (type == apache::thrift::protocol::T_STOP) break;
    if (!takeField(id, type, xfer)) xfer += in.skip(type);
    xfer += in.readFieldEnd();
  }
  return xfer + in.readStructEnd();
}

// Records are not cleared first: fields the struct lacks keep their values
// and flags.
template <class Record, class P>
uint32_t ReadRecord(P& in, Record& record) {
  return ReadStruct(in, [&](int16_t id, TType type, uint32_t& xfer) {
    return std::apply(
        [&](const auto&... field) {
          auto take = [&](const auto& f) {
            using T = std::remove_reference_t<decltype(record.*(f.value))>;
            if (id != f.id || type != Codec<T>::type) return false;
            xfer += Codec<T>::read(in, record.*(f.value));
            record.isset.*(f.flag) = true;
            return true;
          };
          return (take(field) || ...);
        },
        RecordTraits<Record>::fields);
  });
}

// Calls `read` with the service's protocol when `in` is one, so that the
// reading is direct; else with `in` as any TProtocol.
template <class Read>
uint32_t ReadAs(TProtocol& in, Read&& read) {
  if (typeid(in) == typeid(ServiceProtocol)) return read(static_cast<ServiceProtocol&>(in));
  return read(in);
}

// A record from any protocol.
template <class Record>
uint32_t ReadRecordFrom(TProtocol& in, Record& record) {
  return ReadAs(in, [&](auto& protocol) { return ReadRecord(protocol, record); });
}

// Writes the fields whose flags are set, in table order.
template <class Record>
uint32_t WriteRecord(TProtocol& out, const Record& record) {
  uint32_t xfer = out.writeStructBegin(RecordTraits<Record>::name);
  std::apply(
      [&](const auto&... field) {
        auto put = [&](const auto& f) {
          if (!(record.isset.*(f.flag))) return;
          using T = std::remove_const_t<std::remove_reference_t<decltype(record.*(f.value))>>;
          xfer += out.writeFieldBegin(f.name, Codec<T>::type, f.id);
          xfer += Codec<T>::write(out, record.*(f.value));
          xfer += out.writeFieldEnd();
        };
        (put(field), ...);
      },
      RecordTraits<Record>::fields);
  xfer += out.writeFieldStop();
  return xfer + out.writeStructEnd();
}

}  // namespace wire
}  // namespace TevrinAV
