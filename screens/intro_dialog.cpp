#include "screens/intro_dialog.h"

#include <new>

#include "audio/banks/sound_bank.h"
#include "audio/player/audio_system.h"
#include "audio/music/sound_manager.h"
#include "foundation/cfg/cfg_node.h"
#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "graphics/fonts/bmp_text.h"
#include "graphics/fonts/ttf_font.h"
#include "graphics/scene/clip_fade.h"
#include "graphics/store/graphics_resources.h"
#include "gui/ani_static_label_animator.h"
#include "gui/bmp_font_manager.h"
#include "screens/game_gui_system.h"
#include "screens/window_states.h"

namespace {

constexpr int kBarLeft = 300;
constexpr int kBarTop = 520;
constexpr int kPieceWidth = 39;
constexpr int kTitleY = 200;
constexpr int kLineY = 480;
constexpr int kLabelX = 320;
constexpr int kLabelY = 290;
constexpr int16_t kLineSize = 14;
constexpr uint32_t kTitleColour = 0xF0D090;
constexpr uint32_t kLineColour = 0xFFF4D0;
constexpr const char* kTitleFont = "Sans12";

void ShowSlot(GClipContainer& container, GClip& clip, int32_t slot, int x, int y, bool visible)
{
    clip.SetSlot(slot);
    clip.SetPosition(FixedFromInt(x), FixedFromInt(y));
    clip.SetVisible(visible && slot >= 0);
    container.AddClip(&clip);
}

} // namespace

GIntroDialog::GIntroDialog(GFormStackApplication* application, GGameGuiSystem* system)
    : GDialog(application, system), m_game(system)
{
}

int GIntroDialog::Create()
{
    return GDialog::Create(std::make_unique<GAppearStateAlpha>(*this, kAppearMs));
}

void GIntroDialog::Disappear()
{
    if (!IsClosing())
        SetState(std::make_unique<GWaitAnimationDisappearState>(*this, &m_line, kDisappearMs));
}

GIntroDialog::~GIntroDialog()
{
    if (m_title)
        m_title->RemoveFromContainer(*this);
}

int GIntroDialog::OnInit()
{
    GGraphicsResources* store = m_game ? m_game->GetResources() : nullptr;
    if (!store)
        return 0;
    GHtmlLog* log = m_game->GetLog();
    const GDictionary* dictionary = m_game->GetDictionary();
    m_game->LoadIntroResources();

    // Without its picture the screen is drawn on black.
    SetBackgroundMode(1);
    SetBackgroundColour(0);
    if (m_background.Load(store, kBackgroundPack, nullptr)) {
        m_background.GetClip().SetVisible(true);
        AddClip(&m_background.GetClip());
    } else {
        log->PrintError("Cannot load the intro picture Data%d.dat", kBackgroundPack);
    }

    const int16_t barSlot = store->FindBitmap("INTRO_P_BAR_BG");
    ShowSlot(*this, m_bar[0], barSlot, kBarLeft, kBarTop, true);
    for (int i = 1; i <= kBarPieces; ++i)
        ShowSlot(*this, m_bar[i], barSlot < 0 ? -1 : barSlot + i, kBarLeft + 2 + (i - 1) * kPieceWidth,
                 kBarTop + 2, false);

    if (GBmpFont* font = m_game->GetBmpFontManager()->FindFont(kTitleFont)) {
        m_title = GBmpText::Create(font, 64);
        if (m_title) {
            GBmpTextFormat format;
            format.anchor = kTextCentre;
            m_title->SetFormat(format);
            m_title->SetColor(kTitleColour);
            m_title->SetText(dictionary->Translate(GWString("IntroTitle")));
            m_title->SetPosition(FixedFromInt(400), FixedFromInt(kTitleY));
            m_title->SetVisible(true);
            m_title->AddToContainer(*this);
        }
    } else {
        log->PrintError("Cannot find the bitmap font %s", kTitleFont);
    }

    m_font.reset(new (std::nothrow) GTtfFont());
    if (m_font && m_font->LoadFromPack("DejaVuSans.ttf", kTrueTypeFontKey, 0)) {
        m_font->SetStore(store);
        const GWString text = dictionary->Translate(GWString("IntroLoading"));
        int width = 0;
        int height = 0;
        m_font->MeasureText(text, kLineSize, &width, &height, m_font->GetOptions());
        const int16_t slot = m_font->RenderText(text, nullptr, m_font->GetOptions(), kLineSize, kLineColour, 0, 0);
        ShowSlot(*this, m_line, slot, 400 - width / 2, kLineY, true);
    } else {
        log->PrintError("Cannot load the TrueType font DejaVuSans.ttf");
    }

    m_labelAnimator.reset(new (std::nothrow) GAniStaticLabelAnimator());
    GCfgNode animation;
    if (m_labelAnimator && animation.LoadFile(kLabelAnimation) == 1) {
        GLabelKeyFrameAnimator& animator = m_labelAnimator->GetAnimator();
        if (animator.LoadAndCheck(GCfgObjectCursor(animation.FindObjectList("IntroLabel"), 0), store)) {
            m_label.SetDrawMode(dmImageFormat);
            animator.SetClip(&m_label);
            animator.SetOffset(FixedFromInt(kLabelX), FixedFromInt(kLabelY));
            animator.SetListener(&m_labelAnimator->GetListener());
            animator.SetState(kStatePlaying);
            m_labelAnimator->SetBusy(true);
            animator.ApplyFrame();
            MakeClipAlphaBlended(m_label, store);
            AddClip(&m_label);
            m_labelPlaying = true;
        }
    }
    if (!m_labelPlaying)
        log->PrintError("Cannot load the intro animation %s", kLabelAnimation);
    return 1;
}

int GIntroDialog::Update(int elapsedMs)
{
    if (m_labelPlaying)
        m_labelAnimator->GetAnimator().ApplyFrame();
    // The first frame shows the empty bar; each later one loads a step and shows its piece.
    if (m_presented && !IsLoaded())
        LoadNextStep();
    const int result = GDialog::Update(elapsedMs);
    if (!m_presented)
        m_game->GetLog()->Printf("First frame presented");
    m_presented = true;
    if (m_waited)
        m_waitedMs += elapsedMs > 0 ? elapsedMs : 0;
    // Loaded and fully shown: the screen waits for what comes next.
    if (IsLoaded() && !m_waited && dynamic_cast<GDialogNormalState*>(GetState()))
        BeginWait();
    return result;
}

void GIntroDialog::BeginWait()
{
    m_waited = true;
    GSoundManager* sounds = m_game->GetSoundManager();
    GSoundBank* bank = m_game->GetAudio() ? m_game->GetAudio()->GetSoundBank() : nullptr;
    // A switched-off manager picks no sound (its 0 is no id then).
    if (sounds && bank && sounds->IsEnabled()) {
        m_waitSound = sounds->PickEventSound(SoundEventFromName(kWaitSound));
        if (m_waitSound >= 0)
            bank->Play(m_waitSound, 1);
    }
    SetState(std::make_unique<GWaitAnimationWaitState>(*this, &m_line, -1,
                                                       [this] { return IsWaitOver(); }));
}

bool GIntroDialog::IsWaitOver()
{
    if (m_waitedMs < kWaitMs)
        return false;
    GSoundManager* sounds = m_game->GetSoundManager();
    return m_waitSound < 0 || !sounds || !sounds->IsSoundPlaying(m_waitSound);
}

bool GIntroDialog::IsDoneWaiting() const
{
    return m_waited && dynamic_cast<GDialogNormalState*>(GetState()) != nullptr;
}

void GIntroDialog::LoadNextStep()
{
    switch (m_loadedSteps) {
    case 0:
        m_game->LoadInterfaceResources();
        break;
    case 1:
        m_game->LoadTextParticles();
        break;
    case 2:
        m_game->LoadPlayerData();
        break;
    case 4:
        m_game->GetLog()->Printf("Start-up data loaded");
        break;
    default:
        break;
    }
    ++m_loadedSteps;
    GClip& piece = m_bar[m_loadedSteps];
    piece.SetVisible(piece.GetSlot() >= 0 && m_bar[0].GetSlot() >= 0);
}

GRect GIntroDialog::GetBarRect() const
{
    return m_bar[0].GetRect();
}

GRect GIntroDialog::GetTitleRect() const
{
    return m_title ? m_title->GetRect() : GRect{};
}

GRect GIntroDialog::GetLineRect() const
{
    return m_line.GetRect();
}
