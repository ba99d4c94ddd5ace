#include "gui/old_font_manager.h"

#include "graphics/fonts/old_font.h"
#include "graphics/store/graphics_resources.h"

GOldFontManager::GOldFontManager(GGraphicsResources* store) : m_store(store) {}

GOldFontManager::~GOldFontManager() = default;

int GOldFontManager::AddFont(const char* fontName, const char* sheetName, uint16_t spaceWidth,
                             uint8_t last, uint8_t first)
{
    if (!fontName || !*fontName || !sheetName || !*sheetName || !m_store)
        return 0;
    const int16_t slot = m_store->FindBitmap(sheetName);
    const GBitmap* sheet = slot >= 0 ? m_store->GetBitmap(slot) : nullptr;
    if (!sheet)
        return 0;
    auto font = std::make_unique<GOldFont>();
    if (!font->InitFromResource(sheet, spaceWidth, last, first))
        return 0;
    m_fonts[fontName] = std::move(font);
    return 1;
}

GOldFont* GOldFontManager::FindFont(const char* fontName) const
{
    const auto it = fontName ? m_fonts.find(fontName) : m_fonts.end();
    return it == m_fonts.end() ? nullptr : it->second.get();
}

void GOldFontManager::Clear()
{
    m_fonts.clear();
}
