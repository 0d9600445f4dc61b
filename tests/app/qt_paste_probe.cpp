// Qt's own paste, against whatever owns the clipboard now: a Ctrl+V into a plain QPlainTextEdit (or, with
// --primary, the middle-click paste of the primary selection). The paste tests run it beside the program's
// own paste to look for the owners that upset Qt; it prints how many characters arrived.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

class Probe : public QPlainTextEdit {
public:
    void insert(const QMimeData* source) { insertFromMimeData(source); }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Probe edit;
    edit.show();
    if (argc > 1 && std::strcmp(argv[1], "--primary") == 0) {
        if (const QMimeData* source = QGuiApplication::clipboard()->mimeData(QClipboard::Selection)) {
            edit.insert(source);
        }
    } else {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        QApplication::sendEvent(&edit, &press);
    }
    // Laid out and painted too: a pasted text can hold more than characters (images, tables).
    QTimer::singleShot(300, &app, &QApplication::quit);
    QApplication::exec();
    std::printf("%lld\n", static_cast<long long>(edit.toPlainText().size()));
    return 0;
}
