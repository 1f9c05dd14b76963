#include "Util/SafeWrite.h"
#include "Vellix/Gui/VellixApp.h"

int main(int argc, char** argv) {
    // Ctrl+C in the terminal that started it leaves no half-written file behind.
    Ostrel::Util::RemoveTemporaryFilesOnInterruption();
    Ostrel::Vellix::Gui::CVellixApp app(argc, argv);
    if (!app.InitInstance()) {
        return 1;
    }
    return app.Run();
}
