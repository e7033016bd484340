#include "Property.h"

#include "history/HistoryFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>

#include <limits>

namespace {
// The payload as a file: header and checksum around it, so mutations reach the decoding of the
// payload instead of all failing the checksum.
QByteArray wrapped(const QByteArray &payload) {
    QByteArray file("TVKH", 4);
    QDataStream head(&file, QIODevice::Append);
    head.setByteOrder(QDataStream::BigEndian);
    head << quint16(1) << quint32(payload.size());
    file += payload;
    file += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    return file;
}

QString hex(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.left(256).toHex(' '));
}
} // namespace

// The first byte chooses what the rest is: 'F' a whole file as it lies on disk, anything else a
// payload that gets a good header and checksum. A file that decodes is one this program wrote:
// encoding what was read gives back the very same bytes. Read into the usual ring, it keeps the
// newest checks of it.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray rest = bytes(data + 1, size - 1);
    const QByteArray file = data[0] == 'F' ? rest : wrapped(rest);

    const HistoryFile::ReadResult read = HistoryFile::decode(file, std::numeric_limits<int>::max());
    if (read.status != HistoryFile::Status::Ok) {
        property(read.status == HistoryFile::Status::Damaged && !read.error.isEmpty(),
                 "a refused file does not say why");
        return 0;
    }
    const QByteArray again = HistoryFile::encode(read.identity, read.history);
    property(again == file, "a decoded history does not encode to the bytes it came from",
             hex(file) + QStringLiteral(" -> ") + hex(again));
    property(HistoryFile::largestFile(read.identity, std::max(1, read.history.size())) >=
                 file.size(),
             "a history file is larger than its bound says a file can be", hex(file));

    const int capacity = 4;
    const HistoryFile::ReadResult ring = HistoryFile::decode(file, capacity);
    property(ring.status == HistoryFile::Status::Ok, "a good file is refused by a smaller ring");
    const int kept = std::min(capacity, read.history.size());
    property(ring.history.size() == kept, "a smaller ring keeps the wrong number of checks");
    for (int i = 0; i < kept; ++i) {
        const int from = read.history.size() - kept + i;
        property(ring.history.time(i) == read.history.time(from) &&
                     ring.history.reason(i) == read.history.reason(from) &&
                     ring.history.at(i).flags == read.history.at(from).flags,
                 "a smaller ring does not keep the newest checks in order");
    }
    return 0;
}
