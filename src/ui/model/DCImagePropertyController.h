#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// The info box's store: for each identifier (a photo's browser identifier) a table of its properties.
// Main thread only.
class DCImagePropertyController {
public:
    // Does nothing unless both `forKey` and `identify` are given; makes the identifier's table when it
    // has none yet.
    void setValue(const QVariant &value, const QString &forKey, const QString &identify);
    // An invalid QVariant when the identifier or the key is unknown.
    QVariant valueForKey(const QString &key, const QString &identify) const;
    QString description() const;

    const QMap<QString, QVariantMap> &properties() const { return properties_; }

private:
    QMap<QString, QVariantMap> properties_;
};
