// The machine's floor for the start-up benchmark: a bare Qt window of the main window's size with one button,
// shown the way the program shows its own. bench_startup times it beside the program, run for run.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(309, 271);
    QPushButton button(QStringLiteral("Say it!"), &window);
    button.setGeometry(95, 232, 80, 33);
    window.show();
    window.repaint();
    return QApplication::exec();
}
