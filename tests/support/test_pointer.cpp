// tovik_test_pointer: real pointer input on the private Wayland desktop of
// tests/support/with_wayland.sh, through wlroots' virtual pointer. Its seat has no pointer
// otherwise, and sway's own "seat cursor" commands move nothing a client sees.
//
//   tovik_test_pointer hold
//       keeps a pointer on the seat until killed (with_wayland.sh runs one), so that clients
//       keep their wl_pointer while the short-lived pointers below come and go
//   tovik_test_pointer STEP...
//       STEP: move X Y | press [left|right|middle] | release [left|right|middle]
//       X and Y in layout coordinates, across all outputs. Returns once the compositor has
//       handled every step. A button stays down until a later step or call releases it.
#include "support/wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "support/xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <linux/input-event-codes.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

namespace {

struct Output {
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
};

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* g = static_cast<Globals*>(data);
    const std::string_view is(interface);
    if (is == wl_seat_interface.name && !g->seat)
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (is == zwlr_virtual_pointer_manager_v1_interface.name)
        g->pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (is == zxdg_output_manager_v1_interface.name)
        g->xdgOutputs = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 1));
    else if (is == wl_output_interface.name)
        g->outputs.push_back(std::make_unique<Output>(Output{
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1))}));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{global, globalRemove};

void position(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    static_cast<Output*>(data)->x = x;
    static_cast<Output*>(data)->y = y;
}
void size(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    static_cast<Output*>(data)->width = width;
    static_cast<Output*>(data)->height = height;
}
void done(void*, zxdg_output_v1*) {}
void name(void*, zxdg_output_v1*, const char*) {}
void description(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener xdgOutputListener{position, size, done, name, description};

uint32_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

bool toInt(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    auto [at, error] = std::from_chars(text, end, value);
    return error == std::errc() && at == end;
}

// What the steps ask for, read in full before anything is sent.
struct Step {
    bool move = false;
    int x = 0, y = 0;
    uint32_t button = BTN_LEFT;
    bool press = false;
};

bool parse(int argc, char** argv, std::vector<Step>& steps) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word(argv[i]), next(i + 1 < argc ? argv[i + 1] : "");
        Step step{word == "move", 0, 0, BTN_LEFT, word == "press"};
        if (step.move && !(i + 2 < argc && toInt(argv[++i], step.x) && toInt(argv[++i], step.y)))
            return false;
        if (!step.move && !step.press && word != "release")
            return false;
        if (!step.move && (next == "left" || next == "right" || next == "middle")) {
            step.button = next == "left" ? BTN_LEFT : next == "right" ? BTN_RIGHT : BTN_MIDDLE;
            ++i;
        }
        steps.push_back(step);
    }
    return !steps.empty();
}

// Static, and never disconnected: the process ends right after, and a leak checker sees all
// of the connection still reachable.
Globals globals;
wl_display* display = nullptr;

} // namespace

int main(int argc, char** argv) {
    const bool hold = argc == 2 && std::string_view(argv[1]) == "hold";
    std::vector<Step> steps;
    if (!hold && !parse(argc, argv, steps)) {
        std::fputs(
            "usage: tovik_test_pointer hold | (move X Y | press [BUTTON] | release [BUTTON])...\n"
            "       BUTTON: left (the default), right or middle\n",
            stderr);
        return 2;
    }
    display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("tovik_test_pointer: no Wayland display (WAYLAND_DISPLAY)\n", stderr);
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.pointers || !globals.xdgOutputs || globals.outputs.empty()) {
        std::fputs("tovik_test_pointer: the compositor lacks zwlr_virtual_pointer_manager_v1,"
                   " zxdg_output_manager_v1 or outputs\n",
                   stderr);
        return 1;
    }
    for (auto& o : globals.outputs) {
        o->xdgOutput = zxdg_output_manager_v1_get_xdg_output(globals.xdgOutputs, o->output);
        zxdg_output_v1_add_listener(o->xdgOutput, &xdgOutputListener, o.get());
    }
    wl_display_roundtrip(display);
    // Absolute motion spans the box around all outputs.
    int left = globals.outputs[0]->x, top = globals.outputs[0]->y, right = left, bottom = top;
    for (const auto& o : globals.outputs) {
        left = std::min(left, o->x);
        top = std::min(top, o->y);
        right = std::max(right, o->x + o->width);
        bottom = std::max(bottom, o->y + o->height);
    }
    for (const Step& s : steps) {
        if (s.move && (s.x < left || s.x >= right || s.y < top || s.y >= bottom)) {
            std::fprintf(stderr,
                         "tovik_test_pointer: %d,%d is outside the desktop, %dx%d at %d,%d\n", s.x,
                         s.y, right - left, bottom - top, left, top);
            return 1;
        }
    }

    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.pointers, globals.seat);
    if (hold) {
        while (wl_display_dispatch(display) != -1) {
        }
        return 0; // the compositor has gone
    }
    for (const Step& s : steps) {
        if (s.move)
            zwlr_virtual_pointer_v1_motion_absolute(
                pointer, nowMs(), static_cast<uint32_t>(s.x - left),
                static_cast<uint32_t>(s.y - top), static_cast<uint32_t>(right - left),
                static_cast<uint32_t>(bottom - top));
        else
            zwlr_virtual_pointer_v1_button(pointer, nowMs(), s.button,
                                           s.press ? WL_POINTER_BUTTON_STATE_PRESSED
                                                   : WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(pointer);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    if (wl_display_roundtrip(display) == -1) {
        std::fputs("tovik_test_pointer: the compositor refused the input\n", stderr);
        return 1;
    }
    return 0;
}
