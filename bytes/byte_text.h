#pragma once

// How bytes are shown as text everywhere: types, labels, the byte view's
// text column and escapes in kivra-dump's output.

// Upper-case hex digits, indexed by a nibble.
inline constexpr char UpperHexDigits[] = "0123456789ABCDEF";

// Printable ASCII, 0x20 to 0x7E: the bytes an atom type may hold and the
// byte view shows as themselves.
inline int IsPrintableAscii(unsigned char byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}
