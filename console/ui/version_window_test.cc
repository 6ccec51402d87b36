// The version window's text: the build, the toolkit and each library's file.
#include "console/ui/version_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace helmsman::ui {
namespace {

// An ELF note as the linker writes it: name size, descriptor size, type, "GNU\0", descriptor.
std::string Note(uint32_t type, const std::string& descriptor) {
  std::string note;
  for (uint32_t word : {4u, static_cast<uint32_t>(descriptor.size()), type}) {
    for (int i = 0; i < 4; ++i) note += static_cast<char>(word >> (8 * i) & 0xFF);
  }
  return note + std::string("GNU\0", 4) + descriptor;
}

TEST(BuildIdTest, IsTheDescriptorOfTheBuildIdNoteOnly) {
  const std::string id = "\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc";
  const std::string elf = std::string("\x7f") + "ELF" + std::string(60, '\0');
  // The ABI note (type 1) comes first in a real file and is not the build id.
  EXPECT_EQ(BuildIdOf(elf + Note(1, std::string("\0\0\0\0\3\0\0\0", 8)) + Note(3, id) + "tail"),
            "0123456789abcdeffedc");
  EXPECT_EQ(BuildIdOf(elf + Note(1, "abcd")), "");
  EXPECT_EQ(BuildIdOf("MZ a Windows library without notes"), "");
  EXPECT_EQ(BuildIdOf(""), "");
  // A note cut off by the end of the file is no build id.
  const std::string cut = elf + Note(3, id);
  EXPECT_EQ(BuildIdOf(cut.substr(0, cut.size() - 1)), "");
}

TEST(VersionLinesTest, NameTheBuildTheToolkitAndWhereEachLibraryCameFrom) {
  const BuildInfo build{"0.1", "Release", "2026-12-08 23:40 UTC", "d5b02a7"};
  const std::vector<LibraryFile> libraries = {
      {"QVAdmin.dll", "/opt/helmsman/libqvadmin.so", "", 1234567, "00ff"},
      {"QVCodec.dll", "", "QVCodec.dll cannot be loaded: no such file", -1, ""},
  };
  EXPECT_EQ(VersionLines(build, "Qt 6.4.2", libraries),
            (std::vector<std::string>{"Helmsman mk.V, version 0.1",
                                      "Build: Release, configured 2026-12-08 23:40 UTC from commit "
                                      "d5b02a7",
                                      "Window toolkit: Qt 6.4.2",
                                      "QVAdmin.dll: loaded from /opt/helmsman/libqvadmin.so",
                                      "    1,234,567 bytes, build id 00ff",
                                      "QVCodec.dll: not loaded (QVCodec.dll cannot be loaded: no "
                                      "such file)"}));
  const std::vector<std::string> bare = VersionLines(BuildInfo{}, "", {});
  EXPECT_EQ(bare,
            (std::vector<std::string>{"Helmsman mk.V, version unknown", "Build: no build type",
                                      "Window toolkit: none (headless)"}));
}

TEST(DescribeLibraryTest, ReadsSizeAndBuildIdOrSaysWhyNot) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("helmsman_version_" + std::to_string(std::random_device{}())))
                               .string();
  platform::FileSystem& files = platform::DiskFileSystem();
  const std::string bytes =
      std::string("\x7f") + "ELF" + std::string(30, 'x') + Note(3, "\xbe\xef");
  ASSERT_TRUE(files.WriteFile(path, bytes, nullptr));
  LibraryFile found = DescribeLibrary("QVCodec.dll", path, "", files);
  EXPECT_EQ(found.size, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(found.build_id, "beef");
  files.RemoveFile(path);

  LibraryFile gone = DescribeLibrary("QVCodec.dll", path, "", files);
  EXPECT_EQ(gone.size, -1);
  EXPECT_FALSE(gone.problem.empty());
  EXPECT_EQ(VersionLines(BuildInfo{}, "", {gone})[4].rfind("    file not readable (", 0), 0u);
}

}  // namespace
}  // namespace helmsman::ui
