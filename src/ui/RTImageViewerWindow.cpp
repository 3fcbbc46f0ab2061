#include "ui/RTImageViewerWindow.h"

#include "text/RTInlineImageObject.h"

#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

RTImageViewerWindow::RTImageViewerWindow(const QVariantMap &record, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_object(new RTInlineImageObject(record, this))
    , m_picture(new QLabel(this))
    , m_status(new QLabel(tr("Loading picture…"), this))
    , m_openButton(new QPushButton(tr("Open in Browser"), this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    const QString host = QUrl(m_object->standardLink()).host();
    setWindowTitle(host.isEmpty() ? tr("Picture") : tr("Picture on %1").arg(host));
    setAccessibleName(windowTitle());
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setAccessibleName(tr("Picture"));
    m_picture->setMinimumSize(200, 150);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setAccessibleName(tr("Picture status"));
    m_openButton->setAccessibleName(tr("Open in Browser"));
    auto *close = new QPushButton(tr("Close"), this);
    close->setAccessibleName(tr("Close"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_openButton);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_picture, 1);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_openButton, &QPushButton::clicked, this,
            [this] { emit openLinkRequested(m_object->standardLink()); });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    connect(m_object, &RTInlineImageObject::inlineImageChanged, this,
            &RTImageViewerWindow::showPicture);
    connect(m_object, &RTInlineImageObject::inlineImageFailed, this,
            &RTImageViewerWindow::showFailure);
    m_object->getTheInlineImage();
}

RTImageViewerWindow::~RTImageViewerWindow() = default;

QSize RTImageViewerWindow::shownPictureSize() const
{
    const QPixmap pixmap = m_picture->pixmap();
    return pixmap.isNull() ? QSize() : pixmap.deviceIndependentSize().toSize();
}

void RTImageViewerWindow::showPicture()
{
    const QImage image = QImage::fromData(m_object->inlineImage());
    if (image.isNull()) {
        showFailure();
        return;
    }
    const QSize size =
        RTInlineImageObject::displaySize(image.size(), RTInlineImageObject::inlineImageSizeLimit());
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap =
        QPixmap::fromImage(image.scaled(size * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(dpr);
    m_picture->setPixmap(pixmap);
    m_status->setText(tr("%1 × %2").arg(image.width()).arg(image.height()));
    adjustSize();
    setState(QStringLiteral("shown"));
}

void RTImageViewerWindow::showFailure()
{
    m_picture->setText(tr("The picture could not be loaded."));
    m_status->clear();
    setState(QStringLiteral("failed"));
}

void RTImageViewerWindow::setState(const QString &state)
{
    m_state = state;
    emit stateChanged(state);
}
