#pragma once
// A temporary folder, current for the object's life, holding the smallest bitmap store
// "800x600" that GGuiSystem::Init accepts: one 2 x 2 picture named "PIXEL".

#include <optional>

#include "support/bitmap_store_sets.h"

namespace tolvanrise::test {

class GuiStoreFolder {
public:
    explicit GuiStoreFolder(std::string_view prefix = "gui_store_") : m_folder(prefix)
    {
        bitmap_store_test::SetBuilder{bitmap_store_test::Rgb(0, "PIXEL", 2, 2, 1)}.WriteTo(m_folder.Path("800x600"));
        m_current.emplace(m_folder.Path());
    }
    std::string Path(std::string_view name) const { return m_folder.Path(name); }

private:
    TempFolder m_folder;
    std::optional<ScopedCurrentFolder> m_current;
};

} // namespace tolvanrise::test
