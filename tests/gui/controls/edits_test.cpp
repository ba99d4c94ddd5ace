// The two edits: copy, cut and paste through the form stack, the GUI's clipboard buffer and the
// platform clipboard; text widths and the caret against GetTextWidthN and MeasureText; and the
// pixels a TrueType edit and a raster-font edit leave on the screen, against glyph positions
// worked out from the fonts' own metrics.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <cstring>
#include <string>

#include "foundation/app/key_codes.h"
#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "graphics/fonts/old_font.h"
#include "graphics/fonts/ttf_font.h"
#include "gui/controls/button.h"
#include "gui/controls/old_font_controls.h"
#include "gui/controls/text_image_animator.h"
#include "gui/controls/ttf_controls.h"
#include "graphics/store/graphics_resources.h"
#include "support/gui_controls.h"

namespace {

using namespace platform;

std::u16string U(const char* ascii)
{
    std::u16string text;
    while (*ascii)
        text += char16_t(*ascii++);
    return text;
}

std::string Clipboard(GApplication& app)
{
    char buffer[64] = {};
    app.GetClipboardText(buffer, 63);
    return buffer;
}

class EditsTest : public tolvanrise::test::GuiControlsTest {
protected:
    void SetUp() override
    {
        GuiControlsTest::SetUp();
        dialog = &Open();
        auto ttf = std::make_unique<GTextEdit>("edName", "DejaVuSans.ttf", 12, 8);
        ttf->SetRect(GRect{100, 100, 299, 123});
        textEdit = static_cast<GTextEdit*>(dialog->AddControl(std::move(ttf)));
        raster = system.GetOldFontManager()->FindFont("Sans9");
        auto legacy = std::make_unique<GEdit>("edCode", raster, 8);
        legacy->SetRect(GRect{100, 200, 299, 223});
        edit = static_cast<GEdit*>(dialog->AddControl(std::move(legacy)));
        auto button =
            std::make_unique<GButton>("btnOk", system.GetBmpFontManager()->FindFont("Sans12"));
        button->SetRect(GRect{100, 300, 199, 339});
        dialog->AddControl(std::move(button));
    }
    GDialog* dialog = nullptr;
    GTextEdit* textEdit = nullptr;
    GEdit* edit = nullptr;
    GOldFont* raster = nullptr;
};

// The buffer's edits report true exactly when the text changed; control characters and what
// no longer fits never enter.
TEST(EditBuffer, EditsReportWhetherTheTextChanged)
{
    using Edit = bool (*)(GEditBuffer&);
    const struct {
        const char* what;
        int32_t maxLength;
        const char16_t* start;
        int32_t anchor, caret;
        Edit edit;
        const char16_t* text;
        bool changed;
        int32_t caretAfter;
    } rows[] = {
        {"control characters", 8, u"", 0, 0,
         [](GEditBuffer& b) { return b.SetText(u"a\tb\x7F\r c"); }, u"ab c", true, 4},
        {"the same text", 8, u"ab", 0, 0, [](GEditBuffer& b) { return b.SetText(u"ab"); }, u"ab",
         false, 2},
        {"no room at all", -3, u"", 0, 0, [](GEditBuffer& b) { return b.SetText(u"abc"); }, u"",
         false, 0},
        {"backspace at the start", 8, u"ab", 0, 0, [](GEditBuffer& b) { return b.Backspace(); },
         u"ab", false, 0},
        {"backspace", 8, u"ab", 1, 1, [](GEditBuffer& b) { return b.Backspace(); }, u"b", true, 0},
        {"backspace a selection", 8, u"abcd", 3, 1, [](GEditBuffer& b) { return b.Backspace(); },
         u"ad", true, 1},
        {"delete at the end", 8, u"ab", 2, 2, [](GEditBuffer& b) { return b.Delete(); }, u"ab",
         false, 2},
        {"erase without a selection", 8, u"ab", 1, 1,
         [](GEditBuffer& b) { return b.EraseSelection(); }, u"ab", false, 1},
        {"insert when full", 2, u"ab", 1, 1, [](GEditBuffer& b) { return b.Insert(u"x"); }, u"ab",
         false, 1},
        {"insert refused characters", 8, u"ab", 1, 1,
         [](GEditBuffer& b) { return b.Insert(u"\t\n"); }, u"ab", false, 1},
        {"insert over a selection", 3, u"abc", 0, 3,
         [](GEditBuffer& b) { return b.Insert(u"xyzw"); }, u"xyz", true, 3},
    };
    for (const auto& row : rows) {
        GEditBuffer buffer(row.maxLength);
        buffer.SetText(row.start);
        buffer.MoveTo(row.anchor, false);
        buffer.MoveTo(row.caret, true);
        EXPECT_EQ(row.edit(buffer), row.changed) << row.what;
        EXPECT_EQ(buffer.GetText(), std::u16string(row.text)) << row.what;
        EXPECT_EQ(std::pair(buffer.GetCaret(), buffer.HasSelection()),
                  std::pair(row.caretAfter, false))
            << row.what;
    }
}

TEST_F(EditsTest, CopyCutAndPasteRoundTripThroughThePlatformClipboard)
{
    Click(150, 110);
    Type("hello");
    Chord(VK_CONTROL, 'A');
    Chord(VK_CONTROL, 'C');
    EXPECT_EQ(Clipboard(app), "hello");
    Key(VK_END);
    Chord(VK_SHIFT, VK_LEFT);
    Chord(VK_SHIFT, VK_LEFT);
    Chord(VK_SHIFT, VK_LEFT);
    Chord(VK_CONTROL, 'X');
    EXPECT_EQ(textEdit->GetBuffer().GetText(), U("he"));
    EXPECT_TRUE(textEdit->GetText() == "he"); // the control's text follows the cut
    EXPECT_EQ(Clipboard(app), "llo");

    Click(150, 210);
    Chord(VK_CONTROL, 'V');
    Chord(VK_SHIFT, VK_INSERT); // the other paste chord
    EXPECT_EQ(edit->GetBuffer().GetText(), U("llollo"));
    Chord(VK_CONTROL, 'V'); // eight at most
    EXPECT_EQ(edit->GetBuffer().GetText(), U("llollo"
                                             "ll"));

    // Text from elsewhere: one line of it, and only what the font draws (U+4E00 has no
    // narrow form and no glyph).
    ASSERT_EQ(SetClipboardText("ab\r\ncd", 0), 6);
    Click(150, 110);
    Key(VK_HOME);
    Chord(VK_CONTROL, 'V');
    EXPECT_EQ(textEdit->GetBuffer().GetText(), U("abhe"));
    textEdit->SetText(GWString(u"x\u4E00y"));
    edit->SetText(GWString(u"x\u4E00y\u20ACz"));
    EXPECT_EQ(textEdit->GetBuffer().GetText(), U("xy"));
    EXPECT_EQ(edit->GetBuffer().GetText().substr(0, 2), U("xy"));

    // A copy that nothing takes leaves the user's clipboard alone.
    ASSERT_EQ(SetClipboardText("keep", 0), 4);
    Key(VK_END);
    Chord(VK_CONTROL, 'C'); // edit without a selection
    EXPECT_EQ(Clipboard(app), "keep");
    Click(150, 320);
    Chord(VK_CONTROL, 'X'); // a button
    EXPECT_EQ(Clipboard(app), "keep");

    // Outside a dialog an edit reaches no clipboard buffer: the keys are left unused.
    GEdit alone("edAlone", raster, 8);
    alone.SetText(GWString("ab"));
    alone.OnKeyDown(VK_HOME);
    alone.OnKeyDown(VK_END); // keeps a selection for copy and cut to act on
    EXPECT_EQ((std::vector<int>{alone.OnKeyDown(kKeyCopy), alone.OnKeyDown(kKeyCut),
                                alone.OnKeyDown(kKeyPaste)}),
              (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(alone.GetBuffer().GetText(), U("ab"));

    // In its dialog an edit uses each of the three keys, with a selection and without.
    for (const bool selected : {true, false}) {
        textEdit->OnKeyDown(VK_END);
        if (selected)
            Chord(VK_SHIFT, VK_LEFT);
        EXPECT_EQ((std::vector<int>{textEdit->OnKeyDown(kKeyCopy), textEdit->OnKeyDown(kKeyCut),
                                    textEdit->OnKeyDown(kKeyPaste)}),
                  (std::vector<int>{1, 1, 1}))
            << selected;
    }
}

TEST_F(EditsTest, WidthsAndCaretFollowTheFontsMeasures)
{
    const char* sample = "Tolvanrise 1024";
    textEdit->SetText(GWString(sample));
    edit->SetText(GWString(sample));
    ASSERT_EQ(edit->GetBuffer().GetLength(), 8);
    GTtfFont& font = *textEdit->GetFace().GetFont();
    int previous = -1;
    for (int n = 0; n <= 8; ++n) {
        int w = 0;
        int h = 0;
        font.MeasureText(GWString(std::string(sample, n).c_str()), 12, &w, &h, font.GetOptions());
        EXPECT_EQ(textEdit->TextWidthN(n), n ? w : 0) << n;
        EXPECT_EQ(edit->TextWidthN(n), raster->GetTextWidthN(sample, n)) << n;
        EXPECT_GT(edit->TextWidthN(n), previous) << n;
        previous = edit->TextWidthN(n);
    }
    // The caret line of the focused edit stands where the prefix ends.
    Click(150, 210);
    Key(VK_HOME);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    app.OnFrame(30);
    const int caretX = 100 + GBaseEdit::kPadding + raster->GetTextWidthN(sample, 2);
    EXPECT_EQ(Pixel(caretX, 211), edit->GetColours().focus);
    EXPECT_EQ(edit->PositionAt(caretX), 2);
    EXPECT_EQ(edit->PositionAt(0), 0);
    EXPECT_EQ(edit->PositionAt(799), 8);
}

// The selection bar and the caret of a focused raster edit, pixel by pixel: every pixel of the
// edit is the caret's, the bar's, the frame's or the face's, at the columns the font's widths
// give, in a wide edit, in a narrow one scrolled to its end and back, and in one lower than its
// font's line (the bar then fills its whole height). The text is spaces: nothing is inked.
TEST_F(EditsTest, SelectionAndCaretStandWhereTheFontsWidthsPutThem)
{
    auto narrow = std::make_unique<GEdit>("edNarrow", raster, 32);
    narrow->SetRect(GRect{400, 200, 459, 223});
    GBaseEdit* narrowEdit = static_cast<GBaseEdit*>(dialog->AddControl(std::move(narrow)));
    auto low = std::make_unique<GEdit>("edLow", raster, 8);
    low->SetRect(GRect{100, 400, 299, 404});
    GBaseEdit* lowEdit = static_cast<GBaseEdit*>(dialog->AddControl(std::move(low)));
    ASSERT_GT(raster->GetHeight(), 5);
    const struct {
        GBaseEdit* edit;
        int length, anchor, caret;
        bool byMouse;  // a press at the anchor and a drag to the caret (still held), else keys
        bool scrolled; // the caret stands at the right end of the text room
    } cases[] = {
        {edit, 6, 1, 3, false, false},         {edit, 6, 3, 1, false, false},
        {edit, 6, 1, 4, true, false},          {edit, 6, 2, 2, true, false},
        {narrowEdit, 30, 28, 30, false, true}, {narrowEdit, 30, 30, 0, false, false},
        {lowEdit, 4, 1, 2, false, false},
    };
    for (const auto& c : cases) {
        const std::string text(size_t(c.length), ' ');
        const auto width = [&](int n) { return raster->GetTextWidthN(text.c_str(), n); };
        const GRect r = c.edit->GetRect();
        c.edit->SetText(GWString(text.c_str()));
        if (c.byMouse) {
            const int y = (r.top + r.bottom) / 2;
            Press(r.left + GBaseEdit::kPadding + width(c.anchor), y);
            if (c.caret != c.anchor)
                Drag(r.left + GBaseEdit::kPadding + width(c.caret), y);
            // Looked at while the button is still held.
        } else {
            dialog->SetFocus(c.edit);
            Key(VK_HOME);
            for (int i = 0; i < c.anchor; ++i)
                Key(VK_RIGHT);
            for (int i = c.anchor; i != c.caret; i += c.caret > c.anchor ? 1 : -1)
                Chord(VK_SHIFT, c.caret > c.anchor ? VK_RIGHT : VK_LEFT);
        }
        app.OnFrame(30);
        const int inner = r.Width() - 2 * GBaseEdit::kPadding;
        const int scroll = c.scrolled ? width(c.caret) - inner + 1 : 0;
        EXPECT_EQ(c.edit->GetScroll(), scroll) << c.edit->GetName() << " " << c.caret;
        // Columns and rows inside the edit's image, which is the edit's rectangle.
        const int x0 = GBaseEdit::kPadding - scroll;
        const int y0 = std::max(0, (r.Height() - raster->GetHeight()) / 2);
        const int yEnd = std::min(y0 + raster->GetHeight() - 1, r.Height() - 1);
        const int caretX = std::clamp(x0 + width(c.caret), 0, r.Width() - 1);
        const int barLeft = x0 + width(std::min(c.anchor, c.caret));
        const int barRight = x0 + width(std::max(c.anchor, c.caret)) - 1;
        const GControlColours& colours = c.edit->GetColours();
        int wrong = 0;
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x) {
                const bool line = y >= y0 && y <= yEnd;
                const bool edge = x == 0 || y == 0 || x == r.Width() - 1 || y == r.Height() - 1;
                const uint32_t expected = line && x == caretX ? colours.focus
                                          : line && x >= barLeft && x <= barRight
                                              ? colours.selection
                                          : edge ? colours.focus
                                                 : colours.face;
                const uint32_t pixel = Pixel(r.left + x, r.top + y);
                if (pixel != expected && wrong++ < 3)
                    ADD_FAILURE() << c.edit->GetName() << " " << c.anchor << ".." << c.caret
                                  << ": at " << x << "," << y << " " << std::hex << pixel << " not "
                                  << expected;
            }
        EXPECT_EQ(wrong, 0) << c.edit->GetName() << " " << c.anchor << ".." << c.caret;
        if (c.byMouse)
            Release(r.left + x0 + width(c.caret), r.top + r.Height() / 2);
    }
    // Without the focus the edit shows neither its selection nor its caret: only its face in
    // its own frame colour.
    Click(150, 320);
    app.OnFrame(30);
    EXPECT_EQ((std::vector<uint32_t>{Pixel(101, 401), Pixel(100, 401), Pixel(103, 401)}),
              (std::vector<uint32_t>{lowEdit->GetColours().face, lowEdit->GetColours().border,
                                     lowEdit->GetColours().face}));
}

// An edit's image lives in the store's pool while the edit does, at the edit's size.
TEST_F(EditsTest, TheImageFollowsTheEditsSizeAndGoesWithIt)
{
    GGraphicsResources& store = *system.GetResources();
    int32_t slot = -1;
    {
        GDialog own(&app, &system);
        ASSERT_EQ(own.Create(0), 1);
        auto owned = std::make_unique<GEdit>("edX", raster, 8);
        owned->SetRect(GRect{10, 10, 59, 29});
        GBaseControl* added = own.AddControl(std::move(owned));
        const auto* animator = static_cast<const GStTextImageAnimator*>(added->GetAnimator());
        const int32_t first = animator->GetImageSlot();
        ASSERT_NE(store.GetBitmap(first), nullptr);
        EXPECT_EQ(store.GetBitmap(first)->GetWidth(), 50);
        added->SetRect(GRect{10, 10, 89, 29});
        slot = animator->GetImageSlot();
        ASSERT_NE(store.GetBitmap(slot), nullptr);
        EXPECT_EQ(std::pair(store.GetBitmap(slot)->GetWidth(), store.GetBitmap(slot)->GetHeight()),
                  std::pair(int16_t(80), int16_t(20)));
        if (slot != first) {
            EXPECT_EQ(store.GetBitmap(first), nullptr);
        }
    }
    EXPECT_EQ(store.GetBitmap(slot), nullptr);

    // Without a font an edit measures nothing and takes nothing.
    GEdit bare("edBare", nullptr, 8);
    bare.SetRect(GRect{0, 0, 4, 9});
    bare.SetText(GWString("abc"));
    EXPECT_EQ((std::vector<int32_t>{bare.GetBuffer().GetLength(), bare.TextWidthN(0),
                                    bare.TextWidthN(3), bare.LineHeight(), bare.GetScroll()}),
              (std::vector<int32_t>{0, 0, 0, 0, 0}));
}

TEST_F(EditsTest, RasterEditPixelsSitAtTheGlyphRecordsPositions)
{
    edit->SetText(GWString("Hi"));
    app.OnFrame(30);
    const GBitmap& sheet = *raster->GetSheet();
    const int lineTop = 200 + (24 - raster->GetHeight()) / 2;
    int pen = 100 + GBaseEdit::kPadding;
    int inked = 0;
    for (uint8_t code : {uint8_t('H'), uint8_t('i')}) {
        const GOldFont::Glyph& g = *raster->GetGlyph(code);
        for (int row = 0; row < raster->GetHeight(); ++row) {
            for (int col = 0; col < g.width; ++col) {
                const uint8_t mask =
                    sheet.GetAlpha()[(row + 1) * sheet.GetWidth() + g.sourceX - 1 + col];
                const uint32_t pixel = Pixel(pen + g.left + col, lineTop + row);
                // The image's mask step over the edit's panel: text + ((face - text) * m >> 8).
                uint32_t expected = edit->GetColours().face;
                if (mask < 255) {
                    expected = 0;
                    for (int shift = 0; shift < 24; shift += 8) {
                        const int s = int(edit->GetColours().text >> shift & 0xFF);
                        const int d = int(edit->GetColours().face >> shift & 0xFF);
                        expected |= uint32_t(uint8_t(s + (((d - s) * mask) >> 8))) << shift;
                    }
                    ++inked;
                }
                EXPECT_EQ(pixel, expected)
                    << code << " " << col << "," << row << " mask " << int(mask);
            }
        }
        pen += g.left + g.width + g.right;
    }
    EXPECT_GT(inked, 10);
    EXPECT_EQ(pen, 100 + GBaseEdit::kPadding + raster->GetTextWidth("Hi"));
}

TEST_F(EditsTest, TrueTypeEditPixelsMatchEachGlyphDrawnAloneAtItsPen)
{
    textEdit->SetText(GWString("Hi"));
    app.OnFrame(30);
    GTtfFont& font = *textEdit->GetFace().GetFont();
    const int lineTop = 100 + (24 - textEdit->LineHeight()) / 2;
    int pen = 100 + GBaseEdit::kPadding;
    int inked = 0;
    for (const char* glyph : {"H", "i"}) {
        constexpr int kOffset = 4; // room for a glyph that starts left of its pen
        std::unique_ptr<GBitmap> alone(GBitmap::Create(40, 40, 0, 2));
        std::memset(alone->GetAlpha(), 255, 40 * 40);
        font.DrawTextW(GWString(glyph), alone.get(), 12, 0xFFFFFF, kOffset, 0);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                if (alone->GetAlpha()[y * 40 + x] == 0) {
                    EXPECT_EQ(Pixel(pen + x - kOffset, lineTop + y), textEdit->GetColours().text)
                        << glyph;
                    ++inked;
                }
        int w = 0;
        int h = 0;
        font.MeasureText(GWString(glyph), 12, &w, &h, font.GetOptions());
        pen += w;
    }
    EXPECT_GT(inked, 10);
    // Nothing of the edit leaves its rectangle.
    EXPECT_EQ(Pixel(99, 110), 0u);
    EXPECT_EQ(Pixel(300, 110), 0u);
}

// A TrueType label's line starts at the image's left, centres or ends at its right as aligned,
// and sits in the middle of the image's height.
TEST_F(EditsTest, TrueTypeLabelPlacesItsLineAsAligned)
{
    constexpr int kWidth = 120, kHeight = 40;
    std::vector<std::array<int, 4>> boxes; // inked left, right, top, bottom
    int lineHeight = 0;
    // The last one is left-aligned again, 20 rows taller.
    for (const GTextAlign align :
         {GTextAlign::Left, GTextAlign::Centre, GTextAlign::Right, GTextAlign::Left}) {
        const int height = boxes.size() == 3 ? kHeight + 20 : kHeight;
        GTextLabel label("lblA", "DejaVuSans.ttf", 12, align);
        label.SetText(GWString("Hi"));
        lineHeight = label.GetFace().LineHeight();
        std::unique_ptr<GBitmap> image(GBitmap::Create(kWidth, int16_t(height), 0, 2));
        std::memset(image->GetAlpha(), 255, kWidth * height);
        label.RenderText(*image);
        std::array<int, 4> box{kWidth, -1, height, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (image->GetAlpha()[y * kWidth + x] < 255)
                    box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], y),
                           std::max(box[3], y)};
        ASSERT_GE(box[1], box[0]) << int(align);
        boxes.push_back(box);
    }
    const int width = boxes[0][1] - boxes[0][0];
    EXPECT_LE(boxes[0][0], 2);
    EXPECT_LE(std::abs((boxes[1][0] + boxes[1][1]) / 2 - kWidth / 2), 2);
    EXPECT_GE(boxes[2][1], kWidth - 3);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(boxes[i][1] - boxes[i][0], width);
        EXPECT_EQ(std::pair(boxes[i][2], boxes[i][3]), std::pair(boxes[0][2], boxes[0][3]));
    }
    // The line's top moves by half of what the image grew.
    const int moved = (kHeight + 20 - lineHeight) / 2 - (kHeight - lineHeight) / 2;
    EXPECT_EQ(boxes[3][2] - boxes[0][2], moved);
}

TEST_F(EditsTest, RasterLabelBlendsItsGlyphsRightAlignedAndAtHalfStrengthWhenDisabled)
{
    // Dirty areas are cleared to black, so each drawing blends over black.
    dialog->SetBackgroundMode(kBackgroundFill);
    dialog->SetBackgroundColour(0);
    const GOldFont::Glyph& g = *raster->GetGlyph('H');
    const GBitmap& sheet = *raster->GetSheet();
    const int h = raster->GetHeight();
    ASSERT_GT(h, 4);
    // The first glyph's pen: right-aligned or centred in 400..499; a text wider than its
    // rectangle, or a rectangle lower than the line, starts at the rectangle's corner and is cut
    // to it.
    const struct {
        GTextAlign align;
        GRect rect;
        const char* text;
        int penX, penY;
        int minInk;
    } cases[] = {
        {GTextAlign::Right,
         {400, 100, 499, 119},
         "H",
         500 - raster->GetTextWidth("H"),
         100 + (20 - h) / 2,
         10},
        {GTextAlign::Centre,
         {400, 130, 499, 149},
         "H",
         raster->CenterX("H", 400, 500),
         130 + (20 - h) / 2,
         10},
        {GTextAlign::Right, {400, 160, 403, 179}, "HHHH", 400, 160 + (20 - h) / 2, 2},
        {GTextAlign::Left, {400, 190, 499, 193}, "H", 400, 190, 0},
    };
    for (const auto& c : cases) {
        auto label = std::make_unique<GEditLabel>("lblCode", raster, c.align);
        label->SetRect(c.rect);
        label->SetText(GWString(c.text));
        GBaseControl* shown = dialog->AddControl(std::move(label));
        const int left = c.penX + g.left;
        for (uint8_t alpha : {uint8_t(255), uint8_t(128)}) {
            shown->SetEnabled(alpha == 255);
            app.OnFrame(30);
            const uint32_t colour =
                alpha == 255 ? shown->GetColours().text : shown->GetColours().disabledText;
            int inked = 0;
            for (int row = 0; row < h; ++row)
                for (int col = 0; col < g.width; ++col) {
                    if (left + col > c.rect.right || c.penY + row > c.rect.bottom)
                        continue;
                    const uint8_t mask =
                        sheet.GetAlpha()[(row + 1) * sheet.GetWidth() + g.sourceX - 1 + col];
                    // Over the black screen: d + ((c - d) * (255 - m) * alpha >> 16) with d = 0.
                    uint32_t expected = 0;
                    for (int shift = 0; shift < 24; shift += 8)
                        expected |=
                            uint32_t(((colour >> shift & 0xFF) * (255 - mask) * alpha) >> 16)
                            << shift;
                    EXPECT_EQ(Pixel(left + col, c.penY + row), expected)
                        << c.text << " " << int(alpha) << " " << col << "," << row;
                    inked += mask < 255;
                }
            EXPECT_GE(inked, c.minInk) << c.text;
        }
        shown->SetVisible(false);
    }
    EXPECT_EQ(dialog->ControlAt(450, 110), nullptr); // labels let the mouse through
}

} // namespace
