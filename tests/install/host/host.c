/* A protection host in C, built against the module as it ships: the Linux
   install (find_package(evrules)) or the Windows package (an import
   library). It registers a report callback, sends a registry event that the
   black list reports, and checks what comes back. Exits 0 when all is as
   expected. */
#include <stdio.h>
#include <string.h>

#include "evrules.h"

#ifdef _WIN32
#define TEXT16(s) L##s
#else
#define TEXT16(s) u##s
#endif

/* The record sizes integrators are told. */
#if defined(_WIN32) && !defined(_WIN64)
_Static_assert(sizeof(HostCallbacks) == 16, "HostCallbacks is 16 bytes on 32-bit Windows");
_Static_assert(sizeof(DetectionReport) == 12, "DetectionReport is 12 bytes on 32-bit Windows");
_Static_assert(EVRULES_SIZE_WITH_REPORT == 8 && EVRULES_SIZE_WITH_ALL == 16, "Size thresholds 8 and 16");
#elif defined(__x86_64__)
_Static_assert(sizeof(HostCallbacks) == 32, "HostCallbacks is 32 bytes on 64-bit Linux");
_Static_assert(EVRULES_SIZE_WITH_REPORT == 16 && EVRULES_SIZE_WITH_ALL == 32, "Size thresholds 16 and 32");
#endif

static int reports;
static char verdict[64];

static int32_t EVRULES_CALL ReportDetection(const DetectionReport* report) {
  ++reports;
  strncpy(verdict, report->Verdict, sizeof verdict - 1);
  return 1;
}

int main(void) {
  HostCallbacks callbacks;
  memset(&callbacks, 0, sizeof callbacks);
  callbacks.Size = EVRULES_SIZE_WITH_REPORT;
  callbacks.ReportDetection = ReportDetection;

  int init = InitLibrary(&callbacks);
  int result = RegEvent(TEXT16("C:\\Temp\\svchost.exe"), TEXT16("\\REGISTRY\\USER\\S-1-5-21-1004\\SOFTWARE\\Locky\\"),
                        TEXT16("x"), 4);
  int network = NetConnectEvent(0, 0, 0, 0, 0, 0, 0, 0);
  printf("InitLibrary %d, RegEvent %d with %d report(s) %s, NetConnectEvent %d\n", init, result, reports, verdict,
         network);
  return init == 1 && result == EVRULES_RESULT_DETECTED && reports == 1 &&
                 strcmp(verdict, "HIPS:Trojan.Locky.Win32.1") == 0 && network == 0
             ? 0
             : 1;
}
