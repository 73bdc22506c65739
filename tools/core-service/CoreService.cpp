// core-service: a stand-in for the suite's core service. It serves the core
// pipe and answers each request the way it is told, including with the
// malformed and failing replies that clients must survive.
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include <boost/program_options.hpp>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "PipeConnection.h"
#include "PipeListener.h"

namespace po = boost::program_options;
using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TMessageType;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TTransportException;

namespace {

constexpr char kCorePipeName[] = "\\\\.\\pipe\\TevrinAV-Core-780863D5-5ABD-4b1a-AAF3-427AF74D4ECE";

constexpr char kAnswers[] =
    "how to answer each request:\n"
    "  true, false  result field 0 as that bool\n"
    "  fail         OperationFailed in field 1 (--number, --text)\n"
    "  exception    an exception reply (--type, --message)\n"
    "  name         a reply naming another operation (--name)\n"
    "  type         a reply of another message type (--message-type)\n"
    "  empty        a result struct with no field\n"
    "  close        close the connection without replying\n"
    "  busy         accept no connection: every instance busy";

struct Settings {
  std::string pipe = kCorePipeName;
  std::string answer = "true";
  int32_t number = 1;
  std::string text;
  int32_t type = 0;
  std::string message;
  std::string name = "reloadcore";
  int32_t messageType = apache::thrift::protocol::T_CALL;
  int32_t sequenceId = 0;
  bool dump = false;
  bool once = false;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
    out += digits;
  }
  return out;
}

void WriteReply(TBinaryProtocol& out, const Settings& settings, const std::string& operation) {
  using namespace apache::thrift::protocol;
  const std::string& answer = settings.answer;
  if (answer == "exception") {
    out.writeMessageBegin(operation, T_EXCEPTION, settings.sequenceId);
    TApplicationException(static_cast<TApplicationException::TApplicationExceptionType>(settings.type),
                          settings.message)
        .write(&out);
  } else {
    std::string name = answer == "name" ? settings.name : operation;
    auto type = answer == "type" ? static_cast<TMessageType>(settings.messageType) : T_REPLY;
    out.writeMessageBegin(name, type, settings.sequenceId);
    out.writeStructBegin("result");
    if (answer == "fail") {
      out.writeFieldBegin("failure", T_STRUCT, 1);
      out.writeStructBegin("OperationFailed");
      out.writeFieldBegin("number1", T_I32, 1);
      out.writeI32(settings.number);
      out.writeFieldEnd();
      out.writeFieldBegin("text2", T_STRING, 2);
      out.writeString(settings.text);
      out.writeFieldEnd();
      out.writeFieldStop();
      out.writeStructEnd();
      out.writeFieldEnd();
    } else if (answer != "empty") {
      out.writeFieldBegin("success", T_BOOL, 0);
      out.writeBool(answer != "false");
      out.writeFieldEnd();
    }
    out.writeFieldStop();
    out.writeStructEnd();
  }
  out.writeMessageEnd();
  out.getTransport()->flush();
}

// Reads one request from a client and answers it as the settings say.
void Serve(tevrin::platform::FileHandle handle, const Settings& settings) {
  auto connection = std::make_shared<coreservice::PipeConnection>(handle);
  auto buffered = std::make_shared<TBufferedTransport>(connection);
  TBinaryProtocol protocol(buffered);
  std::string operation;
  try {
    TMessageType type;
    int32_t sequenceId = 0;
    protocol.readMessageBegin(operation, type, sequenceId);
    protocol.skip(apache::thrift::protocol::T_STRUCT);
    protocol.readMessageEnd();
  } catch (const apache::thrift::TException& e) {
    std::cout << "bad request: " << e.what() << std::endl;
    return;
  }
  if (settings.dump) std::cout << "request: " << Hex(connection->received()) << std::endl;
  if (settings.answer == "close") return;
  try {
    WriteReply(protocol, settings, operation);
  } catch (const apache::thrift::TException& e) {
    std::cout << "reply not delivered: " << e.what() << std::endl;
  }
}

bool ParseSettings(int argc, char* argv[], Settings& settings) {
  po::options_description options("Usage: core-service [options]\n\nOptions");
  options.add_options()
      ("help", "show this text")
      ("pipe", po::value(&settings.pipe), "pipe to serve (default: the core service's pipe)")
      ("answer", po::value(&settings.answer), "true, false, fail, exception, name, type, empty, close or busy")
      ("number", po::value(&settings.number), "OperationFailed number (answer fail)")
      ("text", po::value(&settings.text), "OperationFailed text, UTF-8 (answer fail)")
      ("type", po::value(&settings.type), "exception type (answer exception)")
      ("message", po::value(&settings.message), "exception message (answer exception)")
      ("name", po::value(&settings.name), "operation name to reply with (answer name)")
      ("message-type", po::value(&settings.messageType), "message type to reply with (answer type)")
      ("sequence-id", po::value(&settings.sequenceId), "sequence id of replies")
      ("dump", po::bool_switch(&settings.dump), "print each request in hex")
      ("once", po::bool_switch(&settings.once), "stop after one connection");
  po::variables_map vm;
  po::store(po::parse_command_line(argc, argv, options), vm);
  po::notify(vm);
  if (vm.count("help")) {
    std::cout << options << "\n" << kAnswers << std::endl;
    return false;
  }
  static const char* const known[] = {"true", "false", "fail", "exception", "name", "type", "empty", "close", "busy"};
  for (const char* answer : known)
    if (settings.answer == answer) return true;
  throw po::error("unknown answer '" + settings.answer + "'");
}

}  // namespace

int main(int argc, char* argv[]) {
  Settings settings;
  try {
    if (!ParseSettings(argc, argv, settings)) return 0;
  } catch (const po::error& e) {
    std::cerr << "core-service: " << e.what() << " (see --help)" << std::endl;
    return 2;
  }

  try {
    coreservice::PipeListener::StopOnInterrupt();
    coreservice::PipeListener listener(settings.pipe);
    if (settings.answer == "busy") listener.HoldBusy();
    // Callers wait for this line before they connect.
    std::cout << "serving " << settings.pipe << std::endl;
    if (settings.answer == "busy") {
      listener.WaitForStop();
      return 0;
    }
    for (;;) {
      auto handle = listener.Accept();
      if (handle == tevrin::platform::kInvalidFileHandle) break;
      Serve(handle, settings);
      if (settings.once) break;
    }
  } catch (const std::exception& e) {
    std::cerr << "core-service: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
