#pragma once

#include <QByteArray>
#include <QString>

// Files Tarvik writes for the user alone (0600), whole or not at all. Qt's file classes take a
// short write (a full disk, a file size limit) for success and then commit the truncated file in
// place of the old one; here every byte is accounted for with plain system calls, and a write
// that did not land whole leaves nothing behind.
class PrivateFile {
public:
    // Writes `bytes` as a new file at `path`, never over or through anything already there;
    // `durable` also waits until the bytes are on the disk. On failure nothing is left at
    // `path` and `error` says why.
    static bool writeNew(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                         bool durable = false);
    // Replaces the file at `path` with `bytes`: they are written beside it under a scratch name,
    // brought to the disk and renamed over it, so a reader sees the old file or the new one and a
    // failure leaves the old one as it was.
    static bool replace(const QString &path, const QByteArray &bytes, QString *error = nullptr);
    // A name beside `path` that no other write of this process uses.
    static QString scratchPathBeside(const QString &path);
};
