#include "ui/prefs/RTWelcomeView.h"

#include "foundation/HostProfile.h"
#include "store/TADataManager.h"
#include "twitter/RTTwitterAccountLogin.h"
#include "ui/RTUiIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kSandboxProfile = QStringLiteral("sandbox");
const QString kDemoPassword = QStringLiteral("sandbox");

// A wrapping label centred without an alignment flag, which would keep the layout from
// giving it the height its wrapped lines need.
QHBoxLayout *centred(QWidget *widget)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}
} // namespace

RTWelcomeView::RTWelcomeView(QWidget *parent)
    : QWidget(parent)
    , m_add(new QPushButton(tr("Add an account"), this))
    , m_progress(new QProgressBar(this))
    , m_message(new QLabel(this))
    , m_login(new RTTwitterAccountLogin(TADataManager::sharedManager(), this))
{
    setAccessibleName(tr("Welcome"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    const int h = fontMetrics().height();

    auto *icon = new QLabel(this);
    icon->setPixmap(RTUiIcons::icon(QStringLiteral("talvo"), palette().color(QPalette::Highlight))
                        .pixmap(h * 5, h * 5));
    icon->setAlignment(Qt::AlignCenter);
    auto *title = new QLabel(tr("Welcome to Talvo"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(tr("Add your Twitter account to read your timelines, mentions and "
                               "direct messages in one calm window."),
                            this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setFixedWidth(h * 28);
    m_add->setObjectName(QStringLiteral("welcomeAdd"));
    m_add->setDefault(true);
    m_add->setMinimumWidth(h * 14);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(h * 16);
    m_progress->setAccessibleName(tr("Logging in"));
    m_progress->hide();
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setFixedWidth(h * 28);
    m_message->setObjectName(QStringLiteral("welcomeMessage"));

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(2);
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addSpacing(h / 2);
    layout->addLayout(centred(text));
    layout->addSpacing(h);
    layout->addWidget(m_add, 0, Qt::AlignHCenter);
    if (HostProfile::current().name() == kSandboxProfile) {
        m_demo = new QPushButton(tr("Try the demo account"), this);
        m_demo->setObjectName(QStringLiteral("welcomeDemo"));
        m_demo->setMinimumWidth(h * 14);
        m_demo->setToolTip(tr("Logs in @%1 on the local sandbox").arg(demoScreenName()));
        layout->addWidget(m_demo, 0, Qt::AlignHCenter);
        connect(m_demo, &QPushButton::clicked, this, &RTWelcomeView::tryDemoAccount);
    }
    layout->addSpacing(h / 2);
    layout->addWidget(m_progress, 0, Qt::AlignHCenter);
    layout->addLayout(centred(m_message));
    layout->addStretch(3);

    connect(m_add, &QPushButton::clicked, this, &RTWelcomeView::addAccountRequested);
    connect(m_login, &RTTwitterAccountLogin::succeeded, this, [this] {
        setBusy(false);
        m_message->clear();
    });
    connect(m_login, &RTTwitterAccountLogin::failed, this, [this](const QString &sentence) {
        setBusy(false);
        m_message->setText(sentence);
    });
}

QString RTWelcomeView::demoScreenName()
{
    const QString configured = qEnvironmentVariable("TALVO_DEMO_ACCOUNT");
    return configured.isEmpty() ? QStringLiteral("alice") : configured;
}

QString RTWelcomeView::messageText() const
{
    return m_message->text();
}

bool RTWelcomeView::isBusy() const
{
    return m_login->isBusy();
}

void RTWelcomeView::tryDemoAccount()
{
    if (!m_login->start(demoScreenName(), kDemoPassword)) {
        m_message->setText(m_login->errorSentence());
        return;
    }
    m_message->setText(tr("Logging in @%1 on the sandbox…").arg(demoScreenName()));
    setBusy(true);
}

void RTWelcomeView::setBusy(bool busy)
{
    m_progress->setVisible(busy);
    m_add->setEnabled(!busy);
    if (m_demo)
        m_demo->setEnabled(!busy);
}
