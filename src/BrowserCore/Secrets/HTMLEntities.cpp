#include "BrowserCore/Secrets/HTMLEntities.h"

#include <glib.h>
#include <libxml/HTMLparser.h>

#include <string>
#include <utility>

namespace vesk {

namespace {

// HTML names of ASCII signs that HTML 4, and so libxml2's table, lacks.
constexpr std::pair<std::string_view, UChar32> asciiSigns[] = {
    {"Tab", '\t'},     {"NewLine", '\n'}, {"excl", '!'},    {"num", '#'},     {"dollar", '$'},   {"percnt", '%'},
    {"lpar", '('},     {"rpar", ')'},     {"ast", '*'},     {"midast", '*'},  {"plus", '+'},     {"comma", ','},
    {"period", '.'},   {"sol", '/'},      {"colon", ':'},   {"semi", ';'},    {"equals", '='},   {"quest", '?'},
    {"commat", '@'},   {"lsqb", '['},     {"lbrack", '['},  {"bsol", '\\'},   {"rsqb", ']'},     {"rbrack", ']'},
    {"Hat", '^'},      {"lowbar", '_'},   {"UnderBar", '_'}, {"grave", '`'},  {"DiacriticalGrave", '`'},
    {"lcub", '{'},     {"lbrace", '{'},   {"verbar", '|'},  {"vert", '|'},    {"VerticalLine", '|'},
    {"rcub", '}'},     {"rbrace", '}'},   {"QUOT", '"'},    {"AMP", '&'},     {"LT", '<'},       {"GT", '>'},
    // And the HTML names of spaces and invisible characters.
    {"NonBreakingSpace", 0xA0}, {"emsp13", 0x2004}, {"emsp14", 0x2005}, {"numsp", 0x2007}, {"puncsp", 0x2008},
    {"ThinSpace", 0x2009}, {"hairsp", 0x200A}, {"VeryThinSpace", 0x200A}, {"MediumSpace", 0x205F},
    {"ZeroWidthSpace", 0x200B}, {"NegativeVeryThinSpace", 0x200B}, {"NegativeThinSpace", 0x200B},
    {"NegativeMediumSpace", 0x200B}, {"NegativeThickSpace", 0x200B}, {"NoBreak", 0x2060},
};

std::optional<UChar32> exactly(std::string_view name) {
    for (const auto& [known, character] : asciiSigns) {
        if (known == name) return character;
    }
    std::string terminated(name);
    if (const htmlEntityDesc* entity = htmlEntityLookup(reinterpret_cast<const xmlChar*>(terminated.c_str()))) {
        return static_cast<UChar32>(entity->value);
    }
    return std::nullopt;
}

} // namespace

std::optional<UChar32> htmlEntity(std::string_view name) {
    if (name.empty()) return std::nullopt;
    if (auto found = exactly(name)) return found;
    // A text shown in upper case shows its references so too.
    gchar* lower = g_ascii_strdown(name.data(), static_cast<gssize>(name.size()));
    std::string lowered = lower;
    g_free(lower);
    return lowered == name ? std::nullopt : exactly(lowered);
}

} // namespace vesk
