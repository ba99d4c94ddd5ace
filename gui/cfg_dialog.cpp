#include "gui/cfg_dialog.h"

#include "foundation/cfg/cfg_node.h"
#include "gui/dialog_builder.h"
#include "gui/gui_system.h"

int GCfgDialog::OnInit()
{
    GGuiSystem* system = GetSystem();
    if (!system)
        return 0;
    GDialogBuilder builder(*system);
    GCfgNode file;
    if (!builder.LoadFile(file, m_fileName.c_str()))
        return 0;
    const GCfgNode* dialog = builder.FindDialog(file, m_fileName.c_str());
    if (!dialog)
        return 0;
    OnBeforeControls(*dialog);
    return builder.Build(*this, file, m_fileName.c_str()) >= 0 ? 1 : 0;
}
