#include <gtest/gtest.h>

#include "service/config.h"
#include "service/text.h"

TEST(Text, PercentDecodingRefusesBrokenEscapes)
{
    struct Case {
        const char* in;
        bool ok;
        const char* out;
    } cases[] = {
        {"R%26D%20100%25", true, "R&D 100%"},
        {"R%c3%a9union+%C3%A9", true, "R\xc3\xa9union \xc3\xa9"},
        {"", true, ""},
        {"%", false, ""},
        {"abc%2", false, ""},
        {"%zz", false, ""},
        {"%g1", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(c.ok, text_percent_decode(c.in, &out)) << c.in;
        if (c.ok) {
            EXPECT_EQ(c.out, out) << c.in;
        }
    }
}

TEST(Text, Windows1252AndUtf8RoundTrip)
{
    // Every byte that has a character comes back as itself.
    std::string all;
    for (int b = 1; b < 256; b++)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            all += static_cast<char>(b);
    std::string wide, narrow;
    ASSERT_TRUE(text_cp1252_to_utf8(all, &wide));
    ASSERT_TRUE(text_utf8_to_cp1252(wide, &narrow));
    EXPECT_EQ(all, narrow);
    ASSERT_TRUE(text_cp1252_to_utf8("\x80 \xe9\x9c", &wide));
    EXPECT_EQ("\xe2\x82\xac \xc3\xa9\xc5\x93", wide);  // euro, e acute, oe

    for (const char* bad : {"\x81", "a\x8d", "\x8f", "\x90", "\x9d"})
        EXPECT_FALSE(text_cp1252_to_utf8(bad, &wide)) << bad;
    EXPECT_FALSE(text_cp1252_to_utf8(std::string("a\0b", 3), &wide));

    // Not UTF-8, or not in Windows-1252.
    for (const char* bad : {"\xc3", "\xc3\x28", "\xe2\x82", "\xc0\xaf", "\xed\xa0\x80", "\xe4\xb8\xad"})
        EXPECT_FALSE(text_utf8_to_cp1252(bad, &narrow)) << bad;
    EXPECT_EQ("a?b?", text_utf8_to_cp1252_lossy("a\xe4\xb8\xad" "b\xff"));
}

TEST(Text, FormFieldsAndNumbers)
{
    TextFields fields = text_split_form("uid=5&&task=a%20b&flag&time=12\n");
    ASSERT_EQ(4u, fields.size());
    EXPECT_EQ("a%20b", *text_field(fields, "task"));
    EXPECT_EQ("", *text_field(fields, "flag"));
    EXPECT_EQ("12", *text_field(fields, "time"));
    EXPECT_EQ(nullptr, text_field(fields, "date"));

    long long value = 0;
    EXPECT_TRUE(text_parse_int("-12", -100, 100, &value));
    EXPECT_EQ(-12, value);
    for (const char* bad : {"", "-", "12a", " 12", "+3", "101", "99999999999999999999"})
        EXPECT_FALSE(text_parse_int(bad, -100, 100, &value)) << bad;
}

TEST(Text, TaskNames)
{
    EXPECT_TRUE(text_task_name_ok("R\xc3\xa9union \xc3\xa9quipe"));
    EXPECT_TRUE(text_task_name_ok("O'Brien \"x\" -- %_ \\"));
    for (const char* bad : {"", "a;b", "a\nb", "a\rb", "\t", "\xe4\xb8\xad"})
        EXPECT_FALSE(text_task_name_ok(bad)) << bad;
    EXPECT_FALSE(text_task_name_ok(std::string(251, 'x')));
}

TEST(Text, DatabaseShownWithoutItsPassword)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"zentrik.db", "zentrik.db"},
        {"/var/lib/zentrik/a:b@c.db", "/var/lib/zentrik/a:b@c.db"},
        {"postgresql://zentrik@db:5432/zentrik", "postgresql://zentrik@db:5432/zentrik"},
        {"postgresql://zentrik:s3cr@t@db:5432/zentrik", "postgresql://zentrik:***@db:5432/zentrik"},
        {"postgresql://db/zentrik?user=z&password=s3cret&pool_size=4",
         "postgresql://db/zentrik?user=z&password=***&pool_size=4"},
        {"postgresql://db/zentrik?password=s3cret", "postgresql://db/zentrik?password=***"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.out, config_database_shown(c.in)) << c.in;
}
