// qvdemo: writes an invented universe for trying the console out, the same for the same seed.
//
//   qvdemo gamedata --seed S --out DIR
//       the twenty GAMEDATA_ files
//   qvdemo accounts --seed S --accounts N --root DIR [--gamedata DIR] [--now DATE]
//                   [--characters N] [--unknown-equipment PERCENT]
//       QVServer.cfg and N account folders with scrambled character files; the characters
//       use the catalogue of the seed, or the one in the GAMEDATA_ files of --gamedata DIR.
//       DATE (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS) ends the year of last saves; by default a
//       day of 2025 derived from the seed. --characters gives every account N (1 to 5)
//       characters instead of a random count.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "platform/file_system.h"

namespace {

using namespace helmsman::gamefiles;

constexpr char kUsage[] =
    "usage: qvdemo gamedata --seed S --out DIR\n"
    "       qvdemo accounts --seed S --accounts N --root DIR [--gamedata DIR] [--now DATE]\n"
    "                       [--characters N] [--unknown-equipment PERCENT]\n";

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "qvdemo: %s\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "qvdemo: %s\n", error.c_str());
  return 1;
}

// "--name value" pairs; false on a stray word or a name without its value.
bool ParseOptions(int argc, char** argv, std::map<std::string, std::string>* options) {
  for (int i = 2; i < argc; i += 2) {
    std::string name = argv[i];
    if (name.rfind("--", 0) != 0 || i + 1 >= argc) return false;
    (*options)[name.substr(2)] = argv[i + 1];
  }
  return true;
}

bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  *value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0 && *value <= max;
}

int Gamedata(const std::map<std::string, std::string>& options, uint64_t seed) {
  if (!options.count("out") || options.size() != 2) return Usage("gamedata needs --seed and --out");
  std::string error;
  const std::string& out = options.at("out");
  if (!WriteGamedata(MakeCatalogue(seed), out, helmsman::platform::DiskFileSystem(), &error)) {
    return Fail(error);
  }
  std::printf("wrote %zu GAMEDATA files to %s\n", PresenceOrder().size(), out.c_str());
  return 0;
}

int Accounts(std::map<std::string, std::string> options, uint64_t seed) {
  AccountsOptions run;
  run.seed = seed;
  unsigned long long number = 0;
  if (!options.count("accounts") || !ParseNumber(options["accounts"], kMaxAccounts, &number)) {
    return Usage("accounts needs --accounts N (0 to " + std::to_string(kMaxAccounts) + ")");
  }
  run.accounts = static_cast<int>(number);
  if (!options.count("root")) return Usage("accounts needs --root DIR");
  run.root = options["root"];
  run.now_seconds = DefaultReferenceTime(seed);
  if (options.count("now") && !ParseReferenceTime(options["now"], &run.now_seconds)) {
    return Usage("--now takes YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
  }
  if (options.count("unknown-equipment")) {
    if (!ParseNumber(options["unknown-equipment"], 100, &number)) {
      return Usage("--unknown-equipment takes a percentage");
    }
    run.unknown_equipment_percent = static_cast<int>(number);
  }
  if (options.count("characters")) {
    if (!ParseNumber(options["characters"], 5, &number) || number == 0) {
      return Usage("--characters takes 1 to 5");
    }
    run.characters_per_account = static_cast<int>(number);
  }
  for (const auto& [name, value] : options) {
    if (name != "seed" && name != "accounts" && name != "root" && name != "gamedata" &&
        name != "now" && name != "characters" && name != "unknown-equipment") {
      return Usage("unknown option --" + name);
    }
  }
  auto& files = helmsman::platform::DiskFileSystem();
  std::string error;
  DemoCatalogue catalogue = MakeCatalogue(seed);
  if (options.count("gamedata") && !ReadGamedata(options["gamedata"], files, &catalogue, &error)) {
    return Fail(error);
  }
  AccountsSummary summary;
  if (!GenerateAccounts(catalogue, run, files, &summary, &error)) return Fail(error);
  std::printf("wrote %d accounts (%d characters, %d banned) to %s\n", summary.accounts,
              summary.characters, summary.banned, run.root.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  std::string command = argv[1];
  std::map<std::string, std::string> options;
  if (!ParseOptions(argc, argv, &options)) return Usage("options come as --name value");
  unsigned long long seed = 0;
  if (!options.count("seed") || !ParseNumber(options["seed"], ~0ull, &seed)) {
    return Usage("--seed takes a whole number");
  }
  if (command == "gamedata") return Gamedata(options, seed);
  if (command == "accounts") return Accounts(options, seed);
  return Usage("unknown command " + command);
}
