// A clipboard owner for the paste tests, on the X server of tools/headless.sh: it owns a selection and
// answers requests for it well or badly, as told. Prints "ready" once it owns the selection.
//
//   selection_owner [--primary] [--text T | --bytes N] [--freeze] [--incr CHUNK] [--hint N] [--die-after K]
//                   [--type NAME] [--format 8|16|32] [--refuse] [--answer-twice] [--targets A,B,..] [--seed
//                   S]
//
// --freeze never answers; --incr sends in pieces of CHUNK bytes announcing --hint bytes (default: the size);
// --die-after ends the program after K pieces; --type/--format answer with another type; --refuse answers
// "no"; --answer-twice sends each answer again, and a "no" after it; --targets lists what TARGETS answers.
// --seed S picks a random text and a random way of answering.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

xcb_connection_t* c = nullptr;

xcb_atom_t atom(const std::string& name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

struct Behaviour {
    bool primary = false;
    std::string text = "pasted text";
    bool freeze = false;
    size_t incrChunk = 0; // 0: whole
    long long hint = -1;
    int dieAfter = -1;
    std::string type;
    int format = 8;
    bool refuse = false;
    std::vector<std::string> targets{"TARGETS", "UTF8_STRING", "STRING", "text/plain;charset=utf-8"};
    std::vector<xcb_atom_t> rawTargets; // atom numbers as they are, valid or not
    bool answerTwice = false;
};

std::string linesOf(size_t bytes) {
    std::string text;
    text.reserve(bytes);
    for (int line = 0; text.size() < bytes; ++line) {
        text += "Line " + std::to_string(line) + " of a long pasted text.\n";
    }
    text.resize(bytes);
    return text;
}

// Texts that have upset text widgets: invalid UTF-8, lone surrogates, NULs, controls, Qt's internal marks,
// bidirectional and combining runs, very long lines.
std::string randomText(std::mt19937& random) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    static const char* const pieces[] = {"plain ",
                                         "\xed\xa0\x80",
                                         "\xed\xbf\xbf",
                                         "\xff\xfe",
                                         "\xc0\x80",
                                         "\x80\x80\x80",
                                         "" /* a NUL */,
                                         "\x01\x02\x1b[0m\x7f",
                                         "\r\n",
                                         "\r",
                                         "\xe2\x80\xa9",
                                         "\xe2\x80\xa8",
                                         "\xef\xb7\x90",
                                         "\xef\xb7\x91",
                                         "\xef\xbf\xbc",
                                         "\xef\xbf\xbe",
                                         "\xe2\x80\xae",
                                         "\xe2\x80\xad",
                                         "\xcc\x81",
                                         "\xf0\x9f\x98\x80",
                                         "\xf4\x90\x80\x80",
                                         "\xf8\x88\x80\x80\x80",
                                         "\t",
                                         "<b>html</b>",
                                         "**markdown** [a](b)\n# h\n",
                                         "\xef\xbb\xbf"};
    std::string text;
    const int count = 1 + pick(60);
    for (int i = 0; i < count; ++i) {
        const int which = pick(static_cast<int>(std::size(pieces)) + 3);
        if (which == static_cast<int>(std::size(pieces))) {
            text += std::string(static_cast<size_t>(1 + pick(50000)), 'x'); // a long line
        } else if (which == static_cast<int>(std::size(pieces)) + 1) {
            for (int k = pick(3000); k > 0; --k) {
                text += "\xcc\x81"; // a long combining run
            }
        } else if (which == static_cast<int>(std::size(pieces)) + 2) {
            for (int k = pick(64); k > 0; --k) {
                text += static_cast<char>(random());
            }
        } else if (std::strcmp(pieces[which], "") == 0) {
            text += std::string(1, '\0');
        } else {
            text += pieces[which];
        }
    }
    return text;
}

Behaviour randomBehaviour(unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Behaviour b;
    b.text = randomText(random);
    switch (pick(9)) {
    case 0:
        break; // answers well
    case 1:
        b.incrChunk = 256 + static_cast<size_t>(pick(5000));
        break;
    case 2:
        b.incrChunk = 256 + static_cast<size_t>(pick(5000));
        b.dieAfter = pick(4);
        break;
    case 3:
        b.type = pick(2) ? "ATOM" : "image/png";
        b.format = pick(2) ? 32 : 16;
        break;
    case 4:
        b.refuse = true;
        break;
    case 5:
        b.answerTwice = true;
        break;
    case 6:
        b.incrChunk = 256 + static_cast<size_t>(pick(5000));
        b.hint = pick(2) ? 0 : 0x7fffffff;
        break;
    case 7:
        b.type = "UTF8_STRING";
        b.format = 16;
        if (b.text.size() % 2 == 0) {
            b.text += 'x';
        }
        break;
    default:
        b.type = "COMPOUND_TEXT";
        break;
    }
    switch (pick(5)) {
    case 0:
        b.targets = {"text/markdown", "TARGETS", "UTF8_STRING", "text/plain"};
        break;
    case 1:
        b.targets = {"text/html", "text/plain;charset=utf-16", "UTF8_STRING", "TARGETS"};
        break;
    case 2:
        b.rawTargets = {0, 1, 0xffffffu, 0x1fffffffu, static_cast<xcb_atom_t>(random())};
        break;
    case 3:
        b.targets = {"application/x-qt-richtext", "application/x-qrichtext", "TARGETS", "STRING"};
        break;
    default:
        break;
    }
    return b;
}

struct Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    size_t sent = 0;
    int pieces = 0;
};

void changeProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, int format, const char* data,
                    size_t bytes) {
    const size_t unit = static_cast<size_t>(format / 8);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, static_cast<uint8_t>(format),
                        static_cast<uint32_t>(bytes / unit), data);
}

void notify(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = property;
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
}

} // namespace

int main(int argc, char** argv) {
    Behaviour b;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (arg == "--primary") {
            b.primary = true;
        } else if (arg == "--text") {
            b.text = next();
        } else if (arg == "--bytes") {
            b.text = linesOf(std::stoull(next()));
        } else if (arg == "--freeze") {
            b.freeze = true;
        } else if (arg == "--incr") {
            b.incrChunk = std::stoull(next());
        } else if (arg == "--hint") {
            b.hint = std::stoll(next());
        } else if (arg == "--die-after") {
            b.dieAfter = std::stoi(next());
        } else if (arg == "--type") {
            b.type = next();
        } else if (arg == "--format") {
            b.format = std::stoi(next());
        } else if (arg == "--answer-twice") {
            b.answerTwice = true;
        } else if (arg == "--refuse") {
            b.refuse = true;
        } else if (arg == "--targets") {
            b.targets.clear();
            const std::string list = next();
            for (size_t at = 0; at <= list.size();) {
                const size_t comma = std::min(list.find(',', at), list.size());
                b.targets.push_back(list.substr(at, comma - at));
                at = comma + 1;
            }
        } else if (arg == "--seed") {
            const bool primary = b.primary;
            b = randomBehaviour(static_cast<unsigned>(std::stoul(next())));
            b.primary = primary;
        }
    }

    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 2;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t selection = b.primary ? xcb_atom_t{XCB_ATOM_PRIMARY} : atom("CLIPBOARD");
    const xcb_atom_t targetsAtom = atom("TARGETS");
    const xcb_atom_t incrAtom = atom("INCR");
    std::vector<xcb_atom_t> targets = b.rawTargets;
    for (const std::string& name : b.targets) {
        targets.push_back(atom(name));
    }
    const xcb_atom_t answerType = b.type.empty() ? xcb_atom_t{XCB_ATOM_NONE} : atom(b.type);

    // A real timestamp for the ownership, from a property change of our own.
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    xcb_timestamp_t now = XCB_CURRENT_TIME;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool found = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        if (found) {
            now = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        }
        std::free(event);
        if (found) {
            break;
        }
    }
    xcb_set_selection_owner(c, window, selection, now);
    xcb_flush(c);
    std::printf("ready\n");
    std::fflush(stdout);

    std::map<xcb_window_t, Transfer> transfers;
    auto sendPiece = [&](Transfer& t) {
        if (b.dieAfter >= 0 && t.pieces >= b.dieAfter) {
            xcb_flush(c);
            std::_Exit(0); // gone in the middle of the transfer
        }
        const size_t bytes = std::min(b.incrChunk, b.text.size() - t.sent);
        changeProperty(t.requestor, t.property, t.type, 8, b.text.data() + t.sent, bytes);
        t.sent += bytes;
        ++t.pieces;
        xcb_flush(c);
        return bytes;
    };
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const int type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            std::free(event);
            return 0;
        }
        if (type == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(event);
            auto it = transfers.find(p->window);
            if (p->state == XCB_PROPERTY_DELETE && it != transfers.end() && it->second.property == p->atom) {
                if (sendPiece(it->second) == 0) {
                    transfers.erase(it); // the empty piece ends it
                }
            }
        }
        if (type == XCB_SELECTION_REQUEST && !b.freeze) {
            const auto request = *reinterpret_cast<xcb_selection_request_event_t*>(event);
            const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
            if (request.target == targetsAtom) {
                changeProperty(request.requestor, property, XCB_ATOM_ATOM, 32,
                               reinterpret_cast<const char*>(targets.data()), targets.size() * 4);
                notify(request, property);
            } else if (b.refuse) {
                notify(request, XCB_ATOM_NONE);
            } else if (b.incrChunk > 0) {
                const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request.requestor, XCB_CW_EVENT_MASK, &events);
                const auto hint =
                    static_cast<uint32_t>(b.hint >= 0 ? b.hint : static_cast<long long>(b.text.size()));
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, incrAtom, 32, 1,
                                    &hint);
                transfers[request.requestor] =
                    Transfer{request.requestor, property, answerType ? answerType : request.target};
                notify(request, property);
            } else {
                const int format = b.format;
                const size_t unit = static_cast<size_t>(format / 8);
                changeProperty(request.requestor, property, answerType ? answerType : request.target, format,
                               b.text.data(), b.text.size() / unit * unit);
                notify(request, property);
                if (b.answerTwice) {
                    notify(request, property);
                    notify(request, XCB_ATOM_NONE);
                }
            }
            xcb_flush(c);
        }
        std::free(event);
    }
    return 0;
}
