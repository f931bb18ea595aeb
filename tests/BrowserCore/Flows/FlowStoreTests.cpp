#include "BrowserCore/Flows/FlowFileName.h"
#include "BrowserCore/Flows/FlowStore.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <clocale>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesk;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

Flow named(std::string name, std::size_t steps = 1) {
    return Flow{std::move(name), std::vector<FlowStep>(steps, FlowStep{.action = FlowStep::Action::reload})};
}

class FlowStoreTest : public testing::Test {
protected:
    fs::path root = [] {
        gchar* made = g_dir_make_tmp("vesk-flows-XXXXXX", nullptr);
        fs::path path = made;
        g_free(made);
        return path;
    }();
    fs::path flows = root / "Flows";

    void SetUp() override { fs::create_directories(flows); }
    void TearDown() override { fs::remove_all(root); }

    void put(const std::string& file, const std::string& bytes) const { std::ofstream(flows / file) << bytes; }
    Flow read(const std::string& file) const {
        std::ifstream in(flows / file);
        return Flow::decoded(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    static std::string repeated(const std::string& piece, std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) text += piece;
        return text;
    }
    static Names names(const FlowStore& store) {
        Names out;
        for (const auto& flow : store.flows()) out.push_back(flow.name);
        return out;
    }
};

} // namespace

TEST(FlowFileName, KeepsLettersAndNumbersOfEveryScriptAndJoinsTheRest) {
    for (const auto& [name, file] : std::vector<std::pair<std::string, std::string>>{
             {"Log in, then buy!", "log-in-then-buy.json"},
             {"Über Cafe\u0301 2", "über-café-2.json"},  // composed first
             {"Вход / 登录 ٣", "вход-登录-٣.json"},
             {"नमस्ते दुनिया", "नमस्ते-दुनिया.json"},  // vowel signs stay with their letters
             {"../../etc/passwd", "etc-passwd.json"},
             {"?!…", "flow.json"},
         }) {
        EXPECT_EQ(flowFileName(name), file) << name;
    }
    // Cut between characters within 255 bytes, a mark kept with its letter.
    std::string marked;
    for (int i = 0; i < 200; ++i) marked += "e\u0301\u0323";  // no composed form holds both marks
    for (const std::string& name : {std::string(300, 'a'), std::string(246, 'a') + "-" + std::string(9, 'b'), marked}) {
        std::string file = flowFileName(name);
        EXPECT_LE(file.size(), 255u);
        EXPECT_TRUE(file.ends_with(".json"));
        EXPECT_NE(file, flowFileName(name + "!x")) << "long names that begin alike keep files of their own";
        EXPECT_EQ(file.find("--"), std::string::npos) << file;
        EXPECT_TRUE(g_utf8_validate(file.data(), static_cast<gssize>(file.size()), nullptr));
    }
    const std::string cutMarked = flowFileName(marked);
    EXPECT_EQ(cutMarked.substr(cutMarked.size() - 16, 3), "\u0301-") << "the last letter keeps both its marks";
    EXPECT_EQ(flowFileName(std::string(250, 'a')), std::string(250, 'a') + ".json");
}

TEST_F(FlowStoreTest, ListsTheFlowsOfAMixedFolderAndDeletesTheFileEachCameFrom) {
    put("a.json", named("b").encoded());
    put("b.json", named("B!", 2).encoded());
    put("notes.txt", named("text").encoded());
    put("upper.JSON", named("upper").encoded());
    put("broken.json", "{not json");
    FlowStore store(flows, root);
    EXPECT_EQ(names(store), (Names{"b", "B!"}));
    EXPECT_FALSE(store.flowNamed("B"));

    store.remove(*store.flowNamed("b"));
    EXPECT_FALSE(fs::exists(flows / "a.json"));
    EXPECT_EQ(names(store), (Names{"B!"}));
    // Removed behind the store's back: the delete fails and changes nothing.
    fs::remove(flows / "b.json");
    EXPECT_THROW(store.remove(named("B!", 2)), FlowStoreError);
    EXPECT_EQ(names(store), (Names{"B!"}));
}

// What would hang the start (a pipe, a device), crash it (nesting that
// overflows the stack) or fill the memory is not a flow; what an interrupted
// save left goes, unless another process is writing it now.
TEST_F(FlowStoreTest, FilesThatCouldHangOrCrashTheStartAreNotFlowsAndLeftoversGo) {
    put("good.json", named("good").encoded());
    ASSERT_EQ(mkfifo((flows / "pipe.json").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", flows / "zero.json");
    put("huge.json", named("huge").encoded());
    fs::resize_file(flows / "huge.json", 3ull << 30);  // sparse: no disk is used
    put("deep.json", std::string(200000, '[') + std::string(200000, ']'));
    put(".vesk-save-a1B2c3", "{");
    put(".vesk-save-Busy99", "{");
    put(".flow-backup", "{");  // the person's own
    int busy = ::open((flows / ".vesk-save-Busy99").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(busy, LOCK_EX), 0);

    FlowStore store(flows, root);
    EXPECT_EQ(names(store), (Names{"good"}));
    EXPECT_FALSE(fs::exists(flows / ".vesk-save-a1B2c3"));
    EXPECT_TRUE(fs::exists(flows / ".vesk-save-Busy99")) << "a save under way keeps its file";
    EXPECT_TRUE(fs::exists(flows / ".flow-backup"));
    ::close(busy);
    EXPECT_THROW(store.save(named("pipe")), FlowStoreError);
    EXPECT_TRUE(fs::is_fifo(flows / "pipe.json"));
    EXPECT_EQ(fs::file_size(flows / "huge.json"), 3ull << 30);
}

TEST_F(FlowStoreTest, SortsLikeAPersonUnderTheCLocale) {
    std::setlocale(LC_ALL, "C");
    FlowStore store(flows, root);
    for (const char* name : {"flow 10", "Flow 2", "alpha", "Zeta", "Étoile", "flow 2 b"}) store.save(named(name));
    EXPECT_EQ(names(store), (Names{"alpha", "Étoile", "Flow 2", "flow 2 b", "flow 10", "Zeta"}));
}

TEST_F(FlowStoreTest, SavesNeverOverAFileThatIsNotAFlowAndTellsOfAReplacedName) {
    FlowStore store(flows, root);
    put("checkout.json", named("CHECKOUT!").encoded());
    EXPECT_EQ(store.save(named("Checkout", 3)).replacedName, "CHECKOUT!");
    // A flow the person closed to others stays closed.
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(flows / "checkout.json", ownerOnly);
    EXPECT_FALSE(store.save(named("Checkout")).replacedName);
    EXPECT_EQ(fs::status(flows / "checkout.json").permissions(), ownerOnly);

    put("checkout.json", "plain text");
    try {
        store.save(named("checkout"));
        ADD_FAILURE() << "saved over a file that is not a flow";
    } catch (const FlowStoreError& error) {
        EXPECT_TRUE(std::string(error.what()).starts_with("checkout.json already exists")) << error.what();
    }
    EXPECT_EQ(fs::file_size(flows / "checkout.json"), 10u);
    // Names longer than a file name may be are cut, and each saves.
    for (const std::string& name : {std::string(251, 'a'), repeated("é", 200), repeated("語", 150)}) {
        EXPECT_NO_THROW(store.save(named(name))) << name;
        EXPECT_EQ(store.flowNamed(name)->name, name);
    }
}

TEST_F(FlowStoreTest, SavesARepairAsACopyInTheDefaultFolderAndInPlaceInAChosenOne) {
    FlowStore standard(flows, flows / "." / "");
    standard.save(named("Login"));
    auto copy = standard.saveRepaired(named("Login", 2));
    EXPECT_TRUE(copy.copy);
    EXPECT_EQ(read("login-repaired.json").name, "Login (repaired)");
    EXPECT_EQ(standard.flowNamed("Login")->steps.size(), 1u);
    const std::string longName(251, 'a');
    standard.save(named(longName));
    EXPECT_FALSE(standard.saveRepaired(named(longName, 2)).replacedName) << "the copy has a file of its own";
    EXPECT_EQ(standard.flowNamed(longName)->steps.size(), 1u);

    put("mine.json", named("Signup").encoded());
    FlowStore chosen(flows, root);
    auto replaced = chosen.saveRepaired(named("Signup", 4));
    EXPECT_FALSE(replaced.copy);
    EXPECT_EQ(read("mine.json").steps.size(), 4u);
    EXPECT_FALSE(fs::exists(flows / "signup.json"));
}

TEST_F(FlowStoreTest, RemembersTheChosenFolderUntilItVanishes) {
    UserDefaults defaults(root / "config");
    FlowStore(defaults).useDirectory(flows / "");
    put("x.json", named("x").encoded());
    FlowStore again(defaults);
    EXPECT_EQ(again.directory(), flows);
    EXPECT_EQ(names(again), (Names{"x"}));

    fs::remove_all(flows);
    FlowStore fallen(defaults);
    EXPECT_EQ(fallen.directory(), FlowStore::standardDirectory());
    fallen.useDirectory(root / "missing");
    EXPECT_TRUE(fallen.flows().empty());
}

// One reload reads at most so much of the folder, smallest files first: the
// ordinary flows are always listed, and the large files past the bound are
// named with the reason.
TEST_F(FlowStoreTest, ReadsTheSmallestFilesFirstUpToWhatOneReloadReads) {
    put("a.json", named("a").encoded());
    put("zz.json", named("zz", 2).encoded());
    const std::size_t files = FlowStore::largestFolderRead / FlowStore::largestFlowFile + 1;
    auto fileName = [](std::size_t i) { return "big-" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".json"; };
    for (std::size_t i = 0; i < files; ++i) {
        // Just under the most a flow file may hold: one step with a long value.
        std::string file = fileName(i);
        Flow big{"big " + std::to_string(i), {{.action = FlowStep::Action::waitForText, .value = std::string()}}};
        std::string bytes = big.encoded();
        big.steps[0].value = std::string(FlowStore::largestFlowFile - 1024 - bytes.size(), 'x');
        put(file, big.encoded());
    }
    FlowStore store(flows, root);
    ASSERT_EQ(store.skipped().size(), 1u);
    EXPECT_EQ(store.skipped()[0].file.filename(), fileName(files - 1));
    EXPECT_EQ(store.skipped()[0].reason, "with it, the files read from the folder would pass 32 MiB");
    std::size_t read = 0;
    for (const auto& flow : store.flows()) read += flow.fileSize();
    EXPECT_LE(read, FlowStore::largestFolderRead);
    EXPECT_EQ(store.flows().size(), files + 1);
    EXPECT_EQ(store.flowNamed("zz")->steps.size(), 2u) << "a small flow named last is read";
    EXPECT_EQ(store.flowNamed("big 0")->steps.size(), 1u);
}
