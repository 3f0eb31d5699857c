// Linux backend: screen capture from the root window, whose image holds every
// monitor and the windows shown on them. The pixels come through a SysV
// shared-memory segment (MIT-SHM), which saves copying them over the socket;
// where the server cannot attach one (a remote display, an X server without
// the extension, a system without SysV IPC) they come with XGetImage. X
// coordinates are pixels, so the scale is 1.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/platform.h"
#include "platform/x11/xserver/capture_pixels.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {
namespace {

// Once the server refused a segment it will refuse the next ones too (the
// connection is the process's only one): later captures go straight to
// XGetImage.
bool shmRefused = false;

// A pixel rectangle of the root window.
struct Area {
    int x = 0, y = 0, w = 0, h = 0;
};

// `wanted` clipped to a root window of `width` x `height` pixels and rounded
// outward to whole pixels; empty (w or h 0) when nothing of it is on the root.
Area clipToRoot(const Rect& wanted, int width, int height) {
    double left = std::max(wanted.origin.x, 0.0);
    double top = std::max(wanted.origin.y, 0.0);
    double right = std::min(wanted.origin.x + wanted.size.width, static_cast<double>(width));
    double bottom = std::min(wanted.origin.y + wanted.size.height, static_cast<double>(height));
    // Written so that NaN anywhere gives the empty area.
    if (!(right > left && bottom > top && wanted.size.width > 0 && wanted.size.height > 0)) return {};
    Area a;
    a.x = static_cast<int>(std::floor(left));
    a.y = static_cast<int>(std::floor(top));
    a.w = static_cast<int>(std::ceil(right)) - a.x;
    a.h = static_cast<int>(std::ceil(bottom)) - a.y;
    return a;
}

// The layout of an image the server made for the root's visual.
x11::PixelLayout layoutOf(const XImage& image, const Visual& visual) {
    x11::PixelLayout layout;
    layout.bitsPerPixel = image.bits_per_pixel;
    layout.msbFirst = image.byte_order == MSBFirst;
    layout.redMask = static_cast<std::uint32_t>(visual.red_mask);
    layout.greenMask = static_cast<std::uint32_t>(visual.green_mask);
    layout.blueMask = static_cast<std::uint32_t>(visual.blue_mask);
    return layout;
}

bool convert(const XImage& xi, const Visual& visual, Bitmap& image) {
    if (xi.width <= 0 || xi.height <= 0 || xi.bytes_per_line <= 0) return false;
    image.width = xi.width;
    image.height = xi.height;
    image.rgb.resize(static_cast<std::size_t>(xi.width) * static_cast<std::size_t>(xi.height) * 3);
    return x11::convertToRgb(reinterpret_cast<const std::uint8_t*>(xi.data), xi.width, xi.height,
                             static_cast<std::size_t>(xi.bytes_per_line), layoutOf(xi, visual), image.rgb.data());
}

// A shared segment the server has attached, kept from one capture to the
// next: a fresh one costs page faults on both sides on first touch, several
// times the copy itself. It grows to the largest capture asked for and goes
// with the process (it is marked for removal as soon as it is attached).
class Segment {
public:
    // A segment of at least `bytes`, attached; null when the server or the
    // system refuses one.
    static std::unique_ptr<Segment> make(Display* d, std::size_t bytes) {
        std::unique_ptr<Segment> s(new Segment(d, bytes));
        if (!s->attached_) return nullptr;
        return s;
    }
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;
    ~Segment() {
        // Without a connection there is nothing to tell the server, which
        // dropped its attachment with the connection.
        if (attached_ && x11::display() == d_) {
            XShmDetach(d_, &info_);
            XFlush(d_);
        }
        if (info_.shmaddr) shmdt(info_.shmaddr);
    }

    std::size_t size() const { return size_; }
    // An image of `w` x `h` pixels on the segment (null when it does not
    // fit); free it with destroyImage.
    XImage* image(Visual* visual, int depth, int w, int h) {
        XImage* image = XShmCreateImage(d_, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &info_,
                                        static_cast<unsigned>(w), static_cast<unsigned>(h));
        if (image && static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(h) > size_) {
            XDestroyImage(image);
            return nullptr;
        }
        if (image) image->data = info_.shmaddr;
        return image;
    }
    static void destroyImage(XImage* image) {
        image->data = nullptr;  // the segment's, not Xlib's to free
        XDestroyImage(image);
    }

private:
    Segment(Display* d, std::size_t bytes) : d_(d), size_(bytes) {
        info_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (info_.shmid < 0) return;
        void* at = shmat(info_.shmid, nullptr, 0);
        if (at != reinterpret_cast<void*>(-1)) {
            info_.shmaddr = static_cast<char*>(at);
            info_.readOnly = False;
            x11::ErrorTrap trap;
            bool sent = XShmAttach(d, &info_) != 0;
            attached_ = !trap.failed() && sent;  // synced: the server has attached, or refused
        }
        // Removed now: the segment goes away with the last detach, even if
        // the process dies first.
        shmctl(info_.shmid, IPC_RMID, nullptr);
    }

    Display* d_;
    std::size_t size_;
    XShmSegmentInfo info_{0, -1, nullptr, False};
    bool attached_ = false;
};

std::unique_ptr<Segment> segment;

enum class Read { done, noShm, failed };

Read readShared(Display* d, Window root, const XWindowAttributes& attrs, const Area& a, Bitmap& image) {
    if (shmRefused || !XShmQueryExtension(d)) return Read::noShm;
    // The row length the server will use, from an image of the area.
    XImage* probe = XShmCreateImage(d, attrs.visual, static_cast<unsigned>(attrs.depth), ZPixmap, nullptr, nullptr,
                                    static_cast<unsigned>(a.w), static_cast<unsigned>(a.h));
    if (!probe) return Read::noShm;
    std::size_t bytes = static_cast<std::size_t>(probe->bytes_per_line) * static_cast<std::size_t>(a.h);
    XDestroyImage(probe);
    if (!segment || segment->size() < bytes) {
        segment.reset();
        segment = Segment::make(d, bytes);
        if (!segment) {
            shmRefused = true;
            return Read::noShm;
        }
    }
    XImage* shared = segment->image(attrs.visual, attrs.depth, a.w, a.h);
    if (!shared) return Read::noShm;
    x11::ErrorTrap trap;
    Read read = Read::noShm;
    if (XShmGetImage(d, root, shared, a.x, a.y, AllPlanes) && !trap.failed())
        read = convert(*shared, *attrs.visual, image) ? Read::done : Read::failed;
    Segment::destroyImage(shared);
    return read;
}

bool readPlain(Display* d, Window root, const XWindowAttributes& attrs, const Area& a, Bitmap& image) {
    x11::ErrorTrap trap;
    XImage* xi = XGetImage(d, root, a.x, a.y, static_cast<unsigned>(a.w), static_cast<unsigned>(a.h), AllPlanes,
                           ZPixmap);
    if (!xi) return false;
    bool ok = !trap.failed() && convert(*xi, *attrs.visual, image);
    XDestroyImage(xi);
    return ok;
}

}  // namespace

CaptureError captureScreen(const Rect& wanted, Rect& captured, Bitmap& image, double& scale) {
    captured = Rect{};
    image = Bitmap{};
    scale = 1;
    Display* d = x11::display();
    if (!d) {
        segment.reset();  // the server that had it attached is gone
        return CaptureError::noDisplay;
    }
    Window root = DefaultRootWindow(d);
    XWindowAttributes attrs{};
    {
        x11::ErrorTrap trap;
        if (!XGetWindowAttributes(d, root, &attrs) || trap.failed() || !attrs.visual)
            return x11::connectionLost() ? CaptureError::noDisplay : CaptureError::failed;
    }
    Area a = clipToRoot(wanted, attrs.width, attrs.height);
    if (a.w <= 0 || a.h <= 0) return CaptureError::none;
    // Only visuals whose pixels are colours can be read without a colormap.
    if (attrs.visual->c_class != TrueColor) return CaptureError::failed;

    Read read = readShared(d, root, attrs, a, image);
    if (read == Read::noShm && readPlain(d, root, attrs, a, image)) read = Read::done;
    if (read != Read::done) {
        image = Bitmap{};
        return x11::connectionLost() ? CaptureError::noDisplay : CaptureError::failed;
    }
    captured = Rect{{static_cast<double>(a.x), static_cast<double>(a.y)},
                    {static_cast<double>(a.w), static_cast<double>(a.h)}};
    return CaptureError::none;
}

}  // namespace platform
