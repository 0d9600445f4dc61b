#include "QtClipboard.h"

#include "XcbSelectionReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

Q_LOGGING_CATEGORY(lcClipboard, "chatterwisp.clipboard")

namespace cw {

namespace {

// Owns the X connection; created and used only on the worker thread.
class SelectionWorker : public QObject {
public:
    std::unique_ptr<XcbSelectionReader> reader;
};

} // namespace

QtClipboard::QtClipboard(qint64 maxTextBytes, QObject* parent)
    : QObject(parent), maxTextBytes_(maxTextBytes),
      offThread_(QGuiApplication::platformName() == QLatin1String("xcb")) {}

QObject* QtClipboard::worker() {
    // Made at the first read, not at start-up: an X connection of its own is a round of work for the X server
    // just when the main window is being shown, for a feature the user may never switch on.
    if (!worker_) {
        auto* worker = new SelectionWorker;
        worker->moveToThread(&thread_);
        connect(&thread_, &QThread::finished, worker, &QObject::deleteLater);
        thread_.setObjectName(QStringLiteral("clipboard reader"));
        thread_.start();
        worker_ = worker;
        const qint64 maxTextBytes = maxTextBytes_;
        QMetaObject::invokeMethod(worker, [this, worker, maxTextBytes] {
            worker->reader = std::make_unique<XcbSelectionReader>(QByteArray(), maxTextBytes);
            if (!worker->reader->connected()) {
                qCWarning(lcClipboard) << "no X connection for reading the clipboard; reads will fail";
                return;
            }
            if (!worker->reader->watchesCopies()) {
                qCWarning(lcClipboard) << "the X server sends no notice of copies; monitoring sees none";
            }
            // The X server's notices are taken as they arrive; a read takes those that came meanwhile.
            auto* notifier =
                new QSocketNotifier(worker->reader->fileDescriptor(), QSocketNotifier::Read, worker);
            connect(notifier, &QSocketNotifier::activated, worker, [this, worker] {
                worker->reader->takeNotices();
                copies_.store(worker->reader->copiesSeen());
            });
            worker->reader->takeNotices();
            copies_.store(worker->reader->copiesSeen());
        });
    }
    return worker_;
}

QtClipboard::~QtClipboard() {
    thread_.quit();
    thread_.wait();
}

void QtClipboard::clear() {
    // Giving up ownership is a request to the X server only; it never waits on the previous owner.
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void QtClipboard::requestText(std::function<void(std::optional<QString>)> done) {
    if (inFlight_) {
        done(std::nullopt);
        return;
    }
    inFlight_ = true;
    if (!offThread_) {
        QTimer::singleShot(0, this, [this, done = std::move(done)] {
            inFlight_ = false;
            QString text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
            if (text.size() > maxTextBytes_ / 3) { // at most three UTF-8 bytes per UTF-16 unit
                if (const qint64 bytes = text.toUtf8().size(); bytes > maxTextBytes_) {
                    qCWarning(lcClipboard) << "clipboard text of" << bytes << "bytes is over the limit of"
                                           << maxTextBytes_ << "bytes; left unread";
                    done(std::nullopt);
                    return;
                }
            }
            done(std::move(text));
        });
        return;
    }
    auto* worker = static_cast<SelectionWorker*>(this->worker());
    QMetaObject::invokeMethod(worker, [this, worker, done = std::move(done)]() mutable {
        std::optional<QString> text;
        if (worker->reader) {
            auto bytes = worker->reader->readClipboardText(kPatience);
            copies_.store(worker->reader->copiesSeen());
            if (bytes) {
                text = QString::fromUtf8(*bytes);
            } else if (worker->reader->lastReadTooLarge()) {
                qCWarning(lcClipboard) << "clipboard text is over the limit of" << worker->reader->maxBytes()
                                       << "bytes; left unread";
            }
        }
        if (!text) {
            qCDebug(lcClipboard) << "clipboard read failed or timed out";
        }
        // Back on the user-interface thread; dropped if this object is gone by then.
        QMetaObject::invokeMethod(this, [this, text = std::move(text), done = std::move(done)] {
            inFlight_ = false;
            done(text);
        });
    });
}

quint64 QtClipboard::copyCount() {
    if (offThread_) {
        worker();
    } else if (!countingChanges_) {
        countingChanges_ = true;
        connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) {
                copies_.fetch_add(1);
            }
        });
    }
    return copies_.load();
}

} // namespace cw
