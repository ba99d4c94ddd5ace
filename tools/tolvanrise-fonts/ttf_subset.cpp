#include "tools/tolvanrise-fonts/ttf_subset.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace fonttool {

namespace {

// Big-endian fields, bounds-checked: a read past the end gives 0 and marks the font bad.
class Reader {
public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes) {}
    uint32_t U16(size_t at) { return Has(at, 2) ? uint32_t(Byte(at) << 8 | Byte(at + 1)) : 0; }
    uint32_t U32(size_t at) { return Has(at, 4) ? U16(at) << 16 | U16(at + 2) : 0; }
    bool Has(size_t at, size_t n)
    {
        m_bad |= at > m_bytes.size() || n > m_bytes.size() - at;
        return !m_bad;
    }
    bool Bad() const { return m_bad; }
    std::string Slice(size_t at, size_t n)
    {
        return Has(at, n) ? m_bytes.substr(at, n) : std::string();
    }

private:
    uint32_t Byte(size_t at) const { return static_cast<uint8_t>(m_bytes[at]); }
    const std::string& m_bytes;
    bool m_bad = false;
};

void Put16(std::string& out, uint32_t v)
{
    out += char(v >> 8), out += char(v);
}
void Put32(std::string& out, uint32_t v)
{
    Put16(out, v >> 16), Put16(out, v & 0xFFFF);
}
void Set16(std::string& s, size_t at, uint32_t v)
{
    s[at] = char(v >> 8), s[at + 1] = char(v);
}
void Set32(std::string& s, size_t at, uint32_t v)
{
    Set16(s, at, v >> 16), Set16(s, at + 2, v & 0xFFFF);
}

uint32_t CheckSum(const std::string& table)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < table.size(); i += 4)
        for (size_t k = 0; k < 4; ++k)
            sum += (i + k < table.size() ? uint32_t(static_cast<uint8_t>(table[i + k])) : 0)
                   << (24 - 8 * k);
    return sum;
}

// The glyph of a code in the format-4 subtable at sub; 0 when there is none.
uint32_t GlyphOfCode(Reader& r, size_t sub, uint32_t code)
{
    const uint32_t segments = r.U16(sub + 6) / 2;
    const size_t ends = sub + 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                 ranges = deltas + 2 * segments;
    for (uint32_t i = 0; i < segments && !r.Bad(); ++i) {
        if (code > r.U16(ends + 2 * i) || code < r.U16(starts + 2 * i))
            continue;
        const uint32_t range = r.U16(ranges + 2 * i);
        if (range == 0)
            return (code + r.U16(deltas + 2 * i)) & 0xFFFF;
        const uint32_t glyph = r.U16(ranges + 2 * i + range + 2 * (code - r.U16(starts + 2 * i)));
        return glyph == 0 ? 0 : (glyph + r.U16(deltas + 2 * i)) & 0xFFFF;
    }
    return 0;
}

// The components of a composite glyph: (offset of the index field, index).
std::vector<std::pair<size_t, uint32_t>> Components(Reader& r, size_t glyph, size_t length)
{
    std::vector<std::pair<size_t, uint32_t>> parts;
    if (length < 10 || int16_t(r.U16(glyph)) >= 0)
        return parts;
    for (size_t at = glyph + 10; at + 4 <= glyph + length && !r.Bad();) {
        const uint32_t flags = r.U16(at);
        parts.emplace_back(at + 2 - glyph, r.U16(at + 2));
        at += 4 + (flags & 0x1 ? 4 : 2) +
              (flags & 0x8    ? 2
               : flags & 0x40 ? 4
               : flags & 0x80 ? 8
                              : 0);
        if (!(flags & 0x20))
            break;
    }
    return parts;
}

// The source font's tables by tag (offset, length) and what the subset reads through them.
struct Source {
    explicit Source(const std::string& font) : r(font) {}
    size_t Table(const char* tag) { return tables[tag].first; }
    std::string Copy(const char* tag) { return r.Slice(tables[tag].first, tables[tag].second); }
    size_t Location(uint32_t g)
    {
        return longLoca ? size_t(r.U32(Table("loca") + 4 * g))
                        : size_t(r.U16(Table("loca") + 2 * g)) * 2;
    }

    Reader r;
    std::map<std::string, std::pair<size_t, size_t>> tables;
    size_t sub = 0; // the format-4 Unicode character map
    uint32_t glyphCount = 0;
    bool longLoca = false;
};

bool OpenSource(Source& source, std::string& error)
{
    Reader& r = source.r;
    for (uint32_t i = 0, n = r.U16(4); i < n; ++i)
        source.tables[r.Slice(12 + 16 * i, 4)] = {r.U32(12 + 16 * i + 8), r.U32(12 + 16 * i + 12)};
    for (const char* need : {"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp"})
        if (!source.tables.count(need)) {
            error = std::string("no ") + need + " table";
            return false;
        }
    const size_t cmap = source.Table("cmap");
    for (uint32_t i = 0, n = r.U16(cmap + 2); i < n && !source.sub; ++i) {
        const size_t record = cmap + 4 + 8 * i;
        const size_t at = cmap + r.U32(record + 4);
        if (r.U16(record) == 3 && r.U16(record + 2) == 1 && r.U16(at) == 4)
            source.sub = at;
    }
    if (!source.sub) {
        error = "no format-4 Unicode character map";
        return false;
    }
    source.glyphCount = r.U16(source.Table("maxp") + 4);
    source.longLoca = r.U16(source.Table("head") + 50) == 1;
    return true;
}

// Glyph 0 (the missing-glyph box), the characters' glyphs and every component, in order;
// codes maps each character found to its old glyph.
std::set<uint32_t> KeptGlyphs(Source& source, const std::u16string& characters,
                              std::map<uint32_t, uint32_t>& codes)
{
    std::set<uint32_t> keep = {0};
    for (char16_t c : characters)
        if (const uint32_t g = GlyphOfCode(source.r, source.sub, c);
            g != 0 && g < source.glyphCount)
            codes[c] = g, keep.insert(g);
    for (std::vector<uint32_t> todo(keep.begin(), keep.end()); !todo.empty();) {
        const uint32_t g = todo.back();
        todo.pop_back();
        for (const auto& part : Components(source.r, source.Table("glyf") + source.Location(g),
                                           source.Location(g + 1) - source.Location(g)))
            if (part.second < source.glyphCount && keep.insert(part.second).second)
                todo.push_back(part.second);
    }
    return keep;
}

// The kept glyphs' outlines (components renumbered), their long locations and metrics.
void CopyGlyphs(Source& source, const std::set<uint32_t>& keep,
                std::map<uint32_t, uint32_t>& newIndex, std::string& glyf, std::string& loca,
                std::string& hmtx)
{
    Reader& r = source.r;
    const uint32_t metrics = r.U16(source.Table("hhea") + 34);
    const size_t glyfAt = source.Table("glyf"), hmtxAt = source.Table("hmtx");
    for (uint32_t g : keep) {
        Put32(loca, uint32_t(glyf.size()));
        const size_t at = glyfAt + source.Location(g);
        std::string outline = r.Slice(at, source.Location(g + 1) - source.Location(g));
        for (const auto& part : Components(r, at, outline.size()))
            Set16(outline, part.first, newIndex.count(part.second) ? newIndex[part.second] : 0);
        glyf += outline + std::string((4 - outline.size() % 4) % 4, '\0');
        const uint32_t m = std::min(g, metrics - 1);
        Put16(hmtx, r.U16(hmtxAt + 4 * m));
        Put16(hmtx, g < metrics ? r.U16(hmtxAt + 4 * g + 2)
                                : r.U16(hmtxAt + 4 * metrics + 2 * (g - metrics)));
    }
    Put32(loca, uint32_t(glyf.size()));
}

// A format-4 map with one segment per character, then the closing 0xFFFF one.
std::string CharacterMap(const std::map<uint32_t, uint32_t>& codes,
                         std::map<uint32_t, uint32_t>& newIndex)
{
    std::string cmap;
    const uint32_t segments = uint32_t(codes.size()) + 1;
    uint32_t power = 1, log = 0;
    while (power * 2 <= segments)
        power *= 2, ++log;
    Put16(cmap, 0), Put16(cmap, 1), Put16(cmap, 3), Put16(cmap, 1), Put32(cmap, 12);
    Put16(cmap, 4), Put16(cmap, 16 + 8 * segments), Put16(cmap, 0);
    Put16(cmap, 2 * segments), Put16(cmap, 2 * power), Put16(cmap, log),
        Put16(cmap, 2 * segments - 2 * power);
    for (const auto& [code, g] : codes)
        Put16(cmap, code);
    Put16(cmap, 0xFFFF), Put16(cmap, 0);
    for (const auto& [code, g] : codes)
        Put16(cmap, code);
    Put16(cmap, 0xFFFF);
    for (const auto& [code, g] : codes)
        Put16(cmap, (newIndex[g] - code) & 0xFFFF);
    Put16(cmap, 1);
    for (uint32_t i = 0; i < segments; ++i)
        Put16(cmap, 0);
    return cmap;
}

// The family "Subset", style "Regular", in Windows Unicode records.
std::string NameTable()
{
    std::string name;
    const std::u16string family = u"Subset", style = u"Regular";
    Put16(name, 0), Put16(name, 2), Put16(name, 6 + 2 * 12);
    Put16(name, 3), Put16(name, 1), Put16(name, 0x409), Put16(name, 1),
        Put16(name, 2 * family.size()), Put16(name, 0);
    Put16(name, 3), Put16(name, 1), Put16(name, 0x409), Put16(name, 2),
        Put16(name, 2 * style.size()), Put16(name, 2 * family.size());
    for (char16_t c : family + style)
        Put16(name, c);
    return name;
}

// The font file of the tables: directory, padded tables, and the head table's adjustment.
std::string Assemble(const std::map<std::string, std::string>& kept)
{
    std::string out;
    Put32(out, 0x00010000), Put16(out, uint32_t(kept.size()));
    uint32_t power2 = 1, log2 = 0;
    while (power2 * 2 <= kept.size())
        power2 *= 2, ++log2;
    Put16(out, 16 * power2), Put16(out, log2), Put16(out, 16 * uint32_t(kept.size()) - 16 * power2);
    size_t offset = 12 + 16 * kept.size();
    std::string body;
    for (const auto& [tag, bytes] : kept) {
        out += tag;
        Put32(out, CheckSum(bytes)), Put32(out, uint32_t(offset + body.size())),
            Put32(out, uint32_t(bytes.size()));
        body += bytes + std::string((4 - bytes.size() % 4) % 4, '\0');
    }
    out += body;
    // The whole font sums to the magic number through the head table's adjustment field.
    const size_t headAt = [&] {
        size_t at = offset;
        for (const auto& [tag, bytes] : kept) {
            if (tag == "head")
                return at;
            at += bytes.size() + (4 - bytes.size() % 4) % 4;
        }
        return at;
    }();
    Set32(out, headAt + 8, 0xB1B0AFBA - CheckSum(out));
    return out;
}

} // namespace

bool SubsetTrueType(const std::string& font, const std::u16string& characters, std::string& out,
                    std::string& error)
{
    Source source(font);
    if (!OpenSource(source, error))
        return false;
    std::map<uint32_t, uint32_t> codes; // code -> old glyph
    const std::set<uint32_t> keep = KeptGlyphs(source, characters, codes);
    std::map<uint32_t, uint32_t> newIndex;
    for (uint32_t g : keep)
        newIndex.emplace(g, uint32_t(newIndex.size()));
    std::string glyf, loca, hmtx;
    CopyGlyphs(source, keep, newIndex, glyf, loca, hmtx);
    const std::string cmap = CharacterMap(codes, newIndex);

    std::string head = source.Copy("head"), hhea = source.Copy("hhea"), maxp = source.Copy("maxp"),
                post = source.Copy("post");
    if (source.r.Bad() || head.size() < 54 || hhea.size() < 36 || maxp.size() < 6) {
        error = "a table runs past the end of the font";
        return false;
    }
    Set32(head, 8, 0);
    Set16(head, 50, 1);
    Set16(hhea, 34, uint32_t(keep.size()));
    Set16(maxp, 4, uint32_t(keep.size()));
    if (post.size() >= 32) {
        post.resize(32);
        Set32(post, 0, 0x00030000); // no glyph names
    }
    std::map<std::string, std::string> kept = {{"cmap", cmap}, {"glyf", glyf},       {"head", head},
                                               {"hhea", hhea}, {"hmtx", hmtx},       {"loca", loca},
                                               {"maxp", maxp}, {"name", NameTable()}};
    if (!post.empty())
        kept["post"] = post;
    for (const char* tag : {"OS/2", "cvt ", "fpgm", "prep", "gasp"})
        if (source.tables.count(tag))
            kept[tag] = source.Copy(tag);
    if (source.r.Bad()) {
        error = "a table runs past the end of the font";
        return false;
    }
    out = Assemble(kept);
    return true;
}

} // namespace fonttool
