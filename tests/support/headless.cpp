#include "support/headless.h"

#include <cstdlib>

namespace tolvanrise::test {

void UseHeadlessDrivers()
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

} // namespace tolvanrise::test
