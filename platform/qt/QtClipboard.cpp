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
    request(Source::Clipboard, std::move(done));
}

void QtClipboard::requestSelectionText(Selection selection,
                                       std::function<void(std::optional<QString>)> done) {
    request(selection == Selection::Primary ? Source::Primary : Source::Drop, std::move(done));
}

namespace {

const char* nameOf(int source) {
    static const char* const names[] = {"clipboard", "primary selection", "dropped text"};
    return names[source];
}

} // namespace

void QtClipboard::request(Source source, std::function<void(std::optional<QString>)> done) {
    const auto index = static_cast<std::size_t>(source);
    if (inFlight_[index]) {
        qCDebug(lcClipboard) << nameOf(int(index)) << "read refused: another is in flight";
        done(std::nullopt);
        return;
    }
    inFlight_[index] = true;
    if (!offThread_) {
        QTimer::singleShot(0, this, [this, source, index, done = std::move(done)] {
            inFlight_[index] = false;
            if (source == Source::Drop) {
                done(std::nullopt); // a drop's text is read over X only
                return;
            }
            const QClipboard::Mode mode =
                source == Source::Primary ? QClipboard::Selection : QClipboard::Clipboard;
            if (mode == QClipboard::Selection && !QGuiApplication::clipboard()->supportsSelection()) {
                done(QString());
                return;
            }
            QString text = QGuiApplication::clipboard()->text(mode);
            if (text.size() > maxTextBytes_ / 3) { // at most three UTF-8 bytes per UTF-16 unit
                if (const qint64 bytes = text.toUtf8().size(); bytes > maxTextBytes_) {
                    qCWarning(lcClipboard)
                        << nameOf(int(index)) << "text of" << bytes << "bytes is over the limit of"
                        << maxTextBytes_ << "bytes; left unread";
                    done(std::nullopt);
                    return;
                }
            }
            done(std::move(text));
        });
        return;
    }
    const auto selection = source == Source::Primary ? XcbSelectionReader::Selection::Primary
                           : source == Source::Drop  ? XcbSelectionReader::Selection::Drop
                                                     : XcbSelectionReader::Selection::Clipboard;
    auto* worker = static_cast<SelectionWorker*>(this->worker());
    QMetaObject::invokeMethod(worker, [this, worker, index, selection, done = std::move(done)]() mutable {
        std::optional<QString> text;
        if (worker->reader) {
            auto bytes = worker->reader->readText(selection, kPatience);
            copies_.store(worker->reader->copiesSeen());
            if (bytes) {
                text = QString::fromUtf8(*bytes);
            } else if (worker->reader->lastReadTooLarge()) {
                qCWarning(lcClipboard) << nameOf(int(index)) << "text is over the limit of"
                                       << worker->reader->maxBytes() << "bytes; left unread";
            }
        }
        if (!text && !(worker->reader && worker->reader->lastReadTooLarge())) { // one line per failed read
            qCDebug(lcClipboard) << nameOf(int(index)) << "read failed or timed out";
        }
        // Back on the user-interface thread; dropped if this object is gone by then.
        QMetaObject::invokeMethod(this, [this, index, text = std::move(text), done = std::move(done)] {
            inFlight_[index] = false;
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
