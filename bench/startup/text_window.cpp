#include <QApplication>
#include <QLabel>
#include <QMainWindow>

// A bare window that shows one line of text, so that it pays the font system's start-up as
// every window with a caption does.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Lumo Brisk Terminal")));
    window.show();
    return QApplication::exec();
}
