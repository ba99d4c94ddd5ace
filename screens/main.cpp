// The program's entry: the game runs under the crash guard. The exit status is the
// application main's result (0 after a normal run, 1 when the window could not be made,
// 2 when the game object could not be); a crash ends the process by its signal instead.

#include <memory>
#include <new>

#include "foundation/app/application_main.h"
#include "foundation/app/crash_guard.h"
#include "screens/game_application.h"

namespace {

constexpr const char* kSupportAddress = "support@tolvanrise.example";

std::unique_ptr<GApplication> CreateGameApplication()
{
    return std::unique_ptr<GApplication>(new (std::nothrow) GGameApplication());
}

int RunGame()
{
    return ApplicationMain(&CreateGameApplication);
}

} // namespace

int main()
{
    GCrashGuard guard;
    guard.Init("Tolvanrise.html", "Tolvanrise", "0.3");
    guard.SetDumpKind(GCrashGuard::kDefaultDumpKind);
    guard.SetSupportAddress(kSupportAddress);
    return guard.RunGuarded(&RunGame);
}
