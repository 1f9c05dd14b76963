#include "Vellix/Gui/VellixApp.h"

int main(int argc, char** argv) {
    Ostrel::Vellix::Gui::CVellixApp app(argc, argv);
    if (!app.InitInstance()) {
        return 1;
    }
    return app.Run();
}
