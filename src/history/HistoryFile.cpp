#include "history/HistoryFile.h"

#include "settings/PrivateFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char magic[4] = {'T', 'V', 'K', 'H'};
constexpr quint16 version = 1;
constexpr int digestBytes = 32;
constexpr qint64 noExpiry = std::numeric_limits<qint64>::min();
// Far more than a ring ever holds; anything above is damage, not a long history.
constexpr quint32 countLimit = 1u << 20;
constexpr qint64 headBytes = int(sizeof magic) + 2 + 4;
// time, total, five phases, reason index, flags
constexpr qint64 recordBytes = 4 + 4 + 4 * HistoryRecord::PhaseCount + 2 + 1;

// As QDataStream writes a string: its length in bytes, then UTF-16.
qint64 streamedBytes(const QString &text) {
    return 4 + 2 * qint64(text.size());
}

void prepare(QDataStream &stream) {
    stream.setVersion(QDataStream::Qt_6_4);
    stream.setByteOrder(QDataStream::BigEndian);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

HistoryFile::ReadResult damaged(const QString &why) {
    HistoryFile::ReadResult result;
    result.status = HistoryFile::Status::Damaged;
    result.error = why;
    return result;
}
} // namespace

QByteArray HistoryFile::encode(const Identity &identity, const HostHistory &history) {
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        prepare(out);
        out << identity.address << identity.name << quint32(identity.occurrence);
        const std::optional<QDateTime> expiry = history.certificateExpiry();
        out << (expiry ? expiry->toMSecsSinceEpoch() : noExpiry);
        // Only the texts the kept checks use, numbered afresh.
        QStringList texts;
        std::vector<quint16> indices(size_t(history.size()), 0);
        for (int i = 0; i < history.size(); ++i) {
            const QString text = history.reason(i);
            if (text.isEmpty())
                continue;
            qsizetype at = texts.indexOf(text);
            if (at < 0) {
                texts.append(text);
                at = texts.size() - 1;
            }
            indices[size_t(i)] = quint16(at + 1);
        }
        out << quint32(texts.size());
        for (const QString &text : texts)
            out << text;
        out << quint32(history.size());
        for (int i = 0; i < history.size(); ++i) {
            const HistoryRecord &r = history.at(i);
            out << r.time << r.total;
            for (float phase : r.phases)
                out << phase;
            out << indices[size_t(i)] << r.flags;
        }
    }
    QByteArray bytes(magic, sizeof magic);
    QDataStream head(&bytes, QIODevice::Append);
    prepare(head);
    head << version << quint32(payload.size());
    bytes += payload;
    bytes += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    return bytes;
}

HistoryFile::ReadResult HistoryFile::decode(const QByteArray &bytes, int capacity) {
    if (bytes.size() < headBytes + digestBytes || !bytes.startsWith(QByteArray(magic, 4)))
        return damaged(QStringLiteral("not a history file"));
    QDataStream head(bytes.mid(4, 6));
    prepare(head);
    quint16 fileVersion = 0;
    quint32 length = 0;
    head >> fileVersion >> length;
    if (fileVersion != version)
        return damaged(QStringLiteral("unknown version %1").arg(fileVersion));
    if (headBytes + length + digestBytes != bytes.size())
        return damaged(QStringLiteral("its length does not match (truncated?)"));
    const QByteArray payload = bytes.mid(headBytes, qsizetype(length));
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256) != bytes.right(digestBytes))
        return damaged(QStringLiteral("its checksum does not match"));

    ReadResult result;
    result.history = HostHistory(capacity);
    QDataStream in(payload);
    prepare(in);
    quint32 occurrence = 0;
    qint64 expiry = 0;
    quint32 textCount = 0;
    in >> result.identity.address >> result.identity.name >> occurrence >> expiry >> textCount;
    if (in.status() != QDataStream::Ok || textCount > countLimit)
        return damaged(QStringLiteral("its header does not decode"));
    result.identity.occurrence = int(occurrence);
    if (expiry != noExpiry) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(expiry, Qt::UTC);
        if (!at.isValid() || at.toMSecsSinceEpoch() != expiry)
            return damaged(QStringLiteral("its certificate date does not decode"));
        result.history.setCertificateExpiry(at);
    }
    // Exactly what encode() writes and nothing it would write otherwise: distinct texts, none
    // empty or longer than a history keeps, numbered in the order the checks first use them,
    // each of them used. So a file that reads is one this program wrote.
    QStringList texts{QString()};
    QSet<QString> seen;
    for (quint32 i = 0; i < textCount && in.status() == QDataStream::Ok; ++i) {
        QString text;
        in >> text;
        if (in.status() == QDataStream::Ok &&
            (text.isEmpty() || text.size() > HostHistory::maxReasonLength || seen.contains(text)))
            return damaged(QStringLiteral("its reason texts are not as written"));
        seen.insert(text);
        texts.append(text);
    }
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > countLimit)
        return damaged(QStringLiteral("its reason texts do not decode"));
    qsizetype firstUnused = 1;
    for (quint32 i = 0; i < count; ++i) {
        HistoryRecord record;
        in >> record.time >> record.total;
        for (float &phase : record.phases)
            in >> phase;
        in >> record.reason >> record.flags;
        if (in.status() != QDataStream::Ok || record.reason >= texts.size() ||
            record.reason > firstUnused ||
            (record.flags & ~(HistoryRecord::Up | HistoryRecord::HasPhases)) != 0)
            return damaged(QStringLiteral("check %1 does not decode").arg(i));
        if (record.reason == firstUnused)
            ++firstUnused;
        result.history.append(record, texts.at(record.reason));
    }
    if (firstUnused != texts.size())
        return damaged(QStringLiteral("it holds reason texts no check uses"));
    if (!in.atEnd())
        return damaged(QStringLiteral("it has bytes after its last check"));
    result.status = Status::Ok;
    return result;
}

qint64 HistoryFile::largestFile(const Identity &identity, int capacity) {
    const qint64 checks = std::max(1, capacity);
    const qint64 payload = streamedBytes(identity.address) + streamedBytes(identity.name) + 4 + 8 +
                           4 + checks * (4 + 2 * qint64(HostHistory::maxReasonLength)) + 4 +
                           checks * recordBytes;
    return headBytes + payload + digestBytes;
}

HistoryFile::ReadResult HistoryFile::read(const QString &path, qint64 largest, int capacity) {
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: opening a device or a pipe can itself do something.
    struct stat info = {};
    if (::lstat(name.constData(), &info) != 0)
        return errno == ENOENT ? ReadResult()
                               : damaged(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return damaged(QStringLiteral("it is a symbolic link, which is never followed"));
    if (!S_ISREG(info.st_mode))
        return damaged(QStringLiteral("it is not a regular file"));
    // Checked again on what was opened, in case something else was put there in between.
    const int fd =
        ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? ReadResult()
                               : damaged(QString::fromLocal8Bit(std::strerror(errno)));
    ReadResult refused;
    if (::fstat(fd, &info) != 0)
        refused = damaged(QString::fromLocal8Bit(std::strerror(errno)));
    else if (!S_ISREG(info.st_mode))
        refused = damaged(QStringLiteral("it is not a regular file"));
    else if (info.st_size > largest)
        refused = damaged(QStringLiteral("it has %1 bytes, more than a history can take (%2)")
                              .arg(qint64(info.st_size))
                              .arg(largest));
    if (refused.status == Status::Damaged) {
        ::close(fd);
        return refused;
    }
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    int failure = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n > 0)
            got += n;
        else if (n == 0)
            break;
        else if (errno != EINTR) {
            failure = errno;
            break;
        }
    }
    ::close(fd);
    if (failure != 0)
        return damaged(QString::fromLocal8Bit(std::strerror(failure)));
    bytes.truncate(got);
    return decode(bytes, capacity);
}

bool HistoryFile::write(const QString &path, const Identity &identity, const HostHistory &history,
                        QString *error) {
    return PrivateFile::replace(path, encode(identity, history), error);
}

QString HistoryFile::setAside(const QString &path, const QDateTime &now) {
    const QString base = path + QStringLiteral(".damaged-") +
                         now.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    struct stat info = {};
    for (int n = 2; ::lstat(QFile::encodeName(target).constData(), &info) == 0; ++n)
        target = base + QStringLiteral("-%1").arg(n);
    // rename() moves whatever is there (a link, a pipe) without opening it, and never copies.
    return ::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) == 0
               ? target
               : QString();
}
