#include "foundation/docs/parse_status.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/files/data_files.h"
#include "foundation/files/xor_scramble.h"

namespace {

// Windows-1251 bytes; the texts are shown as they stand in the program's data.
constexpr const char* kStatusTexts[] = {
    "\xCE\xF8\xE8\xE1\xEA\xE8 \xED\xE5 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED\xFB",
    "\xCD\xE5 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED \xF4\xE0\xE9\xEB",
    "\xCB\xE8\xF8\xED\xED\xE8\xE9 \xF1\xE8\xEC\xE2\xEE\xEB '{'",
    "\xCB\xE8\xF8\xED\xED\xE8\xE9 \xF1\xE8\xEC\xE2\xEE\xEB '}'",
    "\xCD\xE5 \xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xEE \xEF\xEE\xF1\xEB\xE5\xE4\xED\xE5\xE5 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5",
};
constexpr const char* kPositionWord = " \xCF\xEE\xE7\xE8\xF6\xE8\xFF ";

// Byte offsets are reported as i32; a text longer than that reports the largest offset.
int32_t ClampPosition(uint32_t index)
{
    return index > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(index);
}

// A GString holding exactly the given bytes (no zero bytes inside, by construction).
GString ToGString(const std::string& bytes)
{
    GString out;
    out.AssignBytes(bytes.c_str(), static_cast<uint32_t>(bytes.size() + 1));
    return out;
}

enum class Mode { kName, kAfterEquals, kValue };

} // namespace

void GParseStatus::Reset()
{
    m_status = kOk;
    m_position = 0;
    m_entries.Clear();
}

int32_t GParseStatus::LoadFromPack(int32_t packNumber, const char* folder, uint8_t key, int32_t storeValues)
{
    m_storeValues = storeValues;
    Reset();

    std::unique_ptr<GDataPackCache> cache = GDataPackCache::Create(1);
    if (!cache) {
        SetError(0, kFileNotFound);
        return m_status;
    }
    uint32_t size = 0;
    const uint8_t* data = cache->Load(packNumber, &size, folder);
    if (!data) {
        SetError(0, kFileNotFound);
        return m_status;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
    if (!buffer) {
        // Nothing of the text could be looked at: it counts as not found.
        SetError(0, kFileNotFound);
    } else {
        if (key == 0)
            std::memcpy(buffer.get(), data, size);
        else
            XorScrambleInt(data, buffer.get(), size, key);
        ParseText(buffer.get(), size);
    }
    cache->Unload(packNumber, folder);
    cache->Clear();
    return m_status;
}

int32_t GParseStatus::ParseText(const char* text, uint32_t length)
{
    if (!text)
        length = 0;
    // Names and values are gathered in std::string so that long values grow geometrically;
    // the pair stores GString copies once an entry is complete.
    std::string name;
    std::string value;
    Mode mode = Mode::kName;
    uint32_t i = 0;
    for (; i < length && m_status == kOk; ++i) {
        const char c = text[i];
        switch (mode) {
        case Mode::kName:
            if (c == '=') {
                while (!name.empty() && name.back() == ' ')
                    name.pop_back();
                mode = Mode::kAfterEquals;
            } else if (c == '{') {
                SetError(ClampPosition(i), kSurplusOpenBrace);
            } else if (c == '}') {
                SetError(ClampPosition(i), kSurplusCloseBrace);
            } else if (c == '\r' || c == '\n') {
                // Line breaks between entries carry no meaning.
            } else if (c != 0 && !(c == ' ' && name.empty())) {
                name.push_back(c);
            }
            break;
        case Mode::kAfterEquals:
            if (c == '{')
                mode = Mode::kValue;
            else if (c == '}')
                SetError(ClampPosition(i), kSurplusCloseBrace);
            break;
        case Mode::kValue:
            if (c == '{') {
                SetError(ClampPosition(i), kSurplusOpenBrace);
            } else if (c == '}') {
                GStringPair pair;
                pair.key = ToGString(name);
                pair.value = ToGString(value);
                if (!m_entries.Add(pair)) {
                    // The table cannot hold the entry; nothing after it would be kept either.
                    SetError(ClampPosition(i), kLastEntryOpen);
                }
                name.clear();
                value.clear();
                mode = Mode::kName;
            } else {
                AppendToValue(value, c);
            }
            break;
        }
    }
    if (mode != Mode::kName)
        SetError(ClampPosition(length), kLastEntryOpen);
    return m_status;
}

void GParseStatus::AppendToValue(std::string& value, char c) const
{
    // A zero byte cannot live inside a zero-terminated value; it is dropped like in names.
    if (m_storeValues && c != 0)
        value.push_back(c);
}

GStringArray GParseStatus::GetKeys()
{
    GStringArray keys;
    const uint32_t n = m_entries.GetCount();
    if (n && keys.Reserve(n)) {
        for (uint32_t i = 0; i < n; ++i)
            keys.Add(m_entries.GetAt(i)->key);
    }
    return keys;
}

void GParseStatus::SetError(int32_t position, int32_t status)
{
    if (m_status != kOk)
        return;
    m_status = status;
    m_position = position;
}

GString GParseStatus::BuildMessage() const
{
    const int32_t index = m_status >= 0 && m_status <= 4 ? m_status : 0;
    GString message(kStatusTexts[index]);
    if (m_position >= 2) {
        char digits[12];
        StrFromInt(digits, m_position);
        message.Append(kPositionWord);
        message.Append(digits);
    }
    return message;
}
