#include "BrowserCore/Records/PageRecords.h"

#include <gtest/gtest.h>

using namespace vesk;
using nlohmann::json;

namespace {

PageElement element(std::string ref, std::string role = "button", std::string name = "Go") {
    PageElement e;
    e.ref = std::move(ref);
    e.role = std::move(role);
    e.name = std::move(name);
    e.tag = "button";
    return e;
}

PageSnapshot snapshot(std::vector<PageElement> elements, std::string text = "page text") {
    PageSnapshot s;
    s.url = "http://127.0.0.1/";
    s.title = "Title";
    s.elements = std::move(elements);
    s.text = std::move(text);
    return s;
}

std::vector<std::string> refs(const std::vector<PageElement>& elements) {
    std::vector<std::string> out;
    for (const auto& e : elements) out.push_back(e.ref);
    return out;
}

// "café" with a precomposed é, and with e followed by a combining acute accent.
const std::string composed = "caf\xC3\xA9";
const std::string decomposed = "cafe\xCC\x81";

json scanReply() {
    return json::parse(R"({
        "url": "http://127.0.0.1/", "title": "T",
        "elements": [{"ref": "e1", "role": "link", "name": "Home", "tag": "a", "href": "/"}],
        "onScreen": ["e1", "e1"], "text": "Home",
        "mainText": null, "lastRef": 1, "frame": "f1", "loadedFrom": "http://127.0.0.1/"
    })");
}

} // namespace

TEST(SnapshotDiff, ReportsAddedRemovedAndChangedInTheirSnapshotsOrder) {
    auto earlier = snapshot({element("e1"), element("e2"), element("e3"), element("e4")});
    auto changedRole = element("e3", "link");
    auto later = snapshot({element("e5"), changedRole, element("e1"), element("e6")});

    auto diff = later.diff(earlier);
    EXPECT_EQ(refs(diff.added), (std::vector<std::string>{"e5", "e6"}));
    EXPECT_EQ(diff.removed, (std::vector<std::string>{"e2", "e4"}));
    ASSERT_EQ(diff.changed.size(), 1u);
    EXPECT_EQ(diff.changed[0], changedRole);  // the later state
    EXPECT_FALSE(diff.textChanged);
    EXPECT_FALSE(diff.isEmpty());
}

TEST(SnapshotDiff, EqualAndReorderedSnapshotsGiveAnEmptyDiff) {
    auto s = snapshot({element("e1"), element("e2", "link"), element("e3")});
    EXPECT_TRUE(s.diff(s).isEmpty());
    EXPECT_EQ(s.diff(s), SnapshotDiff{});

    auto reordered = snapshot({element("e3"), element("e1"), element("e2", "link")});
    EXPECT_TRUE(reordered.diff(s).isEmpty());
}

TEST(SnapshotDiff, AbsentFalseAndTrueAreThreeStates) {
    auto absent = element("e1");
    auto unchecked = absent;
    unchecked.checked = false;
    auto checked = absent;
    checked.checked = true;

    auto diff = snapshot({unchecked}).diff(snapshot({absent}));
    ASSERT_EQ(diff.changed.size(), 1u);
    EXPECT_EQ(diff.changed[0].checked, std::optional<bool>(false));
    EXPECT_EQ(snapshot({checked}).diff(snapshot({unchecked})).changed.size(), 1u);
    EXPECT_EQ(snapshot({absent}).diff(snapshot({checked})).changed.size(), 1u);
}

TEST(SnapshotDiff, EveryElementFieldCountsAndOnlyTheTextOfTheSnapshot) {
    auto base = element("e1");
    std::vector<std::function<void(PageElement&)>> edits = {
        [](PageElement& e) { e.name = "Stop"; },        [](PageElement& e) { e.tag = "a"; },
        [](PageElement& e) { e.context = "form"; },     [](PageElement& e) { e.frame = "f2"; },
        [](PageElement& e) { e.value = "x"; },          [](PageElement& e) { e.disabled = false; },
        [](PageElement& e) { e.href = "/"; },           [](PageElement& e) { e.type = "submit"; },
        [](PageElement& e) { e.required = true; },      [](PageElement& e) { e.options = "a, b"; },
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        auto edited = base;
        edits[i](edited);
        EXPECT_EQ(snapshot({edited}).diff(snapshot({base})).changed.size(), 1u) << "edit " << i;
    }

    auto earlier = snapshot({base}, "same");
    auto later = earlier;
    later.mainText = "other main text";
    later.url = "http://127.0.0.1/other";
    later.onScreen = {"e1"};
    later.httpStatus = 404;
    EXPECT_TRUE(later.diff(earlier).isEmpty());
    later.text = "different";
    EXPECT_TRUE(later.diff(earlier).textChanged);
}

TEST(SnapshotDiff, CanonicallyEquivalentTextsAreEqual) {
    auto earlier = snapshot({element("e1", "button", composed)}, "Welcome to the " + composed);
    auto later = snapshot({element("e1", "button", decomposed)}, "Welcome to the " + decomposed);
    EXPECT_TRUE(later.diff(earlier).isEmpty());
    EXPECT_EQ(earlier, later);
    EXPECT_FALSE(snapshot({}, "cafe").diff(snapshot({}, composed)).isEmpty());
}

TEST(SnapshotDiff, ARefHandedOutTwiceKeepsItsFirstElement) {
    auto earlier = snapshot({element("e1"), element("e1", "link"), element("e2")});
    auto later = snapshot({element("e1"), element("e3"), element("e3")});
    auto diff = later.diff(earlier);
    EXPECT_TRUE(diff.changed.empty());
    EXPECT_EQ(refs(diff.added), (std::vector<std::string>{"e3"}));
    EXPECT_EQ(diff.removed, (std::vector<std::string>{"e2"}));
}

TEST(PageSnapshot, ElementFindsTheFirstWithTheRef) {
    EXPECT_FALSE(snapshot({}).element("e1"));
    auto s = snapshot({element("e1"), element("e2", "link"), element("e2", "checkbox")});
    ASSERT_TRUE(s.element("e2"));
    EXPECT_EQ(s.element("e2")->role, "link");
    EXPECT_FALSE(s.element("e9"));
}

TEST(RecordCoding, ScanReplyDecodesIgnoringItsOwnKeys) {
    auto s = scanReply().get<PageSnapshot>();
    EXPECT_EQ(s.url, "http://127.0.0.1/");
    ASSERT_EQ(s.elements.size(), 1u);
    EXPECT_EQ(s.elements[0].href, std::optional<std::string>("/"));
    EXPECT_FALSE(s.elements[0].checked);
    EXPECT_EQ(s.onScreen, (std::set<std::string>{"e1"}));
    EXPECT_FALSE(s.mainText);
    EXPECT_TRUE(s.downloads.empty());
    EXPECT_TRUE(s.unansweredFrames.empty());
}

TEST(RecordCoding, MissingOrMistypedKeysFailWithTheirPath) {
    auto expectFailure = [](json reply, const std::string& path) {
        try {
            (void)reply.get<PageSnapshot>();
            ADD_FAILURE() << "decoded without " << path;
        } catch (const RecordDecodingError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    };
    auto reply = scanReply();
    reply.erase("onScreen");
    expectFailure(reply, "onScreen");

    reply = scanReply();
    reply["elements"].push_back({{"ref", "e2"}, {"role", "checkbox"}, {"name", "A"}, {"tag", "input"}, {"checked", "yes"}});
    expectFailure(reply, "elements[1].checked");

    reply = scanReply();
    reply["onScreen"] = json::array({"e1", 2});
    expectFailure(reply, "onScreen[1]");

    reply = scanReply();
    reply["httpStatus"] = 404.5;
    expectFailure(reply, "httpStatus");

    reply = scanReply();
    reply["cover"] = {{"name", "Cookies"}};
    expectFailure(reply, "cover.refs");

    expectFailure(json::array(), "not an object");
}

TEST(RecordCoding, IntegersMayBeWrittenAsIntegralNumbers) {
    auto reply = scanReply();
    reply["httpStatus"] = 404.0;
    EXPECT_EQ(reply.get<PageSnapshot>().httpStatus, std::optional<int>(404));
}

TEST(RecordCoding, AFailedDecodingLeavesTheTargetUntouched) {
    auto kept = snapshot({element("e1")});
    auto target = kept;
    auto reply = scanReply();
    reply["text"] = 3;
    EXPECT_THROW(from_json(reply, target), RecordDecodingError);
    EXPECT_EQ(target, kept);
}

TEST(RecordCoding, EncodingLeavesOutAbsentFieldsAndUncodedOnes) {
    auto bare = nlohmann::ordered_json(element("e1"));
    std::vector<std::string> keys;
    for (auto& [key, value] : bare.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"ref", "role", "name", "tag"}));

    auto s = snapshot({element("e1")});
    s.onScreen = {"e1"};
    s.downloads.push_back({"a.pdf", "/tmp/a.pdf", 3, std::nullopt});
    s.unansweredFrames.push_back("f2");
    s.cover = PageCover{"Cookies", {"e1"}};
    auto encoded = json(s);
    EXPECT_FALSE(encoded.contains("downloads"));
    EXPECT_FALSE(encoded.contains("unansweredFrames"));
    EXPECT_FALSE(encoded.contains("mainText"));
    EXPECT_EQ(encoded.dump().find("null"), std::string::npos);

    auto decoded = encoded.get<PageSnapshot>();
    s.downloads.clear();
    s.unansweredFrames.clear();
    EXPECT_EQ(decoded, s);
}

TEST(RecordCoding, DialogKindsAreTheirFiveTexts) {
    DialogRecord record{DialogRecord::Kind::fileInput, "Choose a file"};
    auto encoded = json(record);
    EXPECT_EQ(encoded["kind"], "fileInput");
    EXPECT_EQ(encoded.get<DialogRecord>(), record);
    EXPECT_THROW((void)json({{"kind", "dialog"}, {"message", "m"}}).get<DialogRecord>(), RecordDecodingError);
    EXPECT_THROW((void)json({{"kind", "Alert"}, {"message", "m"}}).get<DialogRecord>(), RecordDecodingError);
}

TEST(RecordCoding, ActionResultWritesAndNeedsAllElevenKeys) {
    ActionResult result;
    result.url = "http://127.0.0.1/next";
    result.title = "Next";
    result.navigated = true;
    result.changes.added.push_back(element("e7"));
    result.changes.removed.push_back("e1");
    result.dialogs.push_back({DialogRecord::Kind::popup, "w1"});
    result.consoleErrors = 2;
    result.failedRequests.push_back({"GET", "http://127.0.0.1/x", std::nullopt, "aborted", 12, "main"});
    result.failedRequests.push_back({"POST", "http://127.0.0.1/y", 500, std::nullopt, 3, std::nullopt});
    result.window = "main";

    auto encoded = nlohmann::ordered_json(result);
    EXPECT_EQ(encoded.size(), 11u);
    EXPECT_FALSE(encoded["failedRequests"][0].contains("status"));
    EXPECT_FALSE(encoded["failedRequests"][1].contains("window"));
    EXPECT_EQ(encoded.get<ActionResult>(), result);

    for (auto& [key, value] : encoded.items()) {
        auto without = encoded;
        without.erase(key);
        EXPECT_THROW((void)without.get<ActionResult>(), RecordDecodingError) << key;
    }
    auto broken = encoded;
    broken["failedRequests"][1]["milliseconds"] = "3";
    try {
        (void)broken.get<ActionResult>();
        ADD_FAILURE();
    } catch (const RecordDecodingError& error) {
        EXPECT_STREQ(error.what(), "failedRequests[1].milliseconds is not an integer");
    }
}

TEST(NetworkRequest, FailsWithoutAStatusOrFrom400) {
    NetworkRequest r{"GET", "u", 399, std::nullopt, 1, std::nullopt};
    EXPECT_FALSE(r.failed());
    r.status = 400;
    EXPECT_TRUE(r.failed());
    r.status.reset();
    r.error = "aborted";
    EXPECT_TRUE(r.failed());
    auto decoded = json::parse(R"({"method":"GET","url":"u","status":null,"error":"aborted","milliseconds":1})")
                       .get<NetworkRequest>();
    EXPECT_EQ(decoded, r);
}
