#include "screens/window_states.h"

#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_fade.h"
#include "gui/form_stack_application.h"

namespace {

// The clips of the window, from its first one to the end of the list.
std::vector<GClip*> ClipsOf(GDialog& dialog)
{
    std::vector<GClip*> clips;
    if (GClipArray* list = dialog.GetClips())
        for (int i = dialog.GetFirstClip(); i < list->GetCount(); ++i)
            if (GClip* clip = list->GetAt(i))
                clips.push_back(clip);
    return clips;
}

bool IsInList(GDialog& dialog, GClip* clip)
{
    return dialog.GetClips() && dialog.GetClips()->Find(clip) >= 0;
}

// A change of draw mode alone is not seen by the placement pass: a clip given its old mode back
// is marked to be redrawn.
void RestoreLook(GClip& clip, uint8_t drawMode, uint8_t alpha)
{
    if (clip.GetDrawMode() != drawMode)
        clip.MarkMoved();
    clip.SetDrawMode(drawMode);
    clip.SetAlpha(alpha);
}

// A level 0 to 255 from a progress 0 to 256.
int LevelOf(int progress)
{
    return progress * 255 / 256;
}

} // namespace

void GWindowFade::Begin(GDialog& dialog)
{
    m_saved.clear();
    for (GClip* clip : ClipsOf(dialog)) {
        const uint8_t mode = clip->GetDrawMode();
        MakeClipAlphaBlended(*clip, dialog.GetBitmapTable());
        // A clip that was not faded yet is shown whole at the end of the fade; one that was
        // keeps its own alpha as the top.
        const uint8_t top = clip->GetDrawMode() != mode ? 255 : clip->GetAlpha();
        m_saved.push_back({clip, mode, clip->GetAlpha(), top});
    }
}

template <class Apply>
void GWindowFade::ForEachLive(GDialog& dialog, Apply apply)
{
    for (const Saved& saved : m_saved)
        if (IsInList(dialog, saved.clip))
            apply(saved);
}

void GWindowFade::SetLevel(GDialog& dialog, int level)
{
    ForEachLive(dialog, [level](const Saved& saved) {
        saved.clip->SetAlpha(static_cast<uint8_t>(saved.top * level / 255));
    });
}

void GWindowFade::Restore(GDialog& dialog)
{
    ForEachLive(dialog,
                [](const Saved& saved) { RestoreLook(*saved.clip, saved.drawMode, saved.alpha); });
    m_saved.clear();
}

void GAppearStateMovingDown::OnBeginState()
{
    GDialogAppearState::OnBeginState();
    m_clips = ClipsOf(m_dialog);
    GRect bounds;
    m_dialog.GetClientBounds(bounds);
    m_height = bounds.Height();
    LiftTo(m_height);
    m_dialog.Present(0);
}

int GAppearStateMovingDown::OnUpdate(int elapsedMs)
{
    AddElapsed(elapsedMs);
    LiftTo(m_height * (256 - Progress()) / 256);
    return EndFrame();
}

void GAppearStateMovingDown::Redraw()
{
    // Every frame of the slide, the first included, draws only what moved.
    m_dialog.Present(0);
}

void GAppearStateMovingDown::FinishState()
{
    LiftTo(0);
    m_dialog.Present(0);
    GDialogAppearState::FinishState();
}

void GAppearStateMovingDown::LiftTo(int lift)
{
    const int32_t step = FixedFromInt(lift - m_lift);
    for (GClip* clip : m_clips)
        if (IsInList(m_dialog, clip))
            clip->SetY(clip->GetY() - step);
    m_lift = lift;
}

void GAppearStateAlpha::OnBeginState()
{
    GDialogAppearState::OnBeginState();
    m_fade.Begin(m_dialog);
    m_fade.SetLevel(m_dialog, 0);
    m_dialog.Present(0);
}

int GAppearStateAlpha::OnUpdate(int elapsedMs)
{
    AddElapsed(elapsedMs);
    m_fade.SetLevel(m_dialog, LevelOf(Progress()));
    return EndFrame();
}

void GAppearStateAlpha::Redraw()
{
    m_dialog.Present(0);
}

void GAppearStateAlpha::FinishState()
{
    m_fade.Restore(m_dialog);
    m_dialog.Present(0);
    GDialogAppearState::FinishState();
}

void GDisappearStateAlpha::OnBeginState()
{
    GDialogDisappearState::OnBeginState();
    m_fade.Begin(m_dialog);
    m_dialog.Present(0);
}

int GDisappearStateAlpha::OnUpdate(int elapsedMs)
{
    AddElapsed(elapsedMs);
    m_fade.SetLevel(m_dialog, 255 - LevelOf(Progress()));
    return EndFrame();
}

GWaitAnimationWaitState::GWaitAnimationWaitState(GDialog& dialog, GClip* animation, int timeoutMs,
                                                 std::function<bool()> done, int periodMs)
    : GDialogWaitState(dialog, timeoutMs, std::move(done)), m_animation(animation),
      m_periodMs(periodMs > 1 ? periodMs : 2)
{
}

void GWaitAnimationWaitState::OnBeginState()
{
    GDialogWaitState::OnBeginState();
    if (m_animation) {
        m_savedMode = m_animation->GetDrawMode();
        m_savedAlpha = m_animation->GetAlpha();
        m_savedVisible = m_animation->IsVisible();
        MakeClipAlphaBlended(*m_animation, m_dialog.GetBitmapTable());
        m_animation->SetVisible(true);
    }
    m_dialog.Present(0);
}

int GWaitAnimationWaitState::OnUpdate(int elapsedMs)
{
    AddElapsed(elapsedMs);
    if (m_animation && IsInList(m_dialog, m_animation)) {
        // A triangle wave: full at the start of each period, half at its middle.
        const int half = m_periodMs / 2;
        const int phase = GetElapsed() % m_periodMs;
        const int distance = phase < half ? phase : m_periodMs - phase;
        m_animation->SetAlpha(static_cast<uint8_t>(255 - 127 * distance / half));
    }
    return EndFrame();
}

void GWaitAnimationWaitState::OnEndState()
{
    if (m_animation && IsInList(m_dialog, m_animation)) {
        RestoreLook(*m_animation, m_savedMode, m_savedAlpha);
        m_animation->SetVisible(m_savedVisible);
    }
    GDialogWaitState::OnEndState();
}

void GWaitAnimationDisappearState::OnBeginState()
{
    if (m_animation && IsInList(m_dialog, m_animation))
        m_animation->SetVisible(false);
    GDisappearStateAlpha::OnBeginState();
}
