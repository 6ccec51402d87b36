// The batch form of the statistics script, run by the command interpreter under Wine in a
// scratch folder given as the only argument: the tool, the header and the footer lie in
// folders whose names hold a blank (the footer's name a "%" too), and the page must still be
// the header, the tool's rows and the footer. The tool is this program, copied and started
// as "QVStat.exe", which then prints one row. Prints one line per failed expectation and
// exits 1 when there was any.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "console/publishing/statistics_run.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"
#include "platform/process.h"
#include "tests/wine/expect.h"

namespace {

namespace platform = helmsman::platform;
namespace publishing = helmsman::publishing;

constexpr char kRow[] = "<TR><TD>row</TD></TR>";

std::string MakeFolder(const std::string& parent, const std::string& name) {
  const std::string path = platform::JoinPath(parent, name);
  EXPECT(platform::DiskFileSystem().MakeDirectory(path), path);
  return path;
}

std::string Write(const std::string& folder, const std::string& name, const std::string& text) {
  const std::string path = platform::JoinPath(folder, name);
  std::string error;
  EXPECT(platform::DiskFileSystem().WriteFile(path, text, &error), error);
  return path;
}

void BatchScript(const std::string& dir, const std::string& self) {
  platform::FileSystem& fs = platform::DiskFileSystem();
  const std::string program = MakeFolder(dir, "Helm Program");
  const std::string tools = MakeFolder(dir, "Stat Tools");
  const std::string parts = MakeFolder(dir, "Web Parts");
  const std::string www = MakeFolder(dir, "www");
  helmsman::settings::Settings s;
  s.txtQVStatExePath = platform::JoinPath(tools, "QVStat.exe");
  EXPECT(::CopyFileA(self.c_str(), s.txtQVStatExePath.c_str(), FALSE) != 0, s.txtQVStatExePath);
  s.txtQVStatHeaderPath = Write(parts, "head part.htt", "<TABLE>\r\n");
  s.txtQVStatFooterPath = Write(parts, "100%foot.htt", "</TABLE>\r\n");
  s.txtQVStatOutputPath = platform::JoinPath(www, "stats.html");
  // The page once the script is done: a follow-up line marks the end.
  const std::string done = platform::JoinPath(www, "done.txt");
  s.txtPostStatsGenerationScriptFile = Write(parts, "after.cmd", "@echo done>\"" + done + "\"\r\n");
  s.chkQVStatShowTopNPlayers = 1;

  platform::FakeClock clock;
  platform::PictureLocaleTexts locale("M/d/yyyy", "h:mm:ss tt");
  helmsman::logs::Logs logs(clock, locale);
  helmsman::ui::StatusLine status;
  publishing::PublishingServices services{fs, logs, status, program,
                                          platform::StartScriptDetached};
  publishing::RunStatistics(services, s, publishing::ScriptForm::kBatch);
  for (const std::string& line : logs.lines(helmsman::logs::LogId::kHelmError)) {
    EXPECT(false, line);
  }
  for (int i = 0; i < 400 && !fs.FileExists(done); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT(fs.FileExists(done), "the script did not run to its end");
  std::string page, error;
  EXPECT(fs.ReadFile(s.txtQVStatOutputPath, &page, &error), error);
  EXPECT(page == std::string("<TABLE>\r\n") + kRow + "\r\n</TABLE>\r\n", page);
  std::string script;
  fs.ReadFile(platform::JoinPath(program, publishing::kStatisticsScriptName), &script, &error);
  if (page.find(kRow) == std::string::npos) std::printf("the script:\n%s", script.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string self = n > 0 && n < sizeof path ? path : argv[0];
  // Started by the script as the statistics tool: its options, then one row on standard output.
  if (self.size() >= 10 && _stricmp(self.c_str() + self.size() - 10, "QVStat.exe") == 0) {
    const bool top = argc == 3 && std::string(argv[1]) == "-top" && std::string(argv[2]) == "50";
    std::printf("%s\n", top ? kRow : "<TR><TD>wrong options</TD></TR>");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: statistics_wine_check SCRATCH_FOLDER\n", stderr);
    return 2;
  }
  BatchScript(argv[1], self);
  std::printf("%s\n", helmsman::wine_check::Failures() == 0 ? "all passed" : "FAILED");
  return helmsman::wine_check::Failures() == 0 ? 0 : 1;
}
