#pragma once
// The lexical classes of cfg text, shared by the reader (cfg_parser.cpp) and the writers.
//
// Blanks are bytes 9 to 13 and 32; ';' and ',' are separators and count as blanks. Where
// blanks are skipped, '#' and "//" start a line comment and "/*" a nesting block comment.
// A bare token starts with a letter, a digit, one of "._-+*/!?^" or a byte 129 to 255; each
// further byte is one of those or an apostrophe. A quoted token runs from a '"' or '\'' to
// the next byte equal to it, with no escapes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

inline bool CfgIsBlank(unsigned char c) { return (c >= 9 && c <= 13) || c == ' ' || c == ';' || c == ','; }

inline bool CfgIsBareFirst(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 129 ||
           c == '.' || c == '_' || c == '-' || c == '+' || c == '*' || c == '/' || c == '!' ||
           c == '?' || c == '^';
}

inline bool CfgIsBareNext(unsigned char c) { return CfgIsBareFirst(c) || c == '\''; }

// 1 when the reader takes the text back as exactly one bare token: not empty, made of the
// bare classes, and not starting with "//" or "/*" (the reader would take those for a
// comment). 0 otherwise, so the empty text is always quoted.
int CfgIsBareToken(std::string_view text);

// Deepest nesting of objects the readers accept (the top-level node is depth 0).
constexpr int kCfgMaxDepth = 64;

// Reads a whole file for the cfg readers: 0, or kCfgCannotOpen, kCfgEmptyFile, kCfgNoMemory
// or kCfgCannotRead. size is the file's length whenever it could be taken.
int32_t CfgReadWholeFile(const char* fileName, std::unique_ptr<char[]>& data, size_t& size);
