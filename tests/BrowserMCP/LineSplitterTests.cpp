#include "BrowserMCP/LineSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vesk;

namespace {

std::vector<std::string> drain(LineSplitter& lines) {
    std::vector<std::string> out;
    while (auto line = lines.nextLine()) out.push_back(*line);
    return out;
}

} // namespace

TEST(LineSplitter, SkipsEmptyLinesAndKeepsEveryOtherByte) {
    LineSplitter lines;
    lines.append(std::string("\n\n\n", 3));
    EXPECT_TRUE(drain(lines).empty());
    EXPECT_FALSE(lines.finish());

    // Carriage return and zero bytes stay in the line; only the line feed cuts.
    lines.append(std::string("a\r\n\nb\0c\n", 8));
    EXPECT_EQ(drain(lines), (std::vector<std::string>{"a\r", std::string("b\0c", 3)}));
}

TEST(LineSplitter, JoinsLinesSplitAcrossReads) {
    LineSplitter lines;
    lines.append("{\"id\":");
    EXPECT_FALSE(lines.nextLine());
    lines.append("1}\n{\"id\"");
    EXPECT_EQ(drain(lines), std::vector<std::string>{"{\"id\":1}"});
    lines.append(":2}\n");
    EXPECT_EQ(drain(lines), std::vector<std::string>{"{\"id\":2}"});
    EXPECT_FALSE(lines.finish());
}

TEST(LineSplitter, HandsOutTheUnterminatedLastLineAtTheEnd) {
    LineSplitter lines;
    lines.append("first\nlast");
    EXPECT_EQ(drain(lines), std::vector<std::string>{"first"});
    EXPECT_EQ(lines.finish(), "last");
    EXPECT_FALSE(lines.finish());
}

TEST(LineSplitter, KeepsALongLineWholeOverManySmallReads) {
    LineSplitter lines;
    std::string big(3 * 1024 * 1024, 'x');
    for (std::size_t at = 0; at < big.size(); at += 4096) {
        lines.append(std::string_view(big).substr(at, 4096));
        ASSERT_FALSE(lines.nextLine());
    }
    lines.append("\nnext\n");
    auto all = drain(lines);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], big);
    EXPECT_EQ(all[1], "next");
}
