// Writes a Sysmon log as JSON lines for evreplay's benchmark and for trying
// the rule module on benign activity: about 1 KB a line, with the mix of
// event ids a workstation with a common Sysmon configuration records.
//
//   sysmon_loggen [--events N] [--shape flat|winlogbeat] [--seed S] [--hosts N] [--days N]
//
// The activity is that of an office workstation: services and system
// processes, a user with Explorer, a browser, Office and the command prompt,
// temporary files written and deleted, settings written to the registry, and
// now and then software that updates itself (writes a new program, and the
// program registers itself to run at logon), as such software does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// splitmix64: reproducible from the seed on every platform.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
  std::string Hex(int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < digits; ++i) out += kHex[Next() & 15];
    return out;
  }
};

struct Options {
  uint64_t events = 1000000;
  bool winlogbeat = false;
  uint64_t seed = 1;
  int hosts = 1;
  int days = 3;
};

// Share of each id in a thousand events.
struct Share {
  int id;
  int perMille;
};
constexpr Share kMix[] = {{1, 30},  {2, 2},   {3, 100}, {5, 30}, {7, 250}, {8, 1},  {10, 120}, {11, 100},
                          {12, 120}, {13, 180}, {17, 10}, {18, 10}, {22, 40}, {23, 5}, {26, 2}};

constexpr const char* kSystem32 = "C:\\Windows\\System32\\";
const char* const kUsers[] = {"alice", "bob", "carol"};
const char* const kUserSids[] = {"S-1-5-21-3623811015-3361044348-30300820-1013",
                                 "S-1-5-21-3623811015-3361044348-30300820-1014",
                                 "S-1-5-21-3623811015-3361044348-30300820-1015"};

struct Program {
  const char* image;
  const char* commandLine;
};

// Parents and what they start, by their usual folders.
const Program kSystemParents[] = {
    {"C:\\Windows\\System32\\services.exe", "C:\\Windows\\system32\\services.exe"},
    {"C:\\Windows\\System32\\svchost.exe", "C:\\Windows\\system32\\svchost.exe -k netsvcs -p"},
    {"C:\\Windows\\System32\\svchost.exe", "C:\\Windows\\System32\\svchost.exe -k DcomLaunch -p"},
    {"C:\\Windows\\System32\\wininit.exe", "wininit.exe"},
    {"C:\\Windows\\System32\\taskhostw.exe", "taskhostw.exe"},
};
const Program kSystemChildren[] = {
    {"C:\\Windows\\System32\\svchost.exe", "C:\\Windows\\system32\\svchost.exe -k LocalService -p"},
    {"C:\\Windows\\System32\\RuntimeBroker.exe", "C:\\Windows\\System32\\RuntimeBroker.exe -Embedding"},
    {"C:\\Windows\\System32\\backgroundTaskHost.exe", "backgroundTaskHost.exe -ServerName:App"},
    {"C:\\Windows\\System32\\wbem\\WmiPrvSE.exe", "C:\\Windows\\system32\\wbem\\wmiprvse.exe -Embedding"},
    {"C:\\Windows\\System32\\SearchProtocolHost.exe", "SearchProtocolHost.exe Global\\UsGthrFltPipeMssGthrPipe"},
    {"C:\\Windows\\System32\\conhost.exe", "\\??\\C:\\Windows\\system32\\conhost.exe 0xffffffff -ForceV1"},
    {"C:\\Program Files\\Windows Defender\\MpCmdRun.exe", "MpCmdRun.exe -IdleTask -TaskName WdCleanup"},
};
const Program kUserPrograms[] = {
    {"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe",
     "\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --type=renderer --lang=en-US"},
    {"C:\\Program Files\\Microsoft Office\\root\\Office16\\WINWORD.EXE",
     "\"C:\\Program Files\\Microsoft Office\\root\\Office16\\WINWORD.EXE\" /n"},
    {"C:\\Program Files\\Microsoft Office\\root\\Office16\\EXCEL.EXE", "\"EXCEL.EXE\""},
    {"C:\\Windows\\System32\\notepad.exe", "\"C:\\Windows\\system32\\notepad.exe\""},
    {"C:\\Windows\\System32\\cmd.exe", "\"C:\\Windows\\system32\\cmd.exe\""},
    {"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe", "powershell.exe -NoLogo"},
    {"C:\\Program Files\\Mozilla Firefox\\firefox.exe", "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\""},
};
const char* const kCommandTools[] = {"ipconfig.exe", "whoami.exe", "ping.exe", "tasklist.exe", "findstr.exe",
                                     "where.exe",    "hostname.exe", "systeminfo.exe"};
const char* const kMachineKeys[] = {
    "HKLM\\System\\CurrentControlSet\\Services\\bam\\State\\UserSettings\\",
    "HKLM\\SOFTWARE\\Microsoft\\Windows Defender\\Diagnostics\\",
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tasks\\",
    "HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\",
};
const char* const kUserKeys[] = {
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\",
    "\\Software\\Microsoft\\Office\\16.0\\Word\\Reading Locations\\",
    "\\Software\\Google\\Chrome\\PreferenceMACs\\",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\",
};
const char* const kValueNames[] = {"LastUsed", "Count", "Position", "Flags", "Version", "MRUListEx", "Data"};

class Generator {
 public:
  explicit Generator(const Options& options) : options_(options), random_{options.seed} {}

  void Run(std::FILE* out) {
    const uint64_t start = 1714521600;  // 2024-05-01 00:00 UTC
    const uint64_t span = static_cast<uint64_t>(options_.days) * 86400;
    std::string line;
    for (uint64_t i = 0; i < options_.events; ++i) {
      now_ = start + 8 * 3600 + span * i / (options_.events == 0 ? 1 : options_.events);
      millis_ = static_cast<int>(random_.Below(1000));
      host_ = static_cast<int>(random_.Below(static_cast<std::size_t>(options_.hosts)));
      user_ = static_cast<int>(random_.Below(std::size(kUsers)));
      record_ = ++records_[static_cast<std::size_t>(host_)];
      line.clear();
      Event(PickId(), line);
      line += '\n';
      std::fwrite(line.data(), 1, line.size(), out);
    }
  }

 private:
  int PickId() {
    int roll = static_cast<int>(random_.Below(1000));
    int total = 0;
    for (const Share& share : kMix) {
      total += share.perMille;
      if (roll < total) return share.id;
    }
    return 7;
  }

  std::string Time(int64_t offsetSeconds = 0) const {
    const int64_t t = static_cast<int64_t>(now_) + offsetSeconds;
    const int64_t days = t / 86400;
    int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", static_cast<int>(y), static_cast<int>(m),
                  static_cast<int>(d), static_cast<int>(t % 86400 / 3600), static_cast<int>(t % 3600 / 60),
                  static_cast<int>(t % 60), millis_ % 1000);
    return text;
  }

  std::string HostName() const { return "WS" + std::to_string(1000 + host_) + ".corp.example"; }
  std::string Guid() { return "{" + random_.Hex(8) + "-" + random_.Hex(4) + "-" + random_.Hex(4) + "-" + random_.Hex(4) + "-" + random_.Hex(12) + "}"; }
  std::string Pid() { return std::to_string(4 + 4 * random_.Below(4000)); }
  std::string Home() const { return std::string("C:\\Users\\") + kUsers[user_]; }
  std::string Temp() const { return Home() + "\\AppData\\Local\\Temp"; }
  std::string Account() const { return std::string("CORP\\") + kUsers[user_]; }

  // The event's own fields, as Sysmon names them, in Sysmon's order.
  using Fields = std::vector<std::pair<std::string, std::string>>;

  void Event(int id, std::string& line) {
    Fields data;
    data.emplace_back("RuleName", "-");
    data.emplace_back("UtcTime", Time());
    switch (id) {
      case 1: ProcessCreate(data); break;
      case 2: {
        // Installers set the dates of what they unpack.
        data.emplace_back("ProcessGuid", Guid());
        data.emplace_back("ProcessId", Pid());
        data.emplace_back("Image", "C:\\Program Files\\Google\\Update\\GoogleUpdate.exe");
        data.emplace_back("TargetFilename", "C:\\Program Files\\Google\\Chrome\\Application\\" + random_.Hex(6) + ".dll");
        data.emplace_back("CreationUtcTime", "2024-03-12 10:00:00.000");
        data.emplace_back("PreviousCreationUtcTime", Time());
        data.emplace_back("User", "NT AUTHORITY\\SYSTEM");
        break;
      }
      case 11: FileCreate(data); break;
      case 12:
      case 13: Registry(id, data); break;
      case 23:
      case 26: {
        data.emplace_back("ProcessGuid", Guid());
        data.emplace_back("ProcessId", Pid());
        data.emplace_back("User", Account());
        data.emplace_back("Image", "C:\\Windows\\explorer.exe");
        data.emplace_back("TargetFilename", Temp() + "\\" + TempName(random_.Below(500)));
        data.emplace_back("Hashes", Hashes());
        data.emplace_back("IsExecutable", "false");
        break;
      }
      default: Unused(id, data); break;
    }
    Write(id, data, line);
  }

  std::string TempName(std::size_t n) const { return "~DF" + std::to_string(1000 + n) + ".tmp"; }

  std::string Hashes() {
    return "SHA1=" + random_.Hex(40) + ",MD5=" + random_.Hex(32) + ",SHA256=" + random_.Hex(64) + ",IMPHASH=" + random_.Hex(32);
  }

  void ProcessCreate(Fields& data) {
    Program parent, child;
    std::string childCommand;
    const std::size_t kind = random_.Below(1000);
    std::string updater;
    if (kind < 450) {
      parent = random_.Pick(kSystemParents);
      child = random_.Pick(kSystemChildren);
      childCommand = child.commandLine;
    } else if (kind < 750) {
      parent = {"C:\\Windows\\explorer.exe", "C:\\Windows\\Explorer.EXE"};
      child = random_.Pick(kUserPrograms);
      childCommand = child.commandLine;
    } else if (kind < 920) {
      parent = {"C:\\Windows\\System32\\cmd.exe", "\"C:\\Windows\\system32\\cmd.exe\""};
      tool_ = std::string(kSystem32) + random_.Pick(kCommandTools);
      child = {tool_.c_str(), tool_.c_str()};
      childCommand = tool_ + " /all";
    } else if (kind < 998) {
      parent = {"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe",
                "\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\""};
      child = {"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe", ""};
      childCommand = "\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --type=gpu-process";
    } else {
      // Software updating itself: the scheduled updater starts the setup it downloaded.
      parent = {"C:\\Windows\\System32\\svchost.exe", "C:\\Windows\\system32\\svchost.exe -k netsvcs -p -s Schedule"};
      updater = Home() + "\\AppData\\Local\\Microsoft\\OneDrive\\Update\\OneDriveSetup.exe";
      child = {updater.c_str(), ""};
      childCommand = "\"" + updater + "\" /update /restart";
    }
    data.emplace_back("ProcessGuid", Guid());
    data.emplace_back("ProcessId", Pid());
    data.emplace_back("Image", child.image);
    data.emplace_back("FileVersion", "10.0.19041.1");
    data.emplace_back("Description", "Windows program");
    data.emplace_back("Product", "Microsoft\xc2\xae Windows\xc2\xae Operating System");
    data.emplace_back("Company", "Microsoft Corporation");
    data.emplace_back("OriginalFileName", "program.exe");
    data.emplace_back("CommandLine", childCommand);
    data.emplace_back("CurrentDirectory", "C:\\Windows\\system32\\");
    data.emplace_back("User", Account());
    data.emplace_back("LogonGuid", Guid());
    data.emplace_back("LogonId", "0x" + random_.Hex(6));
    data.emplace_back("TerminalSessionId", "1");
    data.emplace_back("IntegrityLevel", "Medium");
    data.emplace_back("Hashes", Hashes());
    data.emplace_back("ParentProcessGuid", Guid());
    data.emplace_back("ParentProcessId", Pid());
    data.emplace_back("ParentImage", parent.image);
    data.emplace_back("ParentCommandLine", parent.commandLine);
    data.emplace_back("ParentUser", Account());
  }

  void FileCreate(Fields& data) {
    const std::size_t kind = random_.Below(1000);
    std::string image, target;
    if (kind < 600) {
      image = "C:\\Program Files\\Microsoft Office\\root\\Office16\\WINWORD.EXE";
      target = Temp() + "\\" + TempName(random_.Below(500));
    } else if (kind < 800) {
      image = "C:\\Windows\\System32\\svchost.exe";
      target = "C:\\Windows\\Prefetch\\" + random_.Hex(8) + ".pf";
    } else if (kind < 998) {
      image = "C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe";
      target = Home() + "\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache\\f_" + random_.Hex(6);
    } else {
      // The updater brings a new version of itself.
      image = "C:\\Windows\\System32\\svchost.exe";
      target = Home() + "\\AppData\\Local\\Microsoft\\OneDrive\\Update\\OneDriveSetup.exe";
    }
    data.emplace_back("ProcessGuid", Guid());
    data.emplace_back("ProcessId", Pid());
    data.emplace_back("Image", image);
    data.emplace_back("TargetFilename", target);
    data.emplace_back("CreationUtcTime", Time());
    data.emplace_back("User", Account());
  }

  void Registry(int id, Fields& data) {
    const std::size_t kind = random_.Below(10000);
    std::string image, target, eventType = id == 13 ? "SetValue" : (random_.Below(2) ? "CreateKey" : "DeleteValue");
    if (kind < 5000) {
      image = "C:\\Windows\\System32\\svchost.exe";
      target = std::string(random_.Pick(kMachineKeys)) + random_.Hex(4) + "\\" + random_.Pick(kValueNames);
    } else if (kind < 9998) {
      image = random_.Below(2) ? "C:\\Windows\\explorer.exe" : random_.Pick(kUserPrograms).image;
      target = std::string("HKU\\") + kUserSids[user_] + random_.Pick(kUserKeys) + random_.Hex(4) + "\\" + random_.Pick(kValueNames);
    } else {
      // The updated program registers itself to start at logon.
      image = Home() + "\\AppData\\Local\\Microsoft\\OneDrive\\Update\\OneDriveSetup.exe";
      target = std::string("HKU\\") + kUserSids[user_] + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\OneDrive";
      eventType = "SetValue";
      id = 13;
    }
    if (eventType == "CreateKey") target = target.substr(0, target.rfind('\\'));
    data.emplace_back("EventType", eventType);
    data.emplace_back("ProcessGuid", Guid());
    data.emplace_back("ProcessId", Pid());
    data.emplace_back("Image", image);
    data.emplace_back("TargetObject", target);
    if (id == 13) data.emplace_back("Details", "DWORD (0x0000000" + std::to_string(random_.Below(10)) + ")");
    data.emplace_back("User", Account());
  }

  void Unused(int id, Fields& data) {
    data.emplace_back("ProcessGuid", Guid());
    data.emplace_back("ProcessId", Pid());
    data.emplace_back("Image", random_.Pick(kUserPrograms).image);
    switch (id) {
      case 3:
        data.emplace_back("User", Account());
        data.emplace_back("Protocol", "tcp");
        data.emplace_back("Initiated", "true");
        data.emplace_back("SourceIp", "10.0.3." + std::to_string(random_.Below(250)));
        data.emplace_back("SourcePort", std::to_string(49152 + random_.Below(16000)));
        data.emplace_back("DestinationIp", "192.0.2." + std::to_string(random_.Below(250)));
        data.emplace_back("DestinationHostname", "cdn.example.net");
        data.emplace_back("DestinationPort", "443");
        data.emplace_back("DestinationPortName", "https");
        break;
      case 7:
        data.emplace_back("ImageLoaded", std::string(kSystem32) + "kernelbase.dll");
        data.emplace_back("FileVersion", "10.0.19041.1");
        data.emplace_back("Description", "Windows NT BASE API Client DLL");
        data.emplace_back("Hashes", Hashes());
        data.emplace_back("Signed", "true");
        data.emplace_back("Signature", "Microsoft Windows");
        data.emplace_back("SignatureStatus", "Valid");
        data.emplace_back("User", Account());
        break;
      case 10:
        data.emplace_back("SourceThreadId", Pid());
        data.emplace_back("TargetProcessGUID", Guid());
        data.emplace_back("TargetProcessId", Pid());
        data.emplace_back("TargetImage", "C:\\Windows\\system32\\lsass.exe");
        data.emplace_back("GrantedAccess", "0x1000");
        data.emplace_back("CallTrace", "C:\\Windows\\SYSTEM32\\ntdll.dll+9d4c4|C:\\Windows\\System32\\KERNELBASE.dll+2c13e|UNKNOWN(00007FF8" + random_.Hex(8) + ")");
        break;
      case 22:
        data.emplace_back("QueryName", "www.example.com");
        data.emplace_back("QueryStatus", "0");
        data.emplace_back("QueryResults", "type:  5 example.net;::ffff:192.0.2.10;");
        data.emplace_back("User", Account());
        break;
      default:
        data.emplace_back("PipeName", "\\mojo." + random_.Hex(16));
        data.emplace_back("User", Account());
        break;
    }
  }

  static void Append(std::string& line, std::string_view text) {
    line += '"';
    for (char c : text) {
      if (c == '"' || c == '\\') line += '\\';
      line += c;
    }
    line += '"';
  }

  void Write(int id, const Fields& data, std::string& line) {
    const std::string host = HostName();
    if (!options_.winlogbeat) {
      // The flat shape of event log shippers: the record's fields, then Sysmon's.
      line += "{\"EventTime\":";
      Append(line, Time());
      line += ",\"Hostname\":";
      Append(line, host);
      line += ",\"Keywords\":-9223372036854775808,\"EventType\":\"INFO\",\"SeverityValue\":2,\"Severity\":\"INFO\",\"EventID\":";
      line += std::to_string(id);
      line += ",\"SourceName\":\"Microsoft-Windows-Sysmon\",\"ProviderGuid\":\"{5770385F-C22A-43E0-BF4C-06F5698FFBD9}\",\"Version\":5,\"Task\":";
      line += std::to_string(id);
      line += ",\"OpcodeValue\":0,\"RecordNumber\":";
      line += std::to_string(record_);
      line += ",\"EventRecordID\":";
      line += std::to_string(record_);
      line += ",\"ProcessID\":3216,\"ThreadID\":4424,\"Channel\":\"Microsoft-Windows-Sysmon/Operational\",\"Domain\":\"NT AUTHORITY\",\"AccountName\":\"SYSTEM\",\"UserID\":\"S-1-5-18\",\"AccountType\":\"User\",\"Opcode\":\"Info\"";
      for (const auto& [name, value] : data) {
        // Sysmon's EventType wins over the shipper's for registry events.
        if (name == "EventType") {
          const std::size_t at = line.find("\"EventType\":\"INFO\"");
          line.replace(at, 18, "\"EventType\":\"" + value + "\"");
          continue;
        }
        line += ',';
        Append(line, name);
        line += ':';
        Append(line, value);
      }
      line += ",\"@timestamp\":";
      std::string stamp = Time();
      stamp[10] = 'T';
      Append(line, stamp + "Z");
      line += '}';
      return;
    }
    // Winlogbeat's nested shape.
    std::string stamp = Time();
    stamp[10] = 'T';
    line += "{\"@timestamp\":";
    Append(line, stamp + "Z");
    line += ",\"agent\":{\"type\":\"winlogbeat\",\"version\":\"8.11.0\"},\"event\":{\"code\":\"";
    line += std::to_string(id);
    line += "\",\"kind\":\"event\",\"provider\":\"Microsoft-Windows-Sysmon\"},\"host\":{\"name\":";
    Append(line, host);
    line += "},\"winlog\":{\"channel\":\"Microsoft-Windows-Sysmon/Operational\",\"computer_name\":";
    Append(line, host);
    line += ",\"event_id\":\"";
    line += std::to_string(id);
    line += "\",\"provider_name\":\"Microsoft-Windows-Sysmon\",\"record_id\":";
    line += std::to_string(record_);
    line += ",\"user\":{\"identifier\":\"S-1-5-18\",\"domain\":\"NT AUTHORITY\",\"name\":\"SYSTEM\",\"type\":\"User\"},\"event_data\":{";
    bool first = true;
    for (const auto& [name, value] : data) {
      if (!first) line += ',';
      first = false;
      Append(line, name);
      line += ':';
      Append(line, value);
    }
    line += "}}}";
  }

  Options options_;
  Random random_;
  uint64_t now_ = 0;
  int millis_ = 0;
  int host_ = 0;
  int user_ = 0;
  uint64_t record_ = 0;
  std::vector<uint64_t> records_ = std::vector<uint64_t>(static_cast<std::size_t>(options_.hosts), 0);
  std::string tool_;
};

bool ReadNumber(const char* text, uint64_t& out) {
  char* end = nullptr;
  out = std::strtoull(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    uint64_t number = 0;
    const bool hasValue = i + 1 < argc;
    if (argument == "--events" && hasValue && ReadNumber(argv[i + 1], number)) {
      options.events = number;
    } else if (argument == "--seed" && hasValue && ReadNumber(argv[i + 1], number)) {
      options.seed = number;
    } else if (argument == "--hosts" && hasValue && ReadNumber(argv[i + 1], number) && number > 0 && number < 1000) {
      options.hosts = static_cast<int>(number);
    } else if (argument == "--days" && hasValue && ReadNumber(argv[i + 1], number) && number > 0 && number < 3650) {
      options.days = static_cast<int>(number);
    } else if (argument == "--shape" && hasValue && (std::strcmp(argv[i + 1], "flat") == 0 || std::strcmp(argv[i + 1], "winlogbeat") == 0)) {
      options.winlogbeat = std::strcmp(argv[i + 1], "winlogbeat") == 0;
    } else {
      std::fprintf(stderr,
                   "usage: sysmon_loggen [--events N] [--shape flat|winlogbeat] [--seed S] [--hosts N] [--days N]\n");
      return 2;
    }
    ++i;
  }
  Generator(options).Run(stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
