#include "http/HttpRequestOperation.h"

#include "http/HttpRequest.h"

#include <QMutexLocker>

HttpRequestOperation::HttpRequestOperation(std::shared_ptr<HttpRequest> request)
    : m_request(std::move(request))
{
}

void HttpRequestOperation::main()
{
    {
        QMutexLocker lock(&m_request->m_cancelLock);
        m_request->m_runningOperation = this;
    }
    m_request->run();
    {
        QMutexLocker lock(&m_request->m_cancelLock);
        m_request->m_runningOperation = nullptr;
    }
    m_request->deliverCallbacks();
}
