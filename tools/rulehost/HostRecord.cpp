#include "HostRecord.h"

#include "HostText.h"

namespace rulehost {
namespace {

Host* theHost = nullptr;

int32_t EVRULES_CALL OnReportDetection(const DetectionReport* report) {
  if (theHost == nullptr || report == nullptr) return 0;
  theHost->OnReport(Wide(report->Path), report->Verdict != nullptr ? report->Verdict : "", report->Kind);
  return 0;
}

int32_t EVRULES_CALL OnQueryFile(const EvWideChar* path, EvWideChar*, int32_t) {
  return theHost == nullptr ? 0 : theHost->OnQueryFile(Wide(path));
}

int32_t EVRULES_CALL OnCheckWhiteList(const EvWideChar* path) {
  return theHost == nullptr ? 0 : theHost->OnCheckWhiteList(Wide(path));
}

}  // namespace

HostCallbacks MakeRecord(Host& host, const RecordShape& shape) {
  theHost = &host;
  HostCallbacks callbacks{};
  callbacks.Size = shape.size == RecordSize::Full         ? EVRULES_SIZE_WITH_ALL
                   : shape.size == RecordSize::ReportOnly ? EVRULES_SIZE_WITH_REPORT
                   : shape.size == RecordSize::TooSmall   ? EVRULES_SIZE_WITH_REPORT - 1
                                                          : 0;
  if (shape.reportDetection) callbacks.ReportDetection = OnReportDetection;
  if (shape.queryFile) callbacks.QueryFile = OnQueryFile;
  if (shape.checkWhiteList) callbacks.CheckWhiteList = OnCheckWhiteList;
  return callbacks;
}

}  // namespace rulehost
