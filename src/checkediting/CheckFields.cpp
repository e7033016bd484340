#include "checkediting/CheckFields.h"

namespace {
// A whole number typed in a field, or 0 (outside every option's range) for anything else, so
// the options' own check says what the field must hold.
int typedNumber(const QString &text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok ? number : 0;
}

std::optional<QString> typedText(const QString &text) {
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

// Puts the option named `key` back to its default, so the next problem found is another field's.
void resetOption(CheckOptions &options, const QString &key) {
    const CheckOptions defaults;
    if (key == QLatin1String(CheckOptions::bodyContainsKey))
        options.bodyContains.reset();
    else if (key == QLatin1String(CheckOptions::bodyLacksKey))
        options.bodyLacks.reset();
    else if (key == QLatin1String(CheckOptions::timeoutSecondsKey))
        options.timeoutSeconds = defaults.timeoutSeconds;
    else if (key == QLatin1String(CheckOptions::headersKey))
        options.headers.clear();
    else if (key == QLatin1String(CheckOptions::trustedCertificateKey))
        options.trustedCertificate.reset();
    else if (key == QLatin1String(CheckOptions::slowAboveMsKey))
        options.slowAboveMs.reset();
    else
        options = defaults; // a problem no field owns: nothing further can be told apart
}
} // namespace

CheckFields CheckFields::of(const CheckOptions &options) {
    CheckFields fields;
    fields.expectStatus = options.expectStatus.toString();
    fields.followRedirects = options.followRedirects;
    fields.head = options.method == CheckOptions::Method::Head;
    fields.bodyContains = options.bodyContains.value_or(QString());
    fields.bodyLacks = options.bodyLacks.value_or(QString());
    fields.timeoutSeconds = QString::number(options.timeoutSeconds);
    for (auto it = options.headers.cbegin(); it != options.headers.cend(); ++it)
        fields.headers.append(Header{it.key(), QString(), it.key()});
    fields.trustedCertificate = options.trustedCertificate.value_or(QString());
    if (options.slowAboveMs)
        fields.slowAboveMs = QString::number(*options.slowAboveMs);
    return fields;
}

CheckFields::Reading CheckFields::read(const CheckOptions &stored) const {
    Reading reading;
    CheckOptions options;
    if (!expectStatus.trimmed().isEmpty()) {
        QString why;
        if (const auto expectation = StatusExpectation::parse(expectStatus, &why))
            options.expectStatus = *expectation;
        else
            reading.problems.insert(QString::fromLatin1(CheckOptions::expectStatusKey), why);
    }
    options.followRedirects = followRedirects;
    options.method = head ? CheckOptions::Method::Head : CheckOptions::Method::Get;
    options.bodyContains = typedText(bodyContains);
    options.bodyLacks = typedText(bodyLacks);
    if (!timeoutSeconds.trimmed().isEmpty())
        options.timeoutSeconds = typedNumber(timeoutSeconds);
    for (const Header &header : headers) {
        // A row left wholly empty is one the user added and did not fill.
        if (header.name.isEmpty() && header.value.isEmpty() && header.storedName.isEmpty())
            continue;
        const bool keep = header.value.isEmpty() && stored.headers.contains(header.storedName);
        if (options.headers.contains(header.name)) {
            reading.problems.insert(QString::fromLatin1(CheckOptions::headersKey),
                                    QStringLiteral("two headers are named the same"));
            continue;
        }
        options.headers.insert(header.name,
                               keep ? stored.headers.value(header.storedName) : header.value);
    }
    options.trustedCertificate = typedText(trustedCertificate.trimmed());
    if (!slowAboveMs.trimmed().isEmpty())
        options.slowAboveMs = typedNumber(slowAboveMs);

    // Each field's own problem: the options name their first one, which is then put back to its
    // default so the next one shows too.
    CheckOptions probe = options;
    while (const auto problem = probe.problem()) {
        if (!reading.problems.contains(problem->key))
            reading.problems.insert(problem->key, problem->why);
        resetOption(probe, problem->key);
    }
    if (reading.problems.isEmpty())
        reading.options = options;
    return reading;
}
