#include "history/HistoryFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace {
constexpr char magic[4] = {'T', 'V', 'K', 'H'};
constexpr quint16 version = 1;
constexpr int digestBytes = 32;
constexpr qint64 noExpiry = std::numeric_limits<qint64>::min();
// Far more than a ring ever holds; anything above is damage, not a long history.
constexpr quint32 countLimit = 1u << 20;

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
    constexpr int headBytes = int(sizeof magic) + 2 + 4;
    if (bytes.size() < headBytes + digestBytes || !bytes.startsWith(QByteArray(magic, 4)))
        return damaged(QStringLiteral("not a history file"));
    QDataStream head(bytes.mid(4, 6));
    prepare(head);
    quint16 fileVersion = 0;
    quint32 length = 0;
    head >> fileVersion >> length;
    if (fileVersion != version)
        return damaged(QStringLiteral("unknown version %1").arg(fileVersion));
    if (qint64(headBytes) + length + digestBytes != bytes.size())
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
    if (expiry != noExpiry)
        result.history.setCertificateExpiry(QDateTime::fromMSecsSinceEpoch(expiry, Qt::UTC));
    QStringList texts{QString()};
    for (quint32 i = 0; i < textCount && in.status() == QDataStream::Ok; ++i) {
        QString text;
        in >> text;
        texts.append(text);
    }
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > countLimit)
        return damaged(QStringLiteral("its reason texts do not decode"));
    for (quint32 i = 0; i < count; ++i) {
        HistoryRecord record;
        in >> record.time >> record.total;
        for (float &phase : record.phases)
            in >> phase;
        in >> record.reason >> record.flags;
        if (in.status() != QDataStream::Ok || record.reason >= texts.size())
            return damaged(QStringLiteral("check %1 does not decode").arg(i));
        record.flags &= HistoryRecord::Up | HistoryRecord::HasPhases;
        result.history.append(record, texts.at(record.reason));
    }
    if (!in.atEnd())
        return damaged(QStringLiteral("it has bytes after its last check"));
    result.status = Status::Ok;
    return result;
}

HistoryFile::ReadResult HistoryFile::read(const QString &path, int capacity) {
    QFile file(path);
    if (!file.exists())
        return ReadResult();
    if (!file.open(QIODevice::ReadOnly))
        return damaged(file.errorString());
    return decode(file.readAll(), capacity);
}

bool HistoryFile::write(const QString &path, const Identity &identity, const HostHistory &history,
                        QString *error) {
    QSaveFile file(path);
    const QByteArray bytes = encode(identity, history);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString HistoryFile::setAside(const QString &path, const QDateTime &now) {
    const QString base = path + QStringLiteral(".damaged-") +
                         now.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral("-%1").arg(n);
    return QFile::rename(path, target) ? target : QString();
}
