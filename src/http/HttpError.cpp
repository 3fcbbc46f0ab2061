#include "http/HttpError.h"

HttpError::HttpError(HttpErrorCode code, QString description)
    : m_code(code)
    , m_description(std::move(description))
{
}

QString HttpError::domain() const
{
    return isNull() ? QString() : QString::fromLatin1(kHttpRequestErrorDomain);
}

HttpError HttpError::connectionFailure()
{
    return {HttpErrorCode::ConnectionFailure, QStringLiteral("A connection failure occurred")};
}

HttpError HttpError::sslFailure(const QString &underlying)
{
    return {HttpErrorCode::ConnectionFailure,
            QStringLiteral("%1: SSL problem (possibly a bad/expired/self-signed certificate)")
                .arg(underlying)};
}

HttpError HttpError::timedOut()
{
    return {HttpErrorCode::RequestTimedOut, QStringLiteral("The request timed out")};
}

HttpError HttpError::authenticationNeeded()
{
    return {HttpErrorCode::AuthenticationNeeded, QStringLiteral("Authentication needed")};
}

HttpError HttpError::cancelled()
{
    return {HttpErrorCode::RequestCancelled, QStringLiteral("The request was cancelled")};
}

HttpError HttpError::badUrl()
{
    return {HttpErrorCode::UnableToCreateRequest,
            QStringLiteral("Unable to create request (bad url?)")};
}

HttpError HttpError::tooManyRedirects()
{
    return {HttpErrorCode::TooMuchRedirection,
            QStringLiteral("The request failed because it redirected too many times")};
}
