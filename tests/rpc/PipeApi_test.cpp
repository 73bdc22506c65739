// The platform layer's pipe calls: how a pipe is opened, and who serves it.
#include "platform/PipeApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "PipeListener.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include <cstring>
#else
#include <unistd.h>
#endif

namespace {

namespace platform = tevrin::platform;

std::string UniquePipeName() {
  static std::atomic<int> counter{0};
#ifdef _WIN32
  const auto process = static_cast<unsigned long>(::GetCurrentProcessId());
#else
  const auto process = static_cast<unsigned long>(::getpid());
#endif
  return "\\\\.\\pipe\\tevrin-pipe-api-test-" + std::to_string(process) + "-" + std::to_string(++counter);
}

const platform::Deadline kSomeDeadline = std::chrono::steady_clock::now() + std::chrono::hours(1);

TEST(PipeApiTest, OpenFlagsAskForIdentificationOnly) {
  for (auto deadline : {platform::kNoDeadline, kSomeDeadline}) {
    const std::uint32_t flags = platform::PipeOpenFlags(deadline);
    EXPECT_EQ(flags & platform::kSecuritySqosPresent, platform::kSecuritySqosPresent);
    EXPECT_EQ(flags & platform::kSecurityLevelMask, platform::kSecurityIdentification);
  }
  EXPECT_EQ(platform::PipeOpenFlags(platform::kNoDeadline), 0x00110000u);
  EXPECT_EQ(platform::PipeOpenFlags(kSomeDeadline), 0x40110000u);
}

#ifdef _WIN32

// Replaces this program's import of CreateFileA, so that a test sees what the
// platform layer really asks Windows for; the fixture puts it back.
class PipeApiOpenTest : public ::testing::Test {
protected:
  using CreateFileAFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);

  void SetUp() override {
    slot_ = ImportSlot("kernel32.dll", "CreateFileA");
    ASSERT_NE(slot_, nullptr) << "this program imports no CreateFileA";
    real_ = reinterpret_cast<CreateFileAFn>(*slot_);
    Replace(reinterpret_cast<void*>(&Recording));
  }
  void TearDown() override {
    if (slot_ != nullptr) Replace(reinterpret_cast<void*>(real_));
  }

  struct Call {
    DWORD access = 0, share = 0, disposition = 0, flags = 0;
    bool securityAttributes = false;
  };
  static Call last_;

private:
  static HANDLE WINAPI Recording(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                                 DWORD disposition, DWORD flags, HANDLE templateFile) {
    last_ = {access, share, disposition, flags, attributes != nullptr};
    return real_(name, access, share, attributes, disposition, flags, templateFile);
  }

  static void** ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); module->Name != 0;
         ++module) {
      if (::_stricmp(reinterpret_cast<char*>(base + module->Name), dll) != 0 || module->OriginalFirstThunk == 0)
        continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
          return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
    return nullptr;
  }

  void Replace(void* function) {
    DWORD protection = 0;
    ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    *slot_ = function;
    ::VirtualProtect(slot_, sizeof *slot_, protection, &protection);
  }

  void** slot_ = nullptr;
  static CreateFileAFn real_;
};
PipeApiOpenTest::Call PipeApiOpenTest::last_;
PipeApiOpenTest::CreateFileAFn PipeApiOpenTest::real_ = nullptr;

TEST_F(PipeApiOpenTest, OpenPassesTheFlagsItPromises) {
  const std::string name = UniquePipeName();
  coreservice::PipeListener listener(name);
  for (auto deadline : {platform::kNoDeadline, kSomeDeadline}) {
    last_ = {};
    auto accepted = std::async(std::launch::async, [&] { return listener.Accept(); });
    platform::FileHandle client = platform::OpenPipe(name, deadline);
    ASSERT_NE(client, platform::kInvalidFileHandle) << platform::LastError();
    // Accepted before it is closed: a client gone before it is seen is never accepted.
    platform::ClosePipe(accepted.get());
    platform::ClosePipe(client);
    const char* which = deadline == platform::kNoDeadline ? "without a deadline" : "with a deadline";
    EXPECT_EQ(last_.flags, platform::PipeOpenFlags(deadline)) << which;
    EXPECT_EQ(last_.flags & (SECURITY_SQOS_PRESENT | (3 << 16)), DWORD{SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION})
        << which;
    EXPECT_EQ(last_.flags & FILE_FLAG_OVERLAPPED, deadline == platform::kNoDeadline ? 0u : DWORD{FILE_FLAG_OVERLAPPED})
        << which;
    EXPECT_EQ(last_.access, DWORD{GENERIC_READ | GENERIC_WRITE}) << which;
    EXPECT_EQ(last_.share, 0u) << which;
    EXPECT_EQ(last_.disposition, DWORD{OPEN_EXISTING}) << which;
    EXPECT_FALSE(last_.securityAttributes) << which;
  }
}

// The user SID of this process, which serves the test's pipe.
std::string OwnAccount() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  char* text = nullptr;
  std::string account = "?";
  if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
      ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
    account = text;
    ::LocalFree(text);
  }
  ::CloseHandle(token);
  return account;
}
#else
std::string OwnAccount() { return std::to_string(::getuid()); }
#endif

TEST(PipeApiTest, ServerAccountIsTheServingProcessUser) {
  const std::string name = UniquePipeName();
  coreservice::PipeListener listener(name);
  auto accepted = std::async(std::launch::async, [&] { return listener.Accept(); });
  platform::FileHandle client = platform::OpenPipe(name);
  ASSERT_NE(client, platform::kInvalidFileHandle) << platform::LastError();
  std::string account;
  EXPECT_TRUE(platform::PipeServerAccount(client, account)) << platform::LastError();
  EXPECT_EQ(account, OwnAccount());
  platform::ClosePipe(accepted.get());
  platform::ClosePipe(client);
}

TEST(PipeApiTest, ServerAccountOfNoPipeFails) {
  std::string account = "x";
  EXPECT_FALSE(platform::PipeServerAccount(platform::kInvalidFileHandle, account));
  EXPECT_EQ(account, "");
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidHandle);
}

}  // namespace
