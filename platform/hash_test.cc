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

// The PBKDF2-HMAC-SHA256 vectors published with the scrypt key derivation's description.
TEST(HashTest, Pbkdf2HmacSha256KnownVectorsAndConstantTimeCompare) {
  std::string key;
  ASSERT_TRUE(Pbkdf2HmacSha256("passwd", "salt", 1, 64, &key));
  EXPECT_EQ(key, std::string("\x55\xac\x04\x6e\x56\xe3\x08\x9f\xec\x16\x91\xc2\x25\x44\xb6\x05"
                             "\xf9\x41\x85\x21\x6d\xde\x04\x65\xe6\x8b\x9d\x57\xc2\x0d\xac\xbc"
                             "\x49\xca\x9c\xcc\xf1\x79\xb6\x45\x99\x16\x64\xb3\x9d\x77\xef\x31"
                             "\x7c\x71\xb8\x45\xb1\xe3\x0b\xd5\x09\x11\x20\x41\xd3\xa1\x97\x83",
                             64));
  ASSERT_TRUE(Pbkdf2HmacSha256("Password", "NaCl", 80000, 32, &key));
  EXPECT_EQ(key, std::string("\x4d\xdc\xd8\xf6\x0b\x98\xbe\x21\x83\x0c\xee\x5e\xf2\x27\x01\xf9"
                             "\x64\x1a\x44\x18\xd0\x4c\x04\x14\xae\xff\x08\x87\x6b\x34\xab\x56",
                             32));
  EXPECT_FALSE(Pbkdf2HmacSha256("passwd", "salt", 0, 32, &key));
  EXPECT_TRUE(key.empty());

  EXPECT_TRUE(ConstantTimeEqual("", ""));
  EXPECT_TRUE(ConstantTimeEqual(std::string_view("a\0b", 3), std::string_view("a\0b", 3)));
  EXPECT_FALSE(ConstantTimeEqual(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));
  EXPECT_FALSE(ConstantTimeEqual(std::string("\x80") + "bc", std::string(1, '\0') + "bc"));
  EXPECT_FALSE(ConstantTimeEqual("abc", "ab"));
}

}  // namespace
}  // namespace helmsman::platform
