#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // SDL's dummy drivers unless the caller chose others: no suite needs a display or a sound card.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
