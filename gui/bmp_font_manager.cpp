#include "gui/bmp_font_manager.h"

#include "foundation/cfg/cfg_node.h"
#include "foundation/docs/data_doc_text.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/files/html_log.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/store/graphics_resources.h"

GBmpFontManager::GBmpFontManager() = default;

GBmpFontManager::~GBmpFontManager() = default;

int GBmpFontManager::Init(GGraphicsResources* store, const char* listFileName, GHtmlLog* log)
{
    DropAll();
    m_problem.clear();
    const std::string listName = listFileName ? listFileName : "";
    GXmlDataDoc list;
    GDataDoc* manager = nullptr;
    if (store && listFileName && list.Load(listFileName, 0))
        manager = list.GetChild("FontManager");
    if (!manager) {
        Note(log, "Cannot read the font list " + listName);
        return 0;
    }
    const std::string configName = datadoc::NarrowOf(manager->GetAttributeString("Config", ""));
    // The configuration may be cfg text or the binary form, which alone can hold a symbol
    // list with both quote characters.
    GCfgNode config;
    bool read = !configName.empty() && config.LoadBinaryFile(configName.c_str(), 0);
    if (!read && !configName.empty()) {
        config.Clear();
        read = config.LoadFile(configName.c_str()) == 1;
    }
    if (!read) {
        Note(log, "Cannot read the font configuration " + configName);
        return 0;
    }

    int listed = 0;
    for (GDataDoc* entry = manager->GetChild("Font"); entry;
         entry = manager->GetNextSibling(entry, "Font")) {
        ++listed;
        const std::string name = datadoc::NarrowOf(entry->GetAttributeString("Name", ""));
        const std::string sheetName = datadoc::NarrowOf(entry->GetAttributeString("Sheet", ""));
        const bool markerRowZero = entry->GetAttributeInt("MarkerRow", 1) == 0;
        const GCfgObjectEntry* description = config.FindObject(name);
        const int16_t slot = name.empty() || sheetName.empty() ? -1
                                                               : store->FindBitmap(sheetName.c_str());
        std::unique_ptr<GBmpFont> font;
        if (slot >= 0 && description && !description->second.empty()) {
            auto symbols = std::make_unique<GBmpFontSymbols>();
            GBmpFont::LoadDescription(description->second.front(), *symbols);
            font = GBmpFont::Create(store->GetBitmap(slot), store, std::move(symbols), markerRowZero);
        }
        // A sheet without a separator cuts no glyph: such a font draws nothing.
        if (!font || font->GetGlyphPoolSlots().empty()) {
            if (font)
                font->FreeGlyphs();
            Note(log, "Cannot make the bitmap font " + name + " from " + sheetName);
            continue;
        }
        font->SetName(GWString(name.c_str()));
        AddFont(name, std::move(font));
    }
    if (listed == 0)
        Note(log, "The font list " + listName + " names no font");
    return GetCount();
}

void GBmpFontManager::Note(GHtmlLog* log, const std::string& problem)
{
    if (log)
        log->PrintError("%s", problem.c_str());
    if (m_problem.empty())
        m_problem = problem;
}

bool GBmpFontManager::AddFont(const std::string& name, std::unique_ptr<GBmpFont> font)
{
    if (!font || name.empty())
        return false;
    DropFont(name);
    m_fonts[name] = std::move(font);
    return true;
}

GBmpFont* GBmpFontManager::FindFont(const std::string& name) const
{
    const auto it = m_fonts.find(name);
    return it == m_fonts.end() ? nullptr : it->second.get();
}

bool GBmpFontManager::DropFont(const std::string& name)
{
    const auto it = m_fonts.find(name);
    if (it == m_fonts.end())
        return false;
    it->second->FreeGlyphs();
    m_fonts.erase(it);
    return true;
}

void GBmpFontManager::DropAll()
{
    for (auto& [name, font] : m_fonts)
        font->FreeGlyphs();
    m_fonts.clear();
}
