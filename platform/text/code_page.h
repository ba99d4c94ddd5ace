#pragma once
// The engine's narrow text is Windows-1251 (its "ANSI code page"); wide text is UTF-16 in
// char16_t; the operating system, terminals and SDL want UTF-8. Conversions between the three.
// Stateless; any thread may call them.
//
// The one byte 1251 leaves undefined, 0x98, maps to U+0098 and back, so every byte survives a
// round trip. What 1251 cannot express becomes '?' (one per code point); malformed UTF-8 and
// unpaired surrogates become U+FFFD.
//
// GWString has a UTF-8 codec of its own on purpose: strings the engine stores keep every unit
// (a lone surrogate goes out as a three-byte sequence and comes back as the same unit, and
// continuation bytes are taken without checks), while these conversions, which feed the
// system, terminals and SDL, must give well-formed text.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

char16_t Cp1251ToUtf16(uint8_t byte);
// '?' when the unit has no 1251 byte.
uint8_t Utf16ToCp1251(char16_t unit);

std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

} // namespace platform
