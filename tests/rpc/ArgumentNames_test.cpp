// The argument names of the declarations are those of ServiceRpc.thrift, as
// Thrift's compiler writes them in its argument records: same ids, same
// names, same wire types, for every operation.
#include <gtest/gtest.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "ServiceRpc.h"
#include "service/ServiceRpcTypes.h"

namespace {

namespace idl = TevrinAV::Idl;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TType;

struct ArgField {
  int16_t id;
  std::string name;
  TType type;
  bool operator==(const ArgField& o) const { return id == o.id && name == o.name && type == o.type; }
};
void PrintTo(const ArgField& f, std::ostream* out) { *out << f.id << ": " << f.name << " (type " << f.type << ")"; }

// Notes the fields of the outermost struct written.
class FieldRecorder : public TBinaryProtocol {
public:
  FieldRecorder() : TBinaryProtocol(std::make_shared<apache::thrift::transport::TMemoryBuffer>()) {}
  std::vector<ArgField> fields;

protected:
  uint32_t writeStructBegin_virt(const char* name) override {
    ++depth_;
    return TBinaryProtocol::writeStructBegin_virt(name);
  }
  uint32_t writeStructEnd_virt() override {
    --depth_;
    return TBinaryProtocol::writeStructEnd_virt();
  }
  uint32_t writeFieldBegin_virt(const char* name, const TType type, const int16_t id) override {
    if (depth_ == 1) fields.push_back({id, name, type});
    return TBinaryProtocol::writeFieldBegin_virt(name, type, id);
  }

private:
  int depth_ = 0;
};

template <class GeneratedArgs>
std::vector<ArgField> GeneratedFields() {
  FieldRecorder recorder;
  GeneratedArgs().write(&recorder);
  return recorder.fields;
}

template <class... A>
std::vector<ArgField> DeclaredFields(TevrinAV::wire::ArgList<A...>*) {
  return {{A::id, A::name, TevrinAV::wire::Codec<typename A::type>::type}...};
}

struct Operation {
  std::string name;
  std::vector<ArgField> declared;
  std::vector<ArgField> generated;
};

#define TEVRIN_BOTH_FIELDS(Op, ...) \
  {#Op, DeclaredFields(static_cast<TevrinAV::ops::Op::Args*>(nullptr)), GeneratedFields<idl::ServiceRpc_##Op##_args>()},
const Operation kOperations[] = {TEVRIN_SERVICE_OPERATIONS(TEVRIN_BOTH_FIELDS, TEVRIN_ARG)};
#undef TEVRIN_BOTH_FIELDS

TEST(ArgumentNamesTest, AreTheInterfaceDescriptionsForEveryOperation) {
  ASSERT_EQ(std::size(kOperations), TevrinAV::AllOperations::size);
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(op.name);
    EXPECT_EQ(op.declared, op.generated);
  }
}

}  // namespace
