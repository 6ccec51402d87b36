// The kernel32 and shell32 backends of the platform layer, run under Wine in a scratch folder
// given as the only argument: files and durable writes, folder listings, short paths, the
// documents folder, the regional texts, the clock, libraries loaded by file name, program
// starts with their current folder, detached scripts, the console's control events and the
// password key derivation.
// Prints one line per failed expectation and exits 1 when there was any.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/documents_folder.h"
#include "platform/file_system.h"
#include "platform/hash.h"
#include "platform/locale_texts.h"
#include "platform/process.h"
#include "platform/shared_library.h"
#include "platform/shutdown_signals.h"
#include "tests/wine/expect.h"

namespace {

namespace platform = helmsman::platform;

bool WaitForFile(platform::FileSystem& fs, const std::string& path) {
  for (int i = 0; i < 200 && !fs.FileExists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return fs.FileExists(path);
}

void Files(const std::string& dir) {
  platform::FileSystem& fs = platform::DiskFileSystem();
  std::string error, data;
  const std::string ini = platform::JoinPath(dir, "a.ini");
  EXPECT(fs.WriteFileDurably(ini, "old\r\n", &error), error);
  EXPECT(fs.WriteFileDurably(ini, "new\r\n", &error), error);
  EXPECT(fs.ReadFile(ini, &data, &error) && data == "new\r\n", data + error);
  EXPECT(fs.AppendFile(ini, "more\r\n", &error), error);
  EXPECT(fs.ReadFile(ini, &data, &error) && data == "new\r\nmore\r\n", data);
  EXPECT(fs.FileSize(ini) == 11, std::to_string(fs.FileSize(ini)));
  EXPECT(fs.FileSize(platform::JoinPath(dir, "none")) == -1, "");

  error.clear();
  EXPECT(!fs.WriteFileDurably(platform::JoinPath(dir, "no\\a.ini"), "x", &error), "");
  EXPECT(error.find("cannot create") != std::string::npos, error);

  // Folders and the listing: sorted byte for byte, folders told apart, no "." or "..".
  EXPECT(fs.MakeDirectory(platform::JoinPath(dir, "Zeta")), "");
  EXPECT(fs.MakeDirectory(platform::JoinPath(dir, "Zeta")), "an existing folder is fine");
  EXPECT(fs.WriteFile(platform::JoinPath(dir, "b.qv"), "x", &error), error);
  std::vector<platform::DirEntry> entries;
  EXPECT(fs.ListDirectory(dir, &entries), "");
  std::string listing;
  for (const auto& e : entries) listing += e.name + (e.is_directory ? "/ " : " ");
  EXPECT(listing == "Zeta/ a.ini b.qv ", listing);
  EXPECT(fs.ListDirectory(platform::JoinPath(dir, "Zeta"), &entries) && entries.empty(), "");
  EXPECT(!fs.ListDirectory(platform::JoinPath(dir, "missing"), &entries), "");
  EXPECT(fs.DirectoryExists(platform::JoinPath(dir, "Zeta")) &&
             !fs.FileExists(platform::JoinPath(dir, "Zeta")),
         "");

  // Only files on disk are read: a folder or a device fails at once.
  EXPECT(!fs.ReadFile(platform::JoinPath(dir, "Zeta"), &data, &error), "folder");
  error.clear();
  EXPECT(!fs.ReadFile("NUL", &data, &error), "device");
  EXPECT(error.find("not a regular file") != std::string::npos, error);

  // A rename replaces its target, as on POSIX; a copy keeps its source.
  EXPECT(fs.RenameFile(platform::JoinPath(dir, "b.qv"), ini, &error), error);
  EXPECT(fs.ReadFile(ini, &data, &error) && data == "x", data);
  EXPECT(fs.CopyFile(ini, platform::JoinPath(dir, "c.qv"), &error), error);
  EXPECT(fs.FileExists(ini) && fs.FileExists(platform::JoinPath(dir, "c.qv")), "");

  // The temporary file of a durable write is made anew (CREATE_NEW) under a random name: a
  // file waiting at the name of earlier versions is neither written nor replaced.
  const std::string planted = ini + ".new" + std::to_string(::GetCurrentProcessId());
  EXPECT(fs.WriteFile(planted, "planted", &error), error);
  EXPECT(fs.WriteFileDurably(ini, "x", &error), error);
  EXPECT(fs.ReadFile(planted, &data, &error) && data == "planted", data);
  EXPECT(fs.RemoveFile(planted), "");

  // What an interrupted durable write leaves is found by its name, and nothing else.
  EXPECT(fs.WriteFile(ini + ".new4242", "half", &error), error);
  EXPECT(fs.WriteFile(ini + ".new77.0fa9", "half", &error), error);
  EXPECT(fs.WriteFile(ini + ".newer", "keep", &error), error);
  auto removed = platform::RemoveDurableWriteLeftovers(fs, dir, {"a.ini"});
  EXPECT(removed.size() == 2 && removed[0] == "a.ini.new4242" && removed[1] == "a.ini.new77.0fa9",
         std::to_string(removed.size()));
  EXPECT(fs.FileExists(ini + ".newer"), "");

  // Removal inside a folder: a file of its own goes; a folder, a name that leaves the folder
  // and a missing file are refused, with nothing removed.
  const std::string account = platform::JoinPath(dir, "account");
  EXPECT(fs.MakeDirectory(account) && fs.MakeDirectory(platform::JoinPath(account, "sub")), "");
  EXPECT(fs.WriteFile(platform::JoinPath(account, "name"), "x", &error), error);
  EXPECT(fs.RemoveFileInFolder(account, "name", &error), error);
  EXPECT(!fs.FileExists(platform::JoinPath(account, "name")), "");
  EXPECT(!fs.RemoveFileInFolder(account, "sub", &error), "a folder");
  EXPECT(!fs.RemoveFileInFolder(account, "..\\c.qv", &error), "a name outside");
  EXPECT(fs.FileExists(platform::JoinPath(dir, "c.qv")), "");
  EXPECT(!fs.RemoveFileInFolder(account, "missing", &error), "a missing file");
  // A directory link in the folder's place, where this Wine can make one: listed as a link,
  // never as a folder, and never removed through.
  const std::string link = platform::JoinPath(dir, "linked");
  if (::CreateSymbolicLinkA(link.c_str(), account.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    // Wine keeps such a link as a host symbolic link and may not show it as a reparse
    // point; what it shows is printed, and a removal through it must fail either way.
    std::printf("platform: note: a directory link made here is %sseen as a link\n",
                fs.IsLink(link) ? "" : "not ");
    EXPECT(fs.WriteFile(platform::JoinPath(account, "keep"), "x", &error), error);
    EXPECT(!fs.RemoveFileInFolder(link, "keep", &error), "through a link");
    EXPECT(fs.FileExists(platform::JoinPath(account, "keep")), "");
    ::RemoveDirectoryA(link.c_str());
    fs.RemoveFile(platform::JoinPath(account, "keep"));
  } else {
    std::printf("platform: note: this Wine makes no directory links (error %lu)\n",
                static_cast<unsigned long>(::GetLastError()));
  }
  EXPECT(fs.RemoveEmptyDirectory(platform::JoinPath(account, "sub")) &&
             fs.RemoveEmptyDirectory(account),
         "");

  EXPECT(fs.RemoveFile(ini) && !fs.FileExists(ini), "");
  EXPECT(fs.RemoveEmptyDirectory(platform::JoinPath(dir, "Zeta")), "");
  EXPECT(platform::BaseName("C:\\a\\b/c.qv") == "c.qv", platform::BaseName("C:\\a\\b/c.qv"));
  EXPECT(platform::DirName("C:\\a\\b.qv") == "C:\\a", platform::DirName("C:\\a\\b.qv"));
}

void Paths(const std::string& dir) {
  platform::FileSystem& fs = platform::DiskFileSystem();
  const std::string folder = platform::JoinPath(dir, "A Long Folder Name");
  EXPECT(fs.MakeDirectory(folder), folder);
  const std::string short_form = platform::ShortPath(folder);
  EXPECT(short_form.find(' ') == std::string::npos, short_form);
  EXPECT(fs.DirectoryExists(short_form), short_form);
  const std::string missing = platform::JoinPath(dir, "Not There At All");
  EXPECT(platform::ShortPath(missing) == missing, platform::ShortPath(missing));

  // The current folder, and which paths stand without it.
  const std::string before = platform::CurrentFolder();
  EXPECT(platform::EnterFolder(folder), folder);
  EXPECT(platform::EqualsIgnoreCase(platform::CurrentFolder(), folder), platform::CurrentFolder());
  EXPECT(!platform::EnterFolder(missing), missing);
  EXPECT(platform::EnterFolder(before), before);
  for (const char* path : {"C:\\qv", "c:/qv", "\\\\host\\share\\qv", "\\qv", "/qv"})
    EXPECT(platform::IsAbsolutePath(path), path);
  for (const char* path : {"qv", "C:qv", "Accts\\MultiPlayer", ""})
    EXPECT(!platform::IsAbsolutePath(path), path);

  auto documents = platform::DocumentsFolder();
  EXPECT(documents.has_value() && !documents->empty(), documents.value_or("none"));
}

void Time() {
  platform::CivilTime t;
  t.year = 2005;
  t.month = 3;
  t.day = 7;
  t.hour = 15;
  t.minute = 4;
  t.second = 5;
  t.weekday = 1;
  const std::string date = platform::SystemLocaleTexts().ShortDate(t);
  const std::string time = platform::SystemLocaleTexts().LongTime(t);
  std::fprintf(stderr, "regional texts: %s %s\n", date.c_str(), time.c_str());
  EXPECT(date.find("2005") != std::string::npos || date.find("05") != std::string::npos, date);
  EXPECT(date.find('3') != std::string::npos && date.find('7') != std::string::npos, date);
  EXPECT(time.find("04:05") != std::string::npos, time);

  const int64_t now = platform::SystemClock().NowSeconds();
  const int64_t c_now = static_cast<int64_t>(std::time(nullptr));
  EXPECT(now - c_now <= 2 && c_now - now <= 2, std::to_string(now) + " " + std::to_string(c_now));
  EXPECT(platform::SystemClock().NowLocal().year >= 2024, "");
}

void Libraries(const std::string& program_folder) {
  std::string error;
  auto codec = platform::LoadSharedLibrary(program_folder, "QVCodec.dll", &error);
  EXPECT(codec != nullptr, error);
  if (codec != nullptr) {
    EXPECT(codec->Symbol("qvcodec", &error) != nullptr, error);
    error.clear();
    EXPECT(codec->Symbol("qvcodec@12", &error) == nullptr && !error.empty(), error);
    const std::string path = codec->Path();
    EXPECT(path.size() > 11 && path.compare(path.size() - 11, 11, "QVCodec.dll") == 0, path);
  }
  error.clear();
  EXPECT(platform::LoadSharedLibrary(program_folder, "NoSuchLibrary.dll", &error) == nullptr, "");
  EXPECT(error.find("NoSuchLibrary.dll") != std::string::npos, error);
}

void Processes(const std::string& dir) {
  platform::FileSystem& fs = platform::DiskFileSystem();
  std::string error;
  // The child runs in the request's folder: its relative output lands there.
  const std::string work = platform::JoinPath(dir, "server folder");
  EXPECT(fs.MakeDirectory(work), work);
  platform::LaunchRequest request;
  request.program = "C:\\windows\\system32\\cmd.exe";
  request.command_line = "C:\\windows\\system32\\cmd.exe /c echo started> started.txt";
  request.directory = work;
  EXPECT(platform::SystemProcessLauncher().Launch(request, &error), error);
  EXPECT(WaitForFile(fs, platform::JoinPath(work, "started.txt")), "the child's file");

  request.program = platform::JoinPath(dir, "QVServer.exe");
  request.command_line = request.program + " /c";
  error.clear();
  EXPECT(!platform::SystemProcessLauncher().Launch(request, &error), "a missing program");
  EXPECT(!error.empty(), "");
  request.program = "C:\\windows\\system32\\cmd.exe";
  request.directory = platform::JoinPath(dir, "gone");
  error.clear();
  EXPECT(!platform::SystemProcessLauncher().Launch(request, &error), "a missing folder");
  EXPECT(error.find("gone") != std::string::npos, error);

  const std::string script = platform::JoinPath(dir, "maintenance.cmd");
  EXPECT(fs.WriteFile(script, "@echo off\r\necho done> script.txt\r\n", &error), error);
  EXPECT(platform::StartScriptDetached(script, work, &error), error);
  EXPECT(WaitForFile(fs, platform::JoinPath(work, "script.txt")), "the script's file");
  error.clear();
  EXPECT(!platform::StartScriptDetached(platform::JoinPath(dir, "none.cmd"), work, &error), "");
  EXPECT(error.find("not a file") != std::string::npos, error);
}

// bcrypt's PBKDF2-HMAC-SHA256 against a published vector, and the constant-time compare.
void Hashes() {
  std::string key;
  EXPECT(platform::Pbkdf2HmacSha256("passwd", "salt", 1, 64, &key), "PBKDF2 made nothing");
  EXPECT(key == std::string("\x55\xac\x04\x6e\x56\xe3\x08\x9f\xec\x16\x91\xc2\x25\x44\xb6\x05"
                            "\xf9\x41\x85\x21\x6d\xde\x04\x65\xe6\x8b\x9d\x57\xc2\x0d\xac\xbc"
                            "\x49\xca\x9c\xcc\xf1\x79\xb6\x45\x99\x16\x64\xb3\x9d\x77\xef\x31"
                            "\x7c\x71\xb8\x45\xb1\xe3\x0b\xd5\x09\x11\x20\x41\xd3\xa1\x97\x83",
                            64),
         "PBKDF2 of passwd/salt/1");
  EXPECT(platform::Pbkdf2HmacSha256("Password", "NaCl", 80000, 32, &key), "PBKDF2 made nothing");
  EXPECT(key == std::string("\x4d\xdc\xd8\xf6\x0b\x98\xbe\x21\x83\x0c\xee\x5e\xf2\x27\x01\xf9"
                            "\x64\x1a\x44\x18\xd0\x4c\x04\x14\xae\xff\x08\x87\x6b\x34\xab\x56",
                            32),
         "PBKDF2 of Password/NaCl/80000");
  EXPECT(platform::ConstantTimeEqual("abc", "abc") && !platform::ConstantTimeEqual("abc", "abd"));
  EXPECT(platform::Sha256Hex("abc") ==
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

void ControlEvents() {
  std::string error;
  auto watch = platform::ShutdownSignals::Watch(&error);
  EXPECT(watch != nullptr, error);
  if (watch == nullptr) return;
  EXPECT(watch->Take().empty(), "nothing came yet");
  EXPECT(platform::ShutdownSignals::Watch(&error) == nullptr, "one watcher at a time");
  watch.reset();
  EXPECT(platform::ShutdownSignals::Watch(&error) != nullptr, "watched again after the first");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: platform_wine_check SCRATCH_FOLDER\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string files = platform::JoinPath(dir, "files");
  if (!platform::DiskFileSystem().MakeDirectory(files)) {
    std::printf("cannot make %s\n", files.c_str());
    return 1;
  }
  Files(files);
  Paths(dir);
  Time();
  Libraries(platform::DirName(argv[0]));
  Processes(dir);
  ControlEvents();
  Hashes();
  std::printf("%s\n", helmsman::wine_check::Failures() == 0 ? "all passed" : "FAILED");
  return helmsman::wine_check::Failures() == 0 ? 0 : 1;
}
