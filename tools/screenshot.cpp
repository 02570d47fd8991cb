// Saves a picture of the whole X screen (for the README), without an imaging
// program: vantoly_screenshot OUT.png [DELAY_MS]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vantoly_screenshot OUT.png [DELAY_MS]\n");
        return 2;
    }
    const int delay = argc > 2 ? std::atoi(argv[2]) : 0;
    int status = 1;
    QTimer::singleShot(delay, [&] {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen && screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1])))
            status = 0;
        else
            std::fprintf(stderr, "vantoly_screenshot: could not grab or save the screen\n");
        QGuiApplication::quit();
    });
    app.exec();
    return status;
}
