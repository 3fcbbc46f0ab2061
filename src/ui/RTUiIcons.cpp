#include "ui/RTUiIcons.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The icons live in this static library's resources, which need an explicit start.
static void initUiResources()
{
    Q_INIT_RESOURCE(ui);
}

namespace {
// Renders the SVG at the requested device size and paints it in one colour.
class TintedSvgEngine : public QIconEngine
{
public:
    TintedSvgEngine(QString path, QColor color)
        : m_path(std::move(path))
        , m_color(std::move(color))
    {
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap pm = render(rect.size() * dpr, mode);
        painter->drawPixmap(rect, pm);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return render(size, mode);
    }
    QIconEngine *clone() const override { return new TintedSvgEngine(m_path, m_color); }

private:
    QPixmap render(const QSize &size, QIcon::Mode mode) const
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QSvgRenderer renderer(m_path);
        if (!renderer.isValid() || size.isEmpty())
            return pm;
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor c = m_color;
        if (mode == QIcon::Disabled)
            c.setAlphaF(0.35f);
        p.fillRect(pm.rect(), c);
        return pm;
    }

    QString m_path;
    QColor m_color;
};
} // namespace

QIcon RTUiIcons::icon(const QString &name, const QColor &color)
{
    static const bool resourcesReady = [] {
        initUiResources();
        return true;
    }();
    Q_UNUSED(resourcesReady);
    static QHash<QString, QIcon> cache;
    const QString key = name + QLatin1Char('|') + color.name(QColor::HexArgb);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QString path = QStringLiteral(":/talvo/icons/%1.svg").arg(name);
    QIcon result(new TintedSvgEngine(path, color));
    cache.insert(key, result);
    return result;
}

QString RTUiIcons::iconNameForImage(const QString &imageName)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("home"), QStringLiteral("home")},
        {QStringLiteral("mentions"), QStringLiteral("mentions")},
        {QStringLiteral("retweets"), QStringLiteral("retweet")},
        {QStringLiteral("retweet"), QStringLiteral("retweet")},
        {QStringLiteral("favorites"), QStringLiteral("favorite")},
        {QStringLiteral("sent"), QStringLiteral("sent")},
        {QStringLiteral("direct"), QStringLiteral("direct")},
        {QStringLiteral("direct_inbox"), QStringLiteral("inbox")},
        {QStringLiteral("direct_outbox"), QStringLiteral("outbox")},
        {QStringLiteral("combined"), QStringLiteral("combined")},
        {QStringLiteral("all"), QStringLiteral("combined")},
        {QStringLiteral("lists"), QStringLiteral("lists")},
        {QStringLiteral("search"), QStringLiteral("search")},
        {QStringLiteral("groups"), QStringLiteral("groups")},
        {QStringLiteral("group"), QStringLiteral("groups")},
        {QStringLiteral("group_ungrouped"), QStringLiteral("groups")},
        {QStringLiteral("muted"), QStringLiteral("muted")},
        {QStringLiteral("talvo"), QStringLiteral("talvo")},
        {QStringLiteral("locked"), QStringLiteral("locked")},
        {QStringLiteral("twitter_16"), QStringLiteral("trends")},
    };
    QString base = imageName;
    for (const char *prefix : {"node_", "combined_", "outline_"}) {
        if (base.startsWith(QLatin1String(prefix))) {
            base = base.mid(int(qstrlen(prefix)));
            break;
        }
    }
    if (base.endsWith(QLatin1String("_unseen")))
        base.chop(7);
    return table.value(base, QString());
}
