#include "Platform/Observable.h"

#include <gtest/gtest.h>

#include <string>

TEST(Observable, TellsOnlyOfRealChangesUnlessAnnounced) {
    vesk::Observable<std::string> url;
    int told = 0;
    url.changed().connect([&] { ++told; });
    EXPECT_TRUE(url.set("http://a/"));
    EXPECT_FALSE(url.set("http://a/"));
    EXPECT_EQ(told, 1);
    url.announce("http://a/");
    url.modify([](std::string& s) { s += "b"; });
    EXPECT_EQ(told, 3);
    EXPECT_EQ(*url, "http://a/b");
}
