#pragma once
// GCfgDialog: a dialog whose controls are made from its dialog file by the dialog builder
// while the dialog is created, so they are there when its appear state begins (and their
// animators hear "stAppear"). Main thread only.

#include <string>

#include "gui/dialog.h"

class GCfgNode;

class GCfgDialog : public GDialog {
public:
    GCfgDialog(GFormStackApplication* application, GGuiSystem* system, std::string fileName)
        : GDialog(application, system), m_fileName(std::move(fileName))
    {
    }

    // 0 when the file cannot be read or holds no "Dialog" (logged by the builder).
    int OnInit() override;
    const std::string& GetFileName() const { return m_fileName; }

protected:
    // The file's "Dialog" entry before its controls are made: what a window adds here lies
    // under them.
    virtual void OnBeforeControls(const GCfgNode& dialog) {}

private:
    std::string m_fileName;
};
