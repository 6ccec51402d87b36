// Binding the real libraries of the build's bin folder by file name, and what a missing
// library or export does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "console/server/codec_api.h"
#include "console/server/command_channel.h"
#include "console/server/qvadmin_api.h"
#include "console/server/test_bench.h"

namespace helmsman::server {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr char kLibraryFolder[] = HELMSMAN_LIBRARY_FOLDER;

TEST(QVAdminLibraryTest, MissingLibraryFailsTheCallWithAClearError) {
  TestBench bench;
  QVAdminLibrary library({"/nonexistent/folder"}, "QVAdminMissing.dll");
  CommandChannel channel(library, bench.logs, bench.status);
  EXPECT_FALSE(channel.Initialize(5, "title", "/srv/QVServer.exe", ""));
  ASSERT_EQ(bench.logs.lines(logs::LogId::kHelmError).size(), 1u);
  EXPECT_THAT(bench.Messages(logs::LogId::kHelmError)[0],
              StartsWith(": QVAdminMissing.dll cannot be loaded: "));
  EXPECT_EQ(bench.status.text(), "Unable to use QVAdmin.dll (see HELM Error Log)");

  // Every later call tries again and fails the same way.
  CommandResult result = channel.Run("start qvserver", kOperatorReplySize);
  EXPECT_EQ(result.value, 0);
  EXPECT_EQ(channel.result_text(), "");
  EXPECT_EQ(bench.logs.lines(logs::LogId::kHelmError).size(), 2u);
}

TEST(QVAdminLibraryTest, MissingExportFailsTheCallWithAClearError) {
  TestBench bench;
  // The codec library is a library without QVAdmin's exports.
  QVAdminLibrary library({kLibraryFolder}, "QVCodec.dll");
  std::string error;
  char buffer[64] = "untouched";
  EXPECT_EQ(library.DoCommand("list online", buffer, sizeof buffer, &error), 0);
  EXPECT_THAT(error, StartsWith("QVCodec.dll has no export QVAdmin_DoCommand: "));
  EXPECT_STREQ(buffer, "untouched");
}

TEST(QVAdminLibraryTest, BindsTheThreeExportsOfTheRealLibrary) {
  // The library opens its shared section in the desktop folder: a folder of this test's own.
  const std::string desktop = (std::filesystem::temp_directory_path() /
                               ("helmsman-binding-" + std::to_string(std::random_device{}())))
                                  .string();
  ::setenv("HELMSMAN_DESKTOP", desktop.c_str(), 1);
  QVAdminLibrary library({kLibraryFolder});
  std::string error;
  char buffer[64] = "untouched";
  // Unbound: QVAdmin answers 0 and leaves the buffer alone.
  EXPECT_EQ(library.DoCommand("list online", buffer, sizeof buffer, &error), 0);
  EXPECT_EQ(error, "");
  EXPECT_STREQ(buffer, "untouched");
  // An owner of 0 is refused; releasing an owner that never bound is refused.
  EXPECT_EQ(library.Initialize(0, "title", "/srv/", "", &error), 0);
  EXPECT_EQ(library.Release(12345, &error), 0);
  EXPECT_EQ(error, "");
  std::filesystem::remove_all(desktop);
}

TEST(QVCodecLibraryTest, BindsTheRealExportAndReportsAMissingLibrary) {
  QVCodecLibrary codec({kLibraryFolder});
  std::string error;
  EXPECT_EQ(codec.Convert(3, "/a", "/b", &error), 261);  // bad operation: touches nothing
  EXPECT_EQ(codec.Convert(kCodecDecode, "/nonexistent/x.qv", "/nonexistent/x.txt", &error), 262);
  EXPECT_EQ(error, "");

  QVCodecLibrary missing({"/nonexistent/folder"}, "QVCodecMissing.dll");
  EXPECT_EQ(missing.Convert(kCodecDecode, "/a", "/b", &error), kCodecNotBound);
  EXPECT_THAT(error, HasSubstr("QVCodecMissing.dll cannot be loaded"));
}

// The program folder named by --home holds no libraries: the executable's folder, next in
// the list, is searched before the usual places.
TEST(LoadLibraryByNameTest, TakesTheFirstFolderThatHoldsTheFile) {
  std::string error;
  auto library =
      LoadLibraryByName({"", "/nonexistent/folder", kLibraryFolder}, "QVCodec.dll", &error);
  ASSERT_NE(library, nullptr) << error;
  EXPECT_NE(library->Symbol("qvcodec", &error), nullptr);
}

// The version window names the file each library was loaded from, before or after its first
// call, and why it has none when the library is missing.
TEST(LibraryPathTest, IsTheFullPathOfTheLoadedFile) {
  // Loading QVAdmin opens its shared section in the desktop folder: one of this test's own.
  const std::string desktop = (std::filesystem::temp_directory_path() /
                               ("helmsman-path-" + std::to_string(std::random_device{}())))
                                  .string();
  ::setenv("HELMSMAN_DESKTOP", desktop.c_str(), 1);
  const std::string folder = std::filesystem::canonical(kLibraryFolder).string();
  std::string error;
  QVCodecLibrary codec({kLibraryFolder});
  EXPECT_EQ(codec.LibraryPath(&error), folder + "/libqvcodec.so");
  EXPECT_EQ(codec.Convert(3, "/a", "/b", &error), 261);  // the library loaded for the path serves
  QVAdminLibrary admin({kLibraryFolder});
  EXPECT_EQ(admin.LibraryPath(&error), folder + "/libqvadmin.so");
  EXPECT_EQ(error, "");

  QVAdminLibrary missing({"/nonexistent/folder"}, "QVAdminMissing.dll");
  EXPECT_EQ(missing.LibraryPath(&error), "");
  EXPECT_THAT(error, StartsWith("QVAdminMissing.dll cannot be loaded: "));
  std::filesystem::remove_all(desktop);
}

}  // namespace
}  // namespace helmsman::server
