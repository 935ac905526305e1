// Text for the terminal and JSON: UTF-16 names and byte paths made valid UTF-8, and base64.
#include "tool/text.h"

#include <gtest/gtest.h>

using namespace gg::tool;

TEST(ToolText, Utf16BecomesUtf8WithLoneSurrogatesReplaced)
{
    EXPECT_EQ(utf8FromUtf16(u"A\u00e9\u20ac"), "A\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(utf8FromUtf16(u"\U0001F600"), "\xf0\x9f\x98\x80"); // a surrogate pair is one code point
    const std::u16string lone{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(utf8FromUtf16(lone), "a\xef\xbf\xbd" "b\xef\xbf\xbd");
}

TEST(ToolText, EveryByteOutsideAWellFormedSequenceBecomesOneReplacement)
{
    const std::string r = "\xef\xbf\xbd";
    EXPECT_EQ(validUtf8("plain \xc3\xa9 \xf4\x8f\xbf\xbf"), "plain \xc3\xa9 \xf4\x8f\xbf\xbf"); // U+10FFFF is the last
    EXPECT_EQ(validUtf8("\xe0\xb5!"), r + r + "!");                        // cut short
    EXPECT_EQ(validUtf8("\xc1\xa0"), r + r);                               // overlong
    EXPECT_EQ(validUtf8("\xe0\x80\xaf"), r + r + r);                       // overlong in three bytes
    EXPECT_EQ(validUtf8("\xed\xa0\x80"), r + r + r);                       // an encoded surrogate
    EXPECT_EQ(validUtf8("\xf4\x90\x80\x80"), r + r + r + r);               // past U+10FFFF
    EXPECT_EQ(validUtf8(std::string("a\0b", 3)), std::string("a\0b", 3)); // NUL is text
}

TEST(ToolText, Base64PadsTheLastGroup)
{
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64(std::string("\xff\xfe\x00\x80", 4)), "//4AgA==");
}
