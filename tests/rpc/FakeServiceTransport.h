// An in-memory stand-in for the pipe: replies are preloaded, requests are
// captured.
#pragma once

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TTransport.h>
#include <thrift/transport/TTransportException.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// Names the cases of a parameterised test by their free-text `name`: every
// character other than a letter or a digit becomes '_'.
struct CaseName {
  template <class Info>
  std::string operator()(const Info& info) const {
    std::string name = info.param.name;
    for (char& ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
  }
};

using Bytes = std::vector<uint8_t>;

class FakeServiceTransport : public apache::thrift::transport::TTransport {
public:
  // With `config`, its message limit instead of the library's.
  explicit FakeServiceTransport(std::shared_ptr<apache::thrift::TConfiguration> config = nullptr)
      : TTransport(std::move(config)) {}

  bool isOpen() const override { return true; }
  void open() override {}
  void close() override {}

  uint32_t read_virt(uint8_t* buf, uint32_t len) override {
    uint32_t count = std::min<uint32_t>(len, static_cast<uint32_t>(reply_.size() - position_));
    if (count) std::memcpy(buf, reply_.data() + position_, count);
    position_ += count;
    return count;
  }
  void write_virt(const uint8_t* buf, uint32_t len) override { sent_.insert(sent_.end(), buf, buf + len); }
  void flush() override { ++flushes_; }

  void queueReply(const Bytes& bytes) { reply_.insert(reply_.end(), bytes.begin(), bytes.end()); }
  const Bytes& sent() const { return sent_; }
  std::size_t unread() const { return reply_.size() - position_; }
  int flushes() const { return flushes_; }

private:
  Bytes reply_;
  std::size_t position_ = 0;
  Bytes sent_;
  int flushes_ = 0;
};

// Builds wire bytes by concatenation: Cat({0x80, 0x01}, Str("name"), I32(0)).
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
inline Bytes I16(int16_t v) { return {uint8_t(uint16_t(v) >> 8), uint8_t(v)}; }
inline Bytes I32(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  return {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
}
inline Bytes I64(int64_t v) { return Cat({I32(int32_t(uint64_t(v) >> 32)), I32(int32_t(uint64_t(v)))}); }
inline Bytes Str(const std::string& s) { return Cat({I32(int32_t(s.size())), Bytes(s.begin(), s.end())}); }
inline Bytes Field(uint8_t type, int16_t id) { return Cat({{type}, I16(id)}); }

// A strict reply header: version word with the message type, name, sequence id.
inline Bytes ReplyHeader(const std::string& name, uint8_t type = 2, int32_t sequenceId = 0) {
  return Cat({{0x80, 0x01, 0x00, type}, Str(name), I32(sequenceId)});
}

}  // namespace testing_support
