#include "platform/shared_library.h"

#include <gtest/gtest.h>

namespace helmsman::platform {
namespace {

TEST(SharedLibraryTest, WindowsNamesMapToPosixFileNames) {
  EXPECT_EQ(PlatformLibraryName("QVAdmin.dll"), "libqvadmin.so");
  EXPECT_EQ(PlatformLibraryName("QVCodec.dll"), "libqvcodec.so");
}

TEST(SharedLibraryTest, MissingLibraryAndExportFailWithAMessage) {
  std::string error;
  EXPECT_EQ(LoadSharedLibrary("/nonexistent", "libnosuchlibrary.so", &error), nullptr);
  EXPECT_FALSE(error.empty());
  // The C library is always there; it has no export by this name.
  std::unique_ptr<SharedLibrary> libc = LoadSharedLibrary("", "libc.so.6", &error);
  ASSERT_NE(libc, nullptr) << error;
  EXPECT_NE(libc->Symbol("strlen", &error), nullptr);
  error.clear();
  EXPECT_EQ(libc->Symbol("QVAdmin_DoCommand", &error), nullptr);
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace helmsman::platform
