#include "app/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorlex {
namespace {

TEST(TextTable, KeepsEveryTextExactlyAcrossChunks) {
  // Enough texts to fill several chunks, of lengths that do not divide the
  // chunk size, with embedded NUL and high bytes; an oversized one in between.
  TextTable table;
  std::vector<std::string> expected;
  for (int i = 0; i < 60000; ++i) {
    std::string text(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
    text += std::string("\0\xff", 2) + std::to_string(i);
    if (i == 30000) text.assign(600000, 'x');
    expected.push_back(text);
    table.push_back(text);
  }
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(table[i], expected[i]) << i;
}

TEST(TextTable, JoinsSetsAndClears) {
  TextTable table;
  table.push_back("");
  // An empty text has a valid address: memcpy and fwrite may be handed it.
  EXPECT_NE(table[0].data(), nullptr);
  table.push_back_joined({"c:", "", "/Data", "/", "a.txt"});
  table.set(0, "first");
  EXPECT_EQ(table[0], "first");
  EXPECT_EQ(table[1], "c:/Data/a.txt");
  table.clear();
  EXPECT_TRUE(table.empty());
  table.push_back("again");
  EXPECT_EQ(table[0], "again");
}

}  // namespace
}  // namespace vorlex
