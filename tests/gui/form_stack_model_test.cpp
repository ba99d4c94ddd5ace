// The form stack against a plain model of it: forms pushed and asked for (some makers give
// none), forms set closing or finished, frames and input in random order. Both tell the same
// story: which form is deleted, activated, updated and given the input, and when a form waiting
// for the stack to settle opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gui/form.h"
#include "gui/form_stack_application.h"

namespace {

using Story = std::vector<std::string>;

class Form : public GForm {
public:
    Form(int id, Story* story) : m_id(id), m_story(story) {}
    ~Form() override { Tell("deleted"); }
    bool closing = false, finished = false;
    int Update(int elapsedMs) override { return Tell("update " + std::to_string(elapsedMs)); }
    bool CanDelete() const override { return finished; }
    bool IsClosing() const override { return closing || finished; }
    void Activate() override { Tell("activated"); }
    int OnLButtonDown(int32_t, int32_t) override { return Tell("press"); }
    int OnKeyDown(int32_t) override { return Tell("key"); }

private:
    int Tell(const std::string& what)
    {
        m_story->push_back(std::to_string(m_id) + " " + what);
        return 1;
    }
    int m_id;
    Story* m_story;
};

class App : public GFormStackApplication {
public:
    int OnInit() override { return 1; }
    int openings = 0;

protected:
    void OnFormOpening() override { ++openings; }
};

// What the stack holds in the model: each form's id and flags.
struct Entry {
    int id;
    Form* form;
};

TEST(FormStackModel, RandomStacksDeleteActivateUpdateAndOpenAsTheModelSays)
{
    std::mt19937 draw(17);
    for (int round = 0; round < 200; ++round) {
        Story story, want;
        App app;
        std::vector<Entry> stack;
        std::deque<int> waiting; // ids to open, 0 for a maker that gives none
        int nextId = 1, active = 0, openings = 0;
        std::vector<Entry> made; // forms the makers made, in order
        auto tell = [&](int id, const std::string& what) {
            want.push_back(std::to_string(id) + " " + what);
        };
        auto closingOnStack = [&] {
            return std::any_of(stack.begin(), stack.end(),
                               [](const Entry& e) { return e.form->IsClosing(); });
        };
        auto openWaiting = [&] {
            while (!waiting.empty() && !closingOnStack()) {
                const int id = waiting.front();
                waiting.pop_front();
                ++openings;
                if (id)
                    stack.push_back(*std::find_if(made.begin(), made.end(),
                                                  [&](const Entry& e) { return e.id == id; }));
            }
        };
        auto activateTop = [&] {
            if (!stack.empty() && stack.back().id != active) {
                active = stack.back().id;
                tell(active, "activated");
            }
        };
        for (int step = 0; step < 60; ++step) {
            const int kind = static_cast<int>(draw() % 10);
            const std::string where = "round " + std::to_string(round) + " step " +
                                      std::to_string(step) + " kind " + std::to_string(kind);
            if (kind < 2) {
                const int id = nextId++;
                auto form = std::make_unique<Form>(id, &story);
                stack.push_back({id, form.get()});
                app.PushForm(std::move(form));
            } else if (kind < 4) {
                const int id = draw() % 4 ? nextId++ : 0;
                app.OpenWhenSettled([&, id]() -> std::unique_ptr<GForm> {
                    if (!id)
                        return nullptr;
                    auto form = std::make_unique<Form>(id, &story);
                    made.push_back({id, form.get()});
                    return form;
                });
                // The form a maker made is in `made` by the time the model opens it.
                waiting.push_back(id);
                openWaiting();
            } else if (kind < 6 && !stack.empty()) {
                Form* form = stack[draw() % stack.size()].form;
                (draw() % 2 ? form->closing : form->finished) = true;
            } else if (kind < 9) {
                const int ms = static_cast<int>(draw() % 50);
                std::vector<bool> finished;
                for (const Entry& e : stack)
                    finished.push_back(e.form->CanDelete());
                app.OnFrame(ms);
                for (size_t i = stack.size(); i-- > 0;)
                    if (finished[i]) {
                        tell(stack[i].id, "deleted");
                        if (active == stack[i].id)
                            active = 0;
                        stack.erase(stack.begin() + static_cast<std::ptrdiff_t>(i));
                    }
                activateTop();
                openWaiting();
                activateTop();
                if (!stack.empty())
                    tell(stack.back().id, "update " + std::to_string(ms));
            } else {
                app.OnLButtonDown(1, 2);
                app.OnKeyDown('A');
                if (!stack.empty())
                    tell(stack.back().id, "press"), tell(stack.back().id, "key");
            }
            ASSERT_EQ(story, want) << where;
            ASSERT_EQ(app.openings, openings) << where;
            ASSERT_EQ(app.GetFormCount(), static_cast<int>(stack.size())) << where;
            for (size_t i = 0; i < stack.size(); ++i)
                ASSERT_EQ(app.GetForm(static_cast<int>(i)), stack[i].form) << where;
            ASSERT_EQ(app.GetTopForm(), stack.empty() ? nullptr : stack.back().form) << where;
            ASSERT_EQ(app.GetForm(-1), nullptr);
            ASSERT_EQ(app.GetForm(app.GetFormCount()), nullptr);
        }
        // Every form goes with the stack, the top first.
        app.RemoveAllForms();
        for (size_t i = stack.size(); i-- > 0;)
            tell(stack[i].id, "deleted");
        ASSERT_EQ(story, want) << "round " << round;
    }
}

// Emptying the stack drops the forms that were waiting for it to settle as well: none of them
// opens on a later frame.
TEST(FormStackModel, EmptyingTheStackDropsTheFormsWaitingToOpen)
{
    Story story;
    App app;
    auto closing = std::make_unique<Form>(1, &story);
    closing->closing = true;
    app.PushForm(std::move(closing));
    int made = 0;
    app.OpenWhenSettled(
        [&]() -> std::unique_ptr<GForm> { return std::make_unique<Form>(2 + made++, &story); });
    EXPECT_EQ(made, 0) << "held back by the closing form";
    app.RemoveAllForms();
    app.OnFrame(30);
    app.OnFrame(30);
    EXPECT_EQ(made, 0);
    EXPECT_EQ(app.GetFormCount(), 0);
}

} // namespace
