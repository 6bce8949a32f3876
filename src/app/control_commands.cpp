#include "app/control_commands.h"

#include "app/app_delegate.h"
#include "app/control_server.h"
#include "app/session_status.h"
#include "control/control_protocol.h"
#include "session/session_store.h"

#include <QPointer>

#include <memory>

namespace tovik {

namespace {

using Reply = ControlServer::Reply;

using controlProtocol::folderKey;
using controlProtocol::noticeKey;

std::optional<Failure> refusal(const SessionStore& store) {
    if (store.exporting())
        return Failure::of(CommandError::busy);
    if (store.items().isEmpty())
        return Failure::of(CommandError::noCaptures);
    return std::nullopt;
}

// Starts `operation` (a copy or a paste) and replies once the store's export has finished:
// with the notice it set, or with the error it reported. One that never started is refused.
void replyWhenExported(SessionStore& store, const Reply& reply,
                       const std::function<void()>& operation, const Failure& unfinished) {
    if (const std::optional<Failure> refused = refusal(store))
        return reply(*refused);
    struct Outcome {
        std::optional<QString> notice, error; // as set by the operation
        QList<QMetaObject::Connection> connections;
    };
    auto outcome = std::make_shared<Outcome>();
    // A new operation: an error shown from an earlier one is no longer news.
    store.setError(std::nullopt);
    const auto finish = [&store, reply, outcome, unfinished] {
        for (const QMetaObject::Connection& c : std::as_const(outcome->connections))
            QObject::disconnect(c);
        if (outcome->error)
            return reply(Failure::platform(*outcome->error));
        if (!outcome->notice)
            return reply(unfinished);
        QJsonObject fields{{noticeKey, *outcome->notice}};
        if (store.lastExport())
            fields.insert(folderKey, *store.lastExport());
        reply(fields);
    };
    outcome->connections = {
        QObject::connect(&store, &SessionStore::errorChanged, &store,
                         [&store, outcome] { outcome->error = store.error(); }),
        QObject::connect(&store, &SessionStore::noticeChanged, &store,
                         [&store, outcome] { outcome->notice = store.notice(); }),
    };
    operation();
    if (!store.exporting())
        return finish(); // ended, or failed, at once
    outcome->connections.append(
        QObject::connect(&store, &SessionStore::exportingChanged, &store, [&store, finish] {
            if (!store.exporting())
                finish();
        }));
}

QJsonObject done() {
    return {};
}

} // namespace

QString message(CommandError error) {
    switch (error) {
    case CommandError::noCaptures:
        return QStringLiteral("There are no captures in this session.");
    case CommandError::busy:
        return QStringLiteral("An export or a paste is still under way.");
    case CommandError::pasteFailed:
        return QStringLiteral("The paste did not finish; tovik’s alert says why.");
    }
    return {};
}

void addControlCommands(ControlServer& server, SessionStore& store, AppDelegate& delegate) {
    server.addCommand(QStringLiteral("show"), [&delegate] {
        delegate.applicationShouldHandleReopen();
        return done();
    });
    server.addCommand(QStringLiteral("capture"), [&delegate] {
        delegate.startOrCapture();
        return done();
    });
    server.addCommand(QStringLiteral("settings"), [&delegate] {
        delegate.showSettings();
        return done();
    });
    server.addCommand(QStringLiteral("stop"), [&delegate] {
        delegate.finish();
        return done();
    });
    for (const bool sheet : {false, true}) {
        server.addDeferredCommand(sheet ? QStringLiteral("copy-contact-sheet")
                                        : QStringLiteral("copy"),
                                  [&store, sheet](const Reply& reply) {
                                      replyWhenExported(
                                          store, reply, [&store, sheet] { store.copyFiles(sheet); },
                                          Failure::of(CommandError::busy));
                                  });
    }
    server.addDeferredCommand(QStringLiteral("copy-prompt"), [&store](const Reply& reply) {
        replyWhenExported(
            store, reply, [&store] { store.copyPrompt(); }, Failure::of(CommandError::busy));
    });
    server.addDeferredCommand(QStringLiteral("paste"), [&store](const Reply& reply) {
        if (store.phase() == Phase::capturing)
            return reply(Failure::of(CommandError::busy));
        replyWhenExported(
            store, reply, [&store] { store.paste(); }, Failure::of(CommandError::pasteFailed));
    });
    server.addCommand(QStringLiteral("status"), [&store] { return sessionStatus(store); });
    server.addDeferredCommand(QStringLiteral("quit"), [&delegate](const Reply& reply) {
        reply(done()); // answered before the event loop ends
        delegate.quit();
    });
}

} // namespace tovik
