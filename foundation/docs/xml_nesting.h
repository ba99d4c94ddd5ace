#pragma once
// How deep the XML library's parser will recurse on a text, found before it is allowed to
// parse it. The library parses child elements by recursion, so a text of a few tens of
// kilobytes of nested tags would exhaust the stack; the XML data document refuses texts that
// nest deeper than kXmlMaxNesting. Stateless; any thread.

#include <cstddef>
#include <cstdint>

constexpr uint32_t kXmlMaxNesting = 512;

// The library's two ways through text: UTF-8 sequences, or one byte at a time (its mode for
// documents declared in an 8-bit encoding).
enum class XmlStepping { kUtf8, kBytes };

// The largest element nesting (a top-level element is at 1) the library reaches when it
// parses text[0, size) in the given mode (it stops at the first error and so do we). Bytes at and past size read as zero. The
// scan walks the text the way the library's parser does, step for step, and never recurses;
// it is never below the depth the library reaches.
uint32_t XmlNestingDepth(const char* text, size_t size, XmlStepping stepping = XmlStepping::kUtf8);
