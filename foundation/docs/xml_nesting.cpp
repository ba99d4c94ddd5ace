#include "foundation/docs/xml_nesting.h"

#include <cstring>
#include <initializer_list>

// The walk below follows the XML library's parser (TinyXML 2.6, white space condensed as it is
// by default) construct by construct: white space and, in UTF-8 mode, the byte-order-mark
// sequences it skips, names, attributes with and without quotes, text, comments, CDATA,
// declarations and unknown tags, and, in UTF-8 mode, its stepping through text, which jumps
// over as many bytes as a lead byte announces and can swallow a '<' or a quote; in its 8-bit
// mode every byte is one step. Wherever the library stops
// with an error its recursion unwinds completely, so the walk may stop there too or go on
// however it likes. End tags are not matched against their start tag: where the names differ
// the library stops, and anything the walk counts after that only raises the result.

namespace {

constexpr size_t kStop = static_cast<size_t>(-1);

// Sequence length by lead byte, as the library steps through UTF-8 text.
int StepLength(uint8_t lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

bool IsSpace(uint8_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The library takes every byte from 127 up for a letter.
bool IsAlpha(uint8_t c)
{
    return c >= 127 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAlnum(uint8_t c)
{
    return IsAlpha(c) || (c >= '0' && c <= '9');
}

bool IsHexDigit(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

uint8_t Lower(uint8_t c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c;
}

class NestingScan {
public:
    NestingScan(const char* text, size_t size, XmlStepping stepping)
        : m_text(reinterpret_cast<const uint8_t*>(text)), m_size(text ? size : 0),
          m_utf8(stepping == XmlStepping::kUtf8)
    {
    }

    uint32_t Run()
    {
        if (!At(0))
            return 0;
        uint32_t depth = 0;
        uint32_t deepest = 0;
        size_t p = SkipSpace(0);
        for (;;) {
            if (p == kStop || !At(p))
                return deepest;
            if (At(p) != '<') {
                // Text ends the document at the top level, and is a text node inside an element.
                if (depth == 0)
                    return deepest;
                p = Text(p);
            } else if (depth > 0 && At(p + 1) == '/') {
                p = EndTag(p);
                if (p == kStop)
                    return deepest;
                --depth;
            } else if (Equal(p, "<?xml", true)) {
                p = Declaration(p);
            } else if (Equal(p, "<!--", false)) {
                p = Comment(p);
            } else if (Equal(p, "<![CDATA[", false)) {
                p = Cdata(p);
            } else if (Equal(p, "<!", false)) {
                p = Unknown(p);
            } else if (IsAlpha(At(p + 1)) || At(p + 1) == '_') {
                // The element is one level below the current one whether or not its tag
                // reads well; only an element with content takes the levels after it deeper.
                if (depth + 1 > deepest)
                    deepest = depth + 1;
                bool open = false;
                p = StartTag(p, open);
                if (p != kStop && open)
                    ++depth;
            } else {
                p = Unknown(p);
            }
            if (p == kStop)
                return deepest;
            p = SkipSpace(p);
        }
    }

private:
    uint8_t At(size_t p) const { return p < m_size ? m_text[p] : 0; }

    // The library's string comparison: a prefix match, optionally ignoring ASCII case.
    bool Equal(size_t p, const char* tag, bool ignoreCase) const
    {
        if (!At(p))
            return false;
        for (; *tag; ++p, ++tag) {
            const uint8_t c = At(p);
            const auto t = static_cast<uint8_t>(*tag);
            if (!c || (ignoreCase ? Lower(c) != Lower(t) : c != t))
                return false;
        }
        return true;
    }

    size_t SkipSpace(size_t p) const
    {
        while (At(p)) {
            if (m_utf8 && At(p) == 0xEF && ((At(p + 1) == 0xBB && At(p + 2) == 0xBF) ||
                                  (At(p + 1) == 0xBF && (At(p + 2) == 0xBE || At(p + 2) == 0xBF)))) {
                p += 3;
                continue;
            }
            if (!IsSpace(At(p)))
                break;
            ++p;
        }
        return p;
    }

    size_t Find(size_t p, uint8_t c) const
    {
        for (; At(p); ++p) {
            if (At(p) == c)
                return p;
        }
        return kStop;
    }

    // One character of text: a UTF-8 sequence by its lead byte, or an entity.
    size_t Step(size_t p) const
    {
        const uint8_t lead = At(p);
        const int length = m_utf8 ? StepLength(lead) : 1;
        if (length > 1)
            return p + static_cast<size_t>(length);
        if (lead != '&')
            return p + 1;
        if (At(p + 1) == '#' && At(p + 2)) {
            const bool hex = At(p + 2) == 'x';
            if (hex && !At(p + 3))
                return kStop;
            const size_t semicolon = Find(p + (hex ? 3 : 2), ';');
            if (semicolon == kStop)
                return kStop;
            for (size_t q = semicolon - 1; At(q) != (hex ? 'x' : '#'); --q) {
                if (hex ? !IsHexDigit(At(q)) : !(At(q) >= '0' && At(q) <= '9'))
                    return kStop;
            }
            return semicolon + 1;
        }
        for (const char* entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
            if (Equal(p, entity, false))
                return p + std::strlen(entity);
        }
        return p + 1;
    }

    size_t ReadText(size_t p, const char* end, bool trim) const
    {
        if (trim)
            p = SkipSpace(p);
        while (At(p) && !Equal(p, end, false)) {
            if (trim && IsSpace(At(p)))
                ++p;
            else
                p = Step(p);
            if (p == kStop)
                return kStop;
        }
        if (At(p))
            p += std::strlen(end);
        return At(p) ? p : kStop;
    }

    size_t ReadName(size_t p) const
    {
        if (!IsAlpha(At(p)) && At(p) != '_')
            return kStop;
        while (At(p) && (IsAlnum(At(p)) || At(p) == '_' || At(p) == '-' || At(p) == '.' || At(p) == ':'))
            ++p;
        return p;
    }

    size_t Attribute(size_t p) const
    {
        p = SkipSpace(p);
        if (!At(p))
            return kStop;
        p = ReadName(p);
        if (p == kStop || !At(p))
            return kStop;
        p = SkipSpace(p);
        if (At(p) != '=')
            return kStop;
        p = SkipSpace(p + 1);
        if (!At(p))
            return kStop;
        const uint8_t quote = At(p);
        if (quote == '\'' || quote == '"') {
            const char end[2] = {static_cast<char>(quote), 0};
            return ReadText(p + 1, end, false);
        }
        for (; At(p) && !IsSpace(At(p)) && At(p) != '/' && At(p) != '>'; ++p) {
            if (At(p) == '\'' || At(p) == '"')
                return kStop;
        }
        return p;
    }

    // p at '<' of a start tag; open tells whether content follows (else it closed with "/>").
    size_t StartTag(size_t p, bool& open) const
    {
        p = ReadName(SkipSpace(p + 1));
        if (p == kStop || !At(p))
            return kStop;
        while (At(p)) {
            p = SkipSpace(p);
            if (!At(p))
                return kStop;
            if (At(p) == '/')
                return At(p + 1) == '>' ? p + 2 : kStop;
            if (At(p) == '>') {
                open = true;
                return p + 1;
            }
            p = Attribute(p);
            if (p == kStop || !At(p))
                return kStop;
        }
        return kStop;
    }

    // p at "</": the name (which the library compares with the start tag's), white space, '>'.
    size_t EndTag(size_t p) const
    {
        p += 2;
        while (At(p) && !IsSpace(At(p)) && At(p) != '>')
            ++p;
        p = SkipSpace(p);
        return At(p) == '>' ? p + 1 : kStop;
    }

    size_t Text(size_t p) const
    {
        p = ReadText(p, "<", true);
        return p == kStop ? kStop : p - 1;
    }

    size_t Comment(size_t p) const
    {
        for (p += 4; At(p) && !Equal(p, "-->", false); ++p) {
        }
        return At(p) ? p + 3 : p;
    }

    size_t Cdata(size_t p) const
    {
        for (p += 9; At(p) && !Equal(p, "]]>", false); ++p) {
        }
        return ReadText(p, "]]>", false);
    }

    size_t Unknown(size_t p) const
    {
        for (++p; At(p) && At(p) != '>'; ++p) {
        }
        return At(p) == '>' ? p + 1 : p;
    }

    size_t Declaration(size_t p) const
    {
        p += 5;
        while (At(p)) {
            if (At(p) == '>')
                return p + 1;
            p = SkipSpace(p);
            if (!At(p))
                return kStop;
            if (Equal(p, "version", true) || Equal(p, "encoding", true) || Equal(p, "standalone", true)) {
                p = Attribute(p);
                if (p == kStop)
                    return kStop;
            } else {
                while (At(p) && At(p) != '>' && !IsSpace(At(p)))
                    ++p;
            }
        }
        return kStop;
    }

    const uint8_t* m_text;
    size_t m_size;
    bool m_utf8;
};

} // namespace

uint32_t XmlNestingDepth(const char* text, size_t size, XmlStepping stepping)
{
    return NestingScan(text, size, stepping).Run();
}
