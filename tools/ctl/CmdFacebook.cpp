// The Facebook forms of talvoctl login, poll and post: a browser log-in (printed for the
// user, or played by the command itself), one news-feed poll, one status update.
#include "CtlCommand.h"
#include "CtlFacebookBrowser.h"
#include "CtlTwitterSession.h"

#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTRequestOperation.h"
#include "network/RTServiceRequests.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookLogin.h"
#include "networks/facebook/RTFacebookRequestTypes.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "store/TADataManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <thread>

namespace {

constexpr char kLoginUsage[] =
    "usage: talvoctl login --kind facebook --profile NAME [--browser-user NAME [--deny]] "
    "[--timeout SECONDS]\n";
constexpr char kPollUsage[] =
    "usage: talvoctl poll --kind facebook --profile NAME [--account ID] [--count N]\n";
constexpr char kPostUsage[] =
    "usage: talvoctl post --kind facebook --profile NAME [--account ID] TEXT\n";

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString readLine()
{
    QTextStream in(stdin);
    return in.readLine(1024);
}

// The stored account (the first one when id is empty) with its token, on the profile's
// hosts; null after saying why.
std::shared_ptr<RTServiceFacebook> openAccount(const QString &profile, const QString &id,
                                               QTextStream &err)
{
    if (!CtlTwitterSession::setUp(profile, err))
        return nullptr;
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        auto facebook = std::dynamic_pointer_cast<RTServiceFacebook>(service);
        if (facebook && (id.isEmpty() || facebook->serviceId() == id)) {
            facebook->loadOAuthTokens();
            return facebook;
        }
    }
    err << "no Facebook account; log in with talvoctl login --kind facebook\n";
    return nullptr;
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

bool wait(Answer &answer, int ms)
{
    if (!answer.done) {
        QTimer::singleShot(ms, &answer.loop, &QEventLoop::quit);
        answer.loop.exec();
    }
    return answer.done;
}

// Lets the account's own follow-up requests end before the process does.
void drainQueues()
{
    QElapsedTimer waited;
    waited.start();
    for (int type : {OperationQueue::ServiceRequests, OperationQueue::ImmediateRequests}) {
        OperationQueue &queue = OperationQueue::forType(type);
        while (queue.operationCount() > 0 && waited.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(10);
        }
    }
}

void printPost(QTextStream &out, const RTMessageFacebook &post)
{
    const RTUserFacebookPtr sender = post.sender();
    out << post.messageId() << "\t" << post.createdAt().toUTC().toString(Qt::ISODate) << "\t"
        << (sender ? sender->displayName() : QStringLiteral("?")) << "\t"
        << QString(post.body()).replace(QLatin1Char('\n'), QLatin1Char(' ')) << "\t"
        << "comments=" << post.comments().size() << " likes=" << post.likesCount() << "\n";
}

} // namespace

bool isFacebookKind(const QStringList &args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--kind"));
    return at >= 0 && at + 1 < args.size() && args.at(at + 1) == QLatin1String("facebook");
}

int cmdLoginFacebook(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile, browserUser;
    bool deny = false;
    int timeout = RTFacebookLogin::kDefaultTimeoutSeconds;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--kind") && hasValue)
            ++i;
        else if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--browser-user") && hasValue)
            browserUser = args.at(++i);
        else if (arg == QLatin1String("--deny"))
            deny = true;
        else if (arg == QLatin1String("--timeout") && hasValue)
            timeout = std::clamp(args.at(++i).toInt(), 1, 3600);
        else {
            err << kLoginUsage;
            return 2;
        }
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;
    // The stored accounts are loaded first: logging in again must find the account.
    TADataManager::sharedManager();
    QString password;
    if (!browserUser.isEmpty()) {
        password = readLine();
        if (password.isEmpty()) {
            err << "no password given\n";
            return 1;
        }
    }

    RTFacebookLogin login;
    login.setTimeoutSeconds(timeout);
    std::thread browser;
    CtlFacebookBrowser::Outcome played;
    login.setUrlOpener([&](const QUrl &url) {
        if (browserUser.isEmpty()) {
            out << "Open this address in your browser and log in:\n"
                << url.toString(QUrl::FullyEncoded) << "\n"
                << Qt::flush;
            return true;
        }
        CtlFacebookBrowser script{browserUser, password, deny, {}};
        browser = std::thread([script, url, &played] { played = script.run(url); });
        return true;
    });

    QEventLoop loop;
    int code = 1;
    QObject::connect(&login, &RTFacebookLogin::loggedIn,
                     [&](const std::shared_ptr<RTServiceFacebook> &account, bool isNew) {
                         TADataManager &store = TADataManager::sharedManager();
                         if (isNew)
                             store.addService(account);
                         store.saveCachesToDisk();
                         const RTUserFacebookPtr me = account->mySelf();
                         out << "logged in as " << account->serviceId() << " ("
                             << (me ? me->displayName() : QString()) << ")\n";
                         code = 0;
                         loop.quit();
                     });
    QObject::connect(&login, &RTFacebookLogin::failed, [&](const QString &sentence) {
        err << "login failed: " << sentence << "\n";
        code = 1;
        loop.quit();
    });
    if (login.begin())
        loop.exec();
    if (browser.joinable())
        browser.join();
    if (!played.error.isEmpty())
        err << "browser: " << played.error << "\n";
    drainQueues();
    return code;
}

int cmdPollFacebook(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile, id;
    int count = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--kind") && hasValue)
            ++i;
        else if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--account") && hasValue)
            id = args.at(++i);
        else if (arg == QLatin1String("--count") && hasValue)
            count = std::clamp(args.at(++i).toInt(), 1, 50);
        else {
            err << kPollUsage;
            return 2;
        }
    }
    const auto account = openAccount(profile, id, err);
    if (!account)
        return 1;
    QVariantMap userInfo;
    if (count > 0)
        userInfo.insert(key(kRTFacebookLimitKey), count);
    auto answer = std::make_shared<Answer>();
    // The account is the operation's own delegate; a second listener hears the answer.
    struct Forward : RTRequestDelegate
    {
        std::shared_ptr<Answer> target;
        void serviceRequestSuccess(const QVariantMap &r) override
        {
            target->serviceRequestSuccess(r);
        }
        void serviceRequestFailure(const QVariantMap &r) override
        {
            target->serviceRequestFailure(r);
        }
    };
    auto forward = std::make_shared<Forward>();
    forward->target = answer;
    RTServiceRequests::doRequest(account, RTFacebookRequestNewsFeed, forward, {}, userInfo, 0);
    if (!wait(*answer, 120000)) {
        err << "no answer from the server\n";
        return 1;
    }
    drainQueues();
    if (!answer->success) {
        err << "poll failed: "
            << answer->result.value(key(kRTOperationFailureMessageKey)).toString() << "\n";
        return 1;
    }
    auto posts =
        answer->result.value(key(kRTFacebookMessagesKey)).value<QList<RTMessageFacebookPtr>>();
    for (const RTMessageFacebookPtr &post : posts)
        printPost(out, *post);
    out << posts.size() << " posts, " << account->usersDictionary().size() << " people\n";
    return 0;
}

int cmdPostFacebook(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile, id, text;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--kind") && hasValue)
            ++i;
        else if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--account") && hasValue)
            id = args.at(++i);
        else if (text.isEmpty() && !arg.startsWith(QLatin1Char('-')))
            text = arg;
        else {
            err << kPostUsage;
            return 2;
        }
    }
    if (text.isEmpty()) {
        err << kPostUsage;
        return 2;
    }
    const auto account = openAccount(profile, id, err);
    if (!account)
        return 1;
    auto answer = std::make_shared<Answer>();
    account->setUserStatusWithString(text, answer);
    if (!wait(*answer, 60000)) {
        err << "no answer from the server\n";
        return 1;
    }
    if (!answer->success) {
        err << "post failed: "
            << answer->result.value(key(kRTOperationFailureMessageKey)).toString() << "\n";
        return 1;
    }
    // The account fetches the post it wrote; wait for it to arrive as a message.
    drainQueues();
    const QString postId = answer->result.value(key(kRTFacebookResultKey))
                               .toMap()
                               .value(QStringLiteral("id"))
                               .toString();
    out << "posted " << postId << "\n";
    if (const auto post = account->messageWithId(postId))
        printPost(out, *post);
    return 0;
}

int watchFacebookAccounts(QObject *context, QTextStream &out, QTextStream &err)
{
    int accounts = 0;
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        auto *account = qobject_cast<RTServiceFacebook *>(service.get());
        if (!account)
            continue;
        if (const QString refusal = account->hostProfileRefusal(); !refusal.isEmpty()) {
            err << "talvoctl watch: " << refusal << "\n";
            continue;
        }
        account->loadOAuthTokens();
        if (account->accessToken().isEmpty())
            continue;
        ++accounts;
        // Each post once, as the feed polls bring it.
        auto printed = std::make_shared<QSet<QString>>();
        QObject::connect(
            account, &RTServiceFacebook::messagesChanged, context, [account, printed, &out] {
                QList<RTMessageFacebookPtr> posts = account->messagesDictionary().values();
                std::sort(posts.begin(), posts.end(), [](const auto &a, const auto &b) {
                    return a->createdAt() < b->createdAt();
                });
                for (const RTMessageFacebookPtr &post : posts) {
                    if (printed->contains(post->messageId()))
                        continue;
                    printed->insert(post->messageId());
                    out << "facebook " << account->serviceId() << "\t";
                    printPost(out, *post);
                }
                out.flush();
            });
    }
    return accounts;
}
