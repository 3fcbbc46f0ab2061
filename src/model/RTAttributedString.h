#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

// Text with attributes over ranges (links, mentions, highlighted terms, attachments).
// The model keeps display forms of a message body in this form; the text layer fills in
// the attributes and the views draw them. Runs may overlap; later runs win on a clash.
class RTAttributedString
{
public:
    struct Run
    {
        qsizetype location = 0;
        qsizetype length = 0;
        QVariantMap attributes;
        bool operator==(const Run &) const = default;
    };

    // Attribute of an inline picture; the character is U+FFFC, the value the image name.
    static constexpr const char *attachmentAttribute = "attachment";
    static constexpr QChar attachmentCharacter = QChar(0xFFFC);

    RTAttributedString() = default;
    explicit RTAttributedString(QString text);

    [[nodiscard]] const QString &string() const { return m_string; }
    [[nodiscard]] const QList<Run> &runs() const { return m_runs; }
    [[nodiscard]] qsizetype length() const { return m_string.size(); }
    [[nodiscard]] bool isEmpty() const { return m_string.isEmpty(); }

    // Out-of-range parts of the range are ignored.
    void addAttribute(const QString &name, const QVariant &value, qsizetype location,
                      qsizetype length);
    [[nodiscard]] QVariantMap attributesAt(qsizetype index) const;

    // Replaces a range; runs after it move, runs covering it stretch over the replacement.
    void replaceCharacters(qsizetype location, qsizetype length, const QString &replacement);
    // Replaces every occurrence of each key by its value, left to right, never inside text
    // it has just inserted. Returns the number of replacements.
    int replaceOccurrences(const QHash<QString, QString> &replacements);
    void insertAttachment(qsizetype location, const QString &imageName);

    // Point size the body is drawn in; 0 means the view's default.
    [[nodiscard]] double fontSize() const { return m_fontSize; }
    void setFontSize(double size) { m_fontSize = size; }

    bool operator==(const RTAttributedString &) const = default;

private:
    QString m_string;
    QList<Run> m_runs;
    double m_fontSize = 0;
};
