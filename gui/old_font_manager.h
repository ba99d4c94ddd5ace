#pragma once
// GOldFontManager: the raster fonts of the older controls, by name. Each font is cut from a
// sheet that the bitmap store holds under its own name. Owns its fonts; observes the store,
// which must outlive them. Main thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class GGraphicsResources;
class GOldFont;

class GOldFontManager {
public:
    explicit GOldFontManager(GGraphicsResources* store = nullptr);
    ~GOldFontManager();
    GOldFontManager(const GOldFontManager&) = delete;
    GOldFontManager& operator=(const GOldFontManager&) = delete;

    void SetStore(GGraphicsResources* store) { m_store = store; }

    // Makes a font from the sheet found by name over the whole store and files it under
    // fontName (replacing a font of that name). 1; 0 when a name is missing or empty, there is
    // no store, the sheet is not found or cannot serve as a raster sheet.
    int AddFont(const char* fontName, const char* sheetName, uint16_t spaceWidth, uint8_t last,
                uint8_t first);
    // Null when no font has the name.
    GOldFont* FindFont(const char* fontName) const;
    int GetCount() const { return static_cast<int>(m_fonts.size()); }
    void Clear();

private:
    GGraphicsResources* m_store = nullptr;
    std::map<std::string, std::unique_ptr<GOldFont>> m_fonts;
};
