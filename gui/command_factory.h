#pragma once
// Makes commands from their names. A factory that does not know a name passes it to the
// factory it falls back on (the game's factory falls back on the GUI's), and the last one in
// the chain says why it failed. Main thread only.

#include <memory>

#include "foundation/text/gstring.h"
#include "foundation/text/string_array.h"

class GCommand;

class GCommandFactory {
public:
    explicit GCommandFactory(GCommandFactory* fallback = nullptr) : m_fallback(fallback) {}
    GCommandFactory(const GCommandFactory&) = delete;
    GCommandFactory& operator=(const GCommandFactory&) = delete;
    virtual ~GCommandFactory() = default;

    // A new command, or null with the reason in errorDescription.
    std::unique_ptr<GCommand> CreateCommand(const char* name, const GStringArray& parameters,
                                            GString& errorDescription);

protected:
    // Null when this factory does not know the name.
    virtual std::unique_ptr<GCommand> CreateOwn(const char* name, const GStringArray& parameters,
                                                GString& errorDescription) = 0;

private:
    GCommandFactory* m_fallback; // observed
};
