#include "json/JsonBase.h"

QString JsonError::toString() const
{
    return QStringLiteral("%1 %2: %3").arg(domain).arg(code).arg(description);
}

JsonError JsonBase::firstError() const
{
    return m_errorTrace.isEmpty() ? JsonError() : m_errorTrace.first();
}

QString JsonBase::errorTraceText() const
{
    QStringList lines;
    for (const JsonError &e : m_errorTrace)
        lines << e.toString();
    return lines.join(QLatin1Char('\n'));
}

void JsonBase::addError(JsonErrorCode code, const QString &description)
{
    m_errorTrace.append(
        JsonError{QString::fromLatin1(kJsonErrorDomain), static_cast<int>(code), description});
}

unsigned JsonBase::effectiveMaxDepth() const
{
    return (m_maxDepth == 0 || m_maxDepth > kJsonHardDepthLimit) ? kJsonHardDepthLimit : m_maxDepth;
}
