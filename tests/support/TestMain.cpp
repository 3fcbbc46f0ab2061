// Test entry point: every test process gets its own XDG folders, so tests never touch
// the user's settings or store and can run in parallel.
#include "support/TestSupport.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    return runTestProcess(
        argc, argv, [](int &c, char **v) { return std::make_unique<QCoreApplication>(c, v); });
}
