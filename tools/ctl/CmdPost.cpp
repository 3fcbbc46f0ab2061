// talvoctl post: a tweet, a reply, a direct message ("d @name text") or a picture post
// of a logged-in Twitter account, through the compose line the program uses.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "foundation/RTGlobalVariables.h"
#include "sharing/RTImageUploader.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "store/TADataManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QEventLoop>
#include <QTimer>

namespace {

constexpr char kUsage[] = "usage: talvoctl post --profile NAME [--account SCREEN_NAME] "
                          "[--reply-to ID] [--picture FILE] TEXT\n";
constexpr int kTimeoutMs = 60000;

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

// Runs the loop until done() holds or the time is up; false on time-out.
bool waitFor(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
    tick.start();
    if (!done())
        loop.exec();
    return done();
}

} // namespace

int cmdPost(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (isFacebookKind(args))
        return cmdPostFacebook(args, out, err);
    QString profile, accountName, replyTo, picture;
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--profile") && hasValue)
            profile = args.at(++i);
        else if (arg == QLatin1String("--account") && hasValue)
            accountName = args.at(++i);
        else if (arg == QLatin1String("--reply-to") && hasValue)
            replyTo = args.at(++i);
        else if (arg == QLatin1String("--picture") && hasValue)
            picture = args.at(++i);
        else if (arg == QLatin1String("--"))
            words << args.mid(i + 1), i = int(args.size());
        else if (arg.startsWith(QLatin1String("--"))) {
            err << kUsage;
            return 2;
        } else
            words << arg;
    }
    const QString text = words.join(QLatin1Char(' '));
    if (text.trimmed().isEmpty() && picture.isEmpty()) {
        err << kUsage;
        return 2;
    }
    QByteArray pictureData;
    if (!picture.isEmpty()) {
        pictureData = RTImageUploader::uploadDataFromFile(picture);
        if (pictureData.isEmpty()) {
            err << "cannot read a picture from " << picture << "\n";
            return 1;
        }
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;
    const RTServiceTwitterPtr account = findAccount(accountName);
    if (!account) {
        err << "no Twitter account in the store; run talvoctl login first\n";
        return 1;
    }
    account->loadOAuthTokens();
    if (account->oauthToken().isEmpty()) {
        err << "the account " << account->serviceId() << " has no token; log in again\n";
        return 1;
    }
    auto *line = qobject_cast<RTTwitterDirectInputLineViewController *>(
        RTDirectInputLineViewController::directInputlineViewController(account));
    if (!line) {
        err << "the account cannot post\n";
        return 1;
    }

    QVariantMap state{{QString::fromLatin1(RTDirectInputLineViewController::kStateText), text}};
    if (!replyTo.isEmpty())
        state.insert(QString::fromLatin1(RTTwitterDirectInputLineViewController::kStateInReplyTo),
                     replyTo);
    line->setupStateWithStateDictionary(state);
    line->textDidChange(line->text(), line->text().size());

    if (!pictureData.isEmpty()) {
        bool finished = false;
        bool uploaded = false;
        QString failure;
        QObject::connect(line, &RTDirectInputLineViewController::uploadFinished, line,
                         [&](bool ok, const QString &message) {
                             finished = true;
                             uploaded = ok;
                             failure = message;
                         });
        if (!line->shareImageData(pictureData)) {
            err << "the picture was not sent (too large for the host?)\n";
            return 1;
        }
        if (!waitFor([&] { return finished; }) || !uploaded) {
            err << "picture upload failed: "
                << (failure.isEmpty() ? QStringLiteral("no answer") : failure) << "\n";
            return 1;
        }
    }

    bool finished = false;
    bool success = false;
    QString failure;
    QString postedId;
    QObject::connect(account.get(), &RTServiceTwitter::requestFinished, line,
                     [&](const QVariantMap &r, bool ok) {
                         const int type = r.value(QString::fromLatin1(kRTRequestType)).toInt();
                         if (!ok || (type != RTTwitterRequestUpdateStatus &&
                                     type != RTTwitterRequestNewDirectMessage))
                             return;
                         const auto op = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
                             r.value(QString::fromLatin1(kRTRequestOperationKey))
                                 .value<RTRequestOperationPtr>());
                         if (op && !op->allMessages().isEmpty())
                             postedId = op->allMessages().first()->messageId();
                     });
    QObject::connect(line, &RTDirectInputLineViewController::posted, line, [&] {
        finished = true;
        success = true;
    });
    QObject::connect(line, &RTDirectInputLineViewController::postFailed, line,
                     [&](const QString &message) {
                         finished = true;
                         failure = message;
                     });
    const QString before = line->text();
    line->send();
    if (!line->isShortening() && !line->isPendingPost() && line->text() == before) {
        err << (line->remaining() < 0 ? "the text is over the limit of 140 characters\n"
                                      : "nothing to post\n");
        return 1;
    }
    if (!waitFor([&] {
            return finished || (!line->isShortening() && !line->isPendingPost() &&
                                !line->text().isEmpty() && line->text() == before);
        })) {
        err << "no answer from the server\n";
        return 1;
    }
    if (!success) {
        err << "post failed: "
            << (failure.isEmpty() ? QStringLiteral("still over the limit") : failure) << "\n";
        return 1;
    }
    out << postedId << "\n";
    return 0;
}
