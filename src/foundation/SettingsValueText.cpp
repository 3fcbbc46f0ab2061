#include "foundation/SettingsValueText.h"

#include "foundation/RTGlobalVariables.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

namespace {
constexpr qsizetype kMaxTextLength = 64 * 1024;
} // namespace

QVariant SettingsValueText::parse(const QVariant &like, const QString &text, QString *error)
{
    const auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return QVariant();
    };
    if (text.size() > kMaxTextLength)
        return refuse(QStringLiteral("the value is longer than %1 characters").arg(kMaxTextLength));
    const QString t = text.trimmed();
    switch (like.typeId()) {
    case QMetaType::Bool: {
        const QString l = t.toLower();
        if (l == QLatin1String("true") || l == QLatin1String("yes") || l == QLatin1String("1"))
            return true;
        if (l == QLatin1String("false") || l == QLatin1String("no") || l == QLatin1String("0"))
            return false;
        return refuse(QStringLiteral("expected true or false, got \"%1\"").arg(t));
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong n = t.toLongLong(&ok);
        if (!ok)
            return refuse(QStringLiteral("expected a whole number, got \"%1\"").arg(t));
        const bool isUnsigned =
            like.typeId() == QMetaType::UInt || like.typeId() == QMetaType::ULongLong;
        if (isUnsigned && n < 0)
            return refuse(QStringLiteral("expected a number of 0 or more, got \"%1\"").arg(t));
        return QVariant(n);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return refuse(QStringLiteral("expected a number, got \"%1\"").arg(t));
        return QVariant(d);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
    case QMetaType::QVariantMap: {
        QJsonParseError parseError{};
        const QJsonDocument doc = QJsonDocument::fromJson(t.toUtf8(), &parseError);
        const bool wantList = like.typeId() != QMetaType::QVariantMap;
        if (parseError.error != QJsonParseError::NoError || (wantList && !doc.isArray()) ||
            (!wantList && !doc.isObject()))
            return refuse(wantList ? QStringLiteral("expected a JSON array")
                                   : QStringLiteral("expected a JSON object"));
        return wantList ? QVariant(doc.array().toVariantList())
                        : QVariant(doc.object().toVariantMap());
    }
    default:
        // Strings keep their spaces: a quote template may end with one.
        return text;
    }
}

QVariant SettingsValueText::parseForKey(const QString &key, const QVariant &like,
                                        const QString &text, QString *error)
{
    const bool isFloat = key == QLatin1String(TAMessageFontSizeKey) ||
                         key == QLatin1String(RTMainWindowOutlineSplitViewWidthKey);
    const bool isUnsigned = key == QLatin1String(RTShowHideTalvoGlobalShortcutFlagsKey) ||
                            key == QLatin1String(RTNewTweetGlobalShortcutFlagsKey);
    if (isFloat)
        return parse(QVariant(like.toDouble()), text, error);
    if (isUnsigned)
        return parse(QVariant(like.toULongLong()), text, error);
    return parse(like, text, error);
}

QString SettingsValueText::format(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(value.toList()))
                                     .toJson(QJsonDocument::Compact));
    case QMetaType::QVariantMap:
        return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(value.toMap()))
                                     .toJson(QJsonDocument::Compact));
    default:
        return value.toString();
    }
}
