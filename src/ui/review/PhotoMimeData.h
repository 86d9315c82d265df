#pragma once

#include <QMimeData>
#include <QString>

// A photo on the clipboard, made into PNG or TIFF only when a program asks to paste it. A photo that is
// gone by then gives no data (and a log line), never a picture of something else.
class PhotoMimeData : public QMimeData {
    Q_OBJECT
public:
    explicit PhotoMimeData(QString path);

    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;
    QString path() const { return path_; }

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    QString path_;
};
