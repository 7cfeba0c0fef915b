// Text routines of the web-service exchanges: URL encoding of form values,
// base64 for Basic authorisation, and trimming of blanks. Texts are 8-bit
// (Windows-1252) and end with a zero byte.
#pragma once

#include <cstddef>

// Returns `text` URL-encoded as a new[] text that the caller delete[]s: the
// letters a-z and A-Z, the digits and "-", "_", "." stay as they are, every
// other byte becomes "%" and two lower-case hexadecimal digits (a space gives
// "%20", never "+"). A null `text` counts as empty. Returns nullptr only when
// memory runs out.
char* url_encode(const char* text);

// Returns the standard base64 form (RFC 4648, "=" padding, no line breaks) of
// the `count` bytes at `bytes` as a new[] text that the caller delete[]s.
// Returns nullptr only when memory runs out.
char* base64_encode(const unsigned char* bytes, size_t count);

// Returns a pointer to the first character of `text` that is not a space
// (nor CR or LF when `also_line_breaks` is non-zero); the terminating zero
// counts as such a character.
char* skip_blanks(char* text, int also_line_breaks);

// Strips the blanks at both ends of `text` inside its own buffer (spaces, and
// CR and LF too when `also_line_breaks` is non-zero) and returns a pointer
// into that buffer to the stripped text. The buffer is changed in place.
char* trim_blanks(char* text, int also_line_breaks);
