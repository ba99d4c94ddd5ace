#include "game/board/level_data.h"

#include <string_view>

#include "foundation/docs/ini_data_doc.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/files/html_log.h"
#include "foundation/text/wstring.h"
#include "game/board/game_board.h"

namespace {

constexpr int kSize = GGameBoard::kSize;

// One tunable value of [Rules] and the values a game can be played with: a group of one cube
// would burst every shot, and the scores stay far from the 16-bit fields' ends.
struct RuleKey {
    const char* key;
    int16_t GBoardRules::*field;
    int lo;
    int hi;
};
constexpr RuleKey kRuleKeys[] = {
    {"GroupSize", &GBoardRules::groupSize, 2, 9},
    {"BonusGroupSize", &GBoardRules::bonusGroupSize, 2, kSize* kSize},
    {"ScorePerCube", &GBoardRules::scorePerCube, 0, 1000},
    {"TargetScore", &GBoardRules::targetScore, 0, 10000},
    {"BonusScore", &GBoardRules::bonusScore, 0, 10000},
    {"TimedSeconds", &GBoardRules::timedSeconds, 10, kMaxLevelSeconds},
    {"TimeWarnSeconds", &GBoardRules::timeWarnSeconds, 0, 600},
};

std::u16string_view Trimmed(std::u16string_view text)
{
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
        text.remove_suffix(1);
    return text;
}

// A whole decimal number of at most six digits with an optional sign, blanks around it
// allowed; anything else (empty, "12abc", a seventh digit) is no number.
bool ReadWholeNumber(std::u16string_view text, int& value)
{
    text = Trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 6)
        return false;
    value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    if (negative)
        value = -value;
    return true;
}

// Names of columns, keys and sections are ASCII.
std::u16string Wide(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::string Narrow(std::u16string_view text)
{
    return GWString(text).GetNarrow();
}

bool IsPlainFileName(std::string_view name)
{
    if (name.empty() || name.front() == '.')
        return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 32)
            return false;
    return true;
}

// The number in a column of the current row, checked against its range.
bool ReadLimit(const GDataDoc& row, const char* column, int lo, int hi, int& value,
               std::string& error)
{
    const GWString text = row.GetAttributeString(column, "");
    if (!ReadWholeNumber(text.View(), value)) {
        error = std::string(column) + " \"" + Narrow(text.View()) + "\" is no number";
        return false;
    }
    if (value < lo || value > hi) {
        error = std::string(column) + " " + std::to_string(value) + " outside " +
                std::to_string(lo) + ".." + std::to_string(hi);
        return false;
    }
    return true;
}

std::string ReadListRow(const GDataDoc& row, GLevelInfo& info)
{
    info.name = Narrow(Trimmed(row.GetAttributeString("Name", "").View()));
    info.file = Narrow(Trimmed(row.GetAttributeString("File", "").View()));
    if (info.name.empty())
        return "no name";
    if (!IsPlainFileName(info.file))
        return "file \"" + info.file + "\" is no plain file name";
    std::string error;
    int shots = 0;
    int colours = 0;
    int seconds = 0;
    if (!ReadLimit(row, "Shots", 1, kMaxShots, shots, error) ||
        !ReadLimit(row, "Colours", 1, kMaxColours, colours, error) ||
        !ReadLimit(row, "Seconds", 0, kMaxLevelSeconds, seconds, error))
        return error;
    info.shots = static_cast<int16_t>(shots);
    info.colours = static_cast<int8_t>(colours);
    info.seconds = static_cast<int16_t>(seconds);
    return {};
}

// The section whose header line is exactly header, made current; null when there is none.
GDataDoc* FindSection(GIniDataDoc& doc, std::u16string_view header)
{
    for (GDataDoc* section = doc.GetChild(nullptr); section;
         section = doc.GetNextSibling(section, nullptr)) {
        const GIniDataDoc::Section* entries =
            doc.GetSection(static_cast<uint32_t>(doc.GetCurrentSection()));
        if (entries && !entries->empty() && entries->front().key == header)
            return section;
    }
    return nullptr;
}

std::string ReadGrid(GIniDataDoc& doc, const char* name, std::array<char, GLevel::kCells>& grid)
{
    GDataDoc* section = FindSection(doc, u"[" + Wide(name) + u"]");
    if (!section)
        return std::string("no [") + name + "] section";
    for (int y = 0; y < kSize; ++y) {
        const std::string key = "Row" + std::to_string(y + 1);
        const GWString row = section->GetAttributeString(key.c_str(), "");
        const std::u16string_view text = row.View();
        if (text.size() != static_cast<size_t>(kSize))
            return std::string("[") + name + "] " + key + " is not " + std::to_string(kSize) +
                   " characters";
        for (int x = 0; x < kSize; ++x) {
            const char16_t c = text[static_cast<size_t>(x)];
            grid[static_cast<size_t>(y * kSize + x)] = c < 0x80 ? static_cast<char>(c) : '?';
        }
    }
    return {};
}

template <class T>
GLevelDataResult<T> Failure(std::string error)
{
    GLevelDataResult<T> result;
    result.error = std::move(error);
    return result;
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "\\" + name;
}

template <class T>
void LogFailure(GHtmlLog* log, GLevelDataResult<T>& result, const std::string& path)
{
    if (result.Ok())
        return;
    result.error = path + ": " + result.error;
    if (log)
        log->PrintError("Level data: %s", result.error.c_str());
}

GLevelDataResult<std::vector<GLevelInfo>> ParseLevelList(GTableDataDoc& table)
{
    for (const char* column : {"Name", "File", "Shots", "Colours", "Seconds"}) {
        bool found = false;
        for (const std::u16string& name : table.GetHeader())
            found = found || name == Wide(column);
        if (!found)
            return Failure<std::vector<GLevelInfo>>(std::string("no column ") + column);
    }
    GLevelDataResult<std::vector<GLevelInfo>> result;
    // GetChild answers even a table without rows, with its defaults; so the rows are counted first.
    GDataDoc* first = table.GetRowCount() > 0 ? table.GetChild(nullptr) : nullptr;
    for (GDataDoc* row = first; row; row = table.GetNextSibling(row, nullptr)) {
        GLevelInfo info;
        const std::string error = ReadListRow(*row, info);
        if (!error.empty())
            return Failure<std::vector<GLevelInfo>>(
                "row " + std::to_string(table.GetCurrentRow() + 1) + ": " + error);
        result.value.push_back(std::move(info));
    }
    if (result.value.empty())
        return Failure<std::vector<GLevelInfo>>("no level");
    return result;
}

GLevelDataResult<GLevel> ParseLevel(const GLevelInfo& info, GIniDataDoc& doc)
{
    GLevelDataResult<GLevel> result;
    GLevel& level = result.value;
    level.name = info.name;
    level.shots = info.shots;
    level.colours = info.colours;
    level.seconds = info.seconds;
    std::string error = ReadGrid(doc, "Cells", level.cells);
    if (error.empty())
        error = ReadGrid(doc, "Cubes", level.cubes);
    if (error.empty()) {
        if (const char* problem = LevelProblem(level))
            error = problem;
    }
    if (!error.empty())
        return Failure<GLevel>(error);
    return result;
}

GLevelDataResult<GRulesRead> ParseBoardRules(GIniDataDoc& doc)
{
    GDataDoc* section = FindSection(doc, u"[Rules]");
    if (!section)
        return Failure<GRulesRead>("no [Rules] section");
    GLevelDataResult<GRulesRead> result;
    for (const RuleKey& key : kRuleKeys) {
        const GWString text = section->GetAttributeString(key.key, "");
        if (text.IsEmpty())
            continue;
        int value = 0;
        if (!ReadWholeNumber(text.View(), value))
            result.value.refused.push_back(std::string(key.key) + " \"" + Narrow(text.View()) +
                                           "\" is no number");
        else if (value < key.lo || value > key.hi)
            result.value.refused.push_back(std::string(key.key) + " " + std::to_string(value) +
                                           " outside " + std::to_string(key.lo) + ".." +
                                           std::to_string(key.hi));
        else
            result.value.rules.*key.field = static_cast<int16_t>(value);
    }
    return result;
}

constexpr const char* kUnreadable = "missing, empty or unreadable";

} // namespace

// The texts below name the limits.
static_assert(kMaxColours == 4 && kMaxShots == 999 && kMaxLevelSeconds == 3600);

const char* LevelProblem(const GLevel& level)
{
    if (level.colours < 1 || level.colours > kMaxColours)
        return "colour count outside 1..4";
    if (level.shots < 1 || level.shots > kMaxShots)
        return "shots outside 1..999";
    if (level.seconds < 0 || level.seconds > kMaxLevelSeconds)
        return "seconds outside 0..3600";
    bool target = false;
    for (int i = 0; i < GLevel::kCells; ++i) {
        const char cell = level.cells[static_cast<size_t>(i)];
        const char cube = level.cubes[static_cast<size_t>(i)];
        const bool repaint = cell >= '0' && cell <= '3';
        if (cell != '.' && cell != '#' && cell != 'T' && !repaint)
            return "a cell character that is none of . # T 0-3";
        if (cube != '.' && (cube < '0' || cube > '3'))
            return "a cube character that is none of . 0-3";
        if ((repaint && cell - '0' >= level.colours) ||
            (cube != '.' && cube - '0' >= level.colours))
            return "a colour not below the level's colour count";
        if (cube != '.' && cell == '#')
            return "a cube on a wall";
        target = target || cell == 'T';
    }
    if (!target)
        return "no target";
    for (int side = 0; side < 4; ++side) {
        for (int line = 0; line < kSize; ++line) {
            int x = 0;
            int y = 0;
            int dx = 0;
            int dy = 0;
            GGameBoard::EntryOf({static_cast<GSide>(side), static_cast<int8_t>(line)}, x, y, dx,
                                dy);
            const size_t i = static_cast<size_t>(y * kSize + x);
            if (level.cells[i] != '#' && level.cubes[i] == '.')
                return nullptr;
        }
    }
    return "no free entry cell";
}

const char* RulesProblem(const GBoardRules& rules)
{
    for (const RuleKey& key : kRuleKeys) {
        const int value = rules.*key.field;
        if (value < key.lo || value > key.hi)
            return key.key;
    }
    return nullptr;
}

GLevelDataResult<std::vector<GLevelInfo>> ReadLevelList(const uint8_t* bytes, size_t size)
{
    GTableDataDoc table;
    if (!bytes || !table.LoadSectionFromBytes(bytes, size, 0, 0))
        return Failure<std::vector<GLevelInfo>>("empty");
    return ParseLevelList(table);
}

GLevelDataResult<GLevel> ReadLevel(const GLevelInfo& info, const uint8_t* bytes, size_t size)
{
    GIniDataDoc doc;
    if (!bytes || !doc.LoadTextFromBytes(bytes, size, 0))
        return Failure<GLevel>("empty");
    return ParseLevel(info, doc);
}

GLevelDataResult<GRulesRead> ReadBoardRules(const uint8_t* bytes, size_t size)
{
    GIniDataDoc doc;
    if (!bytes || !doc.LoadTextFromBytes(bytes, size, 0))
        return Failure<GRulesRead>("empty");
    return ParseBoardRules(doc);
}

GLevelDataResult<std::vector<GLevelInfo>> LoadLevelList(GHtmlLog* log, const std::string& folder)
{
    const std::string path = InFolder(folder, "levellist.csv");
    GTableDataDoc table;
    auto result = table.LoadSection(path.c_str(), 0, 0, 0)
                      ? ParseLevelList(table)
                      : Failure<std::vector<GLevelInfo>>(kUnreadable);
    LogFailure(log, result, path);
    return result;
}

GLevelDataResult<GLevel> LoadLevel(const GLevelInfo& info, GHtmlLog* log, const std::string& folder)
{
    // The name comes from a file too: it may only name a file in the level folder.
    const std::string path = InFolder(folder, info.file);
    GIniDataDoc doc;
    auto result = !IsPlainFileName(info.file)        ? Failure<GLevel>("no plain file name")
                  : doc.LoadText(path.c_str(), 0, 0) ? ParseLevel(info, doc)
                                                     : Failure<GLevel>(kUnreadable);
    LogFailure(log, result, path);
    return result;
}

GLevelDataResult<GRulesRead> LoadBoardRules(GHtmlLog* log, const std::string& folder)
{
    const std::string path = InFolder(folder, "options.ini");
    GIniDataDoc doc;
    auto result =
        doc.LoadText(path.c_str(), 0, 0) ? ParseBoardRules(doc) : Failure<GRulesRead>(kUnreadable);
    LogFailure(log, result, path);
    for (const std::string& refused : result.value.refused)
        if (log)
            log->PrintError("Level data: %s: %s, the default kept", path.c_str(), refused.c_str());
    return result;
}
