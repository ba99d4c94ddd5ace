// The edit buffer against a plain model of a one-line edit: random typing, pasting, erasing,
// caret moves with and without selection, across maximum lengths and filters. After each step
// both hold the same text, caret and selection, and agree whether the text changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "gui/controls/edit_buffer.h"

namespace {

struct Edit {
    std::u16string text;
    int caret = 0, anchor = 0, max = 0;
    bool digits = false;

    bool Takes(char16_t c) const
    {
        return c >= 0x20 && c != 0x7F && (!digits || (c >= u'0' && c <= u'9'));
    }
    int Lo() const { return std::min(caret, anchor); }
    int Hi() const { return std::max(caret, anchor); }
    std::u16string Accepted(std::u16string_view t) const
    {
        std::u16string out;
        for (char16_t c : t)
            if (Takes(c))
                out += c;
        return out;
    }
    // The selection gives way to as much of the accepted text as fits; true when anything
    // was erased or put in.
    bool Replace(std::u16string_view with)
    {
        const bool had = Hi() != Lo();
        const int at = Lo();
        const std::u16string kept = text.substr(0, at) + text.substr(Hi());
        const std::u16string put = Accepted(with).substr(0, max - kept.size());
        text = kept.substr(0, at) + put + kept.substr(at);
        caret = anchor = at + static_cast<int>(put.size());
        return had || !put.empty();
    }
};

TEST(EditBufferModel, RandomEditsKeepTextCaretAndSelectionAsAOneLineEditDoes)
{
    std::mt19937 draw(99);
    const std::u16string alphabet = u"ab09 \t\n\x7f\x1f~\u00e9\u4e2d";
    auto randomText = [&](int longest) {
        std::u16string t;
        for (int n = static_cast<int>(draw() % (longest + 1)); n > 0; --n)
            t += alphabet[draw() % alphabet.size()];
        return t;
    };
    for (int round = 0; round < 300; ++round) {
        const int max = static_cast<int>(draw() % 12) - 1;
        GEditBuffer buffer(max);
        Edit model;
        model.max = std::max(0, max);
        if (draw() % 3 == 0) {
            model.digits = true;
            buffer.SetFilter([](char16_t c) { return c >= u'0' && c <= u'9'; });
        }
        for (int step = 0; step < 60; ++step) {
            const int kind = static_cast<int>(draw() % 12);
            const bool select = draw() % 2;
            bool got = false, want = false;
            if (kind == 0) {
                const std::u16string t = randomText(16);
                got = buffer.SetText(t);
                const std::u16string old = model.text;
                model.text = model.Accepted(t).substr(0, model.max);
                model.caret = model.anchor = static_cast<int>(model.text.size());
                want = model.text != old;
            } else if (kind < 3) {
                const std::u16string t = randomText(4);
                got = buffer.Insert(t);
                want = model.Replace(t);
            } else if (kind == 3) {
                got = buffer.Backspace();
                if (model.Hi() != model.Lo())
                    want = model.Replace(u"");
                else if ((want = model.caret > 0))
                    model.text.erase(--model.caret, 1), model.anchor = model.caret;
            } else if (kind == 4) {
                got = buffer.Delete();
                if (model.Hi() != model.Lo())
                    want = model.Replace(u"");
                else if ((want = model.caret < static_cast<int>(model.text.size())))
                    model.text.erase(model.caret, 1);
            } else if (kind == 5) {
                got = buffer.EraseSelection();
                want = model.Hi() != model.Lo() && model.Replace(u"");
            } else if (kind == 6) {
                const int to = static_cast<int>(draw() % 16) - 3;
                buffer.MoveTo(to, select);
                model.caret = std::clamp(to, 0, static_cast<int>(model.text.size()));
                if (!select)
                    model.anchor = model.caret;
            } else if (kind < 10) {
                const bool left = kind < 8;
                buffer.MoveLeft(select);
                if (!left)
                    buffer.MoveLeft(select), buffer.MoveRight(select), buffer.MoveRight(select);
                // Without select a selection collapses to its edge on the side moved to.
                const int len = static_cast<int>(model.text.size());
                if (left) {
                    if (!select && model.Hi() != model.Lo())
                        model.caret = model.anchor = model.Lo();
                    else
                        model.caret = std::max(0, model.caret - 1),
                        model.anchor = select ? model.anchor : model.caret;
                } else {
                    for (int move : {-1, -1, 1, 1}) {
                        if (!select && model.Hi() != model.Lo())
                            model.caret = model.anchor = move < 0 ? model.Lo() : model.Hi();
                        else
                            model.caret = std::clamp(model.caret + move, 0, len),
                            model.anchor = select ? model.anchor : model.caret;
                    }
                }
            } else {
                buffer.SelectAll();
                model.anchor = 0, model.caret = static_cast<int>(model.text.size());
            }
            const std::string where = "round " + std::to_string(round) + " step " +
                                      std::to_string(step) + " kind " + std::to_string(kind);
            ASSERT_EQ(got, want) << where;
            ASSERT_TRUE(buffer.GetText() == model.text) << where;
            ASSERT_EQ(buffer.GetLength(), static_cast<int>(model.text.size())) << where;
            ASSERT_LE(buffer.GetLength(), buffer.GetMaxLength()) << where;
            ASSERT_EQ(buffer.GetMaxLength(), model.max) << where;
            ASSERT_EQ(buffer.GetCaret(), model.caret) << where;
            ASSERT_EQ(buffer.GetSelectionStart(), model.Lo()) << where;
            ASSERT_EQ(buffer.GetSelectionEnd(), model.Hi()) << where;
            ASSERT_EQ(buffer.HasSelection(), model.Hi() != model.Lo()) << where;
            ASSERT_TRUE(buffer.GetSelectedText() ==
                        model.text.substr(model.Lo(), model.Hi() - model.Lo()))
                << where;
        }
    }
}

} // namespace
