#include "http/FormDataRequest.h"

#include <QFile>
#include <QFileInfo>

namespace {
constexpr char kCrlf[] = "\r\n";
} // namespace

FormDataRequest::FormDataRequest(const QUrl &url)
    : HttpRequest(url)
{
}

std::shared_ptr<FormDataRequest> FormDataRequest::requestWithURL(const QUrl &url)
{
    return std::make_shared<FormDataRequest>(url);
}

void FormDataRequest::setPostValue(const QString &value, const QString &key)
{
    for (auto &field : m_postData) {
        if (field.first == key) {
            field.second = value;
            return;
        }
    }
    m_postData.append({key, value});
}

void FormDataRequest::setData(const QByteArray &data, const QString &key)
{
    setData(data, QStringLiteral("file"), QString(), key);
}

void FormDataRequest::setData(const QByteArray &data, const QString &fileName,
                              const QString &contentType, const QString &key)
{
    putFilePart(key,
                {data, fileName,
                 contentType.isEmpty() ? QStringLiteral("application/octet-stream") : contentType});
}

void FormDataRequest::setFile(const QString &filePath, const QString &fileName,
                              const QString &contentType, const QString &key)
{
    m_pendingFiles.removeIf([&key](const auto &p) { return p.first == key; });
    m_pendingFiles.append({key, {filePath, fileName, contentType}});
    // Keep the part's position among the files; its bytes are read when the request starts.
    putFilePart(key, {{}, fileName, contentType});
}

void FormDataRequest::putFilePart(const QString &key, FilePart part)
{
    for (auto &file : m_fileData) {
        if (file.first == key) {
            file.second = std::move(part);
            return;
        }
    }
    m_fileData.append({key, std::move(part)});
}

QByteArray FormDataRequest::encodeFormComponent(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_') {
            out.append(ch);
        } else {
            out.append('%');
            out.append(hex[c >> 4]);
            out.append(hex[c & 0xF]);
        }
    }
    return out;
}

QByteArray FormDataRequest::urlEncodedBody() const
{
    QByteArray body;
    for (const auto &field : m_postData) {
        if (!body.isEmpty())
            body += '&';
        body += encodeFormComponent(field.first) + '=' + encodeFormComponent(field.second);
    }
    return body;
}

QByteArray FormDataRequest::multipartBody() const
{
    const QByteArray separator = QByteArray(kCrlf) + "--" + kBoundary + kCrlf;
    QByteArray body = QByteArray("--") + kBoundary + kCrlf;
    bool first = true;
    auto beginPart = [&] {
        if (!first)
            body += separator;
        first = false;
    };
    for (const auto &field : m_postData) {
        beginPart();
        body += "Content-Disposition: form-data; name=\"" + field.first.toUtf8() + "\"" + kCrlf +
                kCrlf + field.second.toUtf8();
    }
    for (const auto &file : m_fileData) {
        beginPart();
        body += "Content-Disposition: form-data; name=\"" + file.first.toUtf8() +
                "\"; filename=\"" + file.second.fileName.toUtf8() + "\"" + kCrlf;
        body += "Content-Type: " + file.second.contentType.toUtf8() +
                "; charset=" + stringEncoding() + kCrlf + kCrlf;
        body += file.second.data;
    }
    body += QByteArray(kCrlf) + "--" + kBoundary + "--" + kCrlf;
    return body;
}

HttpError FormDataRequest::buildPostBody()
{
    if (requestMethod() != QLatin1String("PUT"))
        setRequestMethod(QStringLiteral("POST"));

    for (const auto &pending : std::as_const(m_pendingFiles)) {
        const PendingFile &p = pending.second;
        QFile file(p.path);
        if (!QFileInfo(p.path).isFile())
            return {HttpErrorCode::FileManagementError,
                    QStringLiteral("No file exists at %1").arg(p.path)};
        if (file.size() > maxResponseBodySize())
            return {HttpErrorCode::FileManagementError,
                    QStringLiteral("The file at %1 is too large to send").arg(p.path)};
        if (!file.open(QIODevice::ReadOnly))
            return {HttpErrorCode::FileManagementError,
                    QStringLiteral("Unable to read the file at %1").arg(p.path)};
        const QString contentType =
            p.contentType.isEmpty() ? mimeTypeForFileAtPath(p.path) : p.contentType;
        putFilePart(pending.first, {file.readAll(), p.fileName, contentType});
    }
    m_pendingFiles.clear();

    if (m_postData.isEmpty() && m_fileData.isEmpty() && m_postFormat == UrlEncodedPostFormat)
        return {};
    if (m_fileData.isEmpty() && m_postFormat == UrlEncodedPostFormat) {
        addRequestHeader("Content-Type",
                         "application/x-www-form-urlencoded; charset=" + stringEncoding());
        appendPostData(urlEncodedBody());
    } else {
        addRequestHeader("Content-Type", "multipart/form-data; charset=" + stringEncoding() +
                                             "; boundary=" + kBoundary);
        appendPostData(multipartBody());
    }
    return {};
}
