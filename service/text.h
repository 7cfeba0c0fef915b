// Texts of the plug-in's requests: form and query parsing, percent escapes
// and the conversion between the plug-in's Windows-1252 and the service's
// UTF-8.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::string, std::string>> TextFields;

// Splits "a=1&b=2" into its fields, names and values as sent (no escapes
// decoded). A piece without '=' gets an empty value; empty pieces (such as a
// trailing '&' or an LF) are skipped. Returns the fields.
TextFields text_split_form(const std::string& raw);

// The value of the first field named name, or null.
const std::string* text_field(const TextFields& fields, const char* name);

// Decodes %XX escapes (either letter case) and '+' as a space into *out.
// Returns false for a '%' not followed by two hex digits.
bool text_percent_decode(const std::string& in, std::string* out);

// Windows-1252 bytes to UTF-8. Returns false when a byte has no character in
// Windows-1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D) or is a NUL.
bool text_cp1252_to_utf8(const std::string& in, std::string* out);

// UTF-8 to Windows-1252. Returns false for invalid UTF-8 or a character that
// Windows-1252 cannot show.
bool text_utf8_to_cp1252(const std::string& in, std::string* out);

// Strict decimal integer in [min, max]: optional '-', digits only. Returns
// false for anything else.
bool text_parse_int(const std::string& in, long long min, long long max, long long* out);

// True when name is usable as a task name: 1 to 250 characters of valid
// UTF-8 that Windows-1252 can show, no control character and no ';' (the
// plug-in's field separator).
bool text_task_name_ok(const std::string& name);

// UTF-8 to Windows-1252 for display: characters Windows-1252 cannot show,
// and invalid bytes, become '?'. Returns the converted text.
std::string text_utf8_to_cp1252_lossy(const std::string& in);
