#include "BrowserCore/Secrets/Redaction.h"
#include "Platform/Text.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace vesk;

namespace {

using Table = std::map<std::string, std::map<std::string, std::string>>;
using TOTPKeys = std::map<std::string, std::map<std::string, TOTP>>;

std::chrono::system_clock::time_point at(double seconds) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(seconds)));
}

// The RFC 6238 key: 287082 at 59 s, and its codes at 1111111109 s (081804)
// and 1111111111 s (050471), one step apart.
TOTP rfcKey() { return *TOTP::parse("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"); }

std::string hide(const Table& table, std::string_view text, const TOTPKeys& keys = {},
                 std::chrono::system_clock::time_point now = at(1111111111)) {
    return redactText(text, 200000, secretsRedaction(table), oneTimeCodeRedaction(keys, now));
}

} // namespace

TEST(Redaction, WithoutValuesOnlyCutsTheText) {
    EXPECT_FALSE(secretsRedaction({}));
    EXPECT_FALSE(secretsRedaction({{"example.com", {{"EMPTY", ""}}}}));
    std::string text;
    for (int i = 0; i < 200003; ++i) text += "é";
    std::string kept = hide({}, text);
    EXPECT_EQ(text::characterCount(kept), 200000u);
    EXPECT_EQ(hide({{"example.com", {{"EMPTY", ""}}}}, "nothing to hide"), "nothing to hide");
}

TEST(Redaction, HidesAValueInAnyLetterCaseOnEverySite) {
    Table table{{"mail.example.com", {{"USER", "alice@example.com"}}}, {"other.org", {{"PIN", "Tiger-Lily"}}}};
    EXPECT_EQ(hide(table, "Hello ALICE@Example.com!"), "Hello ${USER}!");
    EXPECT_EQ(hide(table, "pin: tiger-lily."), "pin: ${PIN}.");
    // Signs that mean something to a pattern stand for themselves.
    Table signs{{"s", {{"ODD", "a.b*c(d)[e]$"}}}};
    EXPECT_EQ(hide(signs, "x a.b*c(d)[e]$ y"), "x ${ODD} y");
    EXPECT_EQ(hide(signs, "aXbbc(d)[e]$"), "aXbbc(d)[e]$");
}

TEST(Redaction, HidesPercentAndFormEncodings) {
    Table table{{"s", {{"PW", "p@ss word&it's(1)~"}}}};
    // Unreserved characters kept (RFC 3986).
    EXPECT_EQ(hide(table, "/login?pw=p%40ss%20word%26it%27s%281%29~&next=1"), "/login?pw=${PW}&next=1");
    // encodeURIComponent keeps ! * ' ( ).
    EXPECT_EQ(hide(table, "?pw=p%40ss%20word%26it's(1)~"), "?pw=${PW}");
    // Form bodies: "*" kept, "~" encoded, spaces as %20 or "+".
    EXPECT_EQ(hide(table, "pw=p%40ss%20word%26it%27s%281%29%7E"), "pw=${PW}");
    EXPECT_EQ(hide(table, "pw=p%40ss+word%26it%27s%281%29%7E"), "pw=${PW}");
    Table accented{{"s", {{"CITY", "Zürich"}}}};
    EXPECT_EQ(hide(accented, "?city=Z%C3%BCrich"), "?city=${CITY}");
}

TEST(Redaction, HidesAValueEscapedAsJSONOrHTMLShowIt) {
    Table table{{"s", {{"quoty.password", R"(Qu"ot\ed-Secret-77)"}, {"CITY", "Zürich\t1"}}}};
    EXPECT_EQ(hide(table, R"({"password":"Qu\"ot\\ed-Secret-77"})"), R"({"password":"${quoty.password}"})");
    // A JSON text inside a JSON string, as a script's result shows it.
    EXPECT_EQ(hide(table, R"("{\"p\":\"Qu\\\"ot\\\\ed-Secret-77\"}")"), R"("{\"p\":\"${quoty.password}\"}")");
    EXPECT_EQ(hide(table, R"(["Z\u00FCrich\t1", "Zürich\t1"])"), R"(["${CITY}", "${CITY}"])");
    EXPECT_EQ(hide(table, "did not take \"Qu\\\"ot\\\\ed-S\u2026\""), "did not take \"${quoty.password}\u2026\"");
    Table signs{{"s", {{"PW", "a/b&c<d>\"e"}}}};
    EXPECT_EQ(hide(signs, R"({"pw":"a\/b&c<d>\"e"})"), R"({"pw":"${PW}"})");
    // As HTML source shows it, in text and in attributes.
    EXPECT_EQ(hide(signs, R"(<p>a/b&amp;c&lt;d&gt;"e</p><i title="a/b&amp;c<d>&quot;e">)"),
              R"(<p>${PW}</p><i title="${PW}">)");
    // A numeric reference is read up to 16 digits, leading zeros included, and no further.
    EXPECT_EQ(hide(signs, "a/b&#0000000000000038;c<d>\"e"), "${PW}");
    EXPECT_EQ(hide(signs, "a/b&#x0000000000000026c<d>\"e"), "${PW}");
    EXPECT_EQ(hide(signs, "a/b&#00000000000000038;c<d>\"e"), "a/b&#00000000000000038;c<d>\"e");
}

TEST(Redaction, HidesAValueWhateverWhiteSpaceShowsItsSpaces) {
    Table table{{"s", {{"ADDRESS", "  1 Main   Street\n\tSpringfield "}}}};
    EXPECT_EQ(hide(table, "Ship to 1 Main Street Springfield today"), "Ship to ${ADDRESS} today");
    // Any white space, or a run of it, however written, for a space; the
    // white space around the value stays.
    Table single{{"s", {{"NAME", "Ann Lee"}}}};
    for (const char* shown : {"Ann\nLee", "Ann\u00A0Lee", "Ann&nbsp;Lee", "Ann&#160;Lee", "Ann%C2%A0Lee", "Ann\u202FLee",
                              "Ann\u2009Lee", "Ann\u3000Lee", "Ann&ThinSpace;Lee", "Ann&nbsp; \n\tLee"}) {
        EXPECT_EQ(hide(single, std::string("to\u00A0") + shown + " now"), "to\u00A0${NAME} now") << shown;
    }
    Table noBreak{{"s", {{"NAME", "Ann\u00A0Lee"}}}};
    EXPECT_EQ(hide(noBreak, "[Ann Lee]"), "[${NAME}]");
}

TEST(Redaction, HidesAValueWithInvisibleCharactersBetweenItsLettersAndInEitherCanonicalForm) {
    Table table{{"s", {{"PW", "Passwort-Z\u00FCrich"}}}};
    for (const char* shown : {"Pass\u00ADwort-Z\u00FCrich", "Pass&shy;wort-Z\u200B\u00FCrich", "P\u2060a\u200Cs\u200Dswort-Z\u00FCrich",
                              "Pass%C2%ADwort-Z\u00FCrich", "Passwort-Zu\u0308rich", "PASSWORT-ZU\u0308RICH",
                              "Passwort-Zu%CC%88rich", "Passwort-Zu&#776;rich"}) {
        EXPECT_EQ(hide(table, std::string("(") + shown + ")"), "(${PW})") << shown;
    }
    // The invisible characters around a value are not part of it, nor is
    // another letter or mark.
    EXPECT_EQ(hide(table, "\u200BPasswort-Z\u00FCrich\u00AD."), "\u200B${PW}\u00AD.");
    EXPECT_EQ(hide(table, "Passwort-Zurich Passwort-Zu\u0301rich"), "Passwort-Zurich Passwort-Zu\u0301rich");
    Table decomposed{{"s", {{"CITY", "Zu\u0308rich"}}}};
    EXPECT_EQ(hide(decomposed, "in Z\u00FCrich, Z%C3%BCrich"), "in ${CITY}, ${CITY}");
    // A value that holds an invisible character and a mark: as written, and
    // composed without it.
    Table holds{{"s", {{"TAG", "Ma\u200Dri\u0301a-5"}}}};
    EXPECT_EQ(hide(holds, "Ma\u200Dri\u0301a-5 Mar\u00EDa-5"), "${TAG} ${TAG}");
}

TEST(Redaction, HidesAValueCutOffByAnEllipsis) {
    Table table{{"s", {{"TOKEN", "sk-live-1234567890"}}}};
    EXPECT_EQ(hide(table, "key sk-l\u2026 shown"), "key ${TOKEN}\u2026 shown");
    EXPECT_EQ(hide(table, "key SK-LIVE-12\u2026"), "key ${TOKEN}\u2026");
    // Fewer than 4 characters, or no ellipsis right after, shows nothing.
    EXPECT_EQ(hide(table, "sk-\u2026 sk-live-12 \u2026"), "sk-\u2026 sk-live-12 \u2026");
    // The whole value followed by an ellipsis is the value itself.
    EXPECT_EQ(hide(table, "sk-live-1234567890\u2026"), "${TOKEN}\u2026");

    // At most 199 characters of a long value are taken before an ellipsis.
    std::string longValue(300, 'q');
    Table big{{"s", {{"BIG", longValue}}}};
    EXPECT_EQ(hide(big, std::string(250, 'q') + "\u2026"), std::string(51, 'q') + "${BIG}\u2026");

    // A value of any length gives a pattern that compiles, and each cut
    // length from 4 to 199 characters is taken whole.
    std::string alphabet;
    for (int i = 0; i < 400; ++i) alphabet += static_cast<char>('a' + i % 26) + std::string(i % 7 == 0 ? "." : "");
    Table longest{{"s", {{"LONGEST", alphabet}}}};
    ASSERT_TRUE(secretsRedaction(longest));
    for (std::size_t cut : {4u, 5u, 16u, 17u, 20u, 21u, 36u, 37u, 100u, 198u, 199u}) {
        std::string shown = alphabet.substr(0, cut);
        EXPECT_EQ(hide(longest, "[" + shown + "\u2026]"), "[${LONGEST}\u2026]") << cut;
    }
    std::string xs = "abcd" + std::string(396, 'x');
    Table xTable{{"s", {{"XS", xs}}}};
    EXPECT_EQ(hide(xTable, xs.substr(0, 199) + "\u2026"), "${XS}\u2026");
    EXPECT_EQ(hide(xTable, xs.substr(0, 200) + "\u2026"), xs.substr(0, 200) + "\u2026");

}

TEST(Redaction, HidesAShortValueOnlyWhereItStandsAlone) {
    Table table{{"s", {{"PIN", "731"}, {"TWO", "a b"}}}};
    EXPECT_EQ(hide(table, "x7310 pin731"), "x7310 pin731");
    EXPECT_EQ(hide(table, "pin 731, (731)"), "pin ${PIN}, (${PIN})");
    // An encoding of four characters or more is hidden anywhere.
    EXPECT_EQ(hide(table, "q=xa%20bx"), "q=x${TWO}x");
    EXPECT_EQ(hide(table, "xa+bx and a+b"), "xa+bx and ${TWO}");
}

TEST(Redaction, PrefersLongerValuesAndTheNameThatSortsLast) {
    Table table{{"a.com", {{"SHORT", "secret"}, {"ALPHA", "same-value"}}},
                {"b.com", {{"LONG", "secret-123"}, {"BETA", "same-value"}}}};
    EXPECT_EQ(hide(table, "secret-123 then secret"), "${LONG} then ${SHORT}");
    EXPECT_EQ(hide(table, "same-value"), "${BETA}");
    auto redaction = secretsRedaction(table);
    ASSERT_TRUE(redaction);
    EXPECT_EQ(redaction->names, (std::vector<std::string>{"LONG", "BETA", "ALPHA", "SHORT"}));
}

TEST(Redaction, HidesTheCurrentAndPreviousCodeStandingAloneFirst) {
    TOTPKeys keys{{"bank.com", {{"BANK", rfcKey()}}}};
    // At 1111111111 s the current code is 050471 and the previous 081804.
    EXPECT_EQ(hide({}, "code 050471 or 081804.", keys), "code ${BANK.otp} or ${BANK.otp}.");
    EXPECT_EQ(hide({}, "order 1050471 and 081804x", keys), "order 1050471 and 081804x");
    // Two steps back is no longer hidden.
    EXPECT_EQ(hide({}, "old 081804", keys, at(1111111111 + 60)), "old 081804");

    // Codes go first, and a value never matches across one.
    Table table{{"bank.com", {{"PHRASE", "code 050471"}, {"WORD", "code"}}}};
    EXPECT_EQ(hide(table, "code 050471", keys), "${WORD} ${BANK.otp}");
    EXPECT_EQ(hide(table, "no code here", keys), "no ${WORD} here");
}

TEST(Redaction, NamesEachCodeAfterItsCredential) {
    auto other = *TOTP::parse("JBSWY3DPEHPK3PXP");
    TOTPKeys keys{{"a.com", {{"ZED", rfcKey()}}}, {"b.com", {{"ALPHA", other}}}};
    auto codes = oneTimeCodeRedaction(keys, at(59));
    ASSERT_TRUE(codes);
    EXPECT_EQ(codes->names, (std::vector<std::string>{"ALPHA.otp", "ALPHA.otp", "ZED.otp", "ZED.otp"}));
    EXPECT_EQ(hide({}, "287082", keys, at(59)), "${ZED.otp}");
    EXPECT_FALSE(oneTimeCodeRedaction({}, at(59)));
}

TEST(Redaction, WithholdsATextItCannotCheck) {
    const std::string withheld(redactionFailureNotice);
    Table table{{"example.com", {{"TOKEN", "s3cr3t-token"}}}};
    // A pattern that does not compile withholds every text, codes included.
    Redaction broken = Redaction::compile("(unclosed", {"X"}, 0);
    EXPECT_FALSE(broken.pattern);
    EXPECT_EQ(redactText("s3cr3t-token and more", 200000, broken, std::nullopt), withheld);
    EXPECT_EQ(redactText("287082", 200000, secretsRedaction(table), broken), withheld);

    // A search that runs out of time part-way gives out none of the text,
    // not even what it had already checked.
    Redaction slow = Redaction::compile("((?:a+)+b)", {"X"}, 0);
    slow.timeLimit = 1;
    std::string text = "ab " + std::string(40, 'a') + "c";
    EXPECT_EQ(redactText(text, 200000, slow, std::nullopt), withheld);
    // Between codes, a failed secret pass withholds the whole text too.
    auto codes = oneTimeCodeRedaction({{"bank.com", {{"BANK", rfcKey()}}}}, at(59));
    EXPECT_EQ(redactText("287082 " + text, 200000, slow, codes), withheld);
    EXPECT_EQ(redactText("287082 s3cr3t-token", 200000, secretsRedaction(table), codes), "${BANK.otp} ${TOKEN}");

    // A search for stored values that has done all the work it may gives
    // out nothing either.
    auto bounded = secretsRedaction(table);
    bounded->stepsPerCharacter = 0;
    EXPECT_EQ(redactText("the s3cr3t-token", 200000, bounded, std::nullopt), withheld);
}

namespace {

// One way of writing a character; none where the character has no such form.
using Escape = std::function<std::optional<std::string>(char32_t)>;

std::string utf8Of(char32_t c) {
    icu::UnicodeString text(static_cast<UChar32>(c));
    return utf8(text);
}

std::string hex(unsigned value, int width, bool upper = true) {
    char out[16];
    std::snprintf(out, sizeof out, upper ? "%0*X" : "%0*x", width, value);
    return out;
}

std::string eachByte(char32_t c, const std::string& before, bool upper = true) {
    std::string out;
    for (unsigned char byte : utf8Of(c)) out += before + hex(byte, 2, upper);
    return out;
}

std::optional<std::string> entityNamed(char32_t c) {
    static const std::map<char32_t, std::string> names{{'&', "amp"}, {'"', "quot"},    {'<', "lt"},  {'/', "sol"},
                                                       {'%', "percnt"}, {'*', "ast"}, {'+', "plus"}, {U'é', "eacute"},
                                                       {U'\u00A0', "nbsp"}};
    auto found = names.find(c);
    return found == names.end() ? std::nullopt : std::optional("&" + found->second + ";");
}

const std::vector<std::pair<std::string, Escape>>& escapes() {
    static const std::vector<std::pair<std::string, Escape>> all{
        {"%XX of UTF-8", [](char32_t c) { return eachByte(c, "%"); }},
        {"%xx of UTF-8", [](char32_t c) { return eachByte(c, "%", false); }},
        {"%XX of Latin-1", [](char32_t c) { return c < 0x100 ? std::optional("%" + hex(c, 2)) : std::nullopt; }},
        {"%uXXXX", [](char32_t c) { return "%u" + hex(c, 4); }},
        {"+", [](char32_t c) { return c == ' ' ? std::optional<std::string>("+") : std::nullopt; }},
        {"\\uXXXX", [](char32_t c) { return "\\u" + hex(c, 4); }},
        {"\\uxxxx", [](char32_t c) { return "\\u" + hex(c, 4, false); }},
        {"\\xXX", [](char32_t c) { return c < 0x100 ? std::optional("\\x" + hex(c, 2)) : std::nullopt; }},
        {"\\xXX of UTF-8", [](char32_t c) { return eachByte(c, "\\x", false); }},
        {"\\", [](char32_t c) { return "\\" + utf8Of(c); }},
        {"&#D;", [](char32_t c) { return "&#" + std::to_string(c) + ";"; }},
        {"&#00D", [](char32_t c) { return "&#00" + std::to_string(c); }},
        {"&#xX;", [](char32_t c) { return "&#x" + hex(c, 1, false) + ";"; }},
        {"&#XX", [](char32_t c) { return "&#X" + hex(c, 1); }},
        {"&name;", entityNamed},
        {"CSS \\X ", [](char32_t c) { return "\\" + hex(c, 1, false) + " "; }},
        {"CSS \\00000X", [](char32_t c) { return "\\" + hex(c, 6); }},
        {"CSV \"\"", [](char32_t c) { return c == '"' ? std::optional<std::string>("\"\"") : std::nullopt; }},
    };
    return all;
}

// `written` with each of its signs (what is not a letter or digit) written
// by `escape` in its turn.
std::optional<std::string> nested(const std::string& written, const Escape& escape) {
    std::string out;
    bool changed = false;
    for (char c : written) {
        auto sign = g_ascii_isalnum(c) || static_cast<unsigned char>(c) >= 0x80 ? std::nullopt : escape(static_cast<unsigned char>(c));
        changed = changed || sign;
        out += sign.value_or(std::string(1, c));
    }
    return changed ? std::optional(out) : std::nullopt;
}

} // namespace

TEST(Redaction, FindsAValueHoweverEachOfItsCharactersIsWritten) {
    const std::u32string value = U"p&ss w+rd\"%/<*~é";
    const std::string stored = utf8(icu::UnicodeString::fromUTF32(reinterpret_cast<const UChar32*>(value.data()),
                                                                   static_cast<int32_t>(value.size())));
    auto secrets = secretsRedaction({{"s", {{"PW", stored}}}});
    std::vector<std::string> leaks;
    std::size_t tried = 0;
    auto check = [&](const std::string& form, const std::string& how) {
        ++tried;
        if (redactText("x=" + form + "&y", 200000, secrets, std::nullopt) != "x=${PW}&y") leaks.push_back(how + ": " + form);
    };
    // Each character written in each way, then its signs written again,
    // and again; the other characters as they are.
    for (std::size_t i = 0; i < value.size(); ++i) {
        std::string before;
        for (std::size_t j = 0; j < i; ++j) before += utf8Of(value[j]);
        std::string after;
        for (std::size_t j = i + 1; j < value.size(); ++j) after += utf8Of(value[j]);
        for (const auto& [first, escape] : escapes()) {
            auto once = escape(value[i]);
            if (!once) continue;
            check(before + *once + after, first);
            for (const auto& [second, again] : escapes()) {
                auto twice = nested(*once, again);
                if (!twice) continue;
                check(before + *twice + after, first + " in " + second);
                for (const auto& [third, thrice] : escapes()) {
                    if (auto deepest = nested(*twice, thrice)) check(before + *deepest + after, first + " in " + second + " in " + third);
                }
            }
        }
    }
    // Whole values as encoders and servers write them.
    for (const char* form : {
             "p%26ss%20w%2Brd%22%25%2F%3C*~%C3%A9",          // encodeURIComponent
             "p&ss%20w+rd%22%25/%3C*~%C3%A9",                // encodeURI
             "p&ss%20w+rd%22%/%3C*~%C3%A9",                  // the address bar's own
             "p%26ss%20w+rd%22%25/%3C*%7E%E9",               // escape()
             "p%26ss+w%2Brd%22%25%2F%3C%2A~%C3%A9",          // quote_plus
             "p%26ss+w%2Brd%22%25%2F%3C*%7E%E9",             // a windows-1252 form
             "p%2526ss%2520w%252Brd%2522%2525%252F%253C*~%25C3%25A9",  // twice
             "P%26SS%20W%2BRD%22%25%2F%3C*~%C3%89",          // a title upper-cased
             "p\\u0026ss w+rd\\\"%\\/\\u003c*~\\u00e9",      // Go, Rails, PHP
             "p\\\\u0026ss w+rd\\\\\\\"%/\\\\u003c*~é",     // JSON in JSON
             "p&amp;ss w+rd&quot;%/&lt;*~&eacute;",          // HTML
             "p&amp;ss w+rd&quot;%\\\\/&lt;*~é",             // HTML in JSON
             "p&#38;ss w+rd&#x22;%/&#X3C*~&#233",            // numeric references
             "p&amp;#38;ss w+rd&amp;quot;%/&amp;lt;*~é",     // escaped twice
             "p\\26 ss\\20 w\\2b rd\\22 \\25 \\2f \\3c \\2a \\7e \\e9 ",  // CSS
             "p&ss w+rd\"\"%/<*~é",                          // CSV
         }) {
        check(form, "whole");
    }
    EXPECT_TRUE(leaks.empty()) << leaks.size() << " of " << tried << " forms shown, first: " << (leaks.empty() ? "" : leaks.front());

    // What a page computes from a value is out of reach.
    EXPECT_EQ(redactText("x=é~*</%\"dr+w ss&p", 200000, secrets, std::nullopt), "x=é~*</%\"dr+w ss&p");
}

TEST(Redaction, HidesTheStartAFieldKeptAndTheNameOfAFileNamedAfterAValue) {
    Table table{{"s", {{"acme.password", "Tr0ub4dor&3"}, {"NOTE", "Springfield"}, {"DOC", "Qg&Jx w+Fz\"<*~?|\u00e9"}}}};
    auto secrets = secretsRedaction(table, {{"acme.password", "Tr0ub4"}, {"NOTE", "Winterfell"}});
    auto hide = [&](std::string_view text) { return redactText(text, 200000, secrets, std::nullopt); };
    // The start a field kept, anywhere and however written; no other start.
    EXPECT_EQ(hide("You typed Tr0ub4"), "You typed ${acme.password}");
    EXPECT_EQ(hide("?q=tr0ub4&x=TR%30UB4."), "?q=${acme.password}&x=${acme.password}.");
    EXPECT_EQ(hide("You typed Tr0ub, Tr0ub4dor"), "You typed Tr0ub, ${acme.password}dor");
    EXPECT_EQ(redactText("You typed Tr0ub4", 200000, secretsRedaction(table), std::nullopt), "You typed Tr0ub4");
    // A start that does not begin its value (any more) is not hidden.
    EXPECT_EQ(hide("Springtime in Winterfell and Springfield"), "Springtime in Winterfell and ${NOTE}");
    // WebKit names the file with "_" for what a file name cannot hold.
    EXPECT_EQ(hide("Downloaded: \"Qg&Jx w+Fz______\u00e9 2\""), "Downloaded: \"${DOC} 2\"");
}

TEST(Redaction, PassesOverEveryReferenceToANameItKnows) {
    Table table{{"s", {{"acme.user", "acme"}, {"acme.password", "Password123!"}, {"_287082", "zq-9"}}}};
    auto codes = oneTimeCodeRedaction({{"s", {{"bank", rfcKey()}}}}, at(59));
    auto hide = [&](const Table& values, std::string_view text) {
        return redactText(text, 200000, secretsRedaction(values), codes);
    };
    // Whatever value its letters hold, a reference to a known name or to a
    // field of a known credential stands as it is.
    EXPECT_EQ(hide(table, "acme: ${acme.user}, ${acme.otp}, ${bank.otp}, ${_287082} and 287082"),
              "${acme.user}: ${acme.user}, ${acme.otp}, ${bank.otp}, ${_287082} and ${bank.otp}");
    // Another is text like any other.
    EXPECT_EQ(hide(table, "${acme2.user} ${acme.name} ${_287082.x} ${acme.user"),
              "${${acme.user}2.user} ${${acme.user}.name} ${_${bank.otp}.x} ${${acme.user}.user");
    // A value holding a reference is hidden whole.
    table["s"]["ODD"] = "x${acme.user}y";
    EXPECT_EQ(hide(table, "x${acme.user}y"), "${ODD}");
}
