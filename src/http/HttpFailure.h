#pragma once

#include <QString>

struct HttpResult;

// Why a check failed, sorted into what a person can act on. The engine also reads it to tell a
// machine without network from hosts that are really down.
enum class HttpFailure {
    None,               // the check succeeded
    NotChecked,         // no request has been made yet
    HttpStatus,         // an answer outside 200-299
    TimedOut,           // no complete answer before the deadline
    ConnectionRefused,  // the host answered and refused: the network itself works
    NameNotResolved,    // no address for the name
    NetworkUnreachable, // no route to the network
    HostUnreachable,    // no route to the host
    ConnectionFailed,   // any other failure to connect
    CertificateNotTrusted,
    TooManyRedirects,
    NotWebAddress, // the address (or a redirect) is not http or https
    ResponseTooLarge,
    HeaderTooLarge, // an answer began, but one of its header lines is beyond what is kept
    // The server's public key is not the one the request pinned: whoever answers is not the
    // server that was trusted, or it has a new key.
    CertificateKeyChanged,
    Other,
};

// The short reason for a result, as the tray and notifications show it: "HTTP 503", "timed out
// after 30 s", "connection refused"... Empty for a successful result.
QString failureReason(const HttpResult &result);

// Failures that say nothing about the host, only that this machine cannot reach the network.
bool isNetworkLevel(HttpFailure failure);
