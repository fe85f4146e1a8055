// Waits until a notification-area host owns the tray selection of the
// display's default screen, for at most the given number of seconds.
//   qcy_wait_tray SECONDS
// Exit status 0 once it is owned, 1 when it never was, 2 without a display.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "qcy_wait_tray: cannot open the X display\n");
        return 2;
    }
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str()), nullptr);
    const auto deadline = std::chrono::steady_clock::now()
        + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    bool owned = false;
    while (atom && !owned) {
        xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        owned = owner && owner->owner != XCB_NONE;
        std::free(owner);
        if (owned || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::free(atom);
    xcb_disconnect(connection);
    if (!owned)
        std::fprintf(stderr, "qcy_wait_tray: nothing owns %s after %g s: no notification-area host\n",
                     name.c_str(), seconds);
    return owned ? 0 : 1;
}
