#pragma once
// GIntroDialog: the first screen. It shows the intro picture, a title in a bitmap font, a line
// in the TrueType font, a label played by a keyframe animation, and the progress bar:
// "INTRO_P_BAR_BG" with the five pieces that follow it in the store, one more shown after each
// step of the game's start-up data is loaded (one step per frame, so the bar is seen to move).
// It fades in as it appears; once everything is loaded it waits (the line pulsing) until the
// wait is cancelled, and it fades out when told to disappear.
// Owns its clips, texts, font and animator; observes the game system. Main thread only.

#include <memory>

#include "graphics/scene/clip.h"
#include "gui/background.h"
#include "gui/dialog.h"

class GAniStaticLabelAnimator;
class GBmpText;
class GGameGuiSystem;
class GTtfFont;

class GIntroDialog : public GDialog {
public:
    static constexpr int kBarPieces = 5;
    static constexpr int32_t kBackgroundPack = 1;
    static constexpr const char* kLabelAnimation = "intro.cfg";
    static constexpr int kAppearMs = 300;
    static constexpr int kDisappearMs = 300;
    // Once loaded the screen waits at least this long, and until its sound event has ended.
    static constexpr int kWaitMs = 1500;
    static constexpr const char* kWaitSound = "StoryShow";

    GIntroDialog(GFormStackApplication* application, GGameGuiSystem* system);
    ~GIntroDialog() override;

    // GDialog::Create with the intro's fade-in.
    int Create();
    // Reloads the intro's store range and builds the screen; 0 when the dialog cannot be made.
    int OnInit() override;
    int Update(int elapsedMs) override;
    // Fades the screen out; the form stack then deletes it.
    void Disappear() override;

    // Steps of the start-up data done so far (0 to kBarPieces).
    int GetLoadedSteps() const { return m_loadedSteps; }
    bool IsLoaded() const { return m_loadedSteps >= kBarPieces; }
    // Its wait is over (it ran out or was cancelled): the game goes on to the main menu.
    bool IsDoneWaiting() const;
    // The bank's id of the sound the wait plays, -1 when none plays.
    int GetWaitSound() const { return m_waitSound; }
    // Screen areas of the parts, for checks of what was drawn.
    GRect GetBarRect() const;
    GRect GetTitleRect() const;
    GRect GetLineRect() const;
    // The store slot of the intro picture, -1 when it could not be loaded.
    int16_t GetBackgroundSlot() const { return m_background.GetSlot(); }

private:
    void LoadNextStep();
    // Loaded and shown: plays a variant of the wait's sound event and waits.
    void BeginWait();
    bool IsWaitOver();

    GGameGuiSystem* m_game; // observed
    GBackground m_background;
    GClip m_bar[1 + kBarPieces];
    GClip m_line;
    GClip m_label;
    std::unique_ptr<GBmpText> m_title;
    std::unique_ptr<GTtfFont> m_font;
    std::unique_ptr<GAniStaticLabelAnimator> m_labelAnimator;
    int m_loadedSteps = 0;
    bool m_presented = false;
    bool m_labelPlaying = false;
    bool m_waited = false;
    int m_waitSound = -1;
    int m_waitedMs = 0;
};
