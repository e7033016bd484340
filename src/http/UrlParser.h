#pragma once

#include <QString>

#include <optional>

// The parts of an address that parsed as an RFC 3986 URI reference.
struct ParsedUrl {
    std::optional<QString> scheme; // as written, without the ':'
    std::optional<QString> authority;
    QString path;
    std::optional<QString> query;
    std::optional<QString> fragment;
};

// A strict RFC 3986 URI-reference parser. QUrl repairs what it is given (it accepts spaces and
// non-ASCII text); the form and the engine need to know whether the text as typed is an
// address, and what its scheme is. Only printable ASCII from the RFC's character classes parses;
// a '%' must start a two-digit hex escape.
class UrlParser {
public:
    static std::optional<ParsedUrl> parse(const QString &text);

    // True for addresses the engine may request: they parse and their scheme is http or https
    // (in any letter case).
    static bool isWebAddress(const QString &text);
};
