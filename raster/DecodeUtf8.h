#pragma once

// The UTF-8 the text drawing takes: decoded one character at a time for the
// glyph cache, converted whole for the system's text drawing. Any thread; pure.

// One character of UTF-8 from at most avail bytes (the NUL also ends them);
// used receives how many bytes it took. Malformed bytes are taken one at a
// time as their own codes; characters above U+FFFF come out as a space.
int DecodeCharacter(const unsigned char* p, int avail, int& used);

// Strict UTF-8 to UTF-16 of n bytes; out may be null to count. -1 on any
// malformed, overlong, surrogate or out-of-range sequence.
int Utf8ToUtf16(const unsigned char* s, int n, char16_t* out);

// A well-formed multi-byte lead with its continuation bytes, up to the NUL.
bool HasMultiByteSequence(const unsigned char* s);
