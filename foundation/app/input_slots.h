#pragma once
// GInputSlots: the one set of input handlers that forms and clip containers share, so that a
// dialog (both a form and a container) overrides each handler once. The form-stack application
// hands the window's input to its top form through these; a dialog hands them on to its state
// and controls. Every handler returns 1 ("handled") in the base, 0 when it let the event pass.
// Main thread only.
//
// Keys are virtual keys or the clipboard pseudo keys (0x8000 copy, 0x8001 paste, 0x8002 cut)
// as the window procedure gives them; receivers map them with VirtualKeyToKeyCode. Characters
// are Windows-1251 codes. Coordinates are client pixels.

#include <cstdint>

class GInputSlots {
public:
    GInputSlots() = default;
    GInputSlots(const GInputSlots&) = delete;
    GInputSlots& operator=(const GInputSlots&) = delete;
    virtual ~GInputSlots() = default;

    // The receiver becomes the one that takes input: it came to the top of the form stack, or
    // the window got the focus back while it was there.
    virtual int OnActivate() { return 1; }
    // The window lost the focus while the receiver was on top.
    virtual int OnDeactivate() { return 1; }
    virtual int OnKeyDown(int32_t key) { return 1; }
    virtual int OnKeyUp(int32_t key) { return 1; }
    virtual int OnChar(int32_t character) { return 1; }
    virtual int OnLButtonDown(int32_t x, int32_t y) { return 1; }
    virtual int OnLButtonDblClk(int32_t x, int32_t y) { return 1; }
    virtual int OnRButtonDblClk(int32_t x, int32_t y) { return 1; }
    virtual int OnLButtonUp(int32_t x, int32_t y) { return 1; }
    // The mouse moved with the left button held (OnMouseMove follows).
    virtual int OnLButtonDrag(int32_t x, int32_t y) { return 1; }
    virtual int OnMouseMove(int32_t x, int32_t y) { return 1; }
    virtual int OnPlainEvent() { return 1; }
    virtual int OnMouseEvent(int32_t x, int32_t y) { return 1; }
    virtual int OnRButtonDown(int32_t x, int32_t y) { return 1; }
    virtual int OnRButtonUp(int32_t x, int32_t y) { return 1; }
};
