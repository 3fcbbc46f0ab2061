// Entry point of the window tests: a QApplication, always on the offscreen platform.
#include "support/TestSupport.h"

#include <QApplication>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return runTestProcess(argc, argv, [](int &c, char **v) -> std::unique_ptr<QCoreApplication> {
        return std::make_unique<QApplication>(c, v);
    });
}
