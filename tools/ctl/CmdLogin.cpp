// talvoctl login: the xAuth exchange for one screen name; the tokens go to the keyring
// and the account into the store.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "store/TADataManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTwitterServiceType = 2;

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

class Answer : public RTRequestDelegate
{
public:
    void serviceRequestSuccess(const QVariantMap &r) override { finish(true, r); }
    void serviceRequestFailure(const QVariantMap &r) override { finish(false, r); }

    bool done = false;
    bool success = false;
    QVariantMap result;
    QEventLoop loop;

private:
    void finish(bool ok, const QVariantMap &r)
    {
        done = true;
        success = ok;
        result = r;
        loop.quit();
    }
};

// Twitter screen names are the same name whatever their case.
std::shared_ptr<RTServiceTwitter> knownAccount(const TADataManager &store, const QString &name)
{
    for (const RTServicePtr &service : store.services()) {
        if (service->serviceType() == kTwitterServiceType &&
            service->serviceId().compare(name, Qt::CaseInsensitive) == 0)
            return std::dynamic_pointer_cast<RTServiceTwitter>(service);
    }
    return nullptr;
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
    auto account = knownAccount(store, screenName);
    const bool known = account != nullptr;
    if (known) {
        if (const QString refusal = account->hostProfileRefusal(); !refusal.isEmpty()) {
            err << "talvoctl login: " << refusal << "\n";
            return 1;
        }
    } else {
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(screenName);
    }
    // Kept in memory until the server accepts it: a failed log-in stores nothing.
    account->setUnverifiedServicePassword(password);
    account->setAuthFailureCount(0);

    auto answer = std::make_shared<Answer>();
    account->requestOAuthTokenWithDelegate(answer);
    QTimer::singleShot(60000, &answer->loop, &QEventLoop::quit);
    if (!answer->done)
        answer->loop.exec();
    if (!answer->done) {
        err << "no answer from the server\n";
        return 1;
    }
    if (!answer->success) {
        err << "login failed: "
            << answer->result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString()
            << "\n";
        return 1;
    }
    // The screen name as Twitter writes it; the account may be known under it already.
    const QString name = answer->result.value(QString::fromLatin1(kRTScreenNameKey)).toString();
    // The token's answer starts the account; stopped first, so that storing the password
    // does not ask for a new token (and blank the one just stored). Its first requests
    // are called off and given time to end: none may still run when the process exits.
    account->stop();
    OperationQueue &queue = OperationQueue::forType(OperationQueue::ServiceRequests);
    queue.cancelAllOperations();
    QElapsedTimer waited;
    waited.start();
    while (queue.operationCount() > 0 && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    if (!known && !name.isEmpty()) {
        if (auto same = knownAccount(store, name)) {
            const auto [token, secret] = account->oauthTokenPair();
            same->setOAuthTokenPair(token, secret);
            account = same;
        } else {
            account->setServiceId(name);
            store.addService(account);
        }
    } else if (!known) {
        store.addService(account);
    }
    // Only now, with the log-in accepted, does the password reach the keyring.
    if (!account->setServicePassword(password)) {
        err << "cannot store the password in the keyring\n";
        return 1;
    }
    store.saveCachesToDisk();
    out << "logged in as " << account->serviceId() << "\n";
    return 0;
}
