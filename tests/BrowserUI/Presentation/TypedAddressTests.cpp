#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserUI/Presentation/TypedAddress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace vesk;

TEST(TypedAddress, TurnsWhatWasTypedIntoTheAddressToLoad) {
    struct Case {
        const char* typed;
        std::optional<std::string> address;  // none: nothing is loaded
    };
    const Case cases[] = {
        {"", std::nullopt},
        {" \t \u00a0 ", std::nullopt},
        {"  localhost:3000\t", "https://localhost:3000"},
        {"localhost:3000/path?q=1", "https://localhost:3000/path?q=1"},
        {"http://localhost:8080", "http://localhost:8080"},
        {"about:blank", "about:blank"},
        {"data:text/html,hi", "data:text/html,hi"},
        {"About:blank", "https://About:blank"},
        {"DATA:text/html,hi", "https://DATA:text/html,hi"},
        // "://" further on: no prefix; the session then refuses the scheme.
        {"intranet/?next=http://x", "intranet/?next=http://x"},
        {"ftp://host/", "ftp://host/"},
        {"example.com/caf%C3%A9", "https://example.com/caf%C3%A9"},
        {"bücher.example", "https://bücher.example"},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::typedAddress(c.typed), c.address) << c.typed;
}

TEST(TypedAddress, AnAddressThatIsNoURLNamesTheTextAsTyped) {
    const std::pair<const char*, const char*> cases[] = {
        {" exa mple.com ", "Invalid URL: exa mple.com"},
        {"https://x/%zz", "Invalid URL: https://x/%zz"},
        {"100%", "Invalid URL: 100%"},
        {"a<b>", "Invalid URL: a<b>"},
        {"line\nbreak", "Invalid URL: line\nbreak"},
    };
    for (auto [typed, message] : cases) {
        try {
            static_cast<void>(ui::typedAddress(typed));
            ADD_FAILURE() << typed << " was taken";
        } catch (const BrowserError& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}
