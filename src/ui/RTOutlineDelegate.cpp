#include "ui/RTOutlineDelegate.h"

#include "ui/RTOutlineModel.h"
#include "ui/RTUiIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QColor blend(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t),
                            float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}
} // namespace

QString RTOutlineDelegate::badgeText(int count)
{
    if (count <= 0)
        return {};
    return count > 999 ? QStringLiteral("999+") : QString::number(count);
}

QSize RTOutlineDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const int h = option.fontMetrics.height();
    const bool root = index.data(RTOutlineModel::IsRootRole).toBool();
    return QSize(option.rect.width(), root ? h * 2 : h + h * 3 / 4);
}

void RTOutlineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = option.palette;
    const QRect r = option.rect;
    const int h = option.fontMetrics.height();
    const bool root = index.data(RTOutlineModel::IsRootRole).toBool();
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = option.state & QStyle::State_HasFocus;
    const QColor window = pal.color(QPalette::Window);
    const QColor text = pal.color(QPalette::WindowText);
    const QColor accent = pal.color(QPalette::Highlight);

    if (selected) {
        QPainterPath path;
        path.addRoundedRect(QRectF(r).adjusted(2, 1, -4, -1), h * 0.3, h * 0.3);
        painter->fillPath(path, blend(window, accent, focused ? 0.28 : 0.18));
    } else if (option.state & QStyle::State_MouseOver) {
        QPainterPath path;
        path.addRoundedRect(QRectF(r).adjusted(2, 1, -4, -1), h * 0.3, h * 0.3);
        painter->fillPath(path, blend(window, text, 0.06));
    }

    int x = r.left() + h / 3;
    const QString name = index.data(Qt::DisplayRole).toString();
    QFont font = option.font;
    QColor nameColor = text;
    if (root) {
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 0.9);
        nameColor = blend(text, window, 0.35);
        painter->setFont(font);
    } else {
        const int iconSize = h;
        const QString iconName =
            RTUiIcons::iconNameForImage(index.data(RTOutlineModel::ImageNameRole).toString());
        if (!iconName.isEmpty()) {
            const QColor iconColor = selected ? accent : blend(text, window, 0.3);
            RTUiIcons::icon(iconName, iconColor)
                .paint(painter,
                       QRect(x, r.top() + (r.height() - iconSize) / 2, iconSize, iconSize));
        }
        x += iconSize + h / 2;
    }

    // Count pill.
    const int count = index.data(RTOutlineModel::CountRole).toInt();
    const QString badge = badgeText(count);
    int right = r.right() - h / 2;
    if (!badge.isEmpty()) {
        QFont badgeFont = option.font;
        badgeFont.setBold(true);
        badgeFont.setPointSizeF(option.font.pointSizeF() * 0.85);
        const QFontMetrics bm(badgeFont);
        const int bh = bm.height() + 2;
        const int bw = std::max(bh + 2, bm.horizontalAdvance(badge) + bh * 3 / 4);
        const QRect pill(right - bw, r.top() + (r.height() - bh) / 2, bw, bh);
        QPainterPath path;
        path.addRoundedRect(pill, bh / 2.0, bh / 2.0);
        painter->fillPath(path, accent);
        painter->setFont(badgeFont);
        painter->setPen(pal.color(QPalette::HighlightedText));
        painter->drawText(pill, Qt::AlignCenter, badge);
        right = pill.left() - h / 3;
    }

    if (root) {
        font.setCapitalization(QFont::AllUppercase);
        font.setLetterSpacing(QFont::PercentageSpacing, 106);
    } else if (count > 0) {
        font.setWeight(QFont::DemiBold);
    }
    painter->setFont(font);
    painter->setPen(nameColor);
    const QFontMetrics fm(font);
    const QRect textRect(x, r.top(), std::max(0, right - x), r.height());
    painter->drawText(textRect, Qt::AlignLeft | (root ? Qt::AlignBottom : Qt::AlignVCenter),
                      fm.elidedText(name, Qt::ElideRight, textRect.width()));
    painter->restore();
}
