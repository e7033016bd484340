#pragma once

#include <QString>

class Host;
class TRHostController;

// What the edit form proposes and how it makes names unique; pure functions of the texts, the
// host being edited (none for a new host) and the engine's list (none without an engine).
// Characters are what a person sees as one character (grapheme clusters).
class HostNameProposals {
public:
    // "http://" in front of a text that parses as an address without a scheme, or that is a host
    // name and a port ("localhost:8080", "example.com:8080/status"); anything else as typed.
    static QString normalizedAddress(const QString &address);
    // A host name (letters, digits, '-', '.'), ':' and a port, then optionally a path, query or
    // fragment: a strict parse reads the host name as a scheme, but nobody means that.
    static bool isHostAndPort(const QString &address);
    // Why the engine will never check `address` as it would be saved, for the user; empty when
    // it will.
    static QString addressProblem(const QString &address);

    // The address without its scheme, the "://" or ":" after it, the user information of an
    // authority and one leading "www.", made unique; a text without a scheme (or with the scheme
    // "localhost") as it is, made unique. A host name and port is named as the address it becomes.
    static QString defaultName(const QString &address, const Host *edited,
                               const TRHostController *engine);
    // The first character of the name, else of the name's placeholder, made unique; "#" when
    // both are empty.
    static QString defaultShortName(const QString &name, const QString &namePlaceholder,
                                    const Host *edited, const TRHostController *engine);

    // `candidate`, else "candidate 2", "candidate 3", ... - the first not taken by another host.
    // A host keeps its own name.
    static QString uniqueName(const QString &candidate, const Host *edited,
                              const TRHostController *engine);
    // The same for short names, without the space: "e", "e2", "e3", ...
    static QString uniqueShortName(const QString &candidate, const Host *edited,
                                   const TRHostController *engine);

    static QString firstCharacter(const QString &text);
    static QString withoutFirstCharacters(const QString &text, int count);
};
