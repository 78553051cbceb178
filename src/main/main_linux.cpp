#include "main/appicon.h"
#include "main/application.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "main/linuxdatafolders.h"
#include "main/qtshell.h"

#include <QApplication>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Kestrin");
    QApplication::setWindowIcon(makeAppIcon());
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments()) {
        args.push_back(arg.toLocal8Bit().toStdString());
    }
    const LinuxDataFolders folders(environment("HOME"), environment("WINEPREFIX"));
    try {
        QtShell shell;
        Application app(shell);
        shell.attach(&app);
        app.run(
            args, [&folders] { return folders.readRegistryDataFolder(); },
            [&folders] { return folders.defaultDataFolder(); });
    } catch (const Exception& error) {
        // Everything of the run, windows included, is gone by now: the box has no owner.
        showMessageBox(QMessageBox::NoIcon, "Error",
                       QString::fromLocal8Bit(composeErrorReport(error).c_str()));
    }
    return 0;
}
