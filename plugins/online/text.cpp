#include "plugins/online/text.h"

#include <cstring>
#include <new>

static bool kept_as_is(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

char* url_encode(const char* text)
{
    static const char hex[] = "0123456789abcdef";
    if (!text)
        text = "";
    size_t length = 0;
    for (const char* p = text; *p; ++p)
        length += kept_as_is(static_cast<unsigned char>(*p)) ? 1 : 3;
    char* encoded = new (std::nothrow) char[length + 1];
    if (!encoded)
        return nullptr;
    char* out = encoded;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (kept_as_is(c)) {
            *out++ = static_cast<char>(c);
        } else {
            *out++ = '%';
            *out++ = hex[c >> 4];
            *out++ = hex[c & 15];
        }
    }
    *out = '\0';
    return encoded;
}

char* base64_encode(const unsigned char* bytes, size_t count)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char* encoded = new (std::nothrow) char[(count + 2) / 3 * 4 + 1];
    if (!encoded)
        return nullptr;
    char* out = encoded;
    for (size_t i = 0; i < count; i += 3) {
        unsigned group = static_cast<unsigned>(bytes[i]) << 16;
        if (i + 1 < count)
            group |= static_cast<unsigned>(bytes[i + 1]) << 8;
        if (i + 2 < count)
            group |= bytes[i + 2];
        *out++ = alphabet[(group >> 18) & 63];
        *out++ = alphabet[(group >> 12) & 63];
        *out++ = i + 1 < count ? alphabet[(group >> 6) & 63] : '=';
        *out++ = i + 2 < count ? alphabet[group & 63] : '=';
    }
    *out = '\0';
    return encoded;
}

static bool is_blank(char c, int also_line_breaks)
{
    return c == ' ' || (also_line_breaks && (c == '\r' || c == '\n'));
}

char* skip_blanks(char* text, int also_line_breaks)
{
    while (is_blank(*text, also_line_breaks))
        ++text;
    return text;
}

char* trim_blanks(char* text, int also_line_breaks)
{
    char* start = skip_blanks(text, also_line_breaks);
    char* end = start + strlen(start);
    while (end > start && is_blank(end[-1], also_line_breaks))
        --end;
    *end = '\0';
    return start;
}
