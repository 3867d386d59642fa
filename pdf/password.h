// Passwords of the 256-bit AES security handler (revisions 5 and 6) are UTF-8
// text normalised in the manner of SASLprep (RFC 4013) and cut to 127 bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// The longest password the 256-bit handler uses, in bytes.
constexpr int CRYPT_PASSWORD_MAX = 127;

// Prepares a password as typed for the 256-bit handler: UTF-8 input is taken
// as it is, anything else as Windows-1252 (what the Windows dialog delivers);
// spaces other than U+0020 become U+0020, characters that are mapped to
// nothing (soft hyphen, zero-width joiners, variation selectors...) go,
// compatibility forms of the Latin ranges, full-width ASCII and ligatures are
// replaced by their plain forms and a Latin letter followed by a combining
// accent is composed into one character. Returns the byte length (at most
// CRYPT_PASSWORD_MAX) of the UTF-8 result in `out`.
int crypt_prepare_password(std::span<const uint8_t> in, uint8_t out[CRYPT_PASSWORD_MAX]);
