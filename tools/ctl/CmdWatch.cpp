// talvoctl watch: the whole engine without windows (store, accounts, polling, nodes),
// printing each new message under the nodes that took it and every node's unseen count.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionClient.h"
#include "model/RTUserTwitter.h"
#include "platform/TAUtility.h"
#include "store/TADataManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <csignal>

namespace {

constexpr char kUsage[] = "usage: talvoctl watch --profile NAME [--seconds N] [--all-nodes]\n";

std::atomic<bool> g_stop{false};

extern "C" void requestStop(int)
{
    g_stop.store(true);
}

// "alice/Home", "All": the node's name under its ancestors. The two count nodes have
// internal names; they stand for the launcher badge and the tray icon.
QString nodePath(const RTTreeNodeManager &manager, const RTTreeNode *node)
{
    if (node == manager.systemWideCountNode())
        return QStringLiteral("badge");
    if (node == manager.statusIconCountNode())
        return QStringLiteral("tray icon");
    QStringList names;
    for (const RTTreeNode *n = node; n; n = n->parentNode())
        names.prepend(n->name());
    return names.join(QLatin1Char('/'));
}

// Nodes the outline does not show (and their children) are left out unless asked for.
bool isShown(const RTTreeNode *node)
{
    for (const RTTreeNode *n = node; n; n = n->parentNode()) {
        if (!n->shouldAppearInOutlineView())
            return false;
    }
    return !node->name().isEmpty();
}

class Printer : public QObject
{
public:
    Printer(RTTreeNodeManager &manager, QTextStream &out, bool allNodes)
        : m_manager(manager)
        , m_out(out)
        , m_allNodes(allNodes)
    {
        // Batches arrive on request workers: collect on the main thread, print once the
        // batch has had time to pass every node.
        connect(
            &manager, &RTTreeNodeManager::messagesAddedToNode, this,
            [this](RTTreeNode *node, const QList<RTMessagePtr> &messages) {
                QPointer<RTTreeNode> weak(node);
                const QString path = nodePath(m_manager, node);
                QMetaObject::invokeMethod(
                    this, [this, weak, path, messages] { collect(weak, path, messages); },
                    Qt::QueuedConnection);
            },
            Qt::DirectConnection);
    }

private:
    void collect(const QPointer<RTTreeNode> &node, const QString &path,
                 const QList<RTMessagePtr> &messages)
    {
        // The count nodes take every unseen message; their counts are printed below.
        if (!node || !wanted(node) || node == m_manager.systemWideCountNode() ||
            node == m_manager.statusIconCountNode())
            return;
        for (const RTMessagePtr &message : messages) {
            if (!m_pending.contains(message->messageId()))
                m_order.append(message);
            m_pending[message->messageId()].append(path);
        }
        if (!m_flushQueued) {
            m_flushQueued = true;
            QTimer::singleShot(200, this, [this] { flush(); });
        }
    }

    void flush()
    {
        m_flushQueued = false;
        for (const RTMessagePtr &message : std::as_const(m_order)) {
            const auto author = std::dynamic_pointer_cast<RTUserTwitter>(message->user());
            QString body = message->body();
            body.replace(QLatin1Char('\n'), QLatin1Char(' '));
            m_out << message->messageId() << "\t@" << (author ? author->screenName() : QString())
                  << "\t[" << CtlTwitterSession::flagWords(*message) << "]\t" << body << "\n";
            QStringList nodes = m_pending.value(message->messageId());
            nodes.removeDuplicates();
            m_out << "    in: " << nodes.join(QStringLiteral(", ")) << "\n";
        }
        m_order.clear();
        m_pending.clear();
        printCounts();
        m_out.flush();
    }

    [[nodiscard]] bool wanted(const RTTreeNode *node) const
    {
        if (node == m_manager.systemWideCountNode() || node == m_manager.statusIconCountNode())
            return true;
        return m_allNodes ? !node->name().isEmpty() : isShown(node);
    }

    void printCounts()
    {
        QStringList counts;
        const auto add = [this, &counts](const RTTreeNode *node) {
            if (wanted(node))
                counts << QStringLiteral("%1=%2")
                              .arg(nodePath(m_manager, node))
                              .arg(node->newMessagesCount());
        };
        for (RTTreeNode *node : m_manager.allTreeNodes())
            add(node);
        for (RTTreeNode *node : m_allNodes ? m_manager.combinedToolbarTreeNodes()
                                           : m_manager.visibleCombinedToolbarTreeNodes())
            add(node);
        add(m_manager.systemWideCountNode());
        add(m_manager.statusIconCountNode());
        m_out << "unseen: " << counts.join(QStringLiteral(", ")) << "\n";
    }

    RTTreeNodeManager &m_manager;
    QTextStream &m_out;
    QList<RTMessagePtr> m_order;
    QHash<QString, QStringList> m_pending;
    bool m_flushQueued = false;
    bool m_allNodes = false;
};

} // namespace

int cmdWatch(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile;
    int seconds = 0;
    bool allNodes = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--profile") && hasValue) {
            profile = args.at(++i);
        } else if (arg == QLatin1String("--all-nodes")) {
            allNodes = true;
        } else if (arg == QLatin1String("--seconds") && hasValue) {
            bool ok = false;
            seconds = args.at(++i).toInt(&ok);
            if (!ok || seconds < 1) {
                err << "--seconds takes a positive number\n";
                return 2;
            }
        } else {
            err << kUsage;
            return 2;
        }
    }
    if (profile.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 1;

    TADataManager &store = TADataManager::sharedManager();
    int accounts = 0;
    for (const RTServicePtr &service : store.services()) {
        auto *account = qobject_cast<RTServiceTwitter *>(service.get());
        if (account) {
            if (const QString refusal = account->hostProfileRefusal(); !refusal.isEmpty()) {
                err << "talvoctl watch: " << refusal << "\n";
                continue;
            }
            account->loadOAuthTokens();
            accounts += account->oauthToken().isEmpty() ? 0 : 1;
        }
    }
    QObject facebookPrinter;
    accounts += watchFacebookAccounts(&facebookPrinter, out, err);
    if (accounts == 0) {
        err << "no logged-in account of this profile in the store; run talvoctl login "
               "first\n";
        return 1;
    }

    RTTreeNodeManager &manager = RTTreeNodeManager::sharedManager();
    Printer printer(manager, out, allNodes);
    // The companion service: trends, and the dated mutes that move messages to Muted.
    RTCompanionClient &companion = RTCompanionClient::talvoService();
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    QEventLoop loop;
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&loop] {
        if (g_stop.load())
            loop.quit();
    });
    stopPoll.start(100);
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    err << "watching the timelines of " << accounts << (accounts == 1 ? " account" : " accounts")
        << "; stop with Ctrl-C\n";
    err.flush();
    store.startupServices();
    companion.startWithNodeManager(manager);
    loop.exec();
    companion.stop();

    for (const RTServicePtr &service : store.services())
        service->stop();
    store.saveCachesToDisk();
    err << "store saved: " << accounts << (accounts == 1 ? " account" : " accounts")
        << " with the flags of their messages, in " << TAUtility::applicationSupportFolder()
        << "\n";
    return 0;
}
