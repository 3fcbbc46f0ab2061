#include "network/RTRequestOperation.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "http/FormDataRequest.h"
#include "http/HttpRequest.h"
#include "network/OAuthSigning.h"
#include "network/RTErrorMessageManager.h"
#include "network/RTStatusManager.h"
#include "platform/TAUtility.h"
#include "json/Json.h"

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

} // namespace

void RTRequestDelegate::serviceRequestSuccess(const QVariantMap &) {}

void RTRequestDelegate::serviceRequestFailure(const QVariantMap &) {}

OperationQueue *RTRequestDelegate::willAddOperation(RTRequestOperation &, OperationQueue *queue,
                                                    const QVariantMap &)
{
    return queue;
}

RTRequestOperation::RTRequestOperation() = default;

RTRequestOperation::~RTRequestOperation() = default;

void RTRequestOperation::cancel()
{
    Operation::cancel();
    QMutexLocker locker(&m_requestLock);
    if (m_runningRequest)
        m_runningRequest->cancel();
}

QString RTRequestOperation::argumentStringFromDictionary(const QVariantMap &dictionary)
{
    if (dictionary.isEmpty())
        return {};
    QString out;
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        out += QLatin1Char('?') + it.key() + QLatin1Char('=') + it.value().toString();
    return out;
}

QString RTRequestOperation::serviceName() const
{
    return m_service ? m_service->serviceId() : QString();
}

void RTRequestOperation::willStartRequest(HttpRequest &) {}

QVariant RTRequestOperation::internvalErrorCodeForHTTPResponseStatusCode(int, const QString &,
                                                                         HttpRequest &)
{
    return {};
}

QVariant RTRequestOperation::objCResponseFromString(const QString &)
{
    return {};
}

std::shared_ptr<HttpRequest> RTRequestOperation::buildRequest(const QUrl &url,
                                                              const QString &method)
{
    if (method.toUpper() != QLatin1String("POST"))
        return HttpRequest::requestWithURL(url);

    auto form = FormDataRequest::requestWithURL(url);
    for (auto it = m_postParameters.cbegin(); it != m_postParameters.cend(); ++it) {
        if (it.key() == QLatin1String(kRTKeylessPostData)) {
            const QVariant &raw = it.value();
            form->appendPostData(raw.typeId() == QMetaType::QByteArray ? raw.toByteArray()
                                                                       : raw.toString().toUtf8());
        } else if (it.value().typeId() == QMetaType::QByteArray) {
            form->setData(it.value().toByteArray(), it.key());
        } else {
            form->setPostValue(it.value().toString(), it.key());
        }
    }
    return form;
}

void RTRequestOperation::setCredentialsForRequest(HttpRequest &request, int authentificationMethod)
{
    request.setUseSessionPersistence(false);
    if (!m_service)
        return;
    if (authentificationMethod == AuthentificationBasic) {
        request.setUsername(m_service->serviceId());
        // The password cache belongs to the main thread.
        QString password;
        runOnMainThread([&] { password = m_service->servicePassword(); }, true);
        request.setPassword(password);
        request.basicHTTPAuthentication();
    } else if (authentificationMethod == AuthentificationOAuth) {
        // Certificates stay verified: the tokens travel in this request.
        const auto [token, secret] = m_service->oauthTokenPair();
        const OAuthCredentials credentials{TAUtility::twitterConsumerKey(),
                                           TAUtility::twitterConsumerSecret(), token, secret};
        const SignatureProviderHMAC_SHA1 provider;
        OAuthSigning::oauthAuthentication(
            request, credentials, provider,
            dynamic_cast<OAuthAuthenticationTimestampDelegate *>(this));
    }
}

void RTRequestOperation::main()
{
    QVariantMap result{
        {key(kRTServiceKey), QVariant::fromValue(m_service)},
        {key(kRTRequestOperationKey), QVariant::fromValue(weak_from_this().lock())},
        {key(kRTUserInfoKey), m_userInfo},
    };
    perform(result);
    // Accounts are main-thread objects: if the main thread let go of the account while
    // this ran, its last reference must not be dropped on this worker. The delegate goes
    // too: one that keeps the answer (which holds this operation) would otherwise keep
    // itself and the operation alive for good.
    RTServicePtr service = std::exchange(m_service, nullptr);
    RTRequestDelegatePtr delegate = std::exchange(m_delegate, nullptr);
    runOnMainThread(
        [service = std::move(service), delegate = std::move(delegate),
         result = std::move(result)]() mutable {
            result.clear();
            delegate.reset();
            service.reset();
        },
        false);
}

void RTRequestOperation::perform(QVariantMap &result)
{
    RTUrlInformation info;
    if (!urlInformationForRequestType(m_requestType, info)) {
        result.insert(key(kRTOperationFailureMessageKey),
                      QStringLiteral("Unexpected request type"));
        notifyFailure(result);
        return;
    }
    if (m_userInfo.contains(key(kRTHTTPProtocolKey)))
        info.httpProtocol = m_userInfo.value(key(kRTHTTPProtocolKey)).toString();

    const QString urlString = info.httpProtocol + QStringLiteral("://") + info.hostString +
                              info.path + info.format + info.arguments;
    result.insert(key(kRTUrlStringKey), urlString);
    result.insert(key(kRTHTTPMethodKey), info.httpMethod);

    QUrl url = formURL();
    if (!url.isValid() || url.isEmpty()) {
        url = shouldScape() ? QUrl::fromEncoded(standardScapedOutString(urlString).toUtf8(),
                                                QUrl::TolerantMode)
                            : QUrl(urlString, QUrl::TolerantMode);
    }

    QString method = info.httpMethod;
    if (m_userInfo.contains(key(kRTHTTPMethod)))
        method = m_userInfo.value(key(kRTHTTPMethod)).toString();
    const std::shared_ptr<HttpRequest> request = buildRequest(url, info.httpMethod);
    request->setShouldAttemptPersistentConnection(false);
    request->setTimeOutSeconds(kRequestTimeOutSeconds);
    request->setShouldUseRFC2616RedirectBehaviour(true);
    request->setDelegate(this);
    request->setRequestMethod(method);
    if (m_uploadProgress)
        request->setUploadProgressHandler(m_uploadProgress);

    if (info.authentificationMethod != AuthentificationNone)
        setCredentialsForRequest(*request, info.authentificationMethod);

    const QString name = serviceName();
    if (isCancelled()) {
        request->setDelegate(nullptr);
        return;
    }

    QString statusText = QStringLiteral("");
    if (!info.operationDescription.isNull()) {
        statusText = name.isNull() ? info.operationDescription
                                   : name + QStringLiteral(" > ") + info.operationDescription;
    }
    RTStatusManager &status = RTStatusManager::sharedManager();
    status.addStatusWithObject(this, info.path, statusText, true);

    willStartRequest(*request);
    {
        QMutexLocker locker(&m_requestLock);
        m_runningRequest = request;
    }
    // A cancel between the check above and here would otherwise be missed.
    if (isCancelled())
        request->cancel();
    request->startSynchronous();
    {
        QMutexLocker locker(&m_requestLock);
        m_runningRequest.reset();
        // A token exchange's password has been sent; the operation outlives it in the
        // error list and must not keep it.
        m_postParameters.remove(QStringLiteral("x_auth_password"));
    }

    request->setDelegate(nullptr);
    const int statusCode = request->responseStatusCode();
    result.insert(key(kRTResponseStatusCodeKey), statusCode);
    status.removeStatusForObject(this, info.path);

    if (isCancelled())
        return;

    const QString errorString = errorStringForHTTPResponseStatusCode(statusCode, name, *request);
    if (!errorString.isNull()) {
        result.insert(key(kRTOperationFailureMessageKey), errorString);
        const QVariant internalCode =
            internvalErrorCodeForHTTPResponseStatusCode(statusCode, name, *request);
        if (internalCode.isValid())
            result.insert(key(kRTOperationInternalErrorCodeKey), internalCode);
        notifyFailure(result);
        status.addTransientStatusForObject(this, errorString, errorString, kFailureStatusDuration);
        return;
    }
    if (!request->error().isNull()) {
        const QString text = localizedString("##RTRequestOperation:0##");
        qCInfo(lcNetwork).noquote() << QStringLiteral("[%1] transport error:").arg(name)
                                    << request->error().localizedDescription();
        result.insert(key(kRTOperationFailureMessageKey), text);
        notifyFailure(result);
        status.addTransientStatusForObject(this,
                                           QString::fromLatin1(RTConnectionErrorStatusContext),
                                           text, kFailureStatusDuration);
        return;
    }

    QVariant response = objCResponseFromString(request->responseString());
    if (!response.isValid() && info.format == QLatin1String(".json")) {
        const JsonValue json = objectFromJSON(request->responseData());
        if (json.isValid())
            response = QVariant::fromValue(json);
    }
    if (!response.isValid()) {
        result.insert(key(kRTOperationFailureMessageKey),
                      localizedString("##RTRequestOperation:1##"));
        notifyFailure(result);
        return;
    }

    const QString serverFailure = failureStringFromServerWithObjCResponse(response);
    if (!serverFailure.isNull()) {
        result.insert(key(kRTOperationFailureMessageKey), serverFailure);
        status.addTransientStatusForObject(this,
                                           QString::fromLatin1(RTConnectionErrorStatusContext),
                                           serverFailure, kFailureStatusDuration);
        notifyFailure(result);
        return;
    }

    if (dealWithResponse(response, result, *request))
        notifySuccess(result);
    else
        notifyFailure(result);
}

void RTRequestOperation::notifySuccess(QVariantMap &result)
{
    result.insert(key(kRTRequestType), m_requestType);
    deliver(result, true);
}

void RTRequestOperation::notifyFailure(QVariantMap &result)
{
    result.insert(key(kRTRequestType), m_requestType);
    // Queued on the main thread ahead of the answer, so whoever hears the failure finds
    // its entry in the list.
    postErrorMessage(result);
    deliver(result, false);
}

void RTRequestOperation::deliver(const QVariantMap &result, bool success)
{
    const RTServicePtr service = m_service;
    const RTRequestDelegatePtr delegate = m_delegate;
    runOnMainThread(
        [&] {
            if (service) {
                if (success)
                    service->serviceRequestSuccess(result);
                else
                    service->serviceRequestFailure(result);
            }
            // An account that is its own delegate hears each answer once.
            const auto *delegateService = dynamic_cast<const RTService *>(delegate.get());
            if (delegate && (!delegateService || delegateService != service.get())) {
                if (success)
                    delegate->serviceRequestSuccess(result);
                else
                    delegate->serviceRequestFailure(result);
            }
        },
        true);
}

void RTRequestOperation::postErrorMessage(const QVariantMap &result)
{
    QString message = result.value(key(kRTOperationFailureMessageKey)).toString();
    if (message.isEmpty())
        message = QStringLiteral("Unspecified Error");
    const QString name = m_service ? m_service->serviceName() : QString();
    const QString id = m_service ? m_service->serviceId() : QString();
    const QString description = name.isEmpty() && id.isEmpty()
                                    ? QStringLiteral("-%1").arg(message)
                                    : QStringLiteral("-%1: %2\n%3").arg(name, id, message);
    // The list is kept and shown: no token answer goes into it.
    QVariantMap kept = result;
    for (const char *secret :
         {kRTResponseStringKey, kRTOAuthTokenResultKey, kRTOAuthTokenSecretResultKey})
        kept.remove(key(secret));
    // The list is a main-thread object, and a worker must not be the one to create it.
    auto entry = std::make_shared<RTErrorMessage>(description, kept);
    runOnMainThread(
        [entry = std::move(entry)] {
            RTErrorMessageManager::sharedManager().postErrorMessage(entry, QString(), true);
        },
        false);
}
