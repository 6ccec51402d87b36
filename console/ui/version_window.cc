#include "console/ui/version_window.h"

namespace helmsman::ui {

namespace {

#ifndef HELMSMAN_VERSION
#define HELMSMAN_VERSION ""
#endif
#ifndef HELMSMAN_BUILD_TYPE
#define HELMSMAN_BUILD_TYPE ""
#endif
#ifndef HELMSMAN_CONFIGURED
#define HELMSMAN_CONFIGURED ""
#endif
#ifndef HELMSMAN_COMMIT
#define HELMSMAN_COMMIT ""
#endif

uint32_t Word(const std::string& bytes, size_t at) {
  uint32_t word = 0;
  for (int i = 3; i >= 0; --i) word = word << 8 | static_cast<unsigned char>(bytes[at + i]);
  return word;
}

// 1234567 -> "1,234,567"
std::string Grouped(int64_t number) {
  const std::string digits = std::to_string(number);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace

const BuildInfo& ThisBuild() {
  static const BuildInfo build{HELMSMAN_VERSION, HELMSMAN_BUILD_TYPE, HELMSMAN_CONFIGURED,
                               HELMSMAN_COMMIT};
  return build;
}

std::string BuildIdOf(const std::string& bytes) {
  // An ELF note: name size 4, descriptor size, type 3 (NT_GNU_BUILD_ID), "GNU\0", descriptor.
  // Words are little-endian on every platform this runs on.
  static const char kName[] = {'G', 'N', 'U', '\0'};
  constexpr uint32_t kBuildIdType = 3;
  constexpr uint32_t kLongestId = 64;
  for (size_t at = bytes.find(std::string(kName, 4), 12); at != std::string::npos;
       at = bytes.find(std::string(kName, 4), at + 1)) {
    const uint32_t id_size = Word(bytes, at - 8);
    if (Word(bytes, at - 12) != 4 || Word(bytes, at - 4) != kBuildIdType || id_size == 0 ||
        id_size > kLongestId || at + 4 + id_size > bytes.size()) {
      continue;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint32_t i = 0; i < id_size; ++i) {
      const auto byte = static_cast<unsigned char>(bytes[at + 4 + i]);
      hex += kHex[byte >> 4];
      hex += kHex[byte & 15];
    }
    return hex;
  }
  return "";
}

LibraryFile DescribeLibrary(const std::string& name, const std::string& path,
                            const std::string& problem, platform::FileSystem& files) {
  LibraryFile library{name, path, problem, -1, ""};
  if (path.empty()) return library;
  std::string bytes;
  std::string error;
  if (!files.ReadFile(path, &bytes, &error)) {
    library.problem = error;
    return library;
  }
  library.size = static_cast<int64_t>(bytes.size());
  library.build_id = BuildIdOf(bytes);
  return library;
}

std::vector<std::string> VersionLines(const BuildInfo& build, const std::string& toolkit,
                                      const std::vector<LibraryFile>& libraries) {
  std::vector<std::string> lines;
  lines.push_back("Helmsman mk.V, version " + (build.version.empty() ? "unknown" : build.version));
  std::string made = "Build: " + (build.build_type.empty() ? "no build type" : build.build_type);
  if (!build.configured.empty()) made += ", configured " + build.configured;
  if (!build.commit.empty()) made += " from commit " + build.commit;
  lines.push_back(made);
  lines.push_back("Window toolkit: " + (toolkit.empty() ? "none (headless)" : toolkit));
  for (const LibraryFile& library : libraries) {
    if (library.path.empty()) {
      lines.push_back(library.name + ": not loaded (" + library.problem + ")");
      continue;
    }
    lines.push_back(library.name + ": loaded from " + library.path);
    std::string file = library.size < 0 ? "file not readable (" + library.problem + ")"
                                        : Grouped(library.size) + " bytes";
    if (!library.build_id.empty()) file += ", build id " + library.build_id;
    lines.push_back("    " + file);
  }
  return lines;
}

}  // namespace helmsman::ui
