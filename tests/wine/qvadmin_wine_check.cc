// QVAdmin.dll, loaded by file name from this program's folder and bound by name as the console
// binds it, against the Win32 substitute server (qvserver.exe, worked with qvserver-ctl.exe
// from the same folder):
//
//   qvadmin_wine_check SERVER_DIR TITLE NAME ACCOUNT_DIR
//
// SERVER_DIR holds qvserver.exe and a universe in which NAME is a character of the account
// folder ACCOUNT_DIR, not banned. The check binds the library, starts the server, lists the
// online players, sends two chat lines, kicks, bans and unbans NAME, kicks and bans it by the
// player ID of its listed row, stops the server, and then reports a crashed server as QVAdmin
// sees it. A second process of the same program ("hold", "busy") checks that the binding and
// the busy flag are one for every process that loads the DLL. Prints what it checked, one line
// per failed expectation; exit status 0 when everything held.
//
// A Windows test program: it starts and watches processes with kernel32 itself.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "admin/qvadmin_exports.h"
#include "gamefiles/character_sheet.h"
#include "tests/wine/expect.h"

namespace {

constexpr int32_t kOwner = 99;
constexpr int32_t kOtherOwner = 77;
constexpr char kReleaseEvent[] = "Local\\qvadmin wine check: release";
constexpr char kBoundEvent[] = "Local\\qvadmin wine check: bound";
constexpr char kListingEvent[] = "Local\\qvadmin wine check: listing";

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\'));
}

struct QvAdminDll {
  QVAdmin_InitializeFn initialize = nullptr;
  QVAdmin_DoCommandFn do_command = nullptr;
  QVAdmin_ReleaseFn release = nullptr;

  bool Load() {
    HMODULE library = LoadLibraryA((ProgramFolder() + "\\QVAdmin.dll").c_str());
    if (!library) return false;
    initialize = Bind<QVAdmin_InitializeFn>(library, "QVAdmin_Initialize");
    do_command = Bind<QVAdmin_DoCommandFn>(library, "QVAdmin_DoCommand");
    release = Bind<QVAdmin_ReleaseFn>(library, "QVAdmin_Release");
    return initialize && do_command && release;
  }

  template <typename Function>
  static Function Bind(HMODULE library, const char* name) {
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
  }

  // The command's result; *reply holds its reply text.
  int32_t Run(const std::string& command, std::string* reply) {
    std::vector<char> buffer(16000, 'x');
    int32_t result = do_command(command.c_str(), buffer.data(), 16000);
    *reply = buffer.data();
    return result;
  }
};

// Runs a program of this folder with the arguments (each quoted) and waits for it, at most
// timeout_ms; its standard output goes to *output. The exit status, or -1.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string* output, DWORD timeout_ms = 20000) {
  std::string command_line = std::string("\"") + ProgramFolder() + "\\" + program + "\"";
  for (const std::string& argument : arguments) command_line += " \"" + argument + "\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return -1;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return -1;
  }
  char chunk[512];
  DWORD got = 0;
  if (output) output->clear();
  while (ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0)
    if (output) output->append(chunk, got);
  CloseHandle(read_end);
  DWORD status = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(status);
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The player ID of a list row: the bytes' sum as signed 8-bit values, in 32-bit arithmetic.
uint32_t PlayerId(const std::string& row) {
  uint32_t sum = 0;
  for (char c : row) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
  return sum;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
  }
  return text;
}

class Check {
 public:
  Check(QvAdminDll& dll, std::string server_dir, std::string title, std::string name,
        std::string account)
      : dll_(dll),
        server_dir_(std::move(server_dir)),
        title_(std::move(title)),
        name_(std::move(name)),
        account_(std::move(account)) {}

  void Run();

 private:
  // Runs the command and expects its result and its whole reply. The seconds it took.
  double Expect(const std::string& command, int32_t result, const std::string& lines) {
    std::string reply;
    DWORD started = GetTickCount();
    int32_t got = dll_.Run(command, &reply);
    double took = (GetTickCount() - started) / 1000.0;
    std::string want = lines + command + (result ? " SUCCESSFUL\r\n" : " FAILED\r\n");
    if (got != result || reply != want)
      std::printf("qvadmin: \"%s\" answered %d [%s], expected %d [%s]\n", command.c_str(), got,
                  reply.c_str(), result, want.c_str());
    EXPECT(got == result && reply == want);
    return took;
  }
  int Ctl(const std::vector<std::string>& arguments, std::string* output = nullptr) {
    std::vector<std::string> all = {"--title", title_};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunProgram("qvserver-ctl.exe", all, output);
  }
  std::string Online() {
    std::string online;
    Ctl({"online"}, &online);
    return Trimmed(online);
  }
  bool Banned() { return Exists(account_ + "\\banned"); }

  void SharedBinding();
  void ListOnlineWhileAnotherProcessTries();
  void KickBanUnban();
  void KickOnlineBanOnline();
  void Crash();

  QvAdminDll& dll_;
  const std::string server_dir_, title_, name_, account_;
};

// A second process binds first: this one's Initialize returns 1 and stores nothing, and only
// that process's owner value releases.
void Check::SharedBinding() {
  HANDLE bound = CreateEventA(nullptr, TRUE, FALSE, kBoundEvent);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
  std::string folder = ProgramFolder();
  std::string command_line = std::string("\"") + folder + "\\qvadmin_wine_check.exe\" hold";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION holder = {};
  EXPECT(CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &holder));
  EXPECT(WaitForSingleObject(bound, 20000) == WAIT_OBJECT_0);
  std::string reply = "untouched";
  EXPECT(dll_.release(kOwner) == 0);
  EXPECT(dll_.initialize(kOwner, title_.c_str(), server_dir_.c_str(), "") == 1);
  EXPECT(dll_.release(kOwner) == 0);  // bound, but by the other owner
  SetEvent(release);
  EXPECT(WaitForSingleObject(holder.hProcess, 20000) == WAIT_OBJECT_0);
  DWORD status = 1;
  GetExitCodeProcess(holder.hProcess, &status);
  EXPECT(status == 0);  // the holder released with its owner value
  CloseHandle(holder.hProcess);
  CloseHandle(holder.hThread);
  CloseHandle(bound);
  CloseHandle(release);
  // Unbound again: commands are refused untouched until this process binds.
  EXPECT(dll_.do_command("list online", reply.data(), 0) == 0 && reply == "untouched");
  std::printf(
      "qvadmin: the binding of another process is this one's: Initialize 1 without "
      "storing, Release refused until that process released\n");
}

// While "list online" runs here, another process's commands get the busy reply.
void Check::ListOnlineWhileAnotherProcessTries() {
  std::string folder = ProgramFolder();
  std::string command_line = std::string("\"") + folder + "\\qvadmin_wine_check.exe\" busy";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION other = {};
  EXPECT(CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &other));
  HANDLE listing = CreateEventA(nullptr, TRUE, FALSE, kListingEvent);
  Sleep(1500);  // the other process is up and waiting
  SetEvent(listing);
  std::string row = helmsman::gamefiles::HexEncodeText(name_);
  double took = Expect("list online", 1, std::to_string(PlayerId(row)) + ": " + row + "\r\n");
  EXPECT(WaitForSingleObject(other.hProcess, 20000) == WAIT_OBJECT_0);
  DWORD status = 1;
  GetExitCodeProcess(other.hProcess, &status);
  EXPECT(status == 0);  // it saw the busy reply
  CloseHandle(other.hProcess);
  CloseHandle(other.hThread);
  CloseHandle(listing);
  std::printf(
      "qvadmin: list online (%.1f s): %s as its row; another process got the busy "
      "reply meanwhile\n",
      took, row.c_str());
}

void Check::KickBanUnban() {
  double took = Expect("kick " + name_, 1, "");
  EXPECT(Online().empty());
  EXPECT(!Banned());
  std::printf("qvadmin: kick %s (%.1f s): offline, not banned\n", name_.c_str(), took);

  EXPECT(Ctl({"join", name_}) == 0);
  took = Expect("ban " + name_, 1, "");
  EXPECT(Online().empty());
  EXPECT(Banned());
  EXPECT(Ctl({"join", name_}) == 1);  // refused
  std::printf(
      "qvadmin: ban %s (%.1f s): offline, \"banned\" in the account folder, joining "
      "refused\n",
      name_.c_str(), took);

  took = Expect("unban " + name_, 1, "");
  EXPECT(!Banned());
  EXPECT(Ctl({"join", name_}) == 0);
  std::printf("qvadmin: unban %s (%.1f s): \"banned\" gone, joining again\n", name_.c_str(), took);
}

// The player ID of the row the player list shows (the name in hex) selects the player; the
// action is taken on the decoded name.
void Check::KickOnlineBanOnline() {
  std::string row = helmsman::gamefiles::HexEncodeText(name_);
  std::string id = std::to_string(PlayerId(row));
  std::string listed = id + ": " + row + " <-- SELECTED\r\n";
  double took = Expect("kickonline " + id, 1, listed);
  EXPECT(Online().empty());
  EXPECT(!Banned());
  std::printf("qvadmin: kickonline %s (%.1f s): offline, not banned\n", id.c_str(), took);

  EXPECT(Ctl({"join", name_}) == 0);
  took = Expect("banonline " + id, 1, listed);
  EXPECT(Online().empty());
  EXPECT(Banned());
  Expect("unban " + name_, 1, "");
  EXPECT(!Banned());
  std::printf("qvadmin: banonline %s (%.1f s): offline, \"banned\" in the account folder\n",
              id.c_str(), took);
}

// A crashed server: the failure dialog makes every console command fail at once.
void Check::Crash() {
  Expect("start qvserver", 1, "Starting up qvserver...\r\n");
  std::string answer;
  EXPECT(Ctl({"crash"}, &answer) == 0);
  EXPECT(FindWindowA(nullptr, "Quorvane-Server") != nullptr);
  DWORD started = GetTickCount();
  Expect("list online", 0, "");
  Expect("kick " + name_, 0, "");
  Expect("message nobody hears this", 0, "");
  DWORD took = GetTickCount() - started;
  EXPECT(took < 2000);
  // No server window any more: a stop has nothing to do.
  Expect("stop qvserver", 1, "");
  EXPECT(Ctl({"quit"}) == 0);
  std::printf(
      "qvadmin: crashed server: list online, kick and message FAILED at once (%lu ms), "
      "stop has nothing to stop\n",
      static_cast<unsigned long>(took));
}

void Check::Run() {
  SharedBinding();
  EXPECT(dll_.initialize(kOwner, title_.c_str(), server_dir_.c_str(),
                         ("--title " + title_ + " --seed 3").c_str()) == 1);

  double took = Expect("start qvserver", 1, "Starting up qvserver...\r\n");
  EXPECT(FindWindowA(nullptr, title_.c_str()) != nullptr);
  Expect("start qvserver", 1, "");  // running already
  std::printf("qvadmin: start qvserver (%.1f s): the console window \"%s\" is up\n", took,
              title_.c_str());

  Expect("list online", 1, "No players online\r\n");
  EXPECT(Ctl({"join", name_}) == 0);
  ListOnlineWhileAnotherProcessTries();

  took = Expect("message wine line one|wine line two", 1, "");
  std::string chat = ReadFileText(server_dir_ + "\\chat.log");
  EXPECT(chat.find(" Universe: wine line one\r\n") != std::string::npos);
  EXPECT(chat.find(" Universe: wine line two\r\n") != std::string::npos);
  std::printf("qvadmin: message (%.1f s): two lines in chat.log\n", took);

  KickBanUnban();
  KickOnlineBanOnline();

  took = Expect("stop qvserver", 1, "\r\nShutting down qvserver...\r\n");
  EXPECT(FindWindowA(nullptr, title_.c_str()) == nullptr);
  std::printf("qvadmin: stop qvserver (%.1f s): the console window is gone\n", took);

  Crash();
  EXPECT(dll_.release(kOwner + 1) == 0);
  EXPECT(dll_.release(kOwner) == 1);
}

// The second processes: "hold" binds with another owner until told to release; "busy" waits
// until the first process has begun its command and then asks, until it gets the busy reply
// (exit status 0) or gives up (1). Asking earlier would run a command of its own.
int Helper(const std::string& role) {
  QvAdminDll dll;
  if (!dll.Load()) return 2;
  if (role == "hold") {
    HANDLE bound = OpenEventA(EVENT_MODIFY_STATE, FALSE, kBoundEvent);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kReleaseEvent);
    if (!bound || !release) return 2;
    if (dll.initialize(kOtherOwner, "Holder", "C:\\", "") != 1) return 1;
    SetEvent(bound);
    WaitForSingleObject(release, 30000);
    return dll.release(kOtherOwner) == 1 ? 0 : 1;
  }
  HANDLE listing = OpenEventA(SYNCHRONIZE, FALSE, kListingEvent);
  if (!listing || WaitForSingleObject(listing, 20000) != WAIT_OBJECT_0) return 2;
  Sleep(500);
  std::string reply;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 1500; Sleep(100)) {
    if (dll.Run("list online", &reply) == 0 &&
        reply == "QVAdmin is busy processing a command. Please try again.\r\n")
      return 0;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return Helper(argv[1]);
  if (argc != 5) {
    std::fputs("usage: qvadmin_wine_check SERVER_DIR TITLE NAME ACCOUNT_DIR\n", stderr);
    return 2;
  }
  QvAdminDll dll;
  if (!dll.Load()) {
    std::printf("qvadmin: QVAdmin.dll or its exports not found beside the program\n");
    return 1;
  }
  DWORD started = GetTickCount();
  Check(dll, argv[1], argv[2], argv[3], argv[4]).Run();
  std::printf("qvadmin: %s in %lu s\n",
              helmsman::wine_check::Failures() ? "FAILED" : "all checks held",
              static_cast<unsigned long>((GetTickCount() - started) / 1000));
  return helmsman::wine_check::Failures() ? 1 : 0;
}
