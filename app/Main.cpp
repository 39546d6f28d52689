// framelot: the window.
#include <QApplication>
#include <QScreen>

#include <csignal>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/Settings.h"

namespace {

// --help and --version print and end before anything of the window exists,
// so they work without a display.
bool PrintedOnly(int argc, char** argv)
{
    const framelot::WindowArguments early = framelot::ParseWindowArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (early.Do == framelot::WindowArguments::Action::Help) std::fputs(framelot::WindowUsage, stdout);
    if (early.Do == framelot::WindowArguments::Action::Version) std::printf("framelot %s\n", FRAMELOT_VERSION);
    return early.Do == framelot::WindowArguments::Action::Help || early.Do == framelot::WindowArguments::Action::Version;
}

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGXFSZ, SIG_IGN);  // a size limit becomes a write error with a reason
    if (PrintedOnly(argc, argv)) return 0;

    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out by now.
    std::vector<std::string> rest;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) rest.push_back(arguments[i].toLocal8Bit().toStdString());
    const framelot::WindowArguments parsed = framelot::ParseWindowArguments(rest);
    if (parsed.Do == framelot::WindowArguments::Action::Error) {
        std::fprintf(stderr, "framelot: %s\n\n%s", parsed.Error.c_str(), framelot::WindowUsage);
        return 2;
    }

    framelot::MainWindow window(framelot::ChooseSettingsPath(QCoreApplication::applicationFilePath()));
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    window.ConvertFiles(parsed.Files);
    // The event loop's own status: 0 when the window closed normally.
    return app.exec();
}
