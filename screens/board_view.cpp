#include "screens/board_view.h"

#include <algorithm>

#include "game/board/game_board.h"
#include "graphics/scene/clip_container.h"
#include "graphics/store/graphics_resources.h"

namespace {

constexpr int kRingFirst = -1;
constexpr int kRingLast = GGameBoard::kSize;
// The next cube sits on the gun at this size (8.8).
constexpr int32_t kNextCubeScale = 150;
// A burst grows to this size (8.8) as it fades.
constexpr int32_t kBurstGrowth = 384;
constexpr int kBonusFrames = 4;

int Lerp(int from, int to, int t, int span)
{
    return from + (to - from) * t / span;
}

} // namespace

GBoardView::GBoardView() = default;
GBoardView::~GBoardView() = default;

bool GBoardView::Init(GGraphicsResources* store, GClipContainer& container, std::vector<uint8_t> glow)
{
    m_store = store;
    m_glowAnimation = std::move(glow);
    if (!store)
        return false;
    struct Picture {
        int16_t& slot;
        const char* name;
    };
    for (const Picture& picture :
         {Picture{m_slot.floor, "CELL_FLOOR"}, Picture{m_slot.wall, "CELL_WALL"},
          Picture{m_slot.repaint, "CELL_REPAINT_0"}, Picture{m_slot.target, "TARGET_0"},
          Picture{m_slot.cube, "CUBE_0"}, Picture{m_slot.gun, "GUN_0"}, Picture{m_slot.mark, "AIM_MARK"},
          Picture{m_slot.bonus, "BONUS_FIRE_0"}}) {
        picture.slot = store->FindBitmap(picture.name);
        if (picture.slot < 0)
            return false;
    }
    // Drawing order: the floor, what stands on it, then what flies over it.
    auto addLayer = [&](auto& layer) {
        for (GBitmapClip& clip : layer)
            MakeClip(clip, container);
    };
    addLayer(m_cells);
    addLayer(m_cubes);
    addLayer(m_bonuses);
    addLayer(m_bursts);
    for (GBitmapClip* clip : {&m_mark, &m_flying, &m_gunClip, &m_next})
        MakeClip(*clip, container);
    for (BonusFlight& flight : m_flights)
        MakeClip(flight.clip, container);
    m_next.SetScale(kNextCubeScale);
    m_burstMs.fill(-1);
    m_bonusCell.fill(-1);
    return true;
}

void GBoardView::MakeClip(GBitmapClip& clip, GClipContainer& container)
{
    clip.SetResources(m_store);
    clip.SetVisible(false);
    container.AddClip(&clip);
}

void GBoardView::Place(GBitmapClip& clip, int px, int py, int16_t slot)
{
    clip.SetSlot(slot);
    clip.SetX(FixedFromInt(px));
    clip.SetY(FixedFromInt(py));
    clip.SetVisible(true);
}

void GBoardView::Build(const GGameBoard& board)
{
    m_burstMs.fill(-1);
    m_bonusCell.fill(-1);
    for (GBitmapClip& clip : m_bursts)
        clip.SetVisible(false);
    for (GBitmapClip& clip : m_bonuses)
        clip.SetVisible(false);
    for (BonusFlight& flight : m_flights) {
        flight.ms = -1;
        flight.clip.SetVisible(false);
    }
    for (int y = 0; y < GGameBoard::kSize; ++y)
        for (int x = 0; x < GGameBoard::kSize; ++x) {
            ShowCell(x, y, board);
            ShowCube(x, y, board.At(x, y).cube);
            if (board.At(x, y).bonus)
                ShowBonus(x, y);
        }
    m_flying.SetVisible(false);
    ShowGun(board);
}

void GBoardView::ShowCell(int x, int y, const GGameBoard& board)
{
    const GCell& cell = board.At(x, y);
    GBitmapClip& clip = m_cells[Index(x, y)];
    std::unique_ptr<GTargetGlow>& glow = m_glows[Index(x, y)];
    glow.reset();
    switch (cell.kind) {
    case GCellKind::kWall:
        Place(clip, CentreX(x), CentreY(y), m_slot.wall);
        break;
    case GCellKind::kRepaint:
        Place(clip, CentreX(x), CentreY(y), static_cast<int16_t>(m_slot.repaint + cell.repaintColour));
        break;
    case GCellKind::kTarget:
        Place(clip, CentreX(x), CentreY(y), m_slot.target);
        glow = std::make_unique<GTargetGlow>();
        // Without its animation a target still shows, only without a glow.
        if (!glow->Start(clip, m_glowAnimation.data(), static_cast<uint32_t>(m_glowAnimation.size())))
            glow.reset();
        break;
    default:
        Place(clip, CentreX(x), CentreY(y), m_slot.floor);
        break;
    }
}

void GBoardView::ShowCube(int x, int y, int8_t colour)
{
    GBitmapClip& clip = m_cubes[Index(x, y)];
    if (colour < 0)
        clip.SetVisible(false);
    else
        Place(clip, CentreX(x), CentreY(y), static_cast<int16_t>(m_slot.cube + colour));
}

void GBoardView::ShowGun(const GGameBoard& board)
{
    const GGunPosition gun = board.GetGun();
    int x = 0, y = 0, dx = 0, dy = 0;
    GGameBoard::EntryOf(gun, x, y, dx, dy);
    const int ringX = x - dx;
    const int ringY = y - dy;
    Place(m_gunClip, CentreX(ringX), CentreY(ringY), static_cast<int16_t>(m_slot.gun + static_cast<int>(gun.side)));
    Place(m_mark, CentreX(x), CentreY(y), m_slot.mark);
    const bool playing = board.GetState() == GBoardState::kAiming || board.GetState() == GBoardState::kFlying;
    if (playing && board.GetNextColour() >= 0)
        Place(m_next, CentreX(ringX), CentreY(ringY), static_cast<int16_t>(m_slot.cube + board.GetNextColour()));
    else
        m_next.SetVisible(false);
    m_mark.SetVisible(board.GetState() == GBoardState::kAiming);
}

void GBoardView::OnEvent(const GBoardEvent& event, const GGameBoard& board)
{
    switch (event.moment) {
    case GBoardMoment::kShot:
        m_flying.SetAngle(0);
        Place(m_flying, CentreX(event.x), CentreY(event.y), static_cast<int16_t>(m_slot.cube + event.colour));
        ShowGun(board);
        break;
    case GBoardMoment::kRepaint:
        m_flying.SetSlot(m_slot.cube + event.colour);
        break;
    case GBoardMoment::kBonusCollected:
        HideBonus(event.x, event.y);
        StartBonusFlight(event.x, event.y);
        break;
    case GBoardMoment::kCubeStops:
        // The cube rests on its cell now, so a group it ends in bursts with it.
        m_flying.SetVisible(false);
        ShowCube(event.x, event.y, event.colour);
        break;
    case GBoardMoment::kTargetBurns:
        if (GTargetGlow* glow = m_glows[Index(event.x, event.y)].get())
            glow->RequestBurn();
        else
            m_cells[Index(event.x, event.y)].SetSlot(m_slot.target + kBurnedTarget);
        break;
    case GBoardMoment::kBonusAppears:
        ShowBonus(event.x, event.y);
        break;
    case GBoardMoment::kLevelWon:
    case GBoardMoment::kLevelLost:
        ShowGun(board);
        break;
    default:
        break;
    }
}

void GBoardView::SyncCubes(const GGameBoard& board)
{
    for (int y = 0; y < GGameBoard::kSize; ++y)
        for (int x = 0; x < GGameBoard::kSize; ++x) {
            const int8_t colour = board.At(x, y).cube;
            GBitmapClip& clip = m_cubes[Index(x, y)];
            if (colour < 0 && clip.IsVisible())
                StartBurst(x, y);
            ShowCube(x, y, colour);
        }
}

void GBoardView::StartBurst(int x, int y)
{
    for (int i = 0; i < kBurstClips; ++i)
        if (m_burstMs[i] < 0) {
            m_burstMs[i] = 0;
            Place(m_bursts[i], CentreX(x), CentreY(y), static_cast<int16_t>(m_cubes[Index(x, y)].GetSlot()));
            m_bursts[i].SetScale(256);
            m_bursts[i].SetAlpha(255);
            return;
        }
}

void GBoardView::ShowBonus(int x, int y)
{
    for (int i = 0; i < kBonusClips; ++i)
        if (m_bonusCell[i] < 0) {
            m_bonusCell[i] = Index(x, y);
            Place(m_bonuses[i], CentreX(x), CentreY(y), m_slot.bonus);
            return;
        }
}

void GBoardView::HideBonus(int x, int y)
{
    for (int i = 0; i < kBonusClips; ++i)
        if (m_bonusCell[i] == Index(x, y)) {
            m_bonusCell[i] = -1;
            m_bonuses[i].SetVisible(false);
        }
}

void GBoardView::StartBonusFlight(int x, int y)
{
    for (BonusFlight& flight : m_flights)
        if (flight.ms < 0) {
            flight.ms = 0;
            flight.fromX = CentreX(x);
            flight.fromY = CentreY(y);
            Place(flight.clip, flight.fromX, flight.fromY, m_slot.bonus);
            return;
        }
}

GBoardView::Arrivals GBoardView::Update(int elapsedMs, const GGameBoard& board, int stepFraction)
{
    Arrivals arrivals;
    elapsedMs = std::max(elapsedMs, 0);
    UpdateFlying(board, stepFraction);
    UpdateBursts(elapsedMs);
    arrivals.bonuses = UpdateBonusFlights(elapsedMs);
    arrivals.targets = UpdateGlows();
    m_bonusClock += elapsedMs;
    const int16_t frame = static_cast<int16_t>(m_slot.bonus + (m_bonusClock / kBonusFrameMs) % kBonusFrames);
    for (GBitmapClip& bonus : m_bonuses)
        if (bonus.IsVisible())
            bonus.SetSlot(frame);
    return arrivals;
}

void GBoardView::UpdateFlying(const GGameBoard& board, int stepFraction)
{
    if (board.GetFlyingX() < 0)
        return;
    int x = 0, y = 0, dx = 0, dy = 0;
    GGameBoard::EntryOf(board.GetGun(), x, y, dx, dy);
    // From the cell it came from (the gun's, for the first) toward the one it is in.
    const int toX = CentreX(board.GetFlyingX());
    const int toY = CentreY(board.GetFlyingY());
    const int t = std::clamp(stepFraction, 0, 256);
    m_flying.SetX(FixedFromInt(Lerp(toX - dx * kCellSize, toX, t, 256)));
    m_flying.SetY(FixedFromInt(Lerp(toY - dy * kCellSize, toY, t, 256)));
    m_flying.SetVisible(true);
}

void GBoardView::UpdateBursts(int elapsedMs)
{
    for (int i = 0; i < kBurstClips; ++i) {
        int& ms = m_burstMs[i];
        if (ms < 0)
            continue;
        ms = std::min(ms + elapsedMs, kBurstMs);
        m_bursts[i].SetScale(256 + kBurstGrowth * ms / kBurstMs);
        m_bursts[i].SetAlpha(static_cast<uint8_t>(255 - 255 * ms / kBurstMs));
        if (ms == kBurstMs) {
            m_bursts[i].SetVisible(false);
            ms = -1;
        }
    }
}

int GBoardView::UpdateBonusFlights(int elapsedMs)
{
    int arrived = 0;
    for (BonusFlight& flight : m_flights) {
        if (flight.ms < 0)
            continue;
        flight.ms = std::min(flight.ms + elapsedMs, kBonusFlightMs);
        // Eases in: slow from the board, fast into the panel.
        const int t = flight.ms * flight.ms / kBonusFlightMs;
        flight.clip.SetX(FixedFromInt(Lerp(flight.fromX, kScoreX, t, kBonusFlightMs)));
        flight.clip.SetY(FixedFromInt(Lerp(flight.fromY, kScoreY, t, kBonusFlightMs)));
        flight.clip.SetSlot(m_slot.bonus + (flight.ms / kBonusFrameMs) % kBonusFrames);
        if (flight.ms == kBonusFlightMs) {
            flight.ms = -1;
            flight.clip.SetVisible(false);
            ++arrived;
        }
    }
    return arrived;
}

int GBoardView::UpdateGlows()
{
    int flaresEnded = 0;
    for (std::unique_ptr<GTargetGlow>& glow : m_glows)
        if (glow && glow->Tick())
            ++flaresEnded;
    return flaresEnded;
}

bool GBoardView::IsSettled() const
{
    if (std::any_of(m_burstMs.begin(), m_burstMs.end(), [](int ms) { return ms >= 0; }))
        return false;
    for (const BonusFlight& flight : m_flights)
        if (flight.ms >= 0)
            return false;
    return std::none_of(m_glows.begin(), m_glows.end(),
                        [](const std::unique_ptr<GTargetGlow>& glow) { return glow && glow->IsBurning(); });
}

bool GBoardView::CellAt(int px, int py, int& cellX, int& cellY)
{
    const int left = kBoardLeft + kRingFirst * kCellSize;
    const int top = kBoardTop + kRingFirst * kCellSize;
    if (px < left || py < top)
        return false;
    cellX = (px - left) / kCellSize + kRingFirst;
    cellY = (py - top) / kCellSize + kRingFirst;
    return cellX <= kRingLast && cellY <= kRingLast;
}

const GTargetGlow* GBoardView::GlowAt(int x, int y) const
{
    return m_glows[Index(x, y)].get();
}
