// talvoctl login: the xAuth exchange for one screen name; the tokens go to the keyring
// and the account into the store.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "foundation/OperationQueue.h"
#include "store/TADataManager.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterAccountLogin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

// The password from the terminal without echo, or the first line of a pipe.
QString readPassword(QTextStream &err)
{
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        err << "Password: " << Qt::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    QTextStream in(stdin);
    const QString line = in.readLine(1024);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        err << "\n" << Qt::flush;
    }
    return line;
}

} // namespace

int cmdLogin(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (isFacebookKind(args))
        return cmdLoginFacebook(args, out, err);
    QString profile;
    QString screenName;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--profile") && i + 1 < args.size())
            profile = args.at(++i);
        else if (screenName.isEmpty() && !args.at(i).startsWith(QLatin1Char('-')))
            screenName = args.at(i);
        else {
            err << "usage: talvoctl login --profile NAME SCREEN_NAME\n";
            return 2;
        }
    }
    if (screenName.isEmpty()) {
        err << "usage: talvoctl login --profile NAME SCREEN_NAME\n";
        return 2;
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;
    const QString password = readPassword(err);
    if (password.isEmpty()) {
        err << "no password given\n";
        return 1;
    }

    TADataManager &store = TADataManager::sharedManager();
    RTTwitterAccountLogin login(store);
    if (!login.start(screenName, password)) {
        err << "talvoctl login: " << login.errorSentence() << "\n";
        return 1;
    }
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&login, &RTTwitterAccountLogin::succeeded, &loop, [&] {
        ok = true;
        loop.quit();
    });
    QObject::connect(&login, &RTTwitterAccountLogin::failed, &loop, &QEventLoop::quit);
    loop.exec();
    if (!ok) {
        err << "login failed: " << login.errorSentence() << "\n";
        return 1;
    }
    const auto account = login.account();
    // The token's answer started the account; its first requests are called off and
    // given time to end: none may still run when the process exits.
    account->stop();
    OperationQueue &queue = OperationQueue::forType(OperationQueue::ServiceRequests);
    queue.cancelAllOperations();
    QElapsedTimer waited;
    waited.start();
    while (queue.operationCount() > 0 && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    store.saveCachesToDisk();
    out << "logged in as " << account->serviceId() << "\n";
    return 0;
}
