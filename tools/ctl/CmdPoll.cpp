// talvoctl poll: one request of a logged-in Twitter account through the account code,
// printing what the merge left for each message of the answer.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "foundation/RTGlobalVariables.h"
#include "model/RTUserTwitter.h"
#include "store/TADataManager.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"

#include <QEventLoop>
#include <QTimer>

namespace {

constexpr char kUsage[] =
    "usage: talvoctl poll --profile NAME --type home|mentions|inbox|outbox|sent|favorites|"
    "retweets|retweeted|list|search [--count N] [--account SCREEN_NAME] [--list OWNER/ID] "
    "[--query TEXT]\n";

qint32 requestTypeNamed(const QString &name)
{
    static const QHash<QString, qint32> kTypes = {
        {QStringLiteral("home"), RTTwitterRequestHomeTimeline},
        {QStringLiteral("mentions"), RTTwitterRequestMentions},
        {QStringLiteral("inbox"), RTTwitterRequestDirectInbox},
        {QStringLiteral("outbox"), RTTwitterRequestDirectOutbox},
        {QStringLiteral("sent"), RTTwitterRequestSentTimeline},
        {QStringLiteral("favorites"), RTTwitterRequestFavorites},
        {QStringLiteral("retweets"), RTTwitterRequestRetweetedToMe},
        {QStringLiteral("retweeted"), RTTwitterRequestRetweetedByMe},
        {QStringLiteral("list"), RTTwitterRequestListStatuses},
        {QStringLiteral("search"), RTTwitterRequestSearch},
    };
    return kTypes.value(name, 0);
}

RTServiceTwitterPtr findAccount(const QString &screenName)
{
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(service);
        if (twitter && (screenName.isEmpty() ||
                        twitter->serviceId().compare(screenName, Qt::CaseInsensitive) == 0))
            return twitter;
    }
    return nullptr;
}

} // namespace

int cmdPoll(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (isFacebookKind(args))
        return cmdPollFacebook(args, out, err);
    QString profile, typeName, accountName, listSpec, query;
    int count = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--type") && hasValue)
            typeName = args.at(++i);
        else if (arg == QLatin1String("--account") && hasValue)
            accountName = args.at(++i);
        else if (arg == QLatin1String("--list") && hasValue)
            listSpec = args.at(++i);
        else if (arg == QLatin1String("--query") && hasValue)
            query = args.at(++i);
        else if (arg == QLatin1String("--count") && hasValue) {
            bool ok = false;
            count = args.at(++i).toInt(&ok);
            if (!ok || count < 1 || count > 200) {
                err << "--count takes 1 to 200\n";
                return 2;
            }
        } else {
            err << kUsage;
            return 2;
        }
    }
    const qint32 type = requestTypeNamed(typeName);
    const QStringList listParts = listSpec.split(QLatin1Char('/'));
    if (type == 0 || (type == RTTwitterRequestListStatuses && listParts.size() != 2) ||
        (type == RTTwitterRequestSearch && query.isEmpty())) {
        err << kUsage;
        return 2;
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;

    const RTServiceTwitterPtr account = findAccount(accountName);
    if (!account) {
        err << "no Twitter account in the store; run talvoctl login first\n";
        return 1;
    }
    if (const QString refusal = account->hostProfileRefusal(); !refusal.isEmpty()) {
        err << "talvoctl poll: " << refusal << "\n";
        return 1;
    }
    account->loadOAuthTokens();
    if (account->oauthToken().isEmpty()) {
        err << "the account " << account->serviceId() << " has no token; log in again\n";
        return 1;
    }

    QEventLoop loop;
    bool done = false;
    bool success = false;
    QVariantMap result;
    QObject::connect(account.get(), &RTServiceTwitter::requestFinished, &loop,
                     [&](const QVariantMap &r, bool ok) {
                         if (r.value(QString::fromLatin1(kRTRequestType)).toInt() != type)
                             return;
                         done = true;
                         success = ok;
                         result = r;
                         loop.quit();
                     });

    QVariantMap userInfo;
    if (count > 0)
        userInfo.insert(QStringLiteral("count"), count);
    if (type == RTTwitterRequestListStatuses) {
        auto list = std::make_shared<RTListTwitter>(listParts.at(1));
        auto owner = RTUserTwitter::create(QString());
        owner->setScreenName(listParts.at(0));
        list->setUser(owner);
        account->pollList(list, QVariant(), userInfo);
    } else {
        if (type == RTTwitterRequestSearch) {
            auto search = std::make_shared<RTSearchTwitter>();
            search->setSearchQuery(query);
            userInfo.insert(QStringLiteral("searchObject"), QVariant::fromValue(search));
        }
        account->pollTimelineSince(QString(), QVariant(), type, userInfo);
    }
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    if (!done) {
        err << "no answer from the server\n";
        return 1;
    }
    if (!success) {
        err << "poll failed: "
            << result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString() << "\n";
        return 1;
    }
    const auto operation = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
        result.value(QString::fromLatin1(kRTRequestOperationKey)).value<RTRequestOperationPtr>());
    const QList<RTMessageTwitterPtr> messages =
        operation ? operation->allMessages() : QList<RTMessageTwitterPtr>();
    for (const RTMessageTwitterPtr &message : messages) {
        const RTUserPtr author = message->user();
        const auto twitterAuthor = std::dynamic_pointer_cast<RTUserTwitter>(author);
        out << message->messageId() << "\t@"
            << (twitterAuthor ? twitterAuthor->screenName() : QString()) << "\t["
            << CtlTwitterSession::flagWords(*message) << "]\t" << message->body() << "\n";
    }
    err << messages.size() << " messages\n";
    return 0;
}
