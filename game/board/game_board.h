#pragma once
// GGameBoard: the rules of one level, apart from their looks. A board of 13 by 13 cells holds
// floor, walls, target cells and repaint cells, and coloured cubes on them. A gun stands on the
// ring around the board, on one side and in one row or column; it fires the next cube (its
// colour drawn from the board's seed) into the board from that side. The cube slides cell by
// cell, one cell a Step, and stops where the next cell is a wall or holds a cube, or where the
// board ends. A repaint cell it enters gives it the cell's colour; a bonus fire on a cell it
// enters is collected. Where it stops, it and its 4-connected neighbours of its colour
// explode when they are at least the rules' group size; the target cells under the exploded
// cubes burn. A group of the bonus size leaves a bonus fire where the fired cube stopped.
// The level is won when every target has burned, lost when the shots run out, when no entry
// cell is free, or (timed) when the time runs out.
//
// The board knows no clock, picture or sound: its owner calls Step while a cube flies and
// AdvanceTime with the elapsed game time, and hears every moment through its listener. The
// same seed and the same calls give the same game. Main thread only; the listener is called
// synchronously from inside Fire, Step and AdvanceTime and must not call them back.
//
// The moments of one shot, in order: Fire tells kShot and then enters the entry cell as the
// Steps enter the others: kCubeEnters, then kRepaint when a repaint cell changed the cube's
// colour (a cube of the cell's own colour passes without one), then kBonusCollected when a bonus
// fire waited there. The Step that finds the next cell taken (or the board's end) tells
// kCubeStops; when the group is big enough kGroupExplodes follows, then kTargetBurns for each
// target under it that had not burned (row by row from the top), then kBonusAppears; last comes
// the level's end, if any: kLevelWon when no target is left, else kLevelLost for the time run
// out, the shots used up or no free entry cell, in that order of precedence.
//
// Time: the warning comes once, when at most the warning time and more than nothing is left. When
// the time runs out while aiming the level is lost at once; while a cube flies, that shot is
// played out first (it may still win the level) and the loss comes as it settles.
//
// Before the first successful Start the board is empty and lost (reason kNone): nothing plays.

#include <array>
#include <cstdint>

#include "foundation/core/random.h"
#include "game/board/board_rules.h"

enum class GCellKind : uint8_t { kFloor, kWall, kTarget, kRepaint };

struct GCell {
    GCellKind kind = GCellKind::kFloor;
    int8_t repaintColour = -1; // the colour a repaint cell gives, else -1
    bool burned = false;       // a target cell that has burned
    int8_t cube = -1;          // the colour of the cube on the cell, -1 for none
    bool bonus = false;        // a bonus fire waits on the cell
};

// The side of the ring the gun stands on; it fires toward the opposite side.
enum class GSide : uint8_t { kTop, kRight, kBottom, kLeft };

struct GGunPosition {
    GSide side = GSide::kBottom;
    int8_t line = 6; // the column (top, bottom) or row (left, right) it fires along
    bool operator==(const GGunPosition&) const = default;
};

enum class GBoardState : uint8_t { kAiming, kFlying, kWon, kLost };
enum class GLossReason : uint8_t { kNone, kNoMoves, kFieldFull, kTimeOut };

// The moments the board reports, in the order they happen within a shot.
enum class GBoardMoment : uint8_t {
    kShot,           // a cube leaves the gun (x, y: the entry cell; colour)
    kShotRefused,    // the entry cell is taken: nothing fired, no shot counted
    kCubeEnters,     // the flying cube moved into (x, y)
    kRepaint,        // it took the colour of the repaint cell at (x, y)
    kBonusCollected, // it took the bonus fire at (x, y); score: the bonus
    kCubeStops,      // it stopped at (x, y)
    kGroupExplodes,  // count cubes of colour exploded around (x, y), the stopped cube; score
    kTargetBurns,    // the target at (x, y) burned under an exploded cube; score
    kBonusAppears,   // a bonus fire appeared at (x, y)
    kTimeWarning,    // timed: the warning time is left (once a level)
    kLevelWon,
    kLevelLost,      // reason in GGameBoard::GetLossReason
};

struct GBoardEvent {
    GBoardMoment moment;
    int8_t x = -1;
    int8_t y = -1;
    int8_t colour = -1;
    int16_t count = 0;
    int32_t score = 0; // what this moment added to the score
};

class GBoardListener {
public:
    virtual ~GBoardListener() = default;
    virtual void OnBoardEvent(const GBoardEvent& event) = 0;
};

// What a level's play added up to, for the score panel and the result window.
struct GBoardStats {
    int32_t score = 0;
    int16_t shots = 0;          // cubes fired (refused shots not counted)
    int16_t groups = 0;         // groups exploded
    int16_t cubesDestroyed = 0;
    int16_t targetsBurned = 0;
    int16_t targetsTotal = 0;
    int16_t bonuses = 0;        // bonus fires collected
    int32_t timeMs = 0;         // game time given to AdvanceTime while the level was played
};

class GGameBoard {
public:
    static constexpr int kSize = 13;

    void SetListener(GBoardListener* listener) { m_listener = listener; }

    // Lays out the level and starts it: the gun at the middle of the bottom side, the first
    // cube's colour drawn. 0 (and nothing changed) when the level is not playable: a colour
    // count outside 1..kMaxColours, a cube or repaint colour not below it, no target, or no
    // shots; or whatever else LevelProblem and RulesProblem (level_data.h) name: a cube on a
    // wall, no free entry cell, shots or seconds or a rule out of range.
    int Start(const GLevel& level, const GBoardRules& rules, bool timed, uint32_t seed);

    // The gun: Aim puts it on a ring position (a line outside 0..12 is refused, 0);
    // MoveGun moves it along its side (dx on the top and bottom, dy on the left and right), a
    // move past a corner carrying it onto the neighbouring side; the other axis is ignored.
    // Both only while aiming.
    int Aim(GGunPosition position);
    void MoveGun(int dx, int dy);
    GGunPosition GetGun() const { return m_gun; }
    // The gun position that points at the cell (x, y), -1..13 each (the ring included): on
    // the ring, that ring place; inside the board, the current side with the pointed line.
    // Corners of the ring keep the current position.
    static GGunPosition GunForCell(int x, int y, GGunPosition current);
    // The cell the gun's cube enters first, and the step it moves by.
    static void EntryOf(GGunPosition gun, int& x, int& y, int& dx, int& dy);

    // Fires the next cube: 1 when it flies (kShot), 0 when refused (kShotRefused) or when not
    // aiming. The next colour is drawn before kShot is told.
    int Fire();
    // Moves the flying cube one cell, or stops it and settles the shot. 1 while it still
    // flies afterwards.
    int Step();
    // Timed levels count down; every level counts its time in the statistics. Only while the
    // level is played (aiming or flying).
    void AdvanceTime(int ms);

    GBoardState GetState() const { return m_state; }
    GLossReason GetLossReason() const { return m_lossReason; }
    bool IsTimed() const { return m_timed; }
    const GCell& At(int x, int y) const { return m_cells[y * kSize + x]; }
    int8_t GetNextColour() const { return m_nextColour; }
    // The flying cube: its cell and colour; x = -1 when none flies.
    int8_t GetFlyingX() const { return m_flyX; }
    int8_t GetFlyingY() const { return m_flyY; }
    int8_t GetFlyingColour() const { return m_flyColour; }
    int GetShotsLeft() const;
    int GetTimeLeftMs() const { return m_timeLeftMs; } // 0 on a level that is not timed
    int GetTargetsLeft() const { return m_stats.targetsTotal - m_stats.targetsBurned; }
    int GetCubeCount() const; // the cubes resting on the board; the flying one is not counted
    const GBoardStats& GetStats() const { return m_stats; }

private:
    GCell& CellAt(int x, int y) { return m_cells[static_cast<size_t>(y * kSize + x)]; }
    static bool Inside(int x, int y) { return x >= 0 && x < kSize && y >= 0 && y < kSize; }
    bool IsFreeEntry(int x, int y) const;
    bool AnyFreeEntry() const;
    void Emit(GBoardMoment moment, int x, int y, int colour, int count = 0, int32_t score = 0);
    void AddScore(int32_t score);
    // The flying cube moved into (x, y): repaint and bonus fire.
    void EnterCell(int x, int y);
    // The flying cube rests at its cell: its group, the targets under it, the level's end.
    void Settle();
    // Explodes the group around (x, y) when it is big enough; the cubes that went.
    int ExplodeGroup(int x, int y, std::array<uint8_t, kSize * kSize>& exploded);
    void EndLevel();
    void Lose(GLossReason reason);

    GBoardListener* m_listener = nullptr;
    std::array<GCell, kSize * kSize> m_cells{};
    GBoardRules m_rules;
    GRandom m_random{0u};
    GBoardStats m_stats;
    GGunPosition m_gun;
    // Nothing is played before the first successful Start.
    GBoardState m_state = GBoardState::kLost;
    GLossReason m_lossReason = GLossReason::kNone;
    bool m_timed = false;
    bool m_warned = false;
    int8_t m_colours = 0;
    int8_t m_nextColour = -1;
    int8_t m_flyX = -1;
    int8_t m_flyY = -1;
    int8_t m_flyColour = -1;
    int8_t m_flyDx = 0;
    int8_t m_flyDy = 0;
    int16_t m_shots = 0;
    int32_t m_timeLeftMs = 0;
};
