#pragma once
// GDialogBuilder: makes a dialog's controls from its dialog file, a cfg text such as
//
//   Dialog {
//     BackgroundColour = 0x201810                  optional: dirty areas are painted with it
//     Control { Name = lblTitle  Class = STATICLABEL  X = 200 Y = 40 Width = 400 Height = 30
//               Font = Sans12  Text = OptionsTitle  Align = centre }
//     Control { Name = btnBack  X = 300 Y = 500 Width = 200 Height = 40  Font = Sans12
//               Text = Back  OnClick = "cmClose" }
//   }
//
// Controls are made in the file's order, which is also the order Tab moves the focus in. The
// keyword "Class" names the kind (BUTTON, CHECKBOX, SLIDERBAR, LISTBOX, TABCONTROL,
// STATICLABEL, TEXTLABEL, TEXTEDIT, EDIT, EDITLABEL); without it the name's type prefix
// decides ("btn", "cb", "sl", "lst", "lbl", "ed"). Texts are dictionary keys. Fonts are the
// bitmap fonts by name (buttons, check boxes, lists, tabs, static labels), the raster fonts
// by name (EDIT, EDITLABEL) or the TrueType file with "Size" in points (TEXTLABEL, TEXTEDIT).
// Per kind: Checked; Min, Max, Value, Step; Items, RowHeight, Selected; Tab { Text Controls };
// MaxLength; Align (left, centre, right); Animation and AnimationName (a static label played
// by a keyframe animation); and for all Enabled, Visible, OnClick.
//
// A control with an unknown keyword, a font that is not there, no size or a rectangle that
// leaves the screen gives one error line in the GUI's log and is left out; the dialog opens
// with the rest. Observes the GUI system. Main thread only.

class GCfgNode;
class GDialog;
class GGuiSystem;

class GDialogBuilder {
public:
    explicit GDialogBuilder(GGuiSystem& system) : m_system(system) {}

    // Reads the file (cfg text) and builds from it; the number of controls made, or -1 when
    // the file cannot be read or holds no "Dialog" (logged).
    int BuildFromFile(GDialog& dialog, const char* fileName);
    // Reads the dialog file into file; 0 when it cannot be read (logged).
    int LoadFile(GCfgNode& file, const char* fileName);
    // The file's "Dialog" entry, or null (logged).
    const GCfgNode* FindDialog(const GCfgNode& file, const char* source);
    // source names the file in the log lines.
    int Build(GDialog& dialog, const GCfgNode& file, const char* source);

private:
    GGuiSystem& m_system;
};
