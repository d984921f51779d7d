#include "gui/IGraphicsX11.h"

#include "gui/EditorWindowLogic.h"
#include "gui/IGraphicsHeadless.h"
#include "gui/X11ErrorTrap.h"
#include "raster/PngDecoder.h"
#include "raster/RasterSysBitmap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace {

constexpr int kDisplayAttempts = 5;
constexpr useconds_t kDisplayRetryMicroseconds = 20000;

IMouseKeys KeysFromState(unsigned int state)
{
    IMouseKeys keys;
    keys.left = (state & Button1Mask) != 0;
    keys.right = (state & Button3Mask) != 0;
    keys.shift = (state & ShiftMask) != 0;
    keys.control = (state & ControlMask) != 0;
    keys.alt = (state & Mod1Mask) != 0;
    return keys;
}

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// An 8-bit channel scaled into the bits of mask, rounded.
unsigned long ScaleChannelIntoMask(uint32_t channel, unsigned long mask)
{
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const unsigned long top = mask >> shift;
    return ((channel * top + 127) / 255) << shift;
}

std::string DirectoryOfFile(const char* path) { return path != nullptr ? DirectoryOfPath(path) : std::string(); }

} // namespace

// The event handlers: they translate X events and leave every decision to
// the editor and the window logic, as the GTK window's handlers do.
struct IGraphicsX11::Events {
    static void Handle(IGraphicsX11& self, XEvent& event)
    {
        switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            self.PutDeviceArea(IRectangle{e.x, e.y, e.x + e.width, e.y + e.height});
            break;
        }
        case ButtonPress: ButtonPressed(self, event.xbutton); break;
        case ButtonRelease: ButtonReleased(self, event.xbutton); break;
        case MotionNotify: Moved(self, event.xmotion); break;
        case LeaveNotify:
            if (self.trackingLeave && event.xcrossing.mode == NotifyNormal) {
                self.trackingLeave = false;
                self.DispatchMouseLeave();
            }
            break;
        case KeyPress: KeyPressed(self, event); break;
        case DestroyNotify:
            // The host destroyed its parent window, and ours with it.
            if (event.xdestroywindow.window == self.window) {
                self.ReleaseWindow(false);
            }
            break;
        default: break;
        }
    }

    // X reports device pixels; the editor takes editor pixels.
    static int Editor(const IGraphicsX11& self, int device)
    {
        return device >= 0 ? device / self.scale : -((-device + self.scale - 1) / self.scale);
    }

    static void ButtonPressed(IGraphicsX11& self, const XButtonEvent& e)
    {
        const unsigned int button = e.button;
        const int x = Editor(self, e.x);
        const int y = Editor(self, e.y);
        if (button == Button4 || button == Button5) {
            // One wheel click is one notch; up turns the knob up.
            const int units = button == Button4 ? WheelAccumulator::kUnitsPerNotch : -WheelAccumulator::kUnitsPerNotch;
            self.DispatchWheel(x, y, KeysFromState(e.state), WheelAccumulator::StepsFromUnits(units));
            return;
        }
        if (button < Button1 || button > Button3) {
            return;
        }
        IMouseKeys keys = KeysFromState(e.state);
        if (button == Button1) {
            keys.left = true;
        } else if (button == Button3) {
            keys.right = true;
        }
        // X reports only presses; they are told apart as the GTK window tells
        // them, with its default limits, so both editors get press, release,
        // double click, release. Only the left button's double click is answered.
        const bool isDouble = self.clicks.IsDoubleClick(static_cast<int>(button), static_cast<uint32_t>(e.time), x, y,
                                                        ClickSequence::kDefaultTimeMs,
                                                        ClickSequence::kDefaultDistance);
        if (isDouble) {
            if (button == Button1 && self.DispatchDoubleClick(x, y, keys)) {
                self.pointerDown = true;
            }
            return;
        }
        self.pointerDown = true;
        self.DispatchMousePress(x, y, keys);
    }

    static void ButtonReleased(IGraphicsX11& self, const XButtonEvent& e)
    {
        if (e.button != Button1 && e.button != Button3) {
            return;
        }
        IMouseKeys keys = KeysFromState(e.state);
        if (e.button == Button1) {
            keys.left = false;
        } else {
            keys.right = false;
        }
        self.pointerDown = false;
        self.DispatchMouseRelease(Editor(self, e.x), Editor(self, e.y), keys);
    }

    static void Moved(IGraphicsX11& self, const XMotionEvent& e)
    {
        const IMouseKeys keys = KeysFromState(e.state);
        const int x = Editor(self, e.x);
        const int y = Editor(self, e.y);
        if (keys.left || keys.right) {
            if (self.pointerDown) {
                self.DispatchMouseDrag(x, y, keys);
            }
        } else if (self.DispatchMouseHover(x, y, keys)) {
            self.trackingLeave = true;
        }
    }

    static void KeyPressed(IGraphicsX11& self, XEvent& event)
    {
        XKeyEvent& e = event.xkey;
        // The key's own symbol without Shift, so "a" and "A" give one key.
        const KeySym symbol = XLookupKeysym(&e, 0);
        const bool keypad = symbol >= XK_KP_Space && symbol <= XK_KP_9;
        const EditorKey key = keypad ? KeyNone : EditorKeyFromKeyval(static_cast<uint32_t>(symbol));
        if (key != KeyNone && self.DispatchKey(Editor(self, e.x), Editor(self, e.y), key)) {
            return;
        }
        // Keys the editor does not take belong to the host's window.
        e.window = self.parentWindow;
        XSendEvent(self.display, self.parentWindow, True, KeyPressMask, &event);
    }
};

IGraphicsX11::IGraphicsX11(IAudioPlugin* plugIn, int32_t w, int32_t h, int32_t rate)
    : IGraphics(plugIn, w, h, rate), schedule(RedrawPeriodMs(rate))
{
}

IGraphicsX11::~IGraphicsX11() { CloseEditorWindow(); }

WindowHandle IGraphicsX11::OpenEditorWindow(WindowHandle parent)
{
    if (display != nullptr) {
        CloseEditorWindow();
    }
    const auto parentId = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
    if (parentId == 0) {
        std::fputs("Snarlbox: the editor needs a parent window from the host\n", stderr);
        return nullptr;
    }
    // A busy X server may refuse a connection for a moment: try a few times.
    for (int attempt = 0; attempt < kDisplayAttempts && display == nullptr; ++attempt) {
        if (attempt > 0) {
            usleep(kDisplayRetryMicroseconds);
        }
        display = XOpenDisplay(nullptr);
    }
    if (display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "Snarlbox: cannot open the X display \"%s\" for the editor\n", name ? name : "");
        return nullptr;
    }
    X11ErrorTrap::Watch(display);
    // A bogus or vanished parent is an X error on our connection: trapped, never the host's.
    X11ErrorTrap trap(display);
    const unsigned long errorsBefore = X11ErrorTrap::ErrorsOn(display);
    XWindowAttributes parentAttributes{};
    if (XGetWindowAttributes(display, parentId, &parentAttributes) == 0) {
        std::fputs("Snarlbox: the host's parent window cannot be used for the editor\n", stderr);
        ReleaseWindow(false);
        return nullptr;
    }
    parentWindow = parentId;

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None; // nothing is cleared before Expose presents the back buffer
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | KeyPressMask | StructureNotifyMask;
    window = XCreateWindow(display, parentId, 0, 0, static_cast<unsigned>(width * scale),
                           static_cast<unsigned>(height * scale), 0, CopyFromParent, InputOutput, CopyFromParent,
                           CWBackPixmap | CWEventMask, &attributes);
    SetSizeHints();
    char className[] = "Snarlbox";
    char instanceName[] = "snarlbox-editor";
    XClassHint classHint{instanceName, className};
    XSetClassHint(display, window, &classHint);
    gc = XCreateGC(display, window, 0, nullptr);

    // The window has the parent's visual and depth.
    windowVisual = parentAttributes.visual;
    windowDepth = parentAttributes.depth;
    if (!MakeImage()) {
        std::fputs("Snarlbox: the X display's pixel format cannot show the editor\n", stderr);
        ReleaseWindow(true);
        return nullptr;
    }
    XMapWindow(display, window);

    clicks.Reset();
    schedule.Restart();
    pointerDown = false;
    trackingLeave = false;
    for (auto& control : controls) {
        control->MarkChanged(false);
    }
    // The first Expose finds the editor drawn, even before the host's first idle call.
    TimerTick();
    if (X11ErrorTrap::ErrorsOn(display) != errorsBefore) {
        // The parent went away while the window was being made in it.
        std::fputs("Snarlbox: the host's parent window cannot be used for the editor\n", stderr);
        ReleaseWindow(true);
        return nullptr;
    }
    return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(window));
}

void IGraphicsX11::CloseEditorWindow()
{
    if (display == nullptr) {
        return;
    }
    X11ErrorTrap trap(display);
    // A host that destroyed its parent first destroyed our window too;
    // destroying it again would be an X error, fatal to the host.
    bool destroyed = window == 0;
    if (!destroyed) {
        XSync(display, False);
        XEvent event;
        destroyed = XCheckTypedWindowEvent(display, window, DestroyNotify, &event) == True;
    }
    ReleaseWindow(!destroyed);
}

void IGraphicsX11::SetSizeHints()
{
    // A fixed size, for hosts that size their container from the hints.
    XSizeHints* hints = XAllocSizeHints();
    if (hints != nullptr) {
        hints->flags = PMinSize | PMaxSize | PBaseSize;
        hints->min_width = hints->max_width = hints->base_width = width * scale;
        hints->min_height = hints->max_height = hints->base_height = height * scale;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }
}

bool IGraphicsX11::MakeImage()
{
    FreeImage();
    const int w = width * scale;
    const int h = height * scale;
    image = XCreateImage(display, static_cast<Visual*>(windowVisual), static_cast<unsigned>(windowDepth), ZPixmap, 0,
                         nullptr, static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (image == nullptr) {
        return false;
    }
    imageWords.assign(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(h) / 4 + 1, 0u);
    image->data = reinterpret_cast<char*>(imageWords.data());
    fastFormat = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                 image->blue_mask == 0xFF;
    if (fastFormat) {
        // Whole words in this machine's order; Xlib swaps for a server of the other order.
        image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    }
    return true;
}

void IGraphicsX11::FreeImage()
{
    if (image != nullptr) {
        image->data = nullptr; // the words are ours, not Xlib's
        XDestroyImage(image);
        image = nullptr;
    }
    imageWords.clear();
    imageWords.shrink_to_fit();
}

bool IGraphicsX11::SetWindowScale(int32_t newScale)
{
    const int32_t before = scale;
    if (!SetScale(newScale)) {
        return false;
    }
    if (scale == before || window == 0) {
        return scale != before;
    }
    X11ErrorTrap trap(display);
    XResizeWindow(display, window, static_cast<unsigned>(width * scale), static_cast<unsigned>(height * scale));
    SetSizeHints();
    if (!MakeImage()) {
        // The same visual made an image at the former scale; go back to it.
        std::fputs("Snarlbox: the editor's image at the new scale cannot be made\n", stderr);
        SetScale(before);
        XResizeWindow(display, window, static_cast<unsigned>(width * scale), static_cast<unsigned>(height * scale));
        SetSizeHints();
        MakeImage();
    }
    TimerTick();
    XFlush(display);
    return scale != before;
}

void IGraphicsX11::ReleaseWindow(bool destroyWindow)
{
    FreeImage();
    if (gc != nullptr) {
        XFreeGC(display, gc);
        gc = nullptr;
    }
    if (destroyWindow && window != 0) {
        XDestroyWindow(display, window);
    }
    window = 0;
    parentWindow = 0;
    if (display != nullptr) {
        XCloseDisplay(display);
        X11ErrorTrap::Unwatch(display);
        display = nullptr;
    }
    pointerDown = false;
    trackingLeave = false;
}

WindowHandle IGraphicsX11::GetEditorWindowHandle() { return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(window)); }

bool IGraphicsX11::Idle()
{
    X11ErrorTrap trap(display);
    while (display != nullptr && window != 0 && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        Events::Handle(*this, event);
    }
    if (window == 0) {
        return false;
    }
    if (schedule.Due(NowMs())) {
        TimerTick();
    }
    return true;
}

bool IGraphicsX11::TimerTick()
{
    IRectangle dirty;
    if (window == 0 || !GatherDirtyArea(dirty)) {
        return false;
    }
    X11ErrorTrap trap(display);
    PaintDirtyControls(dirty);
    return true;
}

bool IGraphicsX11::PresentToScreen(const IRectangle& area)
{
    if (window != 0) {
        X11ErrorTrap trap(display);
        PutDeviceArea(IRectangle{area.left * scale, area.top * scale, area.right * scale, area.bottom * scale});
        XFlush(display);
    }
    return true;
}

void IGraphicsX11::PutDeviceArea(const IRectangle& area)
{
    if (image == nullptr || !backBuffer || backBuffer->Pixels() == nullptr) {
        return;
    }
    const IRectangle inside{std::max(area.left, 0), std::max(area.top, 0),
                            std::min({area.right, image->width, backBuffer->Width()}),
                            std::min({area.bottom, image->height, backBuffer->Height()})};
    if (inside.Width() <= 0 || inside.Height() <= 0) {
        return;
    }
    ConvertArea(inside);
    XPutImage(display, window, gc, image, inside.left, inside.top, inside.left, inside.top,
              static_cast<unsigned>(inside.Width()), static_cast<unsigned>(inside.Height()));
}

void IGraphicsX11::ConvertArea(const IRectangle& area)
{
    const RasterBitmap& buffer = *backBuffer;
    // Alpha is not shown, as the GTK window shows an RGB view; a 32-bit
    // visual gets opaque pixels.
    const uint32_t opaque = image->depth == 32 ? 0xFF000000u : 0u;
    for (int y = area.top; y < area.bottom; ++y) {
        const int row = buffer.IsBottomUp() ? buffer.Height() - 1 - y : y;
        const RasterPixel* source = buffer.Pixels() + static_cast<ptrdiff_t>(row) * buffer.Stride();
        if (fastFormat) {
            uint32_t* target = imageWords.data() + static_cast<size_t>(y) * (static_cast<size_t>(image->bytes_per_line) / 4);
            for (int x = area.left; x < area.right; ++x) {
                target[x] = (source[x] & 0x00FFFFFFu) | opaque;
            }
            continue;
        }
        for (int x = area.left; x < area.right; ++x) {
            const uint32_t p = source[x];
            const unsigned long pixel = ScaleChannelIntoMask((p >> 16) & 0xFF, image->red_mask) |
                                        ScaleChannelIntoMask((p >> 8) & 0xFF, image->green_mask) |
                                        ScaleChannelIntoMask(p & 0xFF, image->blue_mask);
            XPutPixel(image, x, y, pixel | opaque);
        }
    }
}

int IGraphicsX11::ShowMessageBox(const char* text, const char*, int type)
{
    std::fprintf(stderr, "Snarlbox: %s\n", text != nullptr ? text : "");
    return MessageBoxResult(type, MessageBoxChoice::Closed);
}

IPopupMenu* IGraphicsX11::ShowPopupMenu(IPopupMenu&, const IRectangle&)
{
    mouseX = -1;
    mouseY = -1;
    captureIndex = -1;
    pointerDown = false;
    return nullptr;
}

void IGraphicsX11::OpenTextEntry(IControl*, const ITextStyle&, const IRectangle&, const char*, IParameter*) {}

void IGraphicsX11::GetHostDirectory(std::string& out)
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        out.clear();
        return;
    }
    path[n] = '\0';
    out = DirectoryOfFile(path);
}

void IGraphicsX11::GetModuleDirectory(std::string& out)
{
    // The shared object this code lives in: the plug-in's bundle.
    Dl_info info{};
    out = dladdr(reinterpret_cast<void*>(&DirectoryOfFile), &info) != 0 ? DirectoryOfFile(info.dli_fname)
                                                                         : std::string();
}

void IGraphicsX11::ChooseFile(std::string& fileName, int, std::string&, const char*) { fileName.clear(); }

bool IGraphicsX11::ChooseColour(IRgbaColor&, const char*) { return false; }

bool IGraphicsX11::OpenWebAddress(const char*, const char*, const char*, const char*) { return false; }

RasterBitmap* IGraphicsX11::LoadImageResource(int32_t id, const char* fileName)
{
    if (!IsPngFileName(fileName)) {
        return nullptr;
    }
    return DecodePngResource(nullptr, id);
}
