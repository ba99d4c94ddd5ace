#pragma once
// Commands: user actions and scripted steps as objects. GNamedCommand is the base of every
// command of the GUI and the game; the invoker queues, runs and keeps them. Main thread only.

#include "foundation/text/gstring.h"

class GCommand {
public:
    GCommand() = default;
    GCommand(const GCommand&) = delete;
    GCommand& operator=(const GCommand&) = delete;
    virtual ~GCommand() = default;

    virtual void Execute() = 0;
    // Nonzero when the command was undone.
    virtual int Undo() = 0;
    virtual GString& GetName(GString& out) const = 0;
    // Commands below the invoker's threshold wait while its filter is on.
    virtual int GetPriority() const = 0;
    virtual GString& GetDescription(GString& out) const = 0;
};

class GNamedCommand : public GCommand {
public:
    int Undo() override { return 0; }
    GString& GetName(GString& out) const override
    {
        out = m_name;
        return out;
    }
    int GetPriority() const override { return 0; }
    GString& GetDescription(GString& out) const override { return GetName(out); }

    void SetName(const char* name) { m_name = name; }

private:
    GString m_name;
};
