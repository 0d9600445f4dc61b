// Measures the time from process start to the main window on screen and to the genie's first frame, and the
// program's peak memory, beside a bare Qt window of the same size started the same way in turn with it, so
// the figures can be read against what this machine needs for any Qt window. Run on an X server (make bench
// runs it inside tools/headless.sh). Prints figures; asserts nothing.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Peak resident memory of a process in MiB, from the kernel's high-water mark.
double peakMemoryMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return -1;
}

// Waits for a window of the given size to be mapped anywhere on the screen; returns false on timeout.
bool waitForMappedWindow(xcb_connection_t* c, int width, int height, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (std::unique_ptr<xcb_generic_event_t, FreeDeleter> event{xcb_poll_for_event(c)}) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) {
                continue;
            }
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            std::unique_ptr<xcb_get_geometry_reply_t, FreeDeleter> geometry{
                xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr)};
            if (geometry && geometry->width == width && geometry->height == height) {
                return true;
            }
        }
        pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&pfd, 1, 5);
    }
    return false;
}

// Waits for a window of the given width to be moved to a screen position; returns false on timeout.
bool waitForWindowAt(xcb_connection_t* c, int width, int x, int y, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (std::unique_ptr<xcb_generic_event_t, FreeDeleter> event{xcb_poll_for_event(c)}) {
            if ((event->response_type & 0x7f) != XCB_CONFIGURE_NOTIFY) {
                continue;
            }
            const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event.get());
            if (configure->width == width && configure->x == x && configure->y == y) {
                return true;
            }
        }
        pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&pfd, 1, 5);
    }
    return false;
}

double msSince(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Starts a program, with `sinceStart` started with it, and returns the milliseconds until its window of the
// main window's size is mapped, or a negative number when none appeared; the program is still running when
// this returns.
double startUntilMapped(QProcess& process, const QString& program, xcb_connection_t* c,
                        QElapsedTimer& sinceStart) {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sinceStart.start();
    process.start(program, {});
    if (!process.waitForStarted() || !waitForMappedWindow(c, 309, 271, 10000)) {
        return -1;
    }
    return msSince(sinceStart);
}

void printSpread(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("startup: %s: no runs\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("startup: %s: median %.1f ms, min %.1f ms, max %.1f ms (%zu runs)\n", what, ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/chatterwisp");
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "bench_startup: no X server (run inside tools/headless.sh)\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const QString bareWindow = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_bare_window");
    std::vector<double> shownMs;
    std::vector<double> bareMs;
    std::vector<double> overBareMs; // the two of one round, where both appeared
    std::vector<double> genieMs;
    std::vector<double> placedMs;
    double peak = 0;
    for (int run = 0; run < runs; ++run) {
        double bareThisRound = -1;
        {
            QProcess bare;
            QElapsedTimer sinceStart;
            bareThisRound = startUntilMapped(bare, bareWindow, c, sinceStart);
            if (bareThisRound >= 0) {
                bareMs.push_back(bareThisRound);
            }
            bare.kill();
            bare.waitForFinished();
            QThread::msleep(300); // the server has forgotten the window before the next one starts
        }
        QProcess process;
        QElapsedTimer sinceStart;
        const double shown = startUntilMapped(process, program, c, sinceStart);
        if (shown < 0) {
            std::fprintf(stderr, "bench_startup: the main window did not appear\n");
            return 1;
        }
        shownMs.push_back(shown);
        if (bareThisRound >= 0) {
            overBareMs.push_back(shown - bareThisRound);
        }
        if (waitForMappedWindow(c, 200, 220, 10000)) { // the genie's window maps with his first frame
            genieMs.push_back(msSince(sinceStart));
            if (waitForWindowAt(c, 200, 676, 385, 10000)) { // swirled in, then floated to his place
                placedMs.push_back(msSince(sinceStart));
            }
        }
        QThread::msleep(4000); // the greeting: the genie and his voice are loaded by then
        peak = std::max(peak, peakMemoryMiB(process.processId()));
        process.kill();
        process.waitForFinished();
        QThread::msleep(300);
    }
    printSpread("process start to main window shown", shownMs);
    if (bareMs.empty()) {
        std::fprintf(stderr, "bench_startup: the bare Qt window did not appear\n");
    } else {
        printSpread("a bare Qt window of the same size with one button, in turn with it", bareMs);
        printSpread("main window shown after the bare Qt window, round for round", overBareMs);
    }
    std::sort(genieMs.begin(), genieMs.end());
    if (!genieMs.empty()) {
        std::printf(
            "startup: process start to the genie's first frame on screen: median %.1f ms, min %.1f ms, "
            "max %.1f ms\n",
            genieMs[genieMs.size() / 2], genieMs.front(), genieMs.back());
    }
    std::sort(placedMs.begin(), placedMs.end());
    if (!placedMs.empty()) {
        std::printf("startup: process start to the genie at 676, 385: median %.0f ms, max %.0f ms\n",
                    placedMs[placedMs.size() / 2], placedMs.back());
    }
    std::printf("startup: peak memory (VmHWM) with the genie and his voice loaded: %.1f MiB\n", peak);
    xcb_disconnect(c);
    return 0;
}
