#pragma once

#include <QString>

inline constexpr char kHttpRequestErrorDomain[] = "HttpRequestErrorDomain";

// Error codes of the HTTP engine. Callers compare against these; the numbers are stable.
enum class HttpErrorCode : int
{
    NoError = 0,
    ConnectionFailure = 1,
    RequestTimedOut = 2,
    AuthenticationNeeded = 3,
    RequestCancelled = 4,
    UnableToCreateRequest = 5,
    InternalErrorWhileBuildingRequest = 6,
    InternalErrorWhileApplyingCredentials = 7,
    FileManagementError = 8,
    TooMuchRedirection = 9,
    UnhandledException = 10,
};

// An error value: domain, code and a user-readable text. A default-constructed error
// means "no error".
class HttpError
{
public:
    HttpError() = default;
    HttpError(HttpErrorCode code, QString description);

    [[nodiscard]] bool isNull() const { return m_code == HttpErrorCode::NoError; }
    explicit operator bool() const { return !isNull(); }
    [[nodiscard]] QString domain() const;
    [[nodiscard]] HttpErrorCode code() const { return m_code; }
    [[nodiscard]] int codeValue() const { return static_cast<int>(m_code); }
    [[nodiscard]] QString localizedDescription() const { return m_description; }

    // The fixed texts of the codes that have one.
    static HttpError connectionFailure();
    static HttpError sslFailure(const QString &underlying);
    static HttpError timedOut();
    static HttpError authenticationNeeded();
    static HttpError cancelled();
    static HttpError badUrl();
    static HttpError tooManyRedirects();

private:
    HttpErrorCode m_code = HttpErrorCode::NoError;
    QString m_description;
};
