#pragma once

// Steps from one character of an ANSI string to the next, never splitting a
// double-byte character. Never called on a NUL byte: for a pointer to a
// non-NUL byte it returns the address of the next character, two bytes on
// when that byte is a lead byte and the byte after it is not NUL, else one.
// No ANSI code page has a lead byte below 0x80, so every step takes a byte
// below 0x80 as a whole character; callers may skip the call for such bytes.
typedef const char *(*CharStep)(const char *p);

// Single-byte code pages (and the UTF-8 bytes of a Linux path): one byte on.
const char *CharStepSingleByte(const char *p);

// Code page 932 (Shift-JIS): lead bytes 0x81-0x9F and 0xE0-0xFC.
const char *CharStepShiftJis(const char *p);

// The step of the platform's active ANSI code page: CharNextA on Windows,
// the single-byte step elsewhere.
const char *CharStepPlatform(const char *p);
