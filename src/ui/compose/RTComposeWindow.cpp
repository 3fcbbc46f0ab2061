#include "ui/compose/RTComposeWindow.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "sharing/RTComposeDraft.h"
#include "sharing/RTDirectInputLineViewController.h"
#include "ui/compose/RTComposeLineWidget.h"
#include "ui/compose/TADirectInputLineTextView.h"

#include <QCloseEvent>
#include <QShortcut>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace {

QPointer<RTComposeWindow> &theWindow()
{
    static QPointer<RTComposeWindow> window;
    return window;
}

constexpr int kDraftDelayMs = 400;

} // namespace

RTComposeWindow::RTComposeWindow(const QString &draftFolder, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_box(new RTComposeLineWidget(RTComposeLineWidget::Mode::Window, this))
    , m_draft(std::make_unique<RTComposeDraft>(draftFolder))
{
    setWindowTitle(tr("New Post"));
    setAccessibleName(tr("Compose Window"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_box);
    resize(520, 220);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kDraftDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &RTComposeWindow::saveDraft);
    connect(m_box, &RTComposeLineWidget::accountChanged, this, [this] {
        watchController();
        m_saveTimer.start();
    });
    connect(m_box, &RTComposeLineWidget::posted, this, [this] {
        m_posted = true;
        m_saveTimer.stop();
        m_draft->remove();
        close();
    });
    auto *closeKey = new QShortcut(QKeySequence::Close, this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    restoreDraft();
    watchController();
}

RTComposeWindow::~RTComposeWindow()
{
    if (m_saveTimer.isActive())
        saveDraft();
}

void RTComposeWindow::watchController()
{
    if (RTDirectInputLineViewController *c = m_box->controller()) {
        connect(c, &RTDirectInputLineViewController::countChanged, &m_saveTimer,
                qOverload<>(&QTimer::start), Qt::UniqueConnection);
        connect(c, &RTDirectInputLineViewController::recipientChanged, &m_saveTimer,
                qOverload<>(&QTimer::start), Qt::UniqueConnection);
    }
}

void RTComposeWindow::saveDraft()
{
    m_saveTimer.stop();
    RTDirectInputLineViewController *c = m_box->controller();
    if (!c || !m_box->currentAccount())
        return;
    // Until the account has answered, the sent text is only in the draft.
    if (c->text().trimmed().isEmpty() && c->postsInFlight() > 0)
        return;
    if (c->text().trimmed().isEmpty() && c->failedPostText().isEmpty()) {
        m_draft->remove();
        return;
    }
    QVariantMap state = c->stateDictionary();
    if (c->text().trimmed().isEmpty())
        state.insert(QString::fromLatin1(RTDirectInputLineViewController::kStateText),
                     c->failedPostText());
    m_draft->save(m_box->currentAccount()->serviceId(), state);
}

void RTComposeWindow::restoreDraft()
{
    QString serviceId;
    QVariantMap state;
    if (!m_draft->load(&serviceId, &state))
        return;
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (s->serviceId() == serviceId && dynamic_cast<RTMessageSendingProtocol *>(s.get())) {
            m_box->selectAccount(s);
            break;
        }
    }
    if (RTDirectInputLineViewController *c = m_box->controller()) {
        c->setupStateWithStateDictionary(state);
        c->setSelectedRange(c->text().size());
    }
}

void RTComposeWindow::takeUrl(const QString &url)
{
    RTDirectInputLineViewController *c = m_box->controller();
    if (!c || url.isEmpty())
        return;
    const QUrl link(url);
    if (link.scheme() == QLatin1String("talvo")) {
        const QUrlQuery query(link);
        QString text = query.queryItemValue(QStringLiteral("text"), QUrl::FullyDecoded);
        if (text.isEmpty())
            text = query.queryItemValue(QStringLiteral("status"), QUrl::FullyDecoded);
        if (text.isEmpty())
            return;
        const QString joined = c->text().isEmpty() ? text : c->text() + QLatin1Char(' ') + text;
        c->setText(joined.left(RTDirectInputLineViewController::kHardTextCeiling));
        c->setSelectedRange(c->text().size());
        c->dealWithMessage(c->text());
        return;
    }
    if (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"))
        c->addAndShortenURL(url);
}

RTComposeWindow *RTComposeWindow::showDirectInputWindowForUrl(const QString &url,
                                                              const QString &draftFolder)
{
    QPointer<RTComposeWindow> &window = theWindow();
    if (!window) {
        window = new RTComposeWindow(draftFolder);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->takeUrl(url);
    window->show();
    window->raise();
    window->activateWindow();
    window->m_box->focusTextBox();
    return window;
}

void RTComposeWindow::closeAllDirectInputWindows()
{
    if (QPointer<RTComposeWindow> &window = theWindow())
        window->close();
}

void RTComposeWindow::closeEvent(QCloseEvent *event)
{
    if (!m_posted)
        saveDraft();
    QWidget::closeEvent(event);
}
