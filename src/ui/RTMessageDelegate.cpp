#include "ui/RTMessageDelegate.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "model/TimeCalculator.h"
#include "text/RTLinkExpansionQueue.h"
#include "text/RTMessageTextParser.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTUiIcons.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>
#include <QTextLine>
#include <QUrl>

namespace {
constexpr int kMaxCachedBodies = 4000;
constexpr int kMaxThumbnails = 4;

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(
        float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
        float(a.blueF() * (1 - t) + b.blueF() * t), float(a.alphaF() * (1 - t) + b.alphaF() * t));
}

QString initials(const QString &name)
{
    QString out;
    for (const QString &part : name.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        out += part.at(0).toUpper();
        if (out.size() == 2)
            break;
    }
    return out.isEmpty() ? QStringLiteral("?") : out;
}

// A stable soft colour per author for the initials placeholder.
QColor placeholderColor(const QString &name, const QPalette &palette)
{
    const int hue = int(qHash(name) % 360);
    QColor c = QColor::fromHsl(hue, 90, 150);
    return mix(c, palette.color(QPalette::Base), 0.25);
}

QString markerText(const RTMessage &message)
{
    const auto *tweet = dynamic_cast<const RTMessageTwitter *>(&message);
    if (!tweet)
        return {};
    QStringList parts;
    if (tweet->isRetweet()) {
        const auto by = tweet->retweeter();
        parts << (by ? QObject::tr("RT by @%1").arg(by->screenName()) : QObject::tr("Retweet"));
    }
    if (tweet->isPrivate())
        parts << QObject::tr("Direct");
    else if (!tweet->inReplyToUserName().isEmpty())
        parts << QObject::tr("to @%1").arg(tweet->inReplyToUserName());
    return parts.join(QStringLiteral(" · "));
}
} // namespace

RTMessageDelegate::RTMessageDelegate(RTMessageListModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
{
    // Expanded links change the texts and the pictures found in them: lay the rows out
    // again.
    connect(&RTLinkExpansionQueue::shared(), &RTLinkExpansionQueue::expansionsArrived, this,
            [this] {
                invalidate();
                emit sizeHintChanged(QModelIndex());
            });
}

void RTMessageDelegate::invalidate()
{
    m_bodies.clear();
}

QFont RTMessageDelegate::bodyFont(const QStyleOptionViewItem &option) const
{
    QFont font = option.font;
    const double size = SettingsStore::shared().floatForKey(QLatin1String(TAMessageFontSizeKey));
    // The stored size is in the desktop's points of old; keep it near the system font.
    if (size >= 9.0 && size <= 13.0)
        font.setPointSizeF(std::max(font.pointSizeF(), size));
    return font;
}

RTMessageDelegate::Metrics RTMessageDelegate::metrics(const QStyleOptionViewItem &option) const
{
    const QFontMetrics fm(option.font);
    Metrics m{};
    m.lineHeight = fm.height();
    m.pad = std::max(6, int(m.lineHeight * 0.7));
    m.avatar = int(m.lineHeight * 2.7);
    m.gap = std::max(6, int(m.lineHeight * 0.65));
    m.accent = std::max(3, m.lineHeight / 6);
    m.indent = m.avatar / 2 + m.pad;
    return m;
}

int RTMessageDelegate::textLeft(const QStyleOptionViewItem &option, const QModelIndex &index,
                                const Metrics &m) const
{
    const bool inConversation = m_model.isConversationRow(index.row());
    const int avatar = inConversation ? m.avatar * 2 / 3 : m.avatar;
    return option.rect.left() + m.pad + (inConversation ? m.indent : 0) + avatar + m.gap;
}

QRect RTMessageDelegate::bodyRect(const QStyleOptionViewItem &option, const QModelIndex &index,
                                  const Metrics &m) const
{
    const int left = textLeft(option, index, m);
    const int top = option.rect.top() + m.pad + m.lineHeight + m.lineHeight / 6;
    return QRect(left, top, std::max(40, option.rect.right() - m.pad - left), 0);
}

RTStyledText RTMessageDelegate::styledBody(const RTMessage &message)
{
    const QString text = message.isTranslated() && !message.translatedBody().isEmpty()
                             ? message.translatedBody()
                             : message.body();
    RTStyledText styled = RTMessageTextParser::parse(text);
    if (SettingsStore::shared().boolForKey(QLatin1String(RTShouldResolveShortURLsKey))) {
        RTLinkExpansionQueue::shared().expandLinksIn(text);
        styled = RTLinkExpansionQueue::withExpansions(styled);
    }
    if (!message.highlightTerms().isEmpty())
        styled =
            RTMessageTextParser::highlightTermsInAttributeMessage(styled, message.highlightTerms());
    return styled;
}

const RTMessageDelegate::Body &RTMessageDelegate::body(const RTMessage &message, const QFont &font,
                                                       int width, const QPalette &palette) const
{
    Body &b = m_bodies[&message];
    const QString text = message.isTranslated() && !message.translatedBody().isEmpty()
                             ? message.translatedBody()
                             : message.body();
    if (b.layout && b.text == text && b.width == width && b.layout->font() == font)
        return b;
    if (m_bodies.size() > kMaxCachedBodies) {
        m_bodies.clear();
        return body(message, font, width, palette);
    }
    if (b.text != text || !b.layout) {
        b.text = text;
        b.styled = styledBody(message);
        // Pictures of the expanded text, so a short link that led to a picture page counts.
        b.pictures = RTMessageTextParser::imagersInMessageText(
            RTLinkExpansionQueue::withExpansions(RTMessageTextParser::parse(text),
                                                 int(RTMessageTextParser::kMaxTextLength))
                .text());
        if (b.pictures.size() > kMaxThumbnails)
            b.pictures.resize(kMaxThumbnails);
    }
    auto layout = std::make_shared<QTextLayout>(b.styled.text(), font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    textOption.setTextDirection(Qt::LayoutDirectionAuto);
    layout->setTextOption(textOption);
    QList<QTextLayout::FormatRange> formats;
    for (const RTTextRun &run : b.styled.runs()) {
        if (run.attributes.link.isEmpty() && !run.attributes.bold)
            continue;
        QTextLayout::FormatRange range;
        range.start = int(run.start);
        range.length = int(run.length);
        if (!run.attributes.link.isEmpty())
            range.format.setForeground(palette.color(QPalette::Link));
        if (run.attributes.bold)
            range.format.setFontWeight(QFont::DemiBold);
        formats << range;
    }
    layout->setFormats(formats);
    layout->beginLayout();
    qreal y = 0;
    while (true) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout->endLayout();
    b.layout = layout;
    b.width = width;
    b.height = int(std::ceil(y));
    return b;
}

QSize RTMessageDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const RTMessagePtr message = m_model.messageAt(index.row());
    QStyleOptionViewItem opt = option;
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        opt.rect.setWidth(view->viewport()->width());
    const Metrics m = metrics(opt);
    if (!message)
        return QSize(opt.rect.width(), m.avatar + 2 * m.pad);
    const QRect rect = bodyRect(opt, index, m);
    const Body &b = body(*message, bodyFont(opt), rect.width(), opt.palette);
    const int pictures = b.pictures.isEmpty() ? 0 : m.gap / 2 + kThumbnailSize;
    const int textHeight = (rect.top() - opt.rect.top()) + b.height + pictures + m.pad;
    const bool inConversation = m_model.isConversationRow(index.row());
    const int avatar = inConversation ? m.avatar * 2 / 3 : m.avatar;
    return QSize(opt.rect.width(), std::max(textHeight, avatar + 2 * m.pad));
}

QRect RTMessageDelegate::quickActionRect(const QStyleOptionViewItem &option,
                                         QuickAction action) const
{
    const Metrics m = metrics(option);
    const int size = m.lineHeight + m.lineHeight / 3;
    const int right = option.rect.right() - m.pad;
    const int index = MoreAction - int(action); // laid out from the right
    return QRect(right - (index + 1) * size - index * (m.gap / 2), option.rect.top() + m.pad / 2,
                 size, size);
}

RTMessageDelegate::QuickAction RTMessageDelegate::quickActionAt(const QStyleOptionViewItem &option,
                                                                const QPoint &pos) const
{
    for (int a = ReplyAction; a <= MoreAction; ++a) {
        if (quickActionRect(option, QuickAction(a)).contains(pos))
            return QuickAction(a);
    }
    return NoAction;
}

QString RTMessageDelegate::linkAt(const QStyleOptionViewItem &option, const QModelIndex &index,
                                  const QPoint &pos) const
{
    const RTMessagePtr message = m_model.messageAt(index.row());
    if (!message)
        return {};
    const Metrics m = metrics(option);
    const QRect rect = bodyRect(option, index, m);
    const Body &b = body(*message, bodyFont(option), rect.width(), option.palette);
    const QPointF local = pos - rect.topLeft();
    for (int i = 0; i < b.layout->lineCount(); ++i) {
        const QTextLine line = b.layout->lineAt(i);
        const QRectF lineRect = line.naturalTextRect();
        if (local.y() < lineRect.top() || local.y() >= lineRect.bottom())
            continue;
        if (local.x() < lineRect.left() || local.x() > lineRect.right())
            return {};
        // The character under the point: xToCursor gives the edge nearest to x, so step
        // back when x lies left of that edge (in the line's visual direction).
        int cursor = line.xToCursor(local.x(), QTextLine::CursorOnCharacter);
        const qreal edge = line.cursorToX(cursor);
        const bool rtl = b.layout->textOption().textDirection() == Qt::RightToLeft ||
                         b.styled.text().isRightToLeft();
        if (!rtl && local.x() < edge && cursor > line.textStart())
            --cursor;
        cursor = std::clamp(cursor, line.textStart(), line.textStart() + line.textLength() - 1);
        return b.styled.attributesAt(cursor).link;
    }
    return {};
}

QPoint RTMessageDelegate::pointForCharacter(const QStyleOptionViewItem &option,
                                            const QModelIndex &index, int position) const
{
    const RTMessagePtr message = m_model.messageAt(index.row());
    if (!message)
        return {};
    const Metrics m = metrics(option);
    const QRect rect = bodyRect(option, index, m);
    const Body &b = body(*message, bodyFont(option), rect.width(), option.palette);
    if (position < 0 || position >= b.styled.text().size())
        return {};
    const QTextLine line = b.layout->lineForTextPosition(position);
    if (!line.isValid())
        return {};
    const qreal a = line.cursorToX(position);
    const qreal c = line.cursorToX(position + 1);
    const qreal y = line.y() + line.height() / 2;
    return (QPointF((a + c) / 2, y) + rect.topLeft()).toPoint();
}

void RTMessageDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const RTMessagePtr message = m_model.messageAt(index.row());
    if (!message)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = option.palette;
    const Metrics m = metrics(option);
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = index.row() == m_hoveredRow;
    const bool unseen = m_model.isUnseen(index.row());
    const bool inConversation = m_model.isConversationRow(index.row());
    const QColor accent = pal.color(QPalette::Highlight);
    const QColor base = pal.color(QPalette::Base);
    const QColor text = pal.color(QPalette::Text);
    const QColor secondary = mix(text, base, 0.45);

    // Background: selection, highlight and hover are soft tints of the accent colour.
    QColor bg = base;
    if (inConversation)
        bg = mix(base, text, 0.035);
    if (message->isHighlighted())
        bg = mix(bg, accent, 0.12);
    if (hovered)
        bg = mix(bg, text, 0.03);
    if (selected)
        bg = mix(base, accent, option.state & QStyle::State_HasFocus ? 0.22 : 0.14);
    painter->fillRect(r, bg);
    if (unseen) {
        painter->fillRect(QRect(r.left(), r.top(), m.accent, r.height()), accent);
    }
    // Separator.
    painter->setPen(QPen(mix(base, text, 0.1), 1));
    painter->drawLine(r.left() + (inConversation ? m.indent : 0), r.bottom(), r.right(),
                      r.bottom());

    // Avatar.
    const int avatarSize = inConversation ? m.avatar * 2 / 3 : m.avatar;
    const QRect avatarRect(r.left() + m.pad + (inConversation ? m.indent : 0), r.top() + m.pad,
                           avatarSize, avatarSize);
    QPixmap avatar = avatarProvider ? avatarProvider(*message, avatarSize) : QPixmap();
    QPainterPath clip;
    clip.addRoundedRect(avatarRect, avatarSize * 0.22, avatarSize * 0.22);
    if (!avatar.isNull()) {
        painter->save();
        painter->setClipPath(clip);
        painter->drawPixmap(avatarRect, avatar);
        painter->restore();
    } else {
        const QString name = RTMessageListModel::authorName(*message);
        painter->fillPath(clip, placeholderColor(name, pal));
        QFont f = option.font;
        f.setBold(true);
        f.setPixelSize(std::max(8, avatarSize * 2 / 5));
        painter->setFont(f);
        painter->setPen(QColor(255, 255, 255, 235));
        painter->drawText(avatarRect, Qt::AlignCenter, initials(name));
    }

    // Header: name, @screen_name, markers, and the age (or the hover actions) on the right.
    const int left = textLeft(option, index, m);
    const int headerTop = r.top() + m.pad;
    QFont nameFont = option.font;
    nameFont.setBold(true);
    QFont smallFont = option.font;
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics smallMetrics(smallFont);
    const QString age = TimeCalculator::parseDateString(message->createdAt());
    int right = r.right() - m.pad;
    if (hovered) {
        static const char *const icons[] = {"reply", "retweet", "favorite", "more"};
        const auto *tweet = dynamic_cast<const RTMessageTwitter *>(message.get());
        for (int a = ReplyAction; a <= MoreAction; ++a) {
            const QRect ar = quickActionRect(option, QuickAction(a));
            QColor iconColor = secondary;
            if (a == FavoriteAction && tweet && tweet->isFavorite())
                iconColor = QColor(0xE0, 0x9F, 0x1F);
            RTUiIcons::icon(QString::fromLatin1(icons[a]), iconColor)
                .paint(painter, ar.adjusted(2, 2, -2, -2));
        }
        right = quickActionRect(option, ReplyAction).left() - m.gap;
    } else {
        painter->setFont(smallFont);
        painter->setPen(secondary);
        const int ageWidth = smallMetrics.horizontalAdvance(age);
        painter->drawText(QRect(right - ageWidth, headerTop, ageWidth, m.lineHeight),
                          Qt::AlignRight | Qt::AlignVCenter, age);
        right -= ageWidth + m.gap;
    }
    int x = left;
    const QString name = RTMessageListModel::authorName(*message);
    painter->setFont(nameFont);
    painter->setPen(text);
    const QString shownName = nameMetrics.elidedText(name, Qt::ElideRight, std::max(0, right - x));
    painter->drawText(QRect(x, headerTop, right - x, m.lineHeight),
                      Qt::AlignLeft | Qt::AlignVCenter, shownName);
    x += nameMetrics.horizontalAdvance(shownName) + m.gap / 2;
    QString meta = RTMessageListModel::screenName(*message);
    if (!meta.isEmpty())
        meta.prepend(QLatin1Char('@'));
    const QString markers = markerText(*message);
    if (!markers.isEmpty())
        meta += (meta.isEmpty() ? QString() : QStringLiteral("  ·  ")) + markers;
    if (x < right && !meta.isEmpty()) {
        painter->setFont(smallFont);
        painter->setPen(secondary);
        painter->drawText(QRect(x, headerTop, right - x, m.lineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          smallMetrics.elidedText(meta, Qt::ElideRight, right - x));
    }

    // Body.
    const QRect rect = bodyRect(option, index, m);
    const Body &b = body(*message, bodyFont(option), rect.width(), pal);
    painter->setPen(text);
    b.layout->draw(painter, rect.topLeft());

    // Thumbnails under the text; the placeholder carries the host's name until the
    // picture is there.
    const QList<QRect> thumbs = thumbnailRects(option, index);
    for (int i = 0; i < thumbs.size(); ++i) {
        const QRect &tr = thumbs.at(i);
        const RTInlineImageInfo &info = b.pictures.at(i);
        QPainterPath frame;
        frame.addRoundedRect(tr, 6, 6);
        const QPixmap thumb =
            thumbnailProvider ? thumbnailProvider(info.thumbnailURL, kThumbnailSize) : QPixmap();
        if (!thumb.isNull()) {
            painter->save();
            painter->setClipPath(frame);
            const qreal dpr = thumb.devicePixelRatio();
            const QSizeF logical = thumb.size() / dpr;
            const qreal side = std::min(logical.width(), logical.height());
            const QRectF source(((logical.width() - side) / 2) * dpr,
                                ((logical.height() - side) / 2) * dpr, side * dpr, side * dpr);
            painter->drawPixmap(QRectF(tr), thumb, source);
            painter->restore();
        } else {
            painter->fillPath(frame, mix(base, text, 0.08));
            painter->setPen(secondary);
            QFont f = option.font;
            f.setPointSizeF(std::max(6.0, f.pointSizeF() * 0.8));
            painter->setFont(f);
            painter->drawText(tr.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWrapAnywhere,
                              QUrl(info.standardLink).host());
        }
        painter->setPen(QPen(mix(base, text, 0.18), 1));
        painter->drawPath(frame);
    }
    painter->restore();
}

QList<QRect> RTMessageDelegate::thumbnailRects(const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    const RTMessagePtr message = m_model.messageAt(index.row());
    if (!message)
        return {};
    const Metrics m = metrics(option);
    const QRect rect = bodyRect(option, index, m);
    const Body &b = body(*message, bodyFont(option), rect.width(), option.palette);
    QList<QRect> out;
    int x = rect.left();
    const int top = rect.top() + b.height + m.gap / 2;
    for (qsizetype i = 0; i < b.pictures.size(); ++i) {
        if (x + kThumbnailSize > rect.right() && !out.isEmpty())
            break;
        out.append(QRect(x, top, kThumbnailSize, kThumbnailSize));
        x += kThumbnailSize + m.gap;
    }
    return out;
}

std::optional<RTInlineImageInfo> RTMessageDelegate::pictureAt(const QStyleOptionViewItem &option,
                                                              const QModelIndex &index,
                                                              const QPoint &pos) const
{
    const QList<QRect> rects = thumbnailRects(option, index);
    for (int i = 0; i < rects.size(); ++i) {
        if (!rects.at(i).contains(pos))
            continue;
        const RTMessagePtr message = m_model.messageAt(index.row());
        const Metrics m = metrics(option);
        const Body &b =
            body(*message, bodyFont(option), bodyRect(option, index, m).width(), option.palette);
        if (i < b.pictures.size())
            return b.pictures.at(i);
    }
    return std::nullopt;
}
