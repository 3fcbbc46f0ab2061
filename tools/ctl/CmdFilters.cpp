// talvoctl filters: the user's dated mutes and highlights on the companion service.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "companion/RTCompanionClient.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "model/RTUserTwitter.h"
#include "model/TimeCalculator.h"
#include "store/TADataManager.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

namespace {

constexpr char kUsage[] =
    "usage: talvoctl filters --profile NAME [list]\n"
    "       talvoctl filters --profile NAME mute|highlight USER|@SCREEN_NAME|#HASHTAG "
    "--for DURATION\n"
    "       talvoctl filters --profile NAME remove ID\n"
    "DURATION: 1h, 2h, 6h, 12h, 24h, 48h, 7d, 30d, 365d, forever, or a number with s, m, h "
    "or d\n";
constexpr int kAnswerTimeoutMs = 30000;

// Seconds of a duration text; -1 when it is not one.
qint64 parseDuration(const QString &text)
{
    if (text.compare(QLatin1String("forever"), Qt::CaseInsensitive) == 0)
        return RTDatedMessageFilter::kForeverDuration;
    static const QRegularExpression form(QStringLiteral("^(\\d{1,9})([smhd]?)$"));
    const QRegularExpressionMatch m = form.match(text.toLower());
    if (!m.hasMatch())
        return -1;
    const qint64 n = m.captured(1).toLongLong();
    const QString unit = m.captured(2);
    const qint64 seconds = unit == u"m"   ? n * 60
                           : unit == u"h" ? n * 3600
                           : unit == u"d" ? n * 86400
                                          : n;
    return seconds > 0 && seconds <= RTDatedMessageFilter::kForeverDuration ? seconds : -1;
}

// Runs the event loop until the client answers requestType; false on a failure or no answer.
bool awaitAnswer(RTCompanionClient &client, qint32 requestType, QTextStream &err,
                 const std::function<void()> &send)
{
    QEventLoop loop;
    bool done = false;
    bool ok = false;
    QString failure;
    const auto connection = QObject::connect(
        &client, &RTCompanionClient::requestFinished, &loop,
        [&](const QVariantMap &result, bool success) {
            if (result.value(QString::fromLatin1(kRTRequestType)).toInt() != requestType)
                return;
            done = true;
            ok = success;
            failure = result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString();
            loop.quit();
        });
    send();
    QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    QObject::disconnect(connection);
    if (!done)
        err << "no answer from the companion service\n";
    else if (!ok)
        err << "the companion service refused: " << failure << "\n";
    return done && ok;
}

// The Twitter user id of @name, asked through the first logged-in Twitter account.
QString userIdOfScreenName(const QString &screenName, QTextStream &err)
{
    RTServiceTwitterPtr account;
    for (const RTServicePtr &service : TADataManager::sharedManager().services())
        if ((account = std::dynamic_pointer_cast<RTServiceTwitter>(service)))
            break;
    if (!account) {
        err << "no Twitter account in the store to look up @" << screenName
            << "; give the user id or run talvoctl login first\n";
        return {};
    }
    account->loadOAuthTokens();
    QEventLoop loop;
    QString userId;
    bool done = false;
    QObject::connect(account.get(), &RTServiceTwitter::requestFinished, &loop,
                     [&](const QVariantMap &result, bool ok) {
                         if (result.value(QString::fromLatin1(kRTRequestType)).toInt() !=
                             RTTwitterRequestUserShow)
                             return;
                         done = true;
                         const auto operation =
                             std::dynamic_pointer_cast<RTRequestOperationTwitter>(
                                 result.value(QString::fromLatin1(kRTRequestOperationKey))
                                     .value<RTRequestOperationPtr>());
                         for (const RTUserTwitterPtr &user :
                              ok &&operation ? operation->allUsers() : QList<RTUserTwitterPtr>())
                             if (user->screenName().compare(screenName, Qt::CaseInsensitive) == 0)
                                 userId = user->userId();
                         loop.quit();
                     });
    auto user = RTUserTwitter::create(QString());
    user->setScreenName(screenName);
    account->updateUser(user);
    QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    if (userId.isEmpty())
        err << "cannot find the Twitter user @" << screenName << "\n";
    return userId;
}

QString remainingText(const RTDatedMessageFilter &filter, const QDateTime &now)
{
    if (filter.isExpired(now))
        return filter.createdAt() > now ? QStringLiteral("not begun") : QStringLiteral("ended");
    if (filter.isForever(now))
        return QStringLiteral("forever");
    return TimeCalculator::durationStringFromTimeInterval(double(filter.remainingPeriod(now)));
}

template<class Filters>
void printDated(const char *kind, const Filters &filters, const QDateTime &now, QTextStream &out)
{
    auto list = filters.values();
    std::sort(list.begin(), list.end(), [](const auto &a, const auto &b) {
        return a->filterId().toLongLong() < b->filterId().toLongLong();
    });
    for (const auto &filter : list) {
        if (filter->isExpired(now) && filter->createdAt() <= now)
            continue; // ended filters are history
        out << filter->filterId() << '\t' << kind << '\t' << filter->datedFilterPredicate() << '\t'
            << filter->factor() << '\t' << remainingText(*filter, now) << '\n';
    }
}

} // namespace

int cmdFilters(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile;
    QStringList words;
    QString forText;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--for") && hasValue)
            forText = args.at(++i);
        else if (arg.startsWith(QLatin1String("--"))) {
            err << kUsage;
            return 2;
        } else
            words << arg;
    }
    const QString action = words.value(0, QStringLiteral("list"));
    const bool create = action == u"mute" || action == u"highlight";
    const qint64 seconds = create ? parseDuration(forText) : 0;
    if ((action == u"list" && words.size() > 1) || (create && (words.size() != 2 || seconds < 0)) ||
        (action == u"remove" && (words.size() != 2 || words.at(1).toLongLong() <= 0)) ||
        (!create && action != u"list" && action != u"remove")) {
        err << kUsage;
        return 2;
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;
    TADataManager::sharedManager();
    RTCompanionClient &client = RTCompanionClient::talvoService();
    // The current filters first: removing needs to know what an id is.
    if (!awaitAnswer(client, RTTalvoRequestConfigurations, err,
                     [&] { client.updateConfigurations(); }))
        return 1;

    if (create) {
        QString factor = words.at(1);
        QString kind = RTCompanionClient::kUser;
        if (factor.startsWith(u'#')) {
            kind = RTCompanionClient::kHashtag;
            if (factor.size() < 2) {
                err << kUsage;
                return 2;
            }
        } else if (factor.startsWith(u'@')) {
            factor = userIdOfScreenName(factor.mid(1), err);
            if (factor.isEmpty())
                return 1;
        } else if (factor.toLongLong() <= 0) {
            err << "a user is a Twitter user id or @SCREEN_NAME\n";
            return 2;
        }
        const qint32 type =
            action == u"mute" ? RTTalvoRequestCreateMute : RTTalvoRequestCreateHighlight;
        if (!awaitAnswer(client, type, err, [&] {
                action == u"mute" ? client.muteFactor(factor, kind, seconds)
                                  : client.highlightFactor(factor, kind, seconds);
            }))
            return 1;
    } else if (action == u"remove") {
        const QString id = QString::number(words.at(1).toLongLong());
        qint32 type = 0;
        if (client.filters().mutes().contains(id))
            type = RTTalvoRequestDestroyMute;
        else if (client.filters().highlights().contains(id))
            type = RTTalvoRequestDestroyHighlight;
        if (type == 0) {
            err << "no mute or highlight with id " << id << "\n";
            return 1;
        }
        if (!awaitAnswer(client, type, err, [&] {
                type == RTTalvoRequestDestroyMute ? client.destroyMute(id)
                                                  : client.destroyHighlight(id);
            }))
            return 1;
    }
    const QDateTime now = Clock::currentDateTime();
    printDated("mute", client.filters().mutes(), now, out);
    printDated("highlight", client.filters().highlights(), now, out);
    return 0;
}
