#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "plugins/online/text.h"

static std::string take(char* text)
{
    std::unique_ptr<char[]> owned(text);
    return text ? std::string(text) : "<null>";
}

TEST(UrlEncode, KeepsOnlyLettersDigitsAndThreeMarks)
{
    const struct {
        const char* text;
        const char* encoded;
    } cases[] = {
        {"a b-c_d.e~", "a%20b-c_d.e%7e"},
        {"", ""},
        {"100%", "100%25"},
        {"R&D 100%", "R%26D%20100%25"},
        {"+=&?/", "%2b%3d%26%3f%2f"},
        {"Tâche é", "T%e2che%20%e9"},
        {"\x01\x7f\xff", "%01%7f%ff"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(take(url_encode(c.text)), c.encoded) << c.text;
    EXPECT_EQ(take(url_encode(nullptr)), "");
}

TEST(Base64Encode, PadsTheLastGroup)
{
    const struct {
        std::string bytes;
        const char* encoded;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foobar", "Zm9vYmFy"},
        {"user:pass", "dXNlcjpwYXNz"},
        {std::string("\xff\x00\xfe", 3), "/wD+"},
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(take(base64_encode(bytes, c.bytes.size())), c.encoded) << c.bytes;
    }
}

TEST(TrimBlanks, StripsBothEndsInPlace)
{
    const struct {
        const char* text;
        int line_breaks;
        const char* trimmed;
    } cases[] = {
        {"  \r\n x y \r\n", 1, "x y"},
        {"  \r\n x y \r\n", 0, "\r\n x y \r\n"},
        {"   ", 1, ""},
        {"", 0, ""},
        {"\r\n", 0, "\r\n"},
        {" a ", 0, "a"},
    };
    for (const auto& c : cases) {
        std::string buffer = c.text;
        char* result = trim_blanks(buffer.data(), c.line_breaks);
        EXPECT_EQ(std::string(result), c.trimmed) << '"' << c.text << '"';
        EXPECT_GE(result, buffer.data());
        EXPECT_LE(result, buffer.data() + buffer.size());
    }
}

TEST(SkipBlanks, StopsAtTheFirstOtherCharacterOrTheEnd)
{
    char text[] = " \r\n x";
    EXPECT_EQ(skip_blanks(text, 1), text + 4);
    EXPECT_EQ(skip_blanks(text, 0), text + 1);
    char blanks[] = "  ";
    EXPECT_EQ(skip_blanks(blanks, 1), blanks + 2);
}
