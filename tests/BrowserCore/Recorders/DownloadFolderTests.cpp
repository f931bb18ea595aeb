#include "BrowserCore/Recorders/DownloadFolder.h"
#include "BrowserCore/Recorders/ResponseRecorder.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <fstream>

using namespace vesk;

namespace {

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

bool validUtf8(const std::string& text) {
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

// A folder of its own under the test's temporary folder, removed afterwards.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        gchar* made = g_dir_make_tmp("vesk-download-test-XXXXXX", nullptr);
        path = made;
        g_free(made);
    }
    ~ScratchFolder() {
        std::string command = "rm -rf '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

} // namespace

TEST(DownloadFolder, SafeNamesKeepOnlyAUsableLastPart) {
    EXPECT_EQ(DownloadFolder::safeName("../../etc/passwd"), "passwd");
    EXPECT_EQ(DownloadFolder::safeName("C:\\Users\\me\\report.pdf"), "report.pdf");
    EXPECT_EQ(DownloadFolder::safeName("dir/sub/"), "sub");
    EXPECT_EQ(DownloadFolder::safeName(""), "download");
    EXPECT_EQ(DownloadFolder::safeName("..."), "download");
    EXPECT_EQ(DownloadFolder::safeName("a/.."), "download");
    EXPECT_EQ(DownloadFolder::safeName(" \t\u00a0 name.txt \t"), "name.txt");
    EXPECT_EQ(DownloadFolder::safeName("li\nne\x01.txt"), "line.txt");
    EXPECT_EQ(DownloadFolder::safeName("a\u2028[e1] b\u2029.txt"), "a[e1] b.txt");
    // A direction override could make "exe.txt" read as "txt.exe".
    EXPECT_EQ(DownloadFolder::safeName("\u202etxt.exe"), "txt.exe");
    EXPECT_EQ(DownloadFolder::safeName(".hidden"), ".hidden");
    EXPECT_EQ(DownloadFolder::safeName("bad\xff.txt"), "bad\uFFFD.txt");
}

TEST(DownloadFolder, LongNamesAreCutToTheCharacterAndByteLimitsKeepingTheExtension) {
    EXPECT_EQ(DownloadFolder::safeName(repeat("x", 200)), repeat("x", 120));
    EXPECT_EQ(DownloadFolder::safeName(repeat("x", 200) + ".pdf"), repeat("x", 116) + ".pdf");
    EXPECT_EQ(DownloadFolder::safeName(repeat("é", 120)), repeat("é", 120)) << "240 bytes fit";

    // 120 four-byte characters would be 480 bytes.
    std::string emoji = DownloadFolder::safeName(repeat("😀", 150) + ".csv");
    EXPECT_LE(emoji.size(), DownloadFolder::nameByteLimit);
    EXPECT_TRUE(emoji.ends_with("😀.csv")) << "cut between characters, extension kept";
    EXPECT_TRUE(validUtf8(emoji));

    // One user-perceived character longer than the limit is cut between scalars.
    std::string stacked = DownloadFolder::safeName("a" + repeat("\u0301", 300));
    EXPECT_LE(stacked.size(), DownloadFolder::nameByteLimit);
    EXPECT_FALSE(stacked.empty());
    EXPECT_TRUE(validUtf8(stacked));

    // An "extension" too long to leave the name room is cut with it.
    std::string longTail = DownloadFolder::safeName("a." + repeat("b", 200));
    EXPECT_EQ(longTail, "a." + repeat("b", 118));
}

TEST(DownloadFolder, DestinationsAreUniqueInTheSessionAndOnDisk) {
    ScratchFolder scratch;
    DownloadFolder folder(scratch.path + "/made/later");
    EXPECT_EQ(folder.destination("report.csv"), folder.path() + "/report.csv");
    GStatBuf info;
    ASSERT_EQ(g_stat(folder.path().c_str(), &info), 0) << "made when the first download needs it";
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(folder.destination("report.csv"), folder.path() + "/report 2.csv");
    EXPECT_EQ(folder.destination("a/report.csv"), folder.path() + "/report 3.csv");
    EXPECT_EQ(folder.destination("data"), folder.path() + "/data");
    EXPECT_EQ(folder.destination("data"), folder.path() + "/data 2");

    std::ofstream(folder.path() + "/old.txt") << "from before";
    EXPECT_EQ(folder.destination("old.txt"), folder.path() + "/old 2.txt");
    EXPECT_TRUE(folder.taken().contains("old 2.txt"));

    // The number never pushes a name past the file system's limit.
    std::string full = repeat("€", 80) + ".tx";  // 243 bytes: fits, but not with " 2"
    std::string first = folder.destination(full);
    std::string second = folder.destination(full);
    std::string secondName = second.substr(folder.path().size() + 1);
    EXPECT_EQ(first, folder.path() + "/" + full);
    EXPECT_LE(secondName.size(), DownloadFolder::nameByteLimit);
    EXPECT_TRUE(secondName.ends_with("€ 2.tx")) << secondName;
    EXPECT_NE(first, second);
}

TEST(DownloadFolder, AFolderThatCannotBeMadeIsAnError) {
    ScratchFolder scratch;
    std::ofstream(scratch.file("plain")) << "a file, not a folder";
    DownloadFolder folder(scratch.file("plain") + "/downloads");
    EXPECT_THROW(folder.destination("a.txt"), DownloadFolderError);
    EXPECT_TRUE(folder.taken().empty());
}

TEST(DownloadFolder, EachRecorderGetsANewTemporaryFolder) {
    std::string first = DownloadFolder::temporaryDownloadFolder();
    std::string second = DownloadFolder::temporaryDownloadFolder();
    EXPECT_NE(first, second);
    gchar* base = g_path_get_basename(first.c_str());
    std::string name = base;
    g_free(base);
    ASSERT_TRUE(name.starts_with("vesk-downloads-"));
    std::string uuid = name.substr(15);
    EXPECT_TRUE(g_uuid_string_is_valid(uuid.c_str()));
    EXPECT_EQ(uuid, g_ascii_strup(uuid.c_str(), -1)) << "upper-case UUID";
    EXPECT_FALSE(g_file_test(first.c_str(), G_FILE_TEST_EXISTS));
}

TEST(ResponseRecorder, OnlyThisMachineCountsAsLocal) {
    for (const char* host : {"localhost", "LocalHost", "127.0.0.1", "127.8.9.10", "::1", "[::1]", "[0:0:0:0:0:0:0:1]"}) {
        EXPECT_TRUE(ResponseRecorder::isLocalHost(host)) << host;
    }
    // A name is resolved by whoever answers for it; only "localhost" itself is trusted.
    for (const char* host : {"evillocalhost", "localhost.example.com", "app.localhost", "localhostx", "10.0.0.1",
                             "192.168.1.1", "128.0.0.1", "::2", "[::ffff:127.0.0.1]", "fe80::1%lo", "", "[]",
                             "127.0.0.1.example.com"}) {
        EXPECT_FALSE(ResponseRecorder::isLocalHost(host)) << host;
    }
}

TEST(ResponseRecorder, KeepsMainDocumentFailuresByURLWithoutFragment) {
    ResponseRecorder recorder;
    EXPECT_EQ(ResponseRecorder::responseKey("http://a.test/p?q#x#y"), "http://a.test/p?q");
    recorder.noteMainResponse("http://a.test/p#one", 404);
    EXPECT_EQ(recorder.failedStatus("http://a.test/p"), 404);
    EXPECT_EQ(recorder.failedStatus("http://a.test/p#two"), 404);
    recorder.noteMainResponse("http://a.test/p#three", 200);
    EXPECT_EQ(recorder.failedStatus("http://a.test/p"), std::nullopt);
    recorder.noteMainResponse("http://a.test/q", 399);
    recorder.noteMainResponse("http://a.test/r", 600);
    EXPECT_TRUE(recorder.failed.empty());

    for (int i = 0; i < 200; ++i) recorder.noteMainResponse("http://a.test/" + std::to_string(i), 500);
    EXPECT_EQ(recorder.failed.size(), 200u);
    recorder.noteMainResponse("http://a.test/new", 503);
    EXPECT_EQ(recorder.failed, (std::map<std::string, int>{{"http://a.test/new", 503}}));
}
