#pragma once
// Cfg text output shared by the writers of GCfgNode (WriteText, WriteStream, SaveToMemory).

#include <string>
#include <string_view>

// Appends a name or value so that the reader takes it back as exactly that text: bare when
// CfgIsBareToken allows, else between double quotes, or apostrophes when the text holds a
// double quote. False (nothing appended) for a text holding both quote characters, which
// cfg text cannot carry.
bool CfgAppendText(std::string& out, std::string_view text);
