#pragma once
// A form-stack application for tests of what screens draw: it starts with no game, and keeps
// every rectangle presented to the window, in order, besides presenting it.

#include <vector>

#include "gui/form_stack_application.h"

namespace tolvanrise::test {

class RecordingApplication : public GFormStackApplication {
public:
    std::vector<GRect> presented;
    int OnInit() override { return 1; }
    void PresentRect(const GRect& r) override
    {
        presented.push_back(r);
        GFormStackApplication::PresentRect(r);
    }
};

} // namespace tolvanrise::test
