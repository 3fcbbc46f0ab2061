// talvoctl search: one search through a logged-in account, printing the messages found;
// with --save, the query becomes one of the account's saved searches.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "foundation/RTGlobalVariables.h"
#include "model/RTUserTwitter.h"
#include "store/TADataManager.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"

#include <QEventLoop>
#include <QTimer>

namespace {

constexpr char kUsage[] =
    "usage: talvoctl search --profile NAME [--account SCREEN_NAME] [--save] QUERY\n";
constexpr int kAnswerTimeoutMs = 60000;

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

// Sends with send() and waits for the account's answer of type; nullopt without one.
std::optional<std::pair<bool, QVariantMap>> answerOf(RTServiceTwitter &account, qint32 type,
                                                     const std::function<void()> &send)
{
    QEventLoop loop;
    std::optional<std::pair<bool, QVariantMap>> answer;
    const QMetaObject::Connection connection =
        QObject::connect(&account, &RTServiceTwitter::requestFinished, &loop,
                         [&](const QVariantMap &result, bool ok) {
                             if (result.value(QString::fromLatin1(kRTRequestType)).toInt() != type)
                                 return;
                             answer = std::make_pair(ok, result);
                             loop.quit();
                         });
    send();
    QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    if (!answer)
        loop.exec();
    QObject::disconnect(connection);
    return answer;
}

QString failureOf(const QVariantMap &result)
{
    return result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString();
}

} // namespace

int cmdSearch(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile, accountName;
    QStringList words;
    bool save = false;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (optionsEnded || !arg.startsWith(QLatin1String("--")))
            words << arg;
        else if (arg == QLatin1String("--"))
            optionsEnded = true;
        else if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--account") && hasValue)
            accountName = args.at(++i);
        else if (arg == QLatin1String("--save"))
            save = true;
        else {
            err << kUsage;
            return 2;
        }
    }
    // The search the search field would make of the words: none for blanks.
    const RTSearchTwitterPtr search = RTSearchTwitter::searchWithTerm(words.join(QLatin1Char(' ')));
    if (!search || profile.isEmpty()) {
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
        err << "talvoctl search: " << refusal << "\n";
        return 1;
    }
    account->loadOAuthTokens();
    if (account->oauthToken().isEmpty()) {
        err << "the account " << account->serviceId() << " has no token; log in again\n";
        return 1;
    }

    const auto found = answerOf(*account, RTTwitterRequestSearch, [&] {
        account->pollTimelineSince(QString(), QVariant(), RTTwitterRequestSearch,
                                   {{QStringLiteral("searchObject"), QVariant::fromValue(search)}});
    });
    if (!found) {
        err << "no answer from the server\n";
        return 1;
    }
    if (!found->first) {
        err << "search failed: " << failureOf(found->second) << "\n";
        return 1;
    }
    const auto operation = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
        found->second.value(QString::fromLatin1(kRTRequestOperationKey))
            .value<RTRequestOperationPtr>());
    const QList<RTMessageTwitterPtr> messages =
        operation ? operation->allMessages() : QList<RTMessageTwitterPtr>();
    for (const RTMessageTwitterPtr &message : messages) {
        const auto author = std::dynamic_pointer_cast<RTUserTwitter>(message->user());
        out << message->messageId() << "\t@" << (author ? author->screenName() : QString()) << "\t"
            << message->body() << "\n";
    }
    err << messages.size() << " messages\n";
    if (!save)
        return 0;

    const QList<RTMessagePtr> existing(messages.cbegin(), messages.cend());
    const auto saved = answerOf(*account, RTTwitterRequestCreateSavedSearch, [&] {
        account->savedSearchesCreateWithObject(QVariant::fromValue(search), search->searchName(),
                                               QVariant::fromValue(existing));
    });
    if (!saved) {
        err << "no answer from the server\n";
        return 1;
    }
    if (!saved->first) {
        err << "saving failed: " << failureOf(saved->second) << "\n";
        return 1;
    }
    const auto record = saved->second.value(QStringLiteral("search")).value<RTSearchTwitterPtr>();
    if (!record || record->searchId().isEmpty()) {
        err << "saving failed: the answer named no saved search\n";
        return 1;
    }
    out << "saved search " << record->searchId() << ": " << record->searchName() << "\n";
    // The store keeps it with the account, as the program would.
    TADataManager::sharedManager().saveCachesToDisk();
    return 0;
}
