// evrules: the HIPS rule module loaded by the protection host.
//
// This is the module's binary interface: the seven exports, the callback
// record the host hands to InitLibrary and the detection report the module
// sends back. It is also the one header that names platform-specific types:
// on 32-bit Windows the exports and callbacks are stdcall and wide strings
// are wchar_t; on Linux they are plain C functions and wide strings are
// char16_t. Both are zero-terminated UTF-16. Hosts may be written in C (C11
// on Linux, for char16_t) or C++.
#ifndef EVRULES_EVRULES_H
#define EVRULES_EVRULES_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define EVRULES_CALL __stdcall
typedef wchar_t EvWideChar;
#else
#define EVRULES_CALL
#ifndef __cplusplus
#include <uchar.h>  // char16_t for C hosts
#endif
typedef char16_t EvWideChar;
#endif

#if defined(_WIN32)
// The export names and ordinals come from evrules.def.
#define EVRULES_EXPORT
#else
#define EVRULES_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Built by the module on its own stack for one ReportDetection call; both
// strings are valid only until the callback returns.
typedef struct DetectionReport {
  const EvWideChar* Path;  // the file the detection is about, never empty
  const char* Verdict;     // ANSI detection name, e.g. "HIPS:Trojan.Locky.Win32.1"
  int32_t Kind;            // always 2
} DetectionReport;

typedef int32_t(EVRULES_CALL* ReportDetectionFn)(const DetectionReport* report);
typedef int32_t(EVRULES_CALL* QueryFileFn)(const EvWideChar* path, EvWideChar* buffer, int32_t capacity);
typedef int32_t(EVRULES_CALL* CheckWhiteListFn)(const EvWideChar* path);

// Filled in by the host. Size tells how much of the record is valid.
typedef struct HostCallbacks {
  uint32_t Size;
  ReportDetectionFn ReportDetection;
  QueryFileFn QueryFile;
  CheckWhiteListFn CheckWhiteList;
} HostCallbacks;

// Size thresholds: the offsets at which ReportDetection and CheckWhiteList end
// (8 and 16 on 32-bit Windows, 16 and 32 on 64-bit Linux).
#define EVRULES_SIZE_WITH_REPORT ((uint32_t)(offsetof(HostCallbacks, ReportDetection) + sizeof(ReportDetectionFn)))
#define EVRULES_SIZE_WITH_ALL ((uint32_t)(offsetof(HostCallbacks, CheckWhiteList) + sizeof(CheckWhiteListFn)))

// Export results of the event exports.
enum {
  EVRULES_RESULT_NONE = 1,       // nothing found
  EVRULES_RESULT_SYSTEM = 2,     // genuine system process or ignored known name
  EVRULES_RESULT_SILENT = 3,     // rule fired without a dispatcher report
  EVRULES_RESULT_DETECTED = 4    // rule fired and was reported
};

EVRULES_EXPORT int32_t EVRULES_CALL InitLibrary(const HostCallbacks* callbacks);

EVRULES_EXPORT int32_t EVRULES_CALL RegEvent(const EvWideChar* ProcessPath, const EvWideChar* KeyPath,
                                             const EvWideChar* ValueName, int32_t Operation);
EVRULES_EXPORT int32_t EVRULES_CALL RegEventEx(const EvWideChar* ProcessPath, const EvWideChar* KeyPath,
                                               const EvWideChar* ValueName, int32_t Operation, uint32_t Unused1,
                                               uint32_t Unused2, uint32_t Unused3, uint32_t Unused4,
                                               uint32_t Unused5);

EVRULES_EXPORT int32_t EVRULES_CALL ProcessEvent(const EvWideChar* ProcessPath, const EvWideChar* TargetPath,
                                                 const EvWideChar* CommandLine, int32_t Flags, uint32_t Unused1,
                                                 uint32_t Unused2);
EVRULES_EXPORT int32_t EVRULES_CALL ProcessEventEx(const EvWideChar* ProcessPath, const EvWideChar* TargetPath,
                                                   const EvWideChar* CommandLine, int32_t Flags, uint32_t Unused1,
                                                   uint32_t Unused2, uint32_t Unused3, uint32_t Unused4,
                                                   uint32_t Unused5, uint32_t Unused6, uint32_t Unused7);

EVRULES_EXPORT int32_t EVRULES_CALL NetConnectEvent(uint32_t Unused1, uint32_t Unused2, uint32_t Unused3,
                                                    uint32_t Unused4, uint32_t Unused5, uint32_t Unused6,
                                                    uint32_t Unused7, uint32_t Unused8);
EVRULES_EXPORT int32_t EVRULES_CALL NetProtocolData(uint32_t Unused1, uint32_t Unused2, uint32_t Unused3,
                                                    uint32_t Unused4, uint32_t Unused5, uint32_t Unused6,
                                                    uint32_t Unused7);

#ifdef __cplusplus
}
#endif

#endif
