// tarvel-draw-gui: the desktop face of Tarvel For Draw.
#include "ui/pictures.h"
#include "ui/shell_services.h"
#include "ui/tarvel_app.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    try {
        QApplication application(argc, argv);
        QApplication::setWindowIcon(pictures::appIcon());
        SystemShellServices shell;
        CTarvelForOpenOfficeApp app(shell);
        if (!app.initInstance())
            return 1;
        return QApplication::exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvel-draw-gui: %s\n", error.what());
        return 2;
    }
}
