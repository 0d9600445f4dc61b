#include "XcbSelectionReader.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QString>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>

namespace cw {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

unsigned internAtom(xcb_connection_t* c, const char* name) {
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : static_cast<unsigned>(XCB_ATOM_NONE);
}

} // namespace

XcbSelectionReader::XcbSelectionReader(const QByteArray& display, qint64 maxBytes) : maxBytes_(maxBytes) {
    int screenNumber = 0;
    connection_ = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i) {
        xcb_screen_next(&screens);
    }
    if (!screens.rem) {
        return;
    }
    root_ = screens.data->root;
    rootVisual_ = screens.data->root_visual;
    newRequestorWindow();
    clipboardAtom_ = internAtom(connection_, "CLIPBOARD");
    dropAtom_ = internAtom(connection_, "XdndSelection");
    utf8Atom_ = internAtom(connection_, "UTF8_STRING");
    propertyAtom_ = internAtom(connection_, "CW_CLIPBOARD_TEXT");
    incrAtom_ = internAtom(connection_, "INCR");
    watchClipboardOwner();
    xcb_flush(connection_);
}

void XcbSelectionReader::watchClipboardOwner() {
    // Notices of new owners are asked for on the root window, which lives as long as the connection (the
    // requestor window is replaced after a failed read).
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection_, &xcb_xfixes_id);
    if (!extension || !extension->present) {
        return;
    }
    // The server sends XFixes events only to clients that have announced the version they speak.
    XcbReply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        connection_,
        xcb_xfixes_query_version(connection_, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    if (!version) {
        return;
    }
    xcb_xfixes_select_selection_input(connection_, root_, clipboardAtom_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xfixesEvent_ = extension->first_event;
}

void XcbSelectionReader::noteEvent(const void* event) {
    const auto* generic = static_cast<const xcb_generic_event_t*>(event);
    if (xfixesEvent_ < 0 || (generic->response_type & 0x7f) != xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
        return;
    }
    const auto* notice = static_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    // An owner of None is the clipboard being emptied: nothing new to read.
    if (notice->selection == clipboardAtom_ && notice->owner != XCB_NONE) {
        ++copies_;
    }
}

void XcbSelectionReader::takeNotices() {
    if (!connection_) {
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        noteEvent(event);
        std::free(event);
    }
}

int XcbSelectionReader::fileDescriptor() const {
    return connected() ? xcb_get_file_descriptor(connection_) : -1;
}

XcbSelectionReader::~XcbSelectionReader() {
    if (connection_) {
        xcb_disconnect(connection_);
    }
}

void XcbSelectionReader::newRequestorWindow() {
    if (window_ != 0) {
        // The old owner's further writes now fail at the server and end its transfer.
        xcb_destroy_window(connection_, window_);
    }
    window_ = xcb_generate_id(connection_);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, rootVisual_, XCB_CW_EVENT_MASK, &eventMask);
    xcb_flush(connection_);
}

bool XcbSelectionReader::connected() const {
    return connection_ && !xcb_connection_has_error(connection_) && window_ != 0;
}

bool XcbSelectionReader::waitForEvent(std::chrono::steady_clock::time_point deadline, int wantedType,
                                      void** eventOut) {
    const int fd = xcb_get_file_descriptor(connection_);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == wantedType) {
                *eventOut = event;
                return true;
            }
            noteEvent(event);
            std::free(event);
        }
        if (xcb_connection_has_error(connection_)) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd pfd{fd, POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left.count()));
    }
}

std::optional<QByteArray> XcbSelectionReader::convert(unsigned selection, unsigned target,
                                                      std::chrono::milliseconds patience, bool* refused) {
    *refused = false;
    xcb_delete_property(connection_, window_, propertyAtom_);
    xcb_convert_selection(connection_, window_, selection, target, propertyAtom_, XCB_CURRENT_TIME);
    xcb_flush(connection_);

    const auto deadline = std::chrono::steady_clock::now() + patience;
    XcbReply<xcb_selection_notify_event_t> notify;
    do { // an answer to an earlier window comes too late to count
        void* raw = nullptr;
        if (!waitForEvent(deadline, XCB_SELECTION_NOTIFY, &raw)) {
            return std::nullopt;
        }
        notify.reset(static_cast<xcb_selection_notify_event_t*>(raw));
    } while (notify->requestor != window_);
    if (notify->property == XCB_ATOM_NONE) {
        *refused = true; // no owner, or no text form on offer
        return QByteArray();
    }

    // A little more than the limit is asked for, so a text over it shows as more to come.
    const auto cookie = xcb_get_property(connection_, 1, window_, propertyAtom_, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                         static_cast<uint32_t>(maxBytes_ / 4 + 1));
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!reply) {
        return std::nullopt;
    }
    if (reply->type == incrAtom_) {
        // The owner announces at least how large the text is: one over the limit is refused before any piece.
        if (reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4) {
            quint32 atLeast = 0;
            std::memcpy(&atLeast, xcb_get_property_value(reply.get()), sizeof atLeast);
            if (qint64(atLeast) > maxBytes_) {
                tooLarge_ = true;
                return std::nullopt;
            }
        }
        xcb_flush(connection_); // the delete above tells the owner to start sending pieces
        return readIncremental(patience);
    }
    const int length = xcb_get_property_value_length(reply.get());
    if (reply->bytes_after > 0 || length > maxBytes_) {
        tooLarge_ = true;
        return std::nullopt;
    }
    pieces_ = 1;
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
}

std::optional<QByteArray> XcbSelectionReader::readIncremental(std::chrono::milliseconds patience) {
    QByteArray text;
    for (;;) {
        void* raw = nullptr;
        // Each piece arrives as a new value of our property; wait for it, piece by piece.
        for (;;) {
            if (!waitForEvent(std::chrono::steady_clock::now() + patience, XCB_PROPERTY_NOTIFY, &raw)) {
                return std::nullopt;
            }
            XcbReply<xcb_property_notify_event_t> event(static_cast<xcb_property_notify_event_t*>(raw));
            if (event->window == window_ && event->atom == propertyAtom_ &&
                event->state == XCB_PROPERTY_NEW_VALUE) {
                break;
            }
        }
        const auto cookie =
            xcb_get_property(connection_, 1, window_, propertyAtom_, XCB_GET_PROPERTY_TYPE_ANY, 0,
                             static_cast<uint32_t>(maxBytes_ / 4 + 1));
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
        xcb_flush(connection_);
        if (!reply) {
            return std::nullopt;
        }
        const int length = xcb_get_property_value_length(reply.get());
        if (length == 0) {
            return text; // an empty piece ends the transfer
        }
        if (reply->bytes_after > 0 || text.size() + length > maxBytes_) {
            // The owner's further pieces go unread; it gives the transfer up on its own.
            tooLarge_ = true;
            return std::nullopt;
        }
        text.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
        ++pieces_;
    }
}

std::optional<QByteArray> XcbSelectionReader::readText(Selection which, std::chrono::milliseconds patience) {
    tooLarge_ = false;
    pieces_ = 0;
    if (!connected()) {
        return std::nullopt;
    }
    const unsigned selection = which == Selection::Primary ? primaryAtom_
                               : which == Selection::Drop  ? dropAtom_
                                                           : clipboardAtom_;
    // Each read has a window of its own: an owner that answered an earlier request more than once, late or
    // not, addressed its extra answers to the earlier window, so they cannot pass for answers to this one.
    while (xcb_generic_event_t* stale = xcb_poll_for_event(connection_)) {
        noteEvent(stale); // a notice of a copy still counts
        std::free(stale);
    }
    newRequestorWindow();
    bool refused = false;
    auto text = convert(selection, utf8Atom_, patience, &refused);
    if (refused) {
        // Older owners offer only Latin-1 text.
        text = convert(selection, stringAtom_, patience, &refused);
        if (text && !refused) {
            text = QString::fromLatin1(*text).toUtf8();
        }
    }
    if (!text) {
        newRequestorWindow();
    }
    takeNotices();
    return text;
}

} // namespace cw
