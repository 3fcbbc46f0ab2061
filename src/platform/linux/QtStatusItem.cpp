#include "platform/linux/QtStatusItem.h"

#include "foundation/Localization.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QSystemTrayIcon>

namespace {

// A speech bubble; filled with the highlight colour and carrying the count when new
// messages wait.
QPixmap bubble(int size, bool filled, int count)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette palette = QApplication::palette();
    const qreal s = size;
    QPainterPath path;
    path.addRoundedRect(QRectF(s * 0.06, s * 0.08, s * 0.88, s * 0.66), s * 0.18, s * 0.18);
    QPolygonF tail;
    tail << QPointF(s * 0.28, s * 0.70) << QPointF(s * 0.22, s * 0.95)
         << QPointF(s * 0.50, s * 0.72);
    path.addPolygon(tail);
    path = path.simplified();
    if (filled) {
        p.fillPath(path, palette.color(QPalette::Highlight));
        if (count > 0) {
            QFont font = p.font();
            font.setBold(true);
            font.setPixelSize(int(s * (count > 99 ? 0.30 : 0.42)));
            p.setFont(font);
            p.setPen(palette.color(QPalette::HighlightedText));
            p.drawText(QRectF(s * 0.06, s * 0.08, s * 0.88, s * 0.66), Qt::AlignCenter,
                       count > 999 ? QStringLiteral("999+") : QString::number(count));
        }
    } else {
        p.setPen(QPen(palette.color(QPalette::WindowText), s / 11.0));
        p.drawPath(path);
    }
    return pixmap;
}

QIcon drawnIcon(bool filled, int count)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(bubble(size, filled, count));
    return icon;
}

} // namespace

QtStatusItem::QtStatusItem(QObject *parent)
    : QObject(parent)
{
}

QtStatusItem::~QtStatusItem()
{
    if (StatusItem::hasShared() && &StatusItem::shared() == this)
        StatusItem::setShared(nullptr);
}

QIcon QtStatusItem::normalIcon()
{
    return drawnIcon(false, 0);
}

QIcon QtStatusItem::newMessagesIcon(int count)
{
    return drawnIcon(true, count);
}

bool QtStatusItem::addStatusItem(const Handlers &handlers)
{
    m_handlers = handlers;
    if (m_tray)
        return true;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    m_menu = std::make_unique<QMenu>();
    QAction *preferences = m_menu->addAction(localizedString("##QtStatusItem:0##"));
    connect(preferences, &QAction::triggered, this, [this] {
        if (m_handlers.preferences)
            m_handlers.preferences();
    });
    m_tray = std::make_unique<QSystemTrayIcon>(normalIcon());
    m_tray->setToolTip(localizedString("##QtStatusItem:1##"));
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (!m_handlers.clicked)
                    return;
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    m_handlers.clicked(Click::Primary);
                    break;
                case QSystemTrayIcon::DoubleClick:
                    m_handlers.clicked(Click::Double);
                    break;
                case QSystemTrayIcon::Context:
                case QSystemTrayIcon::MiddleClick:
                    m_handlers.clicked(Click::Secondary);
                    break;
                case QSystemTrayIcon::Unknown:
                    break;
                }
            });
    m_tray->show();
    return true;
}

void QtStatusItem::removeStatusItem()
{
    m_tray.reset();
    m_menu.reset();
}

bool QtStatusItem::hasStatusItem() const
{
    return m_tray != nullptr;
}

void QtStatusItem::setNewMessages(bool newMessages, int count)
{
    if (!m_tray)
        return;
    m_tray->setIcon(newMessages ? newMessagesIcon(count) : normalIcon());
    m_tray->setToolTip(
        newMessages
            ? QStringLiteral("%1 (%2)").arg(localizedString("##QtStatusItem:1##")).arg(count)
            : localizedString("##QtStatusItem:1##"));
}
