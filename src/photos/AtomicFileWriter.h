#pragma once

#include <initializer_list>

#include <QByteArray>
#include <QString>

// Writes a file so that its final name only ever shows complete content: the bytes go to a hidden
// temporary file in the same folder, are flushed to the disk (fsync), and only then is the
// temporary file renamed. A writer destroyed before commit() (any failure on the way) removes its temporary
// file, so nothing partial remains under either name.
class AtomicFileWriter {
public:
    enum class Mode {
        NeverOverwrite, // commit() fails when the final name exists (it is never replaced)
        Replace,        // commit() replaces the final file in one step, keeping its permissions
    };

    enum class Durability {
        Synced,      // the content reaches the disk before the rename (photos)
        Rebuildable, // no fsync: after a power cut the file may be empty, never partial or mixed (caches)
    };

    AtomicFileWriter(QString finalPath, Mode mode, Durability durability = Durability::Synced);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    bool open();
    bool write(const char *data, qint64 length);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    bool commit();

    QString error() const { return error_; }
    QString temporaryPath() const { return temporaryPath_; }

    // The whole sequence for `pieces`, written one after another. False with `error` on failure.
    static bool writeFile(const QString &path, std::initializer_list<QByteArray> pieces, Mode mode,
                          QString *error = nullptr, Durability durability = Durability::Synced);

    // Flushes a file written as Rebuildable to the disk afterwards, so a caller can announce the
    // complete file first and make it durable right after. False with `error` on failure.
    static bool syncFile(const QString &path, QString *error = nullptr);

private:
    bool fail(const QString &step);
    void discard();

    const QString finalPath_;
    const Mode mode_;
    const Durability durability_;
    QString temporaryPath_;
    QString error_;
    int fd_ = -1;
    bool committed_ = false;
};
