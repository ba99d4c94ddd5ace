#pragma once
// GBoardView: the pictures of a board. One GBitmapClip per cell (floor, wall, repaint or
// target, the targets glowing through GTargetGlow), one per cube and one per bonus fire, a
// burst clip per cell for the exploding cubes, the flying cube, the gun with the mark on the
// cell it fires into and the next cube's colour, and the bonus fires flying to the score
// panel. The clips are made once and added to the form's container in drawing order; a level
// only sets their pictures, places and visibility. The view follows the board's moments
// (OnEvent) and animates between them (Update); it never changes the board.
// Owns its clips and glows; observes the store. Main thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/animation/bitmap_clip.h"
#include "screens/target_glow.h"

class GClipContainer;
class GGameBoard;
class GGraphicsResources;
struct GBoardEvent;
struct GGunPosition;

class GBoardView {
public:
    // The board's place on the screen: cell (0, 0) has its top-left corner here; the gun's
    // ring lies one cell outside the board on every side.
    static constexpr int kCellSize = 36;
    static constexpr int kBoardLeft = 66;
    static constexpr int kBoardTop = 66;
    // Where a collected bonus fire flies to: the score on the panel.
    static constexpr int kScoreX = 690;
    static constexpr int kScoreY = 130;
    static constexpr int kBurstMs = 300;
    static constexpr int kBonusFlightMs = 600;
    static constexpr int kBonusFrameMs = 90;

    GBoardView();
    ~GBoardView();

    // Finds the pictures in the store and adds the clips to the container; the packed glow
    // animation is kept for the targets. False when a picture is missing.
    bool Init(GGraphicsResources* store, GClipContainer& container, std::vector<uint8_t> glow);
    // Shows the board as it is now (a level begins).
    void Build(const GGameBoard& board);
    // The board's moment, as it happens.
    void OnEvent(const GBoardEvent& event, const GGameBoard& board);
    // The cubes as the board holds them: those gone burst, those come show.
    void SyncCubes(const GGameBoard& board);
    // The gun, its mark and the next cube, after an aim or a shot.
    void ShowGun(const GGameBoard& board);
    // Animates: the flying cube between its cells (stepFraction 0..256 of the way to its
    // next cell), bursts, bonus fires, glows. Returns the bonus fires that reached the panel
    // and the targets whose flare ended during this call.
    struct Arrivals {
        int bonuses = 0;
        int targets = 0;
    };
    Arrivals Update(int elapsedMs, const GGameBoard& board, int stepFraction);
    // Nothing the end of a level waits for is still moving: bursts, flying bonus fires,
    // burning targets.
    bool IsSettled() const;

    // The ring or board cell under a screen point (-1..13 each); false outside the ring.
    static bool CellAt(int px, int py, int& cellX, int& cellY);
    // The centre of a ring or board cell, in screen pixels.
    static int CentreX(int cellX) { return kBoardLeft + cellX * kCellSize + kCellSize / 2; }
    static int CentreY(int cellY) { return kBoardTop + cellY * kCellSize + kCellSize / 2; }

    const GBitmapClip& CellClip(int x, int y) const { return m_cells[Index(x, y)]; }
    const GBitmapClip& CubeClip(int x, int y) const { return m_cubes[Index(x, y)]; }
    const GBitmapClip& FlyingClip() const { return m_flying; }
    const GTargetGlow* GlowAt(int x, int y) const;

private:
    static constexpr int kCells = 13 * 13;
    // The burned picture's place in the target set.
    static constexpr int kBurnedTarget = 14;
    static int Index(int x, int y) { return y * 13 + x; }

    // Bursts and bonus fires come and go: a few clips serve them in turn (a burst that finds
    // none free is not drawn; a bonus fire always finds one, as a level cannot hold more).
    static constexpr int kBurstClips = 24;
    static constexpr int kBonusClips = 16;
    struct BonusFlight {
        GBitmapClip clip;
        int fromX = 0, fromY = 0;
        int ms = -1; // -1: free
    };

    void MakeClip(GBitmapClip& clip, GClipContainer& container);
    void Place(GBitmapClip& clip, int px, int py, int16_t slot);
    void ShowCell(int x, int y, const GGameBoard& board);
    void ShowCube(int x, int y, int8_t colour);
    void StartBurst(int x, int y);
    void StartBonusFlight(int x, int y);
    void ShowBonus(int x, int y);
    void HideBonus(int x, int y);
    void UpdateBursts(int elapsedMs);
    int UpdateBonusFlights(int elapsedMs);
    void UpdateFlying(const GGameBoard& board, int stepFraction);
    int UpdateGlows();

    GGraphicsResources* m_store = nullptr; // observed
    std::vector<uint8_t> m_glowAnimation;
    // The first store slot of each picture set.
    struct Slots {
        int16_t floor = -1, wall = -1, repaint = -1, target = -1, cube = -1, gun = -1, mark = -1,
                bonus = -1;
    } m_slot;

    std::array<GBitmapClip, kCells> m_cells;
    std::array<GBitmapClip, kCells> m_cubes;
    std::array<GBitmapClip, kBonusClips> m_bonuses;
    std::array<int, kBonusClips> m_bonusCell{}; // the cell each shows, -1 free
    std::array<GBitmapClip, kBurstClips> m_bursts;
    std::array<int, kBurstClips> m_burstMs{};  // time into the burst, -1 free
    std::array<std::unique_ptr<GTargetGlow>, kCells> m_glows;
    GBitmapClip m_flying;
    GBitmapClip m_mark;
    GBitmapClip m_gunClip;
    GBitmapClip m_next;
    std::array<BonusFlight, 4> m_flights;
    int m_bonusClock = 0;
};
