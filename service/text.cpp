#include "service/text.h"

#include <cstring>

// The characters of bytes 0x80-0x9F in Windows-1252; 0 where it has none.
static const unsigned short cp1252_high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

TextFields text_split_form(const std::string& raw)
{
    TextFields fields;
    size_t start = 0;
    while (start <= raw.size()) {
        size_t end = raw.find('&', start);
        if (end == std::string::npos)
            end = raw.size();
        std::string piece = raw.substr(start, end - start);
        // The plug-in ends a POST body with an extra LF outside the body
        // length; a client that counts it in leaves it on the last value.
        while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r'))
            piece.pop_back();
        if (!piece.empty()) {
            size_t eq = piece.find('=');
            if (eq == std::string::npos)
                fields.emplace_back(piece, "");
            else
                fields.emplace_back(piece.substr(0, eq), piece.substr(eq + 1));
        }
        start = end + 1;
    }
    return fields;
}

const std::string* text_field(const TextFields& fields, const char* name)
{
    for (const auto& field : fields)
        if (field.first == name)
            return &field.second;
    return nullptr;
}

static int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool text_percent_decode(const std::string& in, std::string* out)
{
    std::string result;
    result.reserve(in.size());
    for (size_t i = 0; i < in.size(); i++) {
        char c = in[i];
        if (c == '+') {
            result += ' ';
        } else if (c == '%') {
            if (i + 2 >= in.size())
                return false;
            int high = hex_value(in[i + 1]), low = hex_value(in[i + 2]);
            if (high < 0 || low < 0)
                return false;
            result += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            result += c;
        }
    }
    *out = std::move(result);
    return true;
}

static void append_utf8(std::string* out, unsigned code)
{
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool text_cp1252_to_utf8(const std::string& in, std::string* out)
{
    std::string result;
    result.reserve(in.size() + in.size() / 2);
    for (unsigned char byte : in) {
        unsigned code = byte;
        if (byte == 0)
            return false;
        if (byte >= 0x80 && byte < 0xA0) {
            code = cp1252_high[byte - 0x80];
            if (code == 0)
                return false;
        }
        append_utf8(&result, code);
    }
    *out = std::move(result);
    return true;
}

// Reads one UTF-8 character at in[*pos], advancing *pos; returns its code,
// or -1 for an invalid or overlong sequence or a surrogate.
static long next_utf8(const std::string& in, size_t* pos)
{
    unsigned char first = in[*pos];
    int extra;
    unsigned long code;
    if (first < 0x80) {
        (*pos)++;
        return first;
    } else if ((first & 0xE0) == 0xC0) {
        extra = 1;
        code = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2;
        code = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3;
        code = first & 0x07;
    } else {
        return -1;
    }
    if (*pos + extra >= in.size())
        return -1;
    for (int k = 1; k <= extra; k++) {
        unsigned char next = in[*pos + k];
        if ((next & 0xC0) != 0x80)
            return -1;
        code = (code << 6) | (next & 0x3F);
    }
    static const unsigned long smallest[4] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return -1;
    *pos += extra + 1;
    return static_cast<long>(code);
}

bool text_utf8_to_cp1252(const std::string& in, std::string* out)
{
    std::string result;
    result.reserve(in.size());
    size_t pos = 0;
    while (pos < in.size()) {
        long code = next_utf8(in, &pos);
        if (code < 0)
            return false;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            result += static_cast<char>(code);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; k++)
            if (cp1252_high[k] != 0 && cp1252_high[k] == code)
                found = 0x80 + k;
        if (found < 0)
            return false;
        result += static_cast<char>(found);
    }
    *out = std::move(result);
    return true;
}

bool text_parse_int(const std::string& in, long long min, long long max, long long* out)
{
    size_t i = 0;
    bool negative = false;
    if (i < in.size() && in[i] == '-') {
        negative = true;
        i++;
    }
    if (i == in.size() || in.size() - i > 18)
        return false;
    long long value = 0;
    for (; i < in.size(); i++) {
        if (in[i] < '0' || in[i] > '9')
            return false;
        value = value * 10 + (in[i] - '0');
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return false;
    *out = value;
    return true;
}

bool text_task_name_ok(const std::string& name)
{
    std::string narrow;
    if (name.empty() || !text_utf8_to_cp1252(name, &narrow) || narrow.size() > 250)
        return false;
    for (unsigned char c : narrow)
        if (c < 0x20 || c == 0x7F || c == ';')
            return false;
    return true;
}

std::string text_utf8_to_cp1252_lossy(const std::string& in)
{
    std::string result;
    size_t pos = 0;
    while (pos < in.size()) {
        size_t start = pos;
        long code = next_utf8(in, &pos);
        std::string narrow;
        if (code < 0) {
            pos = start + 1;
            result += '?';
        } else if (text_utf8_to_cp1252(in.substr(start, pos - start), &narrow)) {
            result += narrow;
        } else {
            result += '?';
        }
    }
    return result;
}
