// The host side of the module's callbacks. The module calls plain functions
// that carry no context, so one Host at a time is installed in a process;
// the record built here forwards to it.
#ifndef RULEHOST_HOST_RECORD_H
#define RULEHOST_HOST_RECORD_H

#include <cstdint>
#include <string_view>

#include "evrules.h"

namespace rulehost {

class Host {
 public:
  virtual ~Host() = default;
  // `verdict` is the module's ANSI text (never null here); both views are
  // valid only during the call.
  virtual void OnReport(std::u16string_view path, std::string_view verdict, int32_t kind) = 0;
  virtual int32_t OnQueryFile(std::u16string_view path) = 0;
  virtual int32_t OnCheckWhiteList(std::u16string_view path) = 0;
};

// How much of the record the host fills in: "full" covers every callback,
// "reportOnly" ends after ReportDetection, "tooSmall" one byte short of it.
enum class RecordSize { Full, ReportOnly, TooSmall, Empty };

struct RecordShape {
  RecordSize size = RecordSize::Full;
  bool reportDetection = true;
  bool queryFile = true;
  bool checkWhiteList = true;
};

// Installs `host` as the one the callbacks reach and returns the record to
// hand to InitLibrary. `host` must outlive the module's use of the record.
HostCallbacks MakeRecord(Host& host, const RecordShape& shape);

}  // namespace rulehost

#endif
