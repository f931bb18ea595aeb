// How long hiding stored values takes for the largest text redaction gives
// out: 200,000 characters of page text against 200 stored values (names,
// e-mail addresses, tokens and passwords of 3 to 40 characters), compiled once
// as the session does, and the text redacted a few times: page text, and a
// page's source full of escapes. Also shows how many of the values planted in
// the text were hidden. Run it by hand:
//   build/benchmarks/RedactionBenchmark

#include "BrowserCore/Secrets/Redaction.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

int main() {
    std::mt19937 random(14);
    auto pick = [&](std::string_view from, std::size_t count) {
        std::string out;
        std::uniform_int_distribution<std::size_t> at(0, from.size() - 1);
        for (std::size_t i = 0; i < count; ++i) out += from[at(random)];
        return out;
    };
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    const std::string mixed = letters + "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#%&*-_.";

    std::map<std::string, std::map<std::string, std::string>> variables;
    std::vector<std::string> values;
    for (int i = 0; i < 200; ++i) {
        std::string value;
        switch (i % 4) {
        case 0: value = pick(letters, 5 + i % 7) + "@" + pick(letters, 6) + ".com"; break;
        case 1: value = pick(mixed, 8 + i % 33); break;
        case 2: value = pick(letters, 3 + i % 5) + " " + pick(letters, 6); break;
        default: value = pick("0123456789", 3 + i % 6); break;
        }
        values.push_back(value);
        variables["site" + std::to_string(i % 20) + ".example.com"]["VALUE" + std::to_string(i)] = value;
    }

    // Words and numbers as a page shows them, with a stored value every 2,000
    // characters or so; and the same as a page's source and script results
    // show them, where every few words an address, a JSON string or a
    // character reference makes the escapes to read through.
    auto page = [&](bool escaped) {
        std::string text;
        std::size_t planted = 0;
        while (text.size() < 200000) {
            if (text.size() / 2000 > planted) text += values[planted++ % values.size()] + " ";
            text += pick(letters, 2 + text.size() % 9) + (text.size() % 7 ? " " : ". ");
            if (text.size() % 13 == 0) text += std::to_string(text.size()) + " ";
            if (escaped && text.size() % 5 == 0) {
                switch (text.size() / 5 % 4) {
                case 0: text += "https://site.example.com/p?q=" + pick(letters, 5) + "%20" + pick(letters, 4) + "&amp;x=%C3%A9 "; break;
                case 1: text += "{\"k\":\"" + pick(letters, 6) + "\\u00e9\\\"" + pick(letters, 3) + "\"} "; break;
                case 2: text += "&quot;" + pick(letters, 5) + "&#38;" + pick(letters, 3) + "&quot; "; break;
                default: text += "\\\\n" + pick(letters, 4) + " \"\" + "; break;
                }
            }
        }
        text.resize(200000);
        return std::pair(text, planted);
    };

    auto started = std::chrono::steady_clock::now();
    auto secrets = vesk::secretsRedaction(variables);
    double compileMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::printf("compile of 200 values: %.1f ms\n", compileMs);

    for (bool escaped : {false, true}) {
        auto [text, planted] = page(escaped);
        const int rounds = 5;
        std::string out;
        started = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i) out = vesk::redactText(text, 200000, secrets, std::nullopt);
        double redactMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count() / rounds;
        std::size_t hidden = 0;
        for (std::size_t at = out.find("${VALUE"); at != std::string::npos; at = out.find("${VALUE", at + 1)) ++hidden;
        std::printf("redaction of 200,000 characters of %s against 200 values: %.1f ms (mean of %d)\n",
                    escaped ? "a page's source" : "page text", redactMs, rounds);
        std::printf("%zu values planted, %zu references in the output%s\n", planted, hidden,
                    out == vesk::redactionFailureNotice ? " (the text was withheld)" : "");
    }
    return 0;
}
