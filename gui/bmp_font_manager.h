#pragma once
// GBmpFontManager: the GUI's bitmap fonts, by name. At start-up it reads the font list, an
// XML document whose "FontManager" element names the cfg configuration of the fonts
// (attribute "Config") and holds one "Font" element per font:
//
//   <FontManager Config="fonts.cfg">
//     <Font Name="Sans16" Sheet="FONT_SANS16"/>          sheet: a bitmap of the store
//     <Font Name="Title" Sheet="FONT_TITLE" MarkerRow="0"/>
//   </FontManager>
//
// Each font's description (Symbols, Indexes, BaseSymbol) is the configuration's object of
// the font's name. The manager owns its fonts and frees their glyphs when a font is dropped;
// it observes the store, which must outlive the fonts. Main thread only.

#include <map>
#include <memory>
#include <string>

class GBmpFont;
class GGraphicsResources;
class GHtmlLog;

class GBmpFontManager {
public:
    GBmpFontManager();
    ~GBmpFontManager();
    GBmpFontManager(const GBmpFontManager&) = delete;
    GBmpFontManager& operator=(const GBmpFontManager&) = delete;

    // Drops every font, then makes those of the list (file names against the current folder).
    // Fonts whose sheet is missing or cuts no glyph, or whose description is missing, are
    // logged (when a log is given) and left out. Returns the number of fonts made; 0 also
    // when the list or configuration cannot be read.
    int Init(GGraphicsResources* store, const char* listFileName, GHtmlLog* log = nullptr);
    // Why the last Init did not make every font its list names (the first problem met: the
    // list or configuration unreadable, a list naming no font, a font not made); empty when
    // it made them all.
    const std::string& GetProblem() const { return m_problem; }

    // Files a font made elsewhere under the name (replacing one of that name); false for a
    // null font or an empty name.
    bool AddFont(const std::string& name, std::unique_ptr<GBmpFont> font);
    GBmpFont* FindFont(const std::string& name) const;
    // Frees the font's glyphs and forgets it; false when no font has the name.
    bool DropFont(const std::string& name);
    void DropAll();
    int GetCount() const { return static_cast<int>(m_fonts.size()); }

private:
    // Logs the problem (when a log is given) and keeps the first one.
    void Note(GHtmlLog* log, const std::string& problem);

    std::map<std::string, std::unique_ptr<GBmpFont>> m_fonts;
    std::string m_problem;
};
