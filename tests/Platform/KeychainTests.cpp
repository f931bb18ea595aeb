// The keychain on the Secret Service of the test session, seen by the
// desktop's own tool as well.

#include "Platform/Keychain.h"
#include "Platform/KeychainError.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace vesk;

namespace {

// The output of a shell command, or none when it failed.
std::optional<std::string> shell(const std::string& command) {
    gchar* out = nullptr;
    gint status = 0;
    const gchar* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    bool ran = g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out,
                            nullptr, &status, nullptr) && g_spawn_check_wait_status(status, nullptr);
    std::optional<std::string> text = ran ? std::optional<std::string>(out) : std::nullopt;
    g_free(out);
    return text;
}

bool noService() { return g_getenv("VESK_TEST_NO_SECRET_SERVICE") != nullptr; }

TEST(Keychain, StoresReplacesAndDeletesTheItemsTheDesktopToolSees) {
    if (noService()) GTEST_SKIP();
    Keychain keychain("Vesk");
    const std::string tool = "secret-tool lookup service Vesk account test/";
    shell("printf typed | secret-tool store --label=hand service Vesk account test/hand");
    EXPECT_EQ(keychain.read("test/hand"), "typed");
    keychain.write("changed ünï", "test/hand");
    EXPECT_EQ(shell(tool + "hand"), "changed ünï");
    EXPECT_EQ(shell("secret-tool search --all service Vesk account test/hand | grep -c '^\\['"), "1\n")
        << "replaced in place, not doubled";

    keychain.write("", "test/empty");
    EXPECT_EQ(keychain.read("test/empty"), std::optional<std::string>(""));
    auto listed = [&](const char* account) {
        auto all = keychain.accounts();
        return all && std::find(all->begin(), all->end(), account) != all->end();
    };
    EXPECT_TRUE(listed("test/empty") && listed("test/hand"));
    auto other = Keychain("Vesk other").accounts();
    EXPECT_TRUE(other && std::find(other->begin(), other->end(), "test/empty") == other->end())
        << "only the items of its own service";
    for (const char* account : {"test/hand", "test/empty", "test/never"}) keychain.write(std::nullopt, account);
    EXPECT_FALSE(listed("test/hand"));
    auto gone = keychain.lookup("test/hand");
    EXPECT_FALSE(gone.value);
    EXPECT_FALSE(gone.failed()) << "absent, not unreadable";

    // Bytes that are no text (another tool stored them) are said to be so,
    // kept for whoever must put them back, and replaced by a write.
    const std::string bytes = "\xff\xfe pw";
    keychain.write(bytes, "test/binary");
    auto binary = keychain.lookup("test/binary");
    EXPECT_FALSE(binary.value);
    EXPECT_EQ(binary.failure, "the item stored for it holds no UTF-8 text");
    EXPECT_EQ(binary.notText, bytes);
    keychain.write("text", "test/binary");
    EXPECT_EQ(keychain.read("test/binary"), "text");
    keychain.write(std::nullopt, "test/binary");
}

// ctest runs this one again with a session bus on which nothing listens.
TEST(KeychainWithoutService, ReadsNothingAndRefusesToStore) {
    if (!noService()) GTEST_SKIP();
    Keychain keychain("Vesk");
    EXPECT_TRUE(keychain.lookup("any").failed());
    EXPECT_FALSE(keychain.read("any"));
    EXPECT_FALSE(keychain.accounts());
    try {
        keychain.write("value", "any");
        ADD_FAILURE() << "the write was not refused";
    } catch (const KeychainError& error) {
        EXPECT_TRUE(std::string(error.what()).starts_with("The keychain did not store the value: ")) << error.what();
    }
}

// ctest runs this one on a keyring of its own (with-own-keyring), which it
// locks as the person's desktop does, before a start or while Vesk runs.
TEST(KeychainLocked, TellsALockedValueFromAnAbsentOne) {
    if (!g_getenv("VESK_TEST_OWN_KEYRING")) GTEST_SKIP();
    Keychain keychain("Vesk");
    keychain.write("pw", "test/locked");
    ASSERT_EQ(keychain.read("test/locked"), "pw");
    const std::string call = "gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets "
                             "--method org.freedesktop.Secret.Service.";
    ASSERT_TRUE(shell(call + "Lock \"['/org/freedesktop/secrets/collection/login']\"")) << "the keyring was locked";

    auto locked = keychain.lookup("test/locked");
    EXPECT_FALSE(locked.value);
    EXPECT_EQ(locked.failure, "the keychain is locked");
    auto absent = keychain.lookup("test/never");
    EXPECT_FALSE(absent.value);
    EXPECT_FALSE(absent.failed()) << "an account without an item is no failure";
}

} // namespace
