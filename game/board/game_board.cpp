#include "game/board/game_board.h"

#include <algorithm>
#include <climits>

#include "game/board/level_data.h"

namespace {

constexpr int kSize = GGameBoard::kSize;
// Ring places: 13 on each of the four sides, walked clockwise from the top side's left end.
constexpr int kRingPlaces = 4 * kSize;

int16_t Plus16(int16_t value, int add)
{
    return static_cast<int16_t>(std::min<int>(INT16_MAX, value + add));
}

int32_t Plus32(int32_t value, int64_t add)
{
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{value} + add, INT32_MIN, INT32_MAX));
}

int RingIndex(GGunPosition gun)
{
    switch (gun.side) {
    case GSide::kTop:
        return gun.line;
    case GSide::kRight:
        return kSize + gun.line;
    case GSide::kBottom:
        return 2 * kSize + (kSize - 1 - gun.line);
    case GSide::kLeft:
        break;
    }
    return 3 * kSize + (kSize - 1 - gun.line);
}

GGunPosition RingPlace(int index)
{
    const int side = index / kSize;
    const int along = index % kSize;
    const int8_t forward = static_cast<int8_t>(along);
    const int8_t backward = static_cast<int8_t>(kSize - 1 - along);
    switch (side) {
    case 0:
        return {GSide::kTop, forward};
    case 1:
        return {GSide::kRight, forward};
    case 2:
        return {GSide::kBottom, backward};
    }
    return {GSide::kLeft, backward};
}

bool ValidGun(GGunPosition gun)
{
    return gun.side <= GSide::kLeft && gun.line >= 0 && gun.line < kSize;
}

GCell CellFrom(char cell, char cube)
{
    GCell made;
    if (cell == '#')
        made.kind = GCellKind::kWall;
    else if (cell == 'T')
        made.kind = GCellKind::kTarget;
    else if (cell >= '0' && cell <= '3') {
        made.kind = GCellKind::kRepaint;
        made.repaintColour = static_cast<int8_t>(cell - '0');
    }
    if (cube >= '0' && cube <= '3')
        made.cube = static_cast<int8_t>(cube - '0');
    return made;
}

} // namespace

int GGameBoard::Start(const GLevel& level, const GBoardRules& rules, bool timed, uint32_t seed)
{
    if (LevelProblem(level) || RulesProblem(rules))
        return 0;
    m_rules = rules;
    m_stats = GBoardStats{};
    for (int i = 0; i < GLevel::kCells; ++i) {
        const size_t at = static_cast<size_t>(i);
        m_cells[at] = CellFrom(level.cells[at], level.cubes[at]);
        if (m_cells[at].kind == GCellKind::kTarget)
            ++m_stats.targetsTotal;
    }
    m_gun = GGunPosition{};
    m_state = GBoardState::kAiming;
    m_lossReason = GLossReason::kNone;
    m_timed = timed;
    m_warned = false;
    m_colours = level.colours;
    m_shots = level.shots;
    m_timeLeftMs = timed ? 1000 * (level.seconds > 0 ? level.seconds : rules.timedSeconds) : 0;
    m_flyX = m_flyY = m_flyColour = -1;
    m_flyDx = m_flyDy = 0;
    m_random.SetSeed(seed);
    m_nextColour = static_cast<int8_t>(m_random.Range(0, static_cast<int16_t>(m_colours - 1)));
    return 1;
}

int GGameBoard::Aim(GGunPosition position)
{
    if (m_state != GBoardState::kAiming || !ValidGun(position))
        return 0;
    m_gun = position;
    return 1;
}

void GGameBoard::MoveGun(int dx, int dy)
{
    if (m_state != GBoardState::kAiming)
        return;
    const bool horizontal = m_gun.side == GSide::kTop || m_gun.side == GSide::kBottom;
    // Reduced first, so that turning the way round below cannot overflow.
    int move = (horizontal ? dx : dy) % kRingPlaces;
    // Along the bottom and the left side the clockwise walk runs against the axis.
    if (m_gun.side == GSide::kBottom || m_gun.side == GSide::kLeft)
        move = -move;
    const int index = (RingIndex(m_gun) + move + kRingPlaces) % kRingPlaces;
    m_gun = RingPlace(index);
}

GGunPosition GGameBoard::GunForCell(int x, int y, GGunPosition current)
{
    const bool xIn = x >= 0 && x < kSize;
    const bool yIn = y >= 0 && y < kSize;
    const int8_t column = static_cast<int8_t>(x);
    const int8_t row = static_cast<int8_t>(y);
    if (xIn && y == -1)
        return {GSide::kTop, column};
    if (xIn && y == kSize)
        return {GSide::kBottom, column};
    if (yIn && x == -1)
        return {GSide::kLeft, row};
    if (yIn && x == kSize)
        return {GSide::kRight, row};
    if (!xIn || !yIn || !ValidGun(current))
        return current;
    const bool horizontal = current.side == GSide::kTop || current.side == GSide::kBottom;
    return {current.side, horizontal ? column : row};
}

void GGameBoard::EntryOf(GGunPosition gun, int& x, int& y, int& dx, int& dy)
{
    const int line = std::clamp<int>(gun.line, 0, kSize - 1);
    switch (gun.side) {
    case GSide::kTop:
        x = line, y = 0, dx = 0, dy = 1;
        return;
    case GSide::kRight:
        x = kSize - 1, y = line, dx = -1, dy = 0;
        return;
    case GSide::kBottom:
        x = line, y = kSize - 1, dx = 0, dy = -1;
        return;
    case GSide::kLeft:
        break;
    }
    x = 0, y = line, dx = 1, dy = 0;
}

bool GGameBoard::IsFreeEntry(int x, int y) const
{
    const GCell& cell = At(x, y);
    return cell.kind != GCellKind::kWall && cell.cube < 0;
}

bool GGameBoard::AnyFreeEntry() const
{
    for (int place = 0; place < kRingPlaces; ++place) {
        int x = 0, y = 0, dx = 0, dy = 0;
        EntryOf(RingPlace(place), x, y, dx, dy);
        if (IsFreeEntry(x, y))
            return true;
    }
    return false;
}

void GGameBoard::Emit(GBoardMoment moment, int x, int y, int colour, int count, int32_t score)
{
    if (!m_listener)
        return;
    GBoardEvent event{moment};
    event.x = static_cast<int8_t>(x);
    event.y = static_cast<int8_t>(y);
    event.colour = static_cast<int8_t>(colour);
    event.count = static_cast<int16_t>(count);
    event.score = score;
    m_listener->OnBoardEvent(event);
}

void GGameBoard::AddScore(int32_t score)
{
    m_stats.score = Plus32(m_stats.score, score);
}

int GGameBoard::Fire()
{
    if (m_state != GBoardState::kAiming)
        return 0;
    int x = 0, y = 0, dx = 0, dy = 0;
    EntryOf(m_gun, x, y, dx, dy);
    if (!IsFreeEntry(x, y)) {
        Emit(GBoardMoment::kShotRefused, x, y, m_nextColour);
        return 0;
    }
    m_stats.shots = Plus16(m_stats.shots, 1);
    m_flyColour = m_nextColour;
    m_flyX = static_cast<int8_t>(x);
    m_flyY = static_cast<int8_t>(y);
    m_flyDx = static_cast<int8_t>(dx);
    m_flyDy = static_cast<int8_t>(dy);
    m_state = GBoardState::kFlying;
    // Drawn before the moment is told, so a listener shows the gun's next cube at once.
    m_nextColour = static_cast<int8_t>(m_random.Range(0, static_cast<int16_t>(m_colours - 1)));
    Emit(GBoardMoment::kShot, x, y, m_flyColour);
    EnterCell(x, y);
    return 1;
}

void GGameBoard::EnterCell(int x, int y)
{
    Emit(GBoardMoment::kCubeEnters, x, y, m_flyColour);
    GCell& cell = CellAt(x, y);
    if (cell.kind == GCellKind::kRepaint && cell.repaintColour != m_flyColour) {
        m_flyColour = cell.repaintColour;
        Emit(GBoardMoment::kRepaint, x, y, m_flyColour);
    }
    if (cell.bonus) {
        cell.bonus = false;
        m_stats.bonuses = Plus16(m_stats.bonuses, 1);
        AddScore(m_rules.bonusScore);
        Emit(GBoardMoment::kBonusCollected, x, y, m_flyColour, 0, m_rules.bonusScore);
    }
}

int GGameBoard::Step()
{
    if (m_state != GBoardState::kFlying)
        return 0;
    const int x = m_flyX + m_flyDx;
    const int y = m_flyY + m_flyDy;
    if (Inside(x, y) && IsFreeEntry(x, y)) {
        m_flyX = static_cast<int8_t>(x);
        m_flyY = static_cast<int8_t>(y);
        EnterCell(x, y);
        return 1;
    }
    Settle();
    return 0;
}

int GGameBoard::ExplodeGroup(int x, int y, std::array<uint8_t, kSize * kSize>& exploded)
{
    const int8_t colour = At(x, y).cube;
    std::array<uint8_t, kSize * kSize> stack{};
    int stacked = 0;
    int count = 0;
    exploded.fill(0);
    exploded[static_cast<size_t>(y * kSize + x)] = 1;
    stack[static_cast<size_t>(stacked++)] = static_cast<uint8_t>(y * kSize + x);
    while (stacked > 0) {
        const int at = stack[static_cast<size_t>(--stacked)];
        ++count;
        const int cx = at % kSize;
        const int cy = at / kSize;
        const int next[4][2] = {{cx + 1, cy}, {cx - 1, cy}, {cx, cy + 1}, {cx, cy - 1}};
        for (const auto& [nx, ny] : next) {
            const size_t n = static_cast<size_t>(ny * kSize + nx);
            if (Inside(nx, ny) && !exploded[n] && At(nx, ny).cube == colour) {
                exploded[n] = 1;
                stack[static_cast<size_t>(stacked++)] = static_cast<uint8_t>(n);
            }
        }
    }
    if (count < m_rules.groupSize)
        return 0;
    for (size_t i = 0; i < exploded.size(); ++i)
        if (exploded[i])
            m_cells[i].cube = -1;
    return count;
}

void GGameBoard::Settle()
{
    const int x = m_flyX;
    const int y = m_flyY;
    const int8_t colour = m_flyColour;
    CellAt(x, y).cube = colour;
    m_flyX = m_flyY = m_flyColour = -1;
    Emit(GBoardMoment::kCubeStops, x, y, colour);

    std::array<uint8_t, kSize * kSize> exploded{};
    const int count = ExplodeGroup(x, y, exploded);
    if (count > 0) {
        const int32_t score = count * m_rules.scorePerCube;
        m_stats.groups = Plus16(m_stats.groups, 1);
        m_stats.cubesDestroyed = Plus16(m_stats.cubesDestroyed, count);
        AddScore(score);
        Emit(GBoardMoment::kGroupExplodes, x, y, colour, count, score);
        // Row by row from the top, so the order of the burns does not hang on the fill.
        for (int i = 0; i < GLevel::kCells; ++i) {
            GCell& cell = m_cells[static_cast<size_t>(i)];
            if (exploded[static_cast<size_t>(i)] && cell.kind == GCellKind::kTarget &&
                !cell.burned) {
                cell.burned = true;
                m_stats.targetsBurned = Plus16(m_stats.targetsBurned, 1);
                AddScore(m_rules.targetScore);
                Emit(GBoardMoment::kTargetBurns, i % kSize, i / kSize, colour, 0,
                     m_rules.targetScore);
            }
        }
        if (count >= m_rules.bonusGroupSize) {
            CellAt(x, y).bonus = true;
            Emit(GBoardMoment::kBonusAppears, x, y, colour);
        }
    }
    EndLevel();
}

void GGameBoard::EndLevel()
{
    if (GetTargetsLeft() <= 0) {
        m_state = GBoardState::kWon;
        Emit(GBoardMoment::kLevelWon, -1, -1, -1);
    } else if (m_timed && m_timeLeftMs <= 0) {
        Lose(GLossReason::kTimeOut);
    } else if (GetShotsLeft() <= 0) {
        Lose(GLossReason::kNoMoves);
    } else if (!AnyFreeEntry()) {
        Lose(GLossReason::kFieldFull);
    } else {
        m_state = GBoardState::kAiming;
    }
}

void GGameBoard::Lose(GLossReason reason)
{
    m_state = GBoardState::kLost;
    m_lossReason = reason;
    Emit(GBoardMoment::kLevelLost, -1, -1, -1);
}

void GGameBoard::AdvanceTime(int ms)
{
    if ((m_state != GBoardState::kAiming && m_state != GBoardState::kFlying) || ms <= 0)
        return;
    m_stats.timeMs = Plus32(m_stats.timeMs, ms);
    if (!m_timed || m_timeLeftMs <= 0)
        return;
    m_timeLeftMs = std::max(0, m_timeLeftMs - ms);
    if (!m_warned && m_timeLeftMs > 0 && m_timeLeftMs <= 1000 * m_rules.timeWarnSeconds) {
        m_warned = true;
        Emit(GBoardMoment::kTimeWarning, -1, -1, -1);
    }
    // A cube in flight finishes its shot first: Settle decides then, and the shot may still win.
    if (m_timeLeftMs == 0 && m_state == GBoardState::kAiming)
        Lose(GLossReason::kTimeOut);
}

int GGameBoard::GetShotsLeft() const
{
    return std::max(0, m_shots - m_stats.shots);
}

int GGameBoard::GetCubeCount() const
{
    return static_cast<int>(std::count_if(m_cells.begin(), m_cells.end(),
                                          [](const GCell& cell) { return cell.cube >= 0; }));
}
