#include "foundation/app/application_main.h"

#include "foundation/app/application.h"
#include "foundation/files/data_files.h"

namespace {

constexpr const char* kWindowTitle = "Tolvanrise";
constexpr const char* kWindowClass = "Tolvanrise";
constexpr int16_t kClientWidth = 800;
constexpr int16_t kClientHeight = 600;

} // namespace

int ApplicationMain(GApplicationFactory createApplication)
{
    // Data files are looked up relative to the current folder.
    ClearDataFolderPrefix();

    std::unique_ptr<GApplication> application = createApplication ? createApplication() : nullptr;
    if (!application) {
        ShowAlert("Not enough memory!! Close some application then try again!");
        return 2;
    }

    int result = 0;
    if (application->Create(kWindowTitle, kWindowClass, kClientWidth, kClientHeight, 0)) {
        application->OnBeforeShow();
        application->Show();
        application->Run();
    } else {
        ShowAlert("Cannot initialize the application! Please reinstall.");
        result = 1;
    }
    application.reset();
    return result;
}
