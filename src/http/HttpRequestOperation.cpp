#include "http/HttpRequestOperation.h"

#include "http/HttpRequest.h"

HttpRequestOperation::HttpRequestOperation(std::shared_ptr<HttpRequest> request)
    : m_request(std::move(request))
{
}

void HttpRequestOperation::main()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_request->m_cancelLock);
        m_request->m_runningOperation = this;
    }
    m_request->run();
    {
        std::lock_guard<std::recursive_mutex> lock(m_request->m_cancelLock);
        m_request->m_runningOperation = nullptr;
    }
    m_request->deliverCallbacks();
}
