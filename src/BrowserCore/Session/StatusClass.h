#pragma once

// The class of HTTP statuses that a request wait wants, such as "2xx".

#include <string>
#include <string_view>

namespace vesk {

struct StatusClass {
    std::string pattern;  // lower case, such as "4xx"
    int digit = 2;        // the hundreds digit of the statuses it admits

    // Lower-cases the text, which must then be a digit 2 to 5 followed by
    // "xx". Anything else (an exact code, a class 1 or 6, a shorter text)
    // throws BrowserError::invalidStatus with the lower-cased text.
    static StatusClass parse(std::string_view text);

    bool admits(int status) const { return status / 100 == digit; }
};

} // namespace vesk
