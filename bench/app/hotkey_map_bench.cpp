// Times Ctrl+J (sent with XTEST, as from the keyboard) to the note window being mapped
// by the X server. Usage: hotkey_map_bench <window id> [rounds] [keycode label]
// (another Ctrl+key and what it shows: 33 "Ctrl+P to search panel" for quick open).
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
constexpr uint8_t kControlL = 37;  // X keycodes on the evdev layout
uint8_t key = 44;                  // J

using Clock = std::chrono::steady_clock;

void press(xcb_connection_t* c, xcb_window_t root)
{
    xcb_test_fake_input(c, XCB_KEY_PRESS, kControlL, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, kControlL, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_flush(c);
}

// Waits for the window to be mapped (or unmapped); milliseconds, or -1 after 5 s.
double waitFor(xcb_connection_t* c, xcb_window_t w, bool mapped, Clock::time_point start)
{
    while (Clock::now() - start < std::chrono::seconds(5)) {
        xcb_generic_event_t* ev = xcb_poll_for_event(c);
        if (!ev) {
            xcb_get_window_attributes_reply_t* attrs =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
            const bool isMapped = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attrs);
            if (isMapped == mapped)
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            continue;
        }
        const uint8_t type = ev->response_type & 0x7f;
        free(ev);
        if ((mapped && type == XCB_MAP_NOTIFY) || (!mapped && type == XCB_UNMAP_NOTIFY))
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    return -1;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <window id> [rounds]\n", argv[0]);
        return 2;
    }
    const xcb_window_t window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    if (argc > 3)
        key = static_cast<uint8_t>(std::atoi(argv[3]));
    const char* label = argc > 4 ? argv[4] : "hotkey press to panel";
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    std::vector<double> show;
    for (int i = 0; i < rounds; ++i) {
        press(c, root);  // hide
        if (waitFor(c, window, false, Clock::now()) < 0) {
            std::fprintf(stderr, "the window did not hide\n");
            return 1;
        }
        xcb_flush(c);
        struct timespec pause {
            0, 100'000'000
        };
        nanosleep(&pause, nullptr);
        const auto start = Clock::now();
        press(c, root);  // show
        const double ms = waitFor(c, window, true, start);
        if (ms < 0) {
            std::fprintf(stderr, "the window did not show\n");
            return 1;
        }
        show.push_back(ms);
        nanosleep(&pause, nullptr);
    }
    std::sort(show.begin(), show.end());
    std::printf("%s mapped: median %.2f ms, max %.2f ms over %d rounds   (target < 50 ms)\n", label,
                show[show.size() / 2], show.back(), rounds);
    xcb_disconnect(c);
    return 0;
}
