// The terminal-safe spelling of names: what a terminal would act on or cannot show becomes a
// visible escape, byte by byte; printable text, in any script, reads as typed.
#include <gtest/gtest.h>

#include <string>

#include "text/Printable.h"

using text::Printable;

TEST(Printable, PrintableTextStaysAsTyped)
{
    for (const std::string& kept : {
             std::string(" ~"), // the ends of printable ASCII
             std::string("C:\\x1b is a name"), // a backslash is harmless
             std::string("caf\xC3\xA9"), // two bytes
             std::string("\xC2\xA0"), // U+00A0, the first character after the C1 controls
             std::string("\xE0\xA0\x80"), // U+0800, the first of three bytes
             std::string("\xED\x9F\xBF"), // U+D7FF, just below the surrogates
             std::string("\xEE\x80\x80"), // U+E000, just above them
             std::string("\xE6\x97\xA5\xE6\x9C\xAC"),
             std::string("\xF0\x90\x80\x80"), // U+10000, the first of four bytes
             std::string("\xF4\x8F\xBF\xBF"), // U+10FFFF, the last there is
         }) {
        EXPECT_EQ(Printable(kept), kept);
    }
}

TEST(Printable, ControlsAndBrokenUtf8BecomeVisibleEscapes)
{
    struct Case {
        std::string raw;
        std::string shown;
    };
    const Case cases[] = {
        // The title and colour sequences of the issue, and the other C0 controls.
        {"a\x1b]0;owned\x07z", "a\\x1b]0;owned\\x07z"},
        {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
        {"one\ntwo\r\t", "one\\x0atwo\\x0d\\x09"},
        {std::string("\0", 1), "\\x00"},
        {"\x1f\x7f", "\\x1f\\x7f"}, // the last control before the space, and DEL
        // C1 controls: CSI as a raw byte and UTF-8 encoded, and the last of them.
        {"\x9b"
         "31m",
         "\\x9b31m"},
        {"\xC2\x9B"
         "31m",
         "\\xc2\\x9b31m"},
        {"\xC2\x9F", "\\xc2\\x9f"},
        // Overlong forms, surrogates, past U+10FFFF, bytes UTF-8 never uses.
        {"\xC0\xAF", "\\xc0\\xaf"},
        {"\xC1\xBF", "\\xc1\\xbf"},
        {"\xE0\x9F\xBF", "\\xe0\\x9f\\xbf"},
        {"\xF0\x8F\xBF\xBF", "\\xf0\\x8f\\xbf\\xbf"},
        {"\xED\xA0\x80", "\\xed\\xa0\\x80"},
        {"\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"\xF5\xFF", "\\xf5\\xff"},
        {"\xF5\x80\x80\x80", "\\xf5\\x80\\x80\\x80"}, // the first lead past U+10FFFF's
        // A sequence cut short, at the end and before ASCII: the reader starts again at once.
        {"ok\xE6\x97", "ok\\xe6\\x97"},
        {"\xE6\x97"
         "a",
         "\\xe6\\x97a"},
        {"\xF0\x90\x80"
         "\xC3\xA9",
         "\\xf0\\x90\\x80\xC3\xA9"},
        // A stray continuation byte.
        {"\xA9", "\\xa9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Printable(c.raw), c.shown);
    }
    // Made printable once, it stays so: messages that quote a printable name again are unchanged.
    for (const auto& c : cases) {
        EXPECT_EQ(Printable(c.shown), c.shown);
    }
}
