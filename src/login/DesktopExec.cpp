#include "login/DesktopExec.h"

#include <algorithm>
#include <vector>

namespace {
// Characters that may only appear inside a quoted argument.
const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// Characters that need a backslash inside a quoted argument.
const QString escapedInQuotes = QStringLiteral("\"`$\\");
// Field codes that stand for files or URLs (and the deprecated ones); a launch without either
// drops them.
const QString droppedCodes = QStringLiteral("fFuUdDnNvm");

bool fail(QString *error, const QString &why) {
    if (error)
        *error = why;
    return false;
}

struct Token {
    QString text;
    bool quoted = false;
};

bool tokenize(const QString &exec, std::vector<Token> &tokens, QString *error) {
    qsizetype i = 0;
    const qsizetype n = exec.size();
    while (i < n) {
        if (exec[i] == u' ' || exec[i] == u'\t') {
            ++i;
            continue;
        }
        Token token;
        if (exec[i] == u'"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = exec[i++];
                if (c == u'"') {
                    closed = true;
                    break;
                }
                if (c == u'\\') {
                    if (i >= n || !escapedInQuotes.contains(exec[i]))
                        return fail(error, QStringLiteral("a backslash in quotes must escape one "
                                                          "of \" ` $ \\"));
                    token.text += exec[i++];
                } else {
                    token.text += c;
                }
            }
            if (!closed)
                return fail(error, QStringLiteral("a quoted argument is not closed"));
            if (i < n && exec[i] != u' ' && exec[i] != u'\t')
                return fail(error, QStringLiteral("a quoted argument must end at a space"));
        } else {
            while (i < n && exec[i] != u' ' && exec[i] != u'\t') {
                if (reserved.contains(exec[i]))
                    return fail(
                        error,
                        QStringLiteral("'%1' must be inside a quoted argument").arg(exec[i]));
                token.text += exec[i++];
            }
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

// Expands the codes in one argument. A file, URL or icon code that is the whole argument
// replaces the argument itself, so it may leave none or two behind.
bool expand(const Token &token, const DesktopExec::Fields &fields, QStringList &out,
            QString *error) {
    const QString &t = token.text;
    if (t.size() == 2 && t[0] == u'%') {
        if (droppedCodes.contains(t[1]))
            return true;
        if (t[1] == u'i') {
            if (!fields.icon.isEmpty())
                out << QStringLiteral("--icon") << fields.icon;
            return true;
        }
    }
    QString text;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] != u'%') {
            text += t[i];
            continue;
        }
        if (++i >= t.size())
            return fail(error, QStringLiteral("a lone %% ends the line"));
        const QChar code = t[i];
        if (code == u'%')
            text += u'%';
        else if (code == u'c')
            text += fields.name;
        else if (code == u'k')
            text += fields.entryPath;
        else if (!droppedCodes.contains(code))
            return fail(error, QStringLiteral("unknown field code %%%1").arg(code));
    }
    out << text;
    return true;
}
} // namespace

std::optional<QStringList> DesktopExec::split(const QString &exec, const Fields &fields,
                                              QString *error) {
    std::vector<Token> tokens;
    if (!tokenize(exec, tokens, error))
        return std::nullopt;
    QStringList arguments;
    for (const Token &token : tokens)
        if (!expand(token, fields, arguments, error))
            return std::nullopt;
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        fail(error, QStringLiteral("no program to run"));
        return std::nullopt;
    }
    return arguments;
}

QString DesktopExec::quote(const QString &argument) {
    QString text = argument;
    text.replace(u'%', QStringLiteral("%%"));
    const bool plain = !text.isEmpty() && std::none_of(text.begin(), text.end(), [](QChar c) {
        return reserved.contains(c);
    });
    if (plain)
        return text;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (escapedInQuotes.contains(c))
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}
