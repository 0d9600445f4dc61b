#include "PulseSoundDevices.h"

#include <QElapsedTimer>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

namespace cw {

namespace audio {

int countOutputDevices(int timeoutMs) {
    struct Query {
        int sinks = 0;
        bool listed = false;
    } query;
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop) {
        return 0;
    }
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Chatterwisp");
    QElapsedTimer clock;
    clock.start();
    auto runUntil = [&](auto done) {
        while (!done()) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || pa_mainloop_prepare(loop, int(left * 1000)) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0) {
                return false;
            }
        }
        return true;
    };
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
        runUntil([&] {
            return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ||
                   pa_context_get_state(context) == PA_CONTEXT_READY;
        }) &&
        pa_context_get_state(context) == PA_CONTEXT_READY) {
        pa_operation* op = pa_context_get_sink_info_list(
            context,
            [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
                auto* q = static_cast<Query*>(userdata);
                if (eol != 0) {
                    q->listed = true;
                } else if (info) {
                    ++q->sinks;
                }
            },
            &query);
        if (op) {
            runUntil([&] { return query.listed; });
            pa_operation_unref(op);
        }
    }
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return query.listed ? query.sinks : 0;
}

} // namespace audio

namespace {
constexpr int kAnswerWithinMs = 500;
}

PulseSoundDevices::PulseSoundDevices()
    : firstCount_(std::async(std::launch::async, audio::countOutputDevices, kAnswerWithinMs)) {}

int PulseSoundDevices::outputCount() {
    if (firstCount_.valid()) {
        return firstCount_.get();
    }
    return audio::countOutputDevices(kAnswerWithinMs);
}

} // namespace cw
