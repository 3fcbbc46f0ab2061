#include "ui/compose/RTComposeLineWidget.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "sharing/RTDirectInputLineViewController.h"
#include "sharing/RTImageUploader.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "ui/compose/TADirectInputLineTextView.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString accountLabel(const RTServicePtr &account)
{
    const auto *sending = dynamic_cast<const RTMessageSendingProtocol *>(account.get());
    const QString name = sending ? sending->directInputServiceName() : QString();
    return name.isEmpty() ? account->serviceId() : name;
}

// The compose line's menu tag of the Shrink command: usable once the text has five
// characters.
constexpr int kShrinkMenuTag = 102;

} // namespace

RTComposeLineWidget::RTComposeLineWidget(Mode mode, QWidget *parent)
    : QWidget(parent)
    , m_mode(mode)
    , m_accounts(new QComboBox(this))
    , m_recipient(new QLabel(this))
    , m_textBox(new TADirectInputLineTextView(this))
    , m_counter(new QLabel(this))
    , m_pictureButton(new QToolButton(this))
    , m_shrinkButton(new QToolButton(this))
    , m_progress(new QProgressBar(this))
    , m_cancelUpload(new QToolButton(this))
    , m_post(new QPushButton(tr("Post"), this))
    , m_status(new QLabel(this))
    , m_restore(new QToolButton(this))
{
    m_accounts->setAccessibleName(tr("Account"));
    m_accounts->setToolTip(tr("The account that posts (hold Alt to move the text to it)"));
    m_recipient->setAccessibleName(tr("Recipient"));
    m_recipient->hide();
    m_textBox->setMultiLine(mode == Mode::Window);
    m_counter->setAccessibleName(tr("Characters left"));
    m_counter->setMinimumWidth(m_counter->fontMetrics().horizontalAdvance(QStringLiteral("-1500")));
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pictureButton->setText(tr("Picture…"));
    m_pictureButton->setIcon(QIcon::fromTheme(QStringLiteral("insert-image")));
    m_pictureButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_pictureButton->setAccessibleName(tr("Add a picture"));
    m_shrinkButton->setText(tr("Shrink"));
    m_shrinkButton->setToolTip(tr("Ask for a shorter wording of the text (Ctrl+Shift+K)"));
    m_shrinkButton->setAccessibleName(tr("Shrink the text"));
    m_shrinkButton->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+K")));
    m_shrinkButton->setEnabled(false);
    m_progress->setAccessibleName(tr("Picture upload"));
    m_progress->setMaximumWidth(120);
    m_progress->hide();
    m_cancelUpload->setText(tr("Cancel"));
    m_cancelUpload->setAccessibleName(tr("Cancel the picture upload"));
    m_cancelUpload->hide();
    m_post->setAccessibleName(tr("Post"));
    m_post->setDefault(mode == Mode::Window);
    m_status->setAccessibleName(tr("Compose status"));
    m_status->setWordWrap(true);
    m_status->hide();
    m_restore->setText(tr("Bring back the failed post"));
    m_restore->setAccessibleName(tr("Bring back the failed post"));
    m_restore->hide();

    auto *statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(0, 0, 0, 0);
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_restore);
    auto *layout = new QVBoxLayout(this);
    if (mode == Mode::Line) {
        // One row under the message list: the text takes the width between the controls.
        auto *row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(m_accounts, 0, Qt::AlignTop);
        row->addWidget(m_recipient, 0, Qt::AlignTop);
        row->addWidget(m_textBox, 1);
        row->addWidget(m_counter, 0, Qt::AlignTop);
        row->addWidget(m_pictureButton, 0, Qt::AlignTop);
        row->addWidget(m_shrinkButton, 0, Qt::AlignTop);
        row->addWidget(m_progress, 0, Qt::AlignTop);
        row->addWidget(m_cancelUpload, 0, Qt::AlignTop);
        row->addWidget(m_post, 0, Qt::AlignTop);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->setSpacing(2);
        layout->addLayout(row);
    } else {
        // A window of its own: who posts on top, the text across the whole width, the
        // actions under it with Post at the right as in a dialog.
        auto *top = new QHBoxLayout;
        top->setContentsMargins(0, 0, 0, 0);
        top->addWidget(m_accounts);
        top->addWidget(m_recipient, 1);
        top->addStretch(0);
        auto *actions = new QHBoxLayout;
        actions->setContentsMargins(0, 0, 0, 0);
        actions->addWidget(m_pictureButton);
        actions->addWidget(m_shrinkButton);
        actions->addWidget(m_progress);
        actions->addWidget(m_cancelUpload);
        actions->addStretch(1);
        actions->addWidget(m_counter);
        actions->addWidget(m_post);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        layout->addLayout(top);
        layout->addWidget(m_textBox, 1);
        layout->addLayout(actions);
    }
    layout->addLayout(statusRow);
    setTabOrder(m_accounts, m_textBox);
    setTabOrder(m_textBox, m_pictureButton);
    setTabOrder(m_pictureButton, m_shrinkButton);
    setTabOrder(m_shrinkButton, m_post);

    connect(m_accounts, &QComboBox::activated, this, [this](int index) {
        const QString id = m_accounts->itemData(index).toString();
        for (const RTServicePtr &s : RTServiceRegistry::shared().services())
            if (s->description() == id)
                selectAccount(s, QApplication::keyboardModifiers() & Qt::AltModifier);
    });
    connect(m_post, &QPushButton::clicked, this, [this] {
        if (m_controller)
            m_controller->send();
    });
    connect(m_pictureButton, &QToolButton::clicked, this, &RTComposeLineWidget::choosePicture);
    connect(m_shrinkButton, &QToolButton::clicked, this, &RTComposeLineWidget::shrink);
    connect(m_cancelUpload, &QToolButton::clicked, this, [this] {
        if (m_controller)
            m_controller->cancelUpload();
    });
    connect(m_restore, &QToolButton::clicked, this, [this] {
        if (m_controller)
            m_controller->restoreFailedPost();
        setStatus(QString(), false);
    });
    connect(m_textBox, &TADirectInputLineTextView::picturesOffered, this,
            [this](const QStringList &files, const QImage &image) {
                if (!files.isEmpty())
                    sharePictureFile(files.first());
                else
                    sharePicture(image);
            });
    connect(&RTServiceRegistry::shared(), &RTServiceRegistry::servicesChanged, this,
            &RTComposeLineWidget::reloadAccounts);
    reloadAccounts();
}

RTComposeLineWidget::~RTComposeLineWidget()
{
    m_textBox->setController(nullptr);
    qDeleteAll(m_ownControllers);
}

void RTComposeLineWidget::reloadAccounts()
{
    m_reloading = true;
    m_accounts->clear();
    RTServicePtr keep;
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (!dynamic_cast<RTMessageSendingProtocol *>(s.get()) || s->isDeleted())
            continue;
        m_accounts->addItem(accountLabel(s), s->description());
        if (s == m_account)
            keep = s;
    }
    m_reloading = false;
    if (keep) {
        m_accounts->setCurrentIndex(m_accounts->findData(keep->description()));
    } else {
        RTServicePtr first;
        for (const RTServicePtr &s : RTServiceRegistry::shared().services())
            if (!first && dynamic_cast<RTMessageSendingProtocol *>(s.get()) && !s->isDeleted())
                first = s;
        selectAccount(first);
    }
    m_accounts->setVisible(m_accounts->count() > 1);
}

RTDirectInputLineViewController *RTComposeLineWidget::controllerFor(const RTServicePtr &account)
{
    if (!account)
        return nullptr;
    if (m_mode == Mode::Line)
        return RTDirectInputLineViewController::directInputlineViewController(account);
    for (RTDirectInputLineViewController *own : m_ownControllers)
        if (own->service() == account)
            return own;
    RTDirectInputLineViewController *made =
        RTDirectInputLineViewController::newControllerForService(account);
    if (made)
        m_ownControllers << made;
    return made;
}

void RTComposeLineWidget::selectAccount(const RTServicePtr &account, bool carryText)
{
    RTDirectInputLineViewController *next = controllerFor(account);
    if (next == m_controller && account == m_account)
        return;
    const QVariantMap carried =
        carryText && m_controller ? m_controller->stateDictionary() : QVariantMap();
    RTDirectInputLineViewController *previous = m_controller;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_account = account;
    m_controller = next;
    m_textBox->setController(next);
    if (account)
        m_accounts->setCurrentIndex(m_accounts->findData(account->description()));
    if (next && !carried.isEmpty()) {
        next->setupStateWithStateDictionary(carried);
        if (previous)
            previous->clearDirectInputLine();
    }
    connectController();
    updateCounter();
    updateRecipient();
    setEnabled(next != nullptr);
    emit accountChanged(account);
}

void RTComposeLineWidget::connectController()
{
    RTDirectInputLineViewController *c = m_controller;
    if (!c)
        return;
    connect(c, &RTDirectInputLineViewController::countChanged, this,
            &RTComposeLineWidget::updateCounter);
    connect(c, &RTDirectInputLineViewController::recipientChanged, this,
            &RTComposeLineWidget::updateRecipient);
    connect(c, &RTDirectInputLineViewController::posted, this, [this](const QString &text) {
        setStatus(QString(), false);
        emit posted(text);
    });
    connect(c, &RTDirectInputLineViewController::postFailed, this, [this](const QString &message) {
        const QString why = message.isEmpty() ? tr("The post was not sent.")
                                              : tr("The post was not sent: %1").arg(message);
        setStatus(why, m_controller && !m_controller->failedPostText().isEmpty());
        emit showRequested();
    });
    connect(c, &RTDirectInputLineViewController::shorteningFailed, this,
            [this](const QString &url) {
                setStatus(tr("Could not shorten %1; the long link stays.").arg(url), false);
            });
    connect(c, &RTDirectInputLineViewController::uploadProgress, this,
            [this](qint64 sent, qint64 total) {
                // Per mille, so pictures of any size fit the bar's int range.
                m_progress->setRange(0, 1000);
                m_progress->setValue(int(total > 0 ? sent * 1000 / total : 0));
            });
    connect(c, &RTDirectInputLineViewController::uploadStarted, this, [this] {
        m_progress->setRange(0, 0); // busy until the first bytes are reported
        m_progress->show();
        m_cancelUpload->show();
        m_pictureButton->setEnabled(false);
        setStatus(tr("Uploading the picture…"), false);
    });
    connect(c, &RTDirectInputLineViewController::uploadFinished, this,
            [this](bool success, const QString &message) {
                m_progress->hide();
                m_cancelUpload->hide();
                m_pictureButton->setEnabled(true);
                if (success)
                    setStatus(QString(), false);
                else
                    setStatus(message.isEmpty()
                                  ? tr("The picture was not uploaded.")
                                  : tr("The picture was not uploaded: %1").arg(message),
                              false);
                m_textBox->setFocus();
            });
    connect(c, &RTDirectInputLineViewController::shrinkingChanged, this, [this](bool shrinking) {
        // Nothing may change the text or post it while the service has it.
        m_accounts->setEnabled(!shrinking);
        m_pictureButton->setEnabled(!shrinking && m_controller && !m_controller->isUploading());
        setStatus(shrinking ? tr("Shrinking the text…") : QString(), false);
        updateCounter();
    });
    connect(c, &RTDirectInputLineViewController::shrinkFailed, this, [this](const QString &why) {
        setStatus(tr("The text was not shrunk: %1").arg(why), false);
    });
    connect(c, &RTDirectInputLineViewController::showLineRequested, this,
            &RTComposeLineWidget::showRequested);
    connect(c, &RTDirectInputLineViewController::hideLineRequested, this,
            &RTComposeLineWidget::hideRequested);
    connect(c, &RTDirectInputLineViewController::messageListFocusRequested, this,
            &RTComposeLineWidget::messageListFocusRequested);
    const bool uploading = c->isUploading();
    m_progress->setVisible(uploading);
    m_cancelUpload->setVisible(uploading);
    m_pictureButton->setEnabled(!uploading);
}

void RTComposeLineWidget::updateCounter()
{
    RTDirectInputLineViewController *c = m_controller;
    if (!c) {
        m_counter->clear();
        m_post->setEnabled(false);
        m_shrinkButton->setEnabled(false);
        return;
    }
    m_counter->setVisible(c->limited());
    m_counter->setText(QString::number(c->remaining()));
    QFont font = m_counter->font();
    QPalette palette = m_counter->palette();
    switch (c->counterStyle()) {
    case RTDirectInputLineViewController::CounterStyle::Over:
        font.setBold(true);
        palette.setColor(QPalette::WindowText, QColor(Qt::red));
        break;
    case RTDirectInputLineViewController::CounterStyle::Warning:
        font.setBold(false);
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
        break;
    case RTDirectInputLineViewController::CounterStyle::Normal:
        font.setBold(false);
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        break;
    }
    m_counter->setFont(font);
    m_counter->setPalette(palette);
    m_post->setEnabled(c->isPostEnabled() && !c->isShrinking());
    m_shrinkButton->setEnabled(c->validateMenuItem(kShrinkMenuTag) && !c->isShrinking());
}

void RTComposeLineWidget::shrink()
{
    if (m_controller && m_controller->validateMenuItem(kShrinkMenuTag))
        m_controller->shrinkPost();
}

bool RTComposeLineWidget::isShrinkButtonEnabled() const
{
    return m_shrinkButton->isEnabled();
}

void RTComposeLineWidget::updateRecipient()
{
    const auto *twitter = qobject_cast<RTTwitterDirectInputLineViewController *>(m_controller);
    if (!twitter || twitter->actionImage().isEmpty()) {
        m_recipient->hide();
        return;
    }
    const bool direct = twitter->isDirect();
    const QString name = twitter->recipientToolTip();
    m_recipient->setText(direct ? tr("Message to @%1").arg(name)
                                : (name.isEmpty() ? tr("Reply") : tr("Reply to @%1").arg(name)));
    m_recipient->setToolTip(name);
    m_recipient->show();
}

void RTComposeLineWidget::setStatus(const QString &text, bool offerRestore)
{
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
    m_restore->setVisible(offerRestore);
}

void RTComposeLineWidget::focusTextBox()
{
    m_textBox->setFocus(Qt::ShortcutFocusReason);
}

void RTComposeLineWidget::pictureData(const QByteArray &jpeg)
{
    if (!m_controller)
        return;
    if (jpeg.isEmpty()) {
        setStatus(tr("That file is not a picture Talvo can read."), false);
        return;
    }
    m_controller->shareImageData(jpeg);
}

bool RTComposeLineWidget::sharePictureFile(const QString &path)
{
    const QByteArray jpeg = RTImageUploader::uploadDataFromFile(path);
    pictureData(jpeg);
    return !jpeg.isEmpty() && m_controller && m_controller->isUploading();
}

bool RTComposeLineWidget::sharePicture(const QImage &image)
{
    const QByteArray jpeg = RTImageUploader::getUploadDataFromImage(image);
    pictureData(jpeg);
    return !jpeg.isEmpty() && m_controller && m_controller->isUploading();
}

void RTComposeLineWidget::choosePicture()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Share"), pictures, tr("Pictures (*.jpg *.jpeg *.png *.gif *.bmp *.webp)"));
    if (!file.isEmpty())
        sharePictureFile(file);
}

QString RTComposeLineWidget::counterText() const
{
    return m_counter->text();
}

bool RTComposeLineWidget::counterIsOver() const
{
    return m_counter->font().bold();
}

bool RTComposeLineWidget::isPostButtonEnabled() const
{
    return m_post->isEnabled();
}

QString RTComposeLineWidget::statusText() const
{
    return m_status->isHidden() ? QString() : m_status->text();
}
