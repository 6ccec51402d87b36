#include "platform/hash.h"

#include <gtest/gtest.h>

namespace helmsman::platform {
namespace {

TEST(HashTest, Sha256OfKnownTexts) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(std::string_view("a\0b", 3)), Sha256Hex(std::string("a\0b", 3)));
  EXPECT_NE(Sha256Hex(std::string_view("a\0b", 3)), Sha256Hex("a"));
}

}  // namespace
}  // namespace helmsman::platform
