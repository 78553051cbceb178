#include "main/wineregistry.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

const char* const kGameKey = "Software\\Wow6432Node\\LucasArts\\Star Wars Empire at War\\1.0";

// Lines as Wine 8 writes them for a 64-bit prefix, the first value set by a 32-bit program.
const std::string kWineText =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\KestrinCheck] 1796601084\n"
    "#time=1dd85dcb3960f7e\n"
    "\"Name \\\"q\\\"\"=\"C:\\\\Spiele\\\\\\xc9p\\x00e9e "
    "\\\"x\\\"\\\\\\xd83d\\xde00tab\\tend\"\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\LucasArts\\\\Star Wars Empire at War\\\\1.0] 1796601084\n"
    "#time=1dd85dcb37ee93e\n"
    "\"ExePath\"=\"C:\\\\Program Files\\\\LucasArts\\\\Star Wars Empire at "
    "War\\\\GameData\\\\sweaw.exe\"\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Clients] 1796601077\n"
    "#time=1dd85dcafa6f464\n"
    "#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00\n";

const std::string kExePath = "C:\\Program Files\\LucasArts\\Star Wars Empire at War\\GameData\\sweaw.exe";

std::optional<std::string> lookUp(const std::string& text, const std::string& key, const std::string& name) {
    return WineRegistry(text).stringValue(key, name);
}

} // namespace

TEST(WineRegistry, ReadsWhatWineWritesWithItsEscapesAndIgnoresCase) {
    const WineRegistry registry(kWineText);
    EXPECT_EQ(registry.stringValue(kGameKey, "ExePath"), kExePath);
    EXPECT_EQ(
        registry.stringValue("SOFTWARE\\wow6432node\\LUCASARTS\\star wars EMPIRE at war\\1.0", "exepath"),
        kExePath);
    // É in the short \x form, é in the long one before a hex digit, an emoji as a surrogate pair.
    EXPECT_EQ(registry.stringValue("Software\\KestrinCheck", "Name \"q\""),
              "C:\\Spiele\\\xC3\x89p\xC3\xA9"
              "e \"x\"\\\xF0\x9F\x98\x80tab\tend");
    EXPECT_EQ(registry.stringValue("Software\\LucasArts\\Star Wars Empire at War\\1.0", "ExePath"),
              std::nullopt);
    EXPECT_EQ(registry.stringValue(kGameKey, "Exe"), std::nullopt);

    const std::string escapes =
        "[A\\\\B\\]C] 1\n"
        "@=\"default\"\n"
        "\"v\"=\"\\a\\b\\e\\f\\n\\r\\t\\v|\\1012\\0|\\x|\\xg|\\q|\\x41\\x4142|\\xdc00\\xd800\"\n";
    EXPECT_EQ(lookUp(escapes, "a\\b]c", ""), "default");
    // Digits and code units at the edges of their ranges, of UTF-8's lengths and of the surrogates.
    EXPECT_EQ(
        lookUp("[K] "
               "1\n\"V\"="
               "\"\\177\\xA9\\x7F\\x80\\x7ff\\x800\\xdbff\\xdc00\\xd800\\xdc00\\xd800\\xdfff\\xdfff\"\n",
               "K", "V"),
        "\x7F\xC2\xA9\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xF4\x8F\xB0\x80\xF0\x90\x80\x80\xF0\x90\x8F\xBF\xEF\xBF"
        "\xBD");
    EXPECT_EQ(lookUp(escapes, "A\\B]C", "v"),
              "\a\b\x1B\f\n\r\t\v|A2\0|x|xg|q|A\xE4\x85\x82|\xEF\xBF\xBD\xEF\xBF\xBD"s);
}

TEST(WineRegistry, ValuesBelongOnlyToTheirOwnKey) {
    const std::string text = "[Software\\\\Game\\\\1.0\\\\Sub] 1\n\"ExePath\"=\"sub\"\n"
                             "[Software\\\\Game] 1\n\"ExePath\"=\"parent\"\n"
                             "[Software\\\\Game\\\\1.0] 1\n\"Other\"=\"other\"\n\n"
                             "[Software\\\\Game\\\\1.01] 1\n\"ExePath\"=\"longer\"\n";
    EXPECT_EQ(lookUp(text, "Software\\Game\\1.0", "ExePath"), std::nullopt);
    EXPECT_EQ(lookUp(text, "Software\\Game\\1.0", "Other"), "other");
    EXPECT_EQ(lookUp(text, "Software\\Game", "ExePath"), "parent");
    // A key written twice is read as one, the later value of a name winning.
    EXPECT_EQ(lookUp(text + "[software\\\\game] 2\n\"exepath\"=\"again\"\n", "Software\\Game", "ExePath"),
              "again");
}

TEST(WineRegistry, ReadsEveryStringTypeAndOnlyStrings) {
    const std::string text = "[K] 1\n"
                             "\"Plain\"=\"C:\\\\a\"\n"
                             "\"Expand\"=str(2):\"%ProgramFiles%\\\\a\"\n"
                             "\"Multi\"=str(7):\"one\\0two\\0\\0\"\n"
                             "\"Padded\"=str(00000002):\"x\"\n"
                             // C:\a stored without its terminator, across continuation lines.
                             "\"Unterminated\"=hex(1):43,00,3a,00,\\\n"
                             "  5c,00,61,00\n"
                             // A surrogate pair and A, then a lone byte that makes no code unit.
                             "\"ExpandHex\"=hex(02):3d,d8,00,de,41,00,00,00,42\n"
                             "\"Number\"=dword:00000001\n"
                             "\"Binary\"=hex:43,00,3a,00\n"
                             "\"Link\"=hex(6):43,00,3a,00\n"
                             "\"Wrapped\"=hex(100000001):43,00\n";
    const char* const names[] = {"Plain",     "Expand", "Multi",  "Padded", "Unterminated",
                                 "ExpandHex", "Number", "Binary", "Link",   "Wrapped"};
    const std::optional<std::string> values[] = {"C:\\a",
                                                 "%ProgramFiles%\\a",
                                                 "one\0two"s,
                                                 "x",
                                                 "C:\\a",
                                                 "\xF0\x9F\x98\x80"
                                                 "A"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(lookUp(text, "K", names[i]), i < std::size(values) ? values[i] : std::nullopt) << names[i];
    }
    // Line ends of either kind.
    EXPECT_EQ(lookUp("[K] 1\r\n\"V\"=hex(1):43,00,\\\r\n  3a,00\r\n\"W\"=\"w\"\r\n", "K", "V"), "C:");
}

TEST(WineRegistry, BrokenOrCutShortTextGivesNoValueRatherThanAWrongOne) {
    for (std::size_t size = 0; size < kWineText.size(); ++size) {
        const std::optional<std::string> value = lookUp(kWineText.substr(0, size), kGameKey, "ExePath");
        EXPECT_TRUE(!value || *value == kExePath) << "cut at " << size;
    }
    for (const char* broken : {
             "[K 1\n\"V\"=\"a\"\n",            // the header never closes
             "[K] 1\n\"V\"=\"a\n",             // the value never closes
             "[K] 1\n\"V=\"a\"\n",             // the name never closes
             "[K] 1\n\"V\" = \"a\"\n",         // spaces around =
             "[K] 1\n\"V\"\"a\"\n",            // no =
             "[K] 1\n\"V\"=str(2:\"a\"\n",     // a type that never closes
             "[K] 1\n\"V\"=hex(1):4g,00\n",    // not hex
             "[K] 1\n\"V\"=hex(1):41,,00\n",   // an empty byte
             "[K] 1\n\"V\"=hex(1):41,00,\\\n", // a continuation the text lacks
             "[K] 1\n[K\n\"V\"=\"a\"\n",       // a broken header ends the key before it
             "\"V\"=\"a\"\n[K] 1\n",           // a value before any key
             "[K] 1\n\"V\"=str():\"a\"\n",     // a type without digits
             "[K] 1\n\"V\"=hex(1):411,00\n",   // a byte of three digits
         }) {
        EXPECT_EQ(lookUp(broken, "K", "V"), std::nullopt) << broken;
    }
    EXPECT_EQ(lookUp("[K] 1\n\"V\"=\"a\0b\"\n"s, "K", "V"), "a\0b"s);
    EXPECT_EQ(lookUp("[K] 1\n\"V\"=\"good\"\n\"V\"=\"broken\n", "K", "V"), "good");
    EXPECT_EQ(lookUp(std::string(100000, '['), "K", "V"), std::nullopt);
}
