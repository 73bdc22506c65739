// Reads a binary's version resource the way Windows' file properties do
// (GetFileVersionInfoW, VerQueryValueW) and checks it:
//   version-info FILE MAJOR.MINOR.PATCH.TWEAK NAME=VALUE...
// The fixed part must carry the number as file and product version, the
// string table of the resource's first translation each NAME with exactly
// VALUE. Prints one line per check; exits 0 when all pass.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& text) {
  int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
  return text;
}

int failures = 0;

void Check(bool ok, const std::string& what, const std::string& got, const std::string& want) {
  if (ok) {
    std::printf("ok: %s = %s\n", what.c_str(), got.c_str());
  } else {
    std::printf("FAIL: %s = %s, want %s\n", what.c_str(), got.c_str(), want.c_str());
    ++failures;
  }
}

std::string Dotted(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
         std::to_string(LOWORD(low));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::printf("Usage: version-info FILE MAJOR.MINOR.PATCH.TWEAK NAME=VALUE...\n");
    return 2;
  }
  const std::wstring file = Wide(argv[1]);
  const std::string fixedWant = argv[2];

  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) {
    std::printf("FAIL: %s has no version resource (error %lu)\n", argv[1], ::GetLastError());
    return 1;
  }
  std::vector<unsigned char> data(size);
  if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
    std::printf("FAIL: GetFileVersionInfoW failed (error %lu)\n", ::GetLastError());
    return 1;
  }

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed ||
      fixed->dwSignature != 0xFEEF04BD) {
    std::printf("FAIL: no fixed version information\n");
    return 1;
  }
  const std::string fileVersion = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  const std::string productVersion = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
  Check(fileVersion == fixedWant, "fixed FileVersion", fileVersion, fixedWant);
  Check(productVersion == fixedWant, "fixed ProductVersion", productVersion, fixedWant);

  struct Translation {
    WORD language;
    WORD codePage;
  }* translations = nullptr;
  if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
      length < sizeof *translations) {
    std::printf("FAIL: no translation\n");
    return 1;
  }
  wchar_t block[64];
  std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translations->language, translations->codePage);

  for (int i = 3; i < argc; ++i) {
    const std::string pair = argv[i];
    const auto equals = pair.find('=');
    const std::string name = pair.substr(0, equals);
    const std::string want = equals == std::string::npos ? "" : pair.substr(equals + 1);
    wchar_t* value = nullptr;
    std::string got = "(none)";
    if (::VerQueryValueW(data.data(), (block + Wide(name)).c_str(), reinterpret_cast<void**>(&value), &length) &&
        value != nullptr) {
      got = Narrow(std::wstring(value, ::wcsnlen(value, length)));
    }
    Check(got == want, name, got, want);
  }
  return failures == 0 ? 0 : 1;
}
