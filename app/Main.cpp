// framelot: the window.
#include <QApplication>
#include <QScreen>

#include <csignal>

#include "app/MainWindow.h"
#include "app/Settings.h"

int main(int argc, char** argv)
{
    std::signal(SIGXFSZ, SIG_IGN);  // a size limit becomes a write error with a reason
    QApplication app(argc, argv);
    framelot::MainWindow window(framelot::SettingsPathFor(QCoreApplication::applicationFilePath()));
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    app.exec();
    return 0;
}
