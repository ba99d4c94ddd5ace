#pragma once
// The result window ("result.cfg") shows how the level the main form has just finished went:
// won or lost, the score so far and the level's statistics, each in its label of the window.
// Main thread only.

class GDialog;
class GGameGuiSystem;
class GGameMainForm;

void ShowResult(GDialog& window, const GGameMainForm& form, GGameGuiSystem& system);
