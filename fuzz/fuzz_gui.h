#pragma once
// What the GUI fuzz targets share: one headless application (a window of the dummy video
// driver, 320 x 240) and one GUI system, made once for the whole process in a scratch folder of
// its own (removed at exit) that holds everything the controls read: an empty bitmap store, the
// TrueType font of fonts-dejavu-core scrambled as the data folder keeps it, and, in the store's
// pool, a bitmap-font sheet ("Sans12") and a raster-font sheet ("Sans9") drawn here. The folder
// is current only while a GuiInput lives (one input): libFuzzer opens its seeds and writes its
// findings by the paths it was given, which may be relative. Header only.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "foundation/app/command.h"
#include "fuzz/fuzz_files.h"
#include "foundation/app/command_invoker.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "gui/dialog.h"
#include "gui/bmp_font_manager.h"
#include "gui/command_factory.h"
#include "gui/controls/edit_control.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "gui/old_font_manager.h"

namespace fuzz {

class GuiApp : public GFormStackApplication {
public:
    int OnInit() override { return 1; }
    // A close request ("cmClose") is counted and refused: the window serves the next input.
    int OnClose() override
    {
        ++closeRequests;
        return 0;
    }
    void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) { WindowProc(message, wParam, lParam); }
    int closeRequests = 0;
};

// Every name makes a command that does nothing, so queued lists can run without closing the
// window or changing the GUI under the next input.
class InertCommand : public GNamedCommand {
public:
    void Execute() override {}
};
class InertFactory : public GCommandFactory {
protected:
    std::unique_ptr<GCommand> CreateOwn(const char*, const GStringArray&, GString&) override
    {
        return std::make_unique<InertCommand>();
    }
};

template <class System>
struct BasicGui {
    GuiApp app;
    System system;
};
using Gui = BasicGui<GGuiSystem>;

inline void WriteText(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Codes 33 to 126: glyph i is 4 columns at 1 + 5 i (one empty column after each), 8 rows of
// a pattern with ink, half ink and empty bytes.
inline bool AddRasterFont(GGuiSystem& system)
{
    constexpr int kCount = 94;
    constexpr int kWidth = 4 + 8 * kCount;
    constexpr int kHeight = 9;
    GGraphicsResources& store = *system.GetResources();
    const int16_t pool = store.CreateBitmap(kWidth, kHeight, 0, 14, nullptr, nullptr, -1);
    GBitmap* sheet = pool >= 0 ? store.GetBitmap(store.AbsoluteSlotOfPoolSlot(pool)) : nullptr;
    if (!sheet || !sheet->GetAlpha())
        return false;
    sheet->SetName("OLDFONT_SANS9");
    uint8_t* a = sheet->GetAlpha();
    auto put16 = [a](int at, int value) {
        a[at] = uint8_t(value);
        a[at + 1] = uint8_t(value >> 8);
    };
    put16(0, 6);
    put16(2, 2);
    for (int i = 0; i < kCount; ++i) {
        put16(4 + 8 * i, 1 + 5 * i); // sourceX counts from 1
        put16(6 + 8 * i, 1);
        put16(8 + 8 * i, 4);
        put16(10 + 8 * i, 0);
        for (int row = 1; row < kHeight; ++row)
            for (int col = 0; col < 4; ++col)
                a[row * kWidth + 5 * i + col] = uint8_t((i + row + col) % 3 == 0 ? 0 : (i + col) % 3 == 1 ? 128 : 255);
    }
    return system.GetOldFontManager()->AddFont("Sans9", "OLDFONT_SANS9", 3, 126, 33) == 1;
}

// The default symbols (codes 33 to 127): 95 glyphs of 5 columns, each followed by a separator.
inline bool AddBitmapFont(GGuiSystem& system)
{
    constexpr int kCount = 95;
    constexpr int kWidth = 6 * kCount;
    constexpr int kHeight = 12;
    static std::unique_ptr<GBitmap> sheet(GBitmap::Create(kWidth, kHeight, 0, 2));
    if (!sheet || !sheet->GetPixels() || !sheet->GetAlpha())
        return false;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool separator = y == 1 && x % 6 == 5;
            for (int c = 0; c < 3; ++c)
                sheet->GetPixels()[y * sheet->GetPitch() + x * 3 + c] = separator ? 0 : uint8_t(40 + x + y * 7 + c);
            sheet->GetAlpha()[y * kWidth + x] = uint8_t((x + y) % 4 == 0 ? 255 : (x * y) % 200);
        }
    std::unique_ptr<GBmpFont> font =
        GBmpFont::Create(sheet.get(), system.GetResources(), std::make_unique<GBmpFontSymbols>());
    return font && system.GetBmpFontManager()->AddFont("Sans12", std::move(font));
}

inline const std::string& GuiFolder()
{
    return ScratchFolder("gui");
}

// The folder's files, the window and the GUI's own start (a game system's start is left
// out: the fonts are drawn here), once per process.
template <class System>
BasicGui<System>* MakeGui()
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const InFolder entered(GuiFolder());
    if (mkdir("800x600", 0700) != 0)
        __builtin_trap();
    WriteText("800x600/bmst.bin", std::string(4, '\0'));
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (font.empty())
        __builtin_trap();
    XorScramble(font.data(), nullptr, static_cast<uint32_t>(font.size()), kTrueTypeFontKey);
    WriteText("DejaVuSans.ttf", font);
    auto* made = new BasicGui<System>;
    if (!made->app.Create("Fuzz", "Fuzz", 320, 240, 0) ||
        !made->system.GGuiSystem::Init(&made->app, (GuiFolder() + "log.html").c_str()) ||
        !AddRasterFont(made->system) || !AddBitmapFont(made->system))
        __builtin_trap();
    return made;
}

inline Gui& TheGui()
{
    static Gui* gui = [] {
        Gui* made = MakeGui<GGuiSystem>();
        made->system.SetCommandFactory(std::make_unique<InertFactory>());
        return made;
    }();
    return *gui;
}

// One input's use of the GUI: its folder is current meanwhile, the one before again after.
template <class G = Gui>
class GuiInput {
public:
    explicit GuiInput(G& gui = TheGui()) : m_gui(gui), m_entered(GuiFolder()) {}
    G& operator*() const { return m_gui; }

private:
    G& m_gui;
    InFolder m_entered;
};

// An empty dialog made and pushed on the stack, for the targets that put their own controls on
// it; a dialog that cannot be made stops the run.
inline GDialog* PushDialog(Gui& gui)
{
    auto owned = std::make_unique<GDialog>(&gui.app, &gui.system);
    GDialog* made = owned.get();
    if (made->Create(0) != 1)
        __builtin_trap();
    gui.app.PushForm(std::move(owned));
    return made;
}

inline int FreePoolSlots(GGraphicsResources& store)
{
    int free = 0;
    for (int16_t i = 0; i < store.GetPool()->GetCount(); ++i)
        free += store.GetPool()->GetBitmap(i) ? 0 : 1;
    return free;
}

// What a GUI target checks once the dialogs or forms of an input are gone: their clips left
// the render list and the pool holds the images it held before.
class LeftAsFound {
public:
    explicit LeftAsFound(GGuiSystem& system)
        : m_system(system), m_clips(system.GetClipArray()->GetCount()),
          m_free(FreePoolSlots(*system.GetResources()))
    {
    }
    void Check() const
    {
        if (m_system.GetClipArray()->GetCount() != m_clips || FreePoolSlots(*m_system.GetResources()) != m_free)
            __builtin_trap();
    }

private:
    GGuiSystem& m_system;
    int m_clips;
    int m_free;
};

// An edit's text never passes its maximum; the caret and the selection stay inside it.
inline void CheckEdit(const GBaseEdit& edit, int maxLength)
{
    const GEditBuffer& b = edit.GetBuffer();
    if (b.GetLength() > maxLength || b.GetCaret() < 0 || b.GetCaret() > b.GetLength() ||
        b.GetSelectionStart() < 0 || b.GetSelectionEnd() > b.GetLength() ||
        edit.GetText().GetLength() != uint32_t(b.GetLength()))
        __builtin_trap();
}

// Nothing was drawn outside r (inclusive) since the back buffer was cleared to 0. Compared
// with memcmp, row part by row part: a byte loop here would cost more than the edits.
inline bool OnlyInside(GDibSurface& screen, const GRect& r)
{
    const int width = screen.GetWidth();
    const std::vector<uint8_t> zeros(size_t(width) * 3, 0);
    const uint8_t* pixels = screen.Lock();
    const int pitch = screen.GetPitch();
    const int left = std::clamp<int>(r.left, 0, width);
    const int right = std::clamp<int>(r.right + 1, left, width);
    bool clean = true;
    for (int y = 0; y < screen.GetHeight() && clean; ++y) {
        const uint8_t* row = pixels + size_t(y) * pitch;
        if (y < r.top || y > r.bottom)
            clean = std::memcmp(row, zeros.data(), zeros.size()) == 0;
        else
            clean = std::memcmp(row, zeros.data(), size_t(left) * 3) == 0 &&
                    std::memcmp(row + right * 3, zeros.data(), size_t(width - right) * 3) == 0;
    }
    screen.Unlock();
    return clean;
}

} // namespace fuzz
