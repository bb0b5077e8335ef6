#include "paradox/crypto.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace velanta::paradox {
namespace {

TEST(PasswordCheckValue, MatchesValuesStoredByRealTables) {
  EXPECT_EQ(passwordCheckValue("Tavirek4806"), 0x14E88A6Fu);
  EXPECT_EQ(passwordCheckValue("123"), 0x0A25E09Au);
  // Case matters: another value, not a match.
  EXPECT_EQ(passwordCheckValue("TAVIREK4806"), 0xD9606CC5u);
  EXPECT_EQ(passwordCheckValue(""), 0u);
}

TEST(BlockEncryption, RoundTripsAndDependsOnBlockNumber) {
  std::vector<std::uint8_t> plain(2048);
  std::iota(plain.begin(), plain.end(), 0);
  auto block = plain;
  encryptBlock(block, 0x14E88A6F, 3);
  EXPECT_NE(block, plain);
  auto other = plain;
  encryptBlock(other, 0x14E88A6F, 4);
  EXPECT_NE(block, other);
  decryptBlock(block, 0x14E88A6F, 3);
  EXPECT_EQ(block, plain);
}

TEST(BlobEncryption, RoundTrips) {
  std::vector<std::uint8_t> plain(4096);
  std::iota(plain.begin(), plain.end(), 7);
  auto bytes = plain;
  encryptBlobRange(bytes, 0x0A25E09A);
  EXPECT_NE(bytes, plain);
  decryptBlobRange(bytes, 0x0A25E09A);
  EXPECT_EQ(bytes, plain);
}

} // namespace
} // namespace velanta::paradox
