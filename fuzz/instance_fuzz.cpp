#include "Property.h"

#include "instance/InstanceProtocol.h"

#include <vector>

namespace {
struct Taken {
    QByteArray command;
    QByteArray payload;
};

// Everything `stream` yields when it arrives `chunk` bytes at a time, as the server reads it.
std::vector<Taken> takeAll(const QByteArray &stream, qsizetype chunk, bool *invalid,
                           QByteArray *consumed) {
    std::vector<Taken> taken;
    QByteArray buffer;
    qsizetype offset = 0;
    *invalid = false;
    while (offset < stream.size() && !*invalid) {
        buffer += stream.mid(offset, chunk);
        offset += chunk;
        for (;;) {
            Taken one;
            const qsizetype before = buffer.size();
            const InstanceProtocol::Take result =
                InstanceProtocol::take(buffer, &one.command, &one.payload);
            if (result == InstanceProtocol::Take::Incomplete) {
                property(buffer.size() == before, "an incomplete message was consumed");
                break;
            }
            if (result == InstanceProtocol::Take::Invalid) {
                *invalid = true;
                break;
            }
            // A message taken is one a client could have sent: encoding it again gives the
            // very bytes it was taken from.
            const QByteArray sent = InstanceProtocol::message(one.command, one.payload);
            const qsizetype start = consumed->size();
            *consumed += sent;
            property(stream.mid(start, sent.size()) == sent,
                     "a message taken is not the bytes that were sent");
            property(buffer.size() == before - sent.size(), "a message took the wrong length");
            property(!one.command.isEmpty() && !one.command.contains('\n'),
                     "a command word is empty or holds a newline");
            taken.push_back(std::move(one));
        }
    }
    return taken;
}
} // namespace

// The first byte says how the rest arrives: in pieces of that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    if (size == 0)
        return 0;
    const qsizetype chunk = data[0] == 0 ? 1 : data[0];
    const QByteArray stream = bytes(data + 1, size - 1);

    bool invalidInPieces = false;
    QByteArray consumedInPieces;
    const std::vector<Taken> inPieces = takeAll(stream, chunk, &invalidInPieces, &consumedInPieces);
    bool invalidAtOnce = false;
    QByteArray consumedAtOnce;
    const std::vector<Taken> atOnce =
        takeAll(stream, stream.size() + 1, &invalidAtOnce, &consumedAtOnce);

    // How the bytes are cut up by the socket changes nothing.
    property(inPieces.size() == atOnce.size() && consumedInPieces == consumedAtOnce &&
                 invalidInPieces == invalidAtOnce,
             "messages depend on how the bytes arrive");
    for (size_t i = 0; i < atOnce.size(); ++i)
        property(inPieces[i].command == atOnce[i].command &&
                     inPieces[i].payload == atOnce[i].payload,
                 "messages depend on how the bytes arrive");
    return 0;
}
