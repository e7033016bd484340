#pragma once

#include "http/HttpFailure.h"
#include "http/HttpPhases.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The outcome of one request.
struct HttpResult {
    // No transport error and a status from 200 to 299, whatever the request's options; a host
    // check with options of its own is judged from the fields below (see CheckRequest).
    bool ok = false;
    double seconds = 0.0;      // libcurl's total time for the transfer
    std::optional<int> status; // the final HTTP status, when a response arrived
    QString error;             // why it failed; empty when ok
    QByteArray body;           // the body of a successful response, when the request kept it
    // Where the time went; present once an answer began to arrive.
    std::optional<HttpPhases> phases;
    // When the server's own (leaf) certificate runs out, for https answers.
    std::optional<QDateTime> certificateExpiry;
    HttpFailure failure = HttpFailure::None; // why it failed, sorted; None when ok
    // What the request's body searches found in what was read of the body (false for a search
    // not asked for), and whether the body went on past what they read.
    bool bodyContainsFound = false;
    bool bodyLacksFound = false;
    bool bodyCut = false;
    // The server's own certificate as PEM, for a certificate reading (HttpClient::readCertificate)
    // only.
    QByteArray certificatePem;
};
