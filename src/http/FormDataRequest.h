#pragma once

#include "http/HttpRequest.h"

// An HttpRequest whose body is built from form fields: URL-encoded, or multipart when
// there is a file part (or the format says so). The method becomes POST unless it is PUT.
class FormDataRequest : public HttpRequest
{
public:
    enum PostFormat : int
    {
        MultipartFormDataPostFormat = 0,
        UrlEncodedPostFormat = 1,
    };

    struct FilePart
    {
        QByteArray data;
        QString fileName;
        QString contentType;
    };

    explicit FormDataRequest(const QUrl &url);
    [[nodiscard]] static std::shared_ptr<FormDataRequest> requestWithURL(const QUrl &url);

    // Fields keep the order in which they were first set; setting a field again replaces
    // its value in place.
    void setPostValue(const QString &value, const QString &key);
    // A binary part named "file" with no content type of its own.
    void setData(const QByteArray &data, const QString &key);
    // contentType empty: "application/octet-stream".
    void setData(const QByteArray &data, const QString &fileName, const QString &contentType,
                 const QString &key);
    // A file on disk, read when the request starts; a missing file fails it with code 8.
    void setFile(const QString &filePath, const QString &fileName, const QString &contentType,
                 const QString &key);

    [[nodiscard]] QList<QPair<QString, QString>> postData() const { return m_postData; }
    [[nodiscard]] QList<QPair<QString, FilePart>> fileData() const { return m_fileData; }
    [[nodiscard]] PostFormat postFormat() const { return m_postFormat; }
    void setPostFormat(PostFormat format) { m_postFormat = format; }
    // IANA name of the text encoding of names and values; always UTF-8.
    [[nodiscard]] static QByteArray stringEncoding() { return QByteArrayLiteral("utf-8"); }

    static constexpr char kBoundary[] = "0xKhTmLbOuNdArY";

    // Percent-escapes the UTF-8 bytes of text; only ASCII letters, digits, '-', '.' and
    // '_' stay as they are.
    [[nodiscard]] static QByteArray encodeFormComponent(const QString &text);

protected:
    HttpError buildPostBody() override;

private:
    struct PendingFile
    {
        QString path;
        QString fileName;
        QString contentType;
    };

    QByteArray urlEncodedBody() const;
    QByteArray multipartBody() const;
    void putFilePart(const QString &key, FilePart part);

    QList<QPair<QString, QString>> m_postData;
    QList<QPair<QString, FilePart>> m_fileData;
    QList<QPair<QString, PendingFile>> m_pendingFiles;
    PostFormat m_postFormat = UrlEncodedPostFormat;
};
