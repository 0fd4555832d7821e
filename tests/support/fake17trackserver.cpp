#include "fake17trackserver.h"

#include "base/clock.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>

namespace
{
constexpr auto basePath = "/track/v2.2/";

QByteArray phraseFor(int status)
{
    if (status >= 200 && status < 300)
        return QByteArrayLiteral("OK");
    // Deliberately not the standard phrase: clients must not show what a server writes here.
    return QByteArrayLiteral("Fake Reason");
}

QJsonObject withoutEmpty(QJsonObject object)
{
    for (auto it = object.begin(); it != object.end();) {
        if (it->isNull() || (it->isString() && it->toString().isEmpty()))
            it = object.erase(it);
        else
            ++it;
    }
    return object;
}
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::json(const QJsonObject &object, int status)
{
    return raw(QJsonDocument(object).toJson(QJsonDocument::Compact), status);
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::raw(const QByteArray &body, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::httpStatus(int status)
{
    return raw(QByteArrayLiteral("{}"), status);
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::neverAnswer()
{
    Reply reply;
    reply.kind = Kind::neverAnswer;
    return reply;
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::resetConnection()
{
    Reply reply;
    reply.kind = Kind::resetConnection;
    return reply;
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::truncated(const QByteArray &fullBody)
{
    Reply reply = raw(fullBody);
    reply.kind = Kind::truncateBody;
    return reply;
}

Fake17TrackServer::Reply Fake17TrackServer::Reply::trickle(const QByteArray &fullBody)
{
    Reply reply = raw(fullBody);
    reply.kind = Kind::trickle;
    return reply;
}

Fake17TrackServer::Reply &Fake17TrackServer::Reply::withHeader(const QByteArray &name, const QByteArray &value)
{
    headers.append({name, value});
    return *this;
}

Fake17TrackServer::Reply &Fake17TrackServer::Reply::withDelay(std::chrono::milliseconds wait)
{
    delay = wait;
    return *this;
}

Fake17TrackServer::Fake17TrackServer(Clock *clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &Fake17TrackServer::onNewConnection);
}

Fake17TrackServer::~Fake17TrackServer() = default;

bool Fake17TrackServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 Fake17TrackServer::port() const
{
    return m_server->serverPort();
}

void Fake17TrackServer::close()
{
    m_server->close();
    const QList<QTcpSocket *> sockets = m_buffers.keys();
    for (QTcpSocket *socket : sockets)
        socket->abort();
}

QString Fake17TrackServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/track/v2.2").arg(port());
}

void Fake17TrackServer::setTrackInfo(const QString &number, const QJsonObject &trackInfo, std::optional<qint64> carrier)
{
    m_trackInfo.insert(number, trackInfo);
    if (carrier)
        m_dataCarrier.insert(number, *carrier);
}

void Fake17TrackServer::setAssignedCarrier(const QString &number, qint64 carrier)
{
    m_assignedCarrier.insert(number, carrier);
}

void Fake17TrackServer::setRegistered(const QString &number, std::optional<qint64> carrier)
{
    m_registered.insert(number, carrier);
}

bool Fake17TrackServer::isRegistered(const QString &number) const
{
    return m_registered.contains(number);
}

void Fake17TrackServer::setRealTimeEnabled(bool enabled)
{
    m_realTimeEnabled = enabled;
}

void Fake17TrackServer::setCarrierMatches(const QString &number, const QList<QPair<qint64, QString>> &carriers)
{
    m_carrierMatches.insert(number, carriers);
}

void Fake17TrackServer::setExpectedToken(const QByteArray &token)
{
    m_expectedToken = token;
}

void Fake17TrackServer::enqueue(const QString &endpoint, const Reply &reply)
{
    m_queued[endpoint].append(reply);
}

void Fake17TrackServer::setReply(const QString &endpoint, const Reply &reply)
{
    m_endpointReplies.insert(endpoint, reply);
}

void Fake17TrackServer::setHandler(std::function<std::optional<Reply>(const Request &)> handler)
{
    m_handler = std::move(handler);
}

QList<Fake17TrackServer::Request> Fake17TrackServer::requests(const QString &endpoint) const
{
    QList<Request> matching;
    for (const Request &request : m_requests) {
        if (request.endpoint == endpoint)
            matching.append(request);
    }
    return matching;
}

QStringList Fake17TrackServer::endpointLog() const
{
    QStringList log;
    for (const Request &request : m_requests)
        log.append(request.endpoint);
    return log;
}

bool Fake17TrackServer::waitForRequests(qsizetype count, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, static_cast<int>(timeout.count()));
}

QJsonObject Fake17TrackServer::envelope(const QJsonArray &accepted, const QJsonArray &rejected, qint64 code,
                                        const std::optional<QString> &message)
{
    QJsonObject object {{QStringLiteral("code"), code},
                        {QStringLiteral("data"),
                         QJsonObject {{QStringLiteral("accepted"), accepted}, {QStringLiteral("rejected"), rejected}}}};
    if (message)
        object.insert(QStringLiteral("message"), *message);
    return object;
}

QJsonObject Fake17TrackServer::trackInfo(std::optional<qint64> latestStatus, const QJsonArray &events,
                                         const std::optional<QString> &subStatus)
{
    QJsonObject latest;
    if (latestStatus)
        latest.insert(QStringLiteral("status"), *latestStatus);
    if (subStatus)
        latest.insert(QStringLiteral("sub_status"), *subStatus);
    return QJsonObject {
        {QStringLiteral("latest_status"), latest},
        {QStringLiteral("tracking"),
         QJsonObject {{QStringLiteral("providers"), QJsonArray {QJsonObject {{QStringLiteral("events"), events}}}}}},
    };
}

QJsonObject Fake17TrackServer::event(const QString &timeIso, const QString &description, std::optional<qint64> status,
                                     const QString &location)
{
    QJsonObject object = withoutEmpty(QJsonObject {{QStringLiteral("time_iso"), timeIso},
                                                   {QStringLiteral("description"), description},
                                                   {QStringLiteral("location"), location}});
    if (status)
        object.insert(QStringLiteral("status"), *status);
    return object;
}

QJsonObject Fake17TrackServer::trackData(const QString &number, std::optional<qint64> carrier,
                                         const QJsonObject &trackInfo)
{
    QJsonObject object {{QStringLiteral("number"), number}, {QStringLiteral("track_info"), trackInfo}};
    if (carrier)
        object.insert(QStringLiteral("carrier"), *carrier);
    return object;
}

QJsonObject Fake17TrackServer::rejection(const QString &number, qint64 code, const QString &message)
{
    QJsonObject error {{QStringLiteral("code"), code}};
    if (!message.isEmpty())
        error.insert(QStringLiteral("message"), message);
    return QJsonObject {{QStringLiteral("number"), number}, {QStringLiteral("error"), error}};
}

void Fake17TrackServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, QByteArray());
        m_busy.insert(socket, false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_buffers[socket].append(socket->readAll());
            processBuffer(socket);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            m_busy.remove(socket);
            socket->deleteLater();
        });
    }
}

void Fake17TrackServer::processBuffer(QTcpSocket *socket)
{
    while (m_buffers.contains(socket) && !m_busy.value(socket)) {
        QByteArray &buffer = m_buffers[socket];
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        Request request;
        request.method = requestLine.value(0);
        request.path = QString::fromLatin1(requestLine.value(1));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                       lines.at(i).mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);

        if (request.path.startsWith(QLatin1String(basePath)))
            request.endpoint = request.path.mid(qsizetype(qstrlen(basePath)));
        const QJsonDocument document = QJsonDocument::fromJson(request.body);
        if (document.isArray()) {
            request.items = document.array();
            for (const QJsonValue &item : std::as_const(request.items)) {
                const QJsonObject object = item.toObject();
                request.numbers.append(object.value(QStringLiteral("number")).toString());
                const QJsonValue carrier = object.value(QStringLiteral("carrier"));
                request.carriers.append(carrier.isUndefined() ? std::nullopt
                                                              : std::optional<qint64>(carrier.toInteger()));
            }
        }
        if (m_clock)
            request.clockTime = m_clock->now();
        m_requests.append(request);

        const Reply reply = answer(request);
        Q_EMIT requestReceived();
        if (reply.kind == Reply::Kind::neverAnswer) {
            m_busy[socket] = true;
            return;
        }
        if (reply.delay.count() > 0) {
            m_busy[socket] = true;
            QPointer<QTcpSocket> guarded(socket);
            QTimer::singleShot(reply.delay, this, [this, guarded, reply] {
                if (!guarded || !m_busy.contains(guarded))
                    return;
                m_busy[guarded] = false;
                send(guarded, reply);
                if (guarded && m_buffers.contains(guarded))
                    processBuffer(guarded);
            });
            return;
        }
        send(socket, reply);
    }
}

void Fake17TrackServer::send(QTcpSocket *socket, const Reply &reply)
{
    if (reply.kind == Reply::Kind::resetConnection) {
        // Zero linger turns the close into a TCP reset, as a crashed or hostile server would.
        struct linger noLinger {
            1, 0
        };
        ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
        socket->abort();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' '
        + (reply.reasonPhrase.isEmpty() ? phraseFor(reply.status) : reply.reasonPhrase) + "\r\n";
    bool hasContentType = false;
    for (const auto &[name, value] : reply.headers) {
        hasContentType = hasContentType || name.compare("content-type", Qt::CaseInsensitive) == 0;
        head += name + ": " + value + "\r\n";
    }
    if (!hasContentType)
        head += "Content-Type: application/json\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n";
    if (reply.kind == Reply::Kind::truncateBody) {
        socket->write(head + reply.body.left(reply.body.size() / 2));
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    if (reply.kind == Reply::Kind::trickle) {
        socket->write(head);
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, body = reply.body, sent = qsizetype(0)]() mutable {
            if (sent < body.size())
                socket->write(body.mid(sent++, 1));
        });
        timer->start(50);
        return;
    }
    socket->write(head + reply.body);
}

Fake17TrackServer::Reply Fake17TrackServer::answer(const Request &request)
{
    if (m_handler) {
        if (auto reply = m_handler(request))
            return *reply;
    }
    auto queued = m_queued.find(request.endpoint);
    if (queued != m_queued.end() && !queued->isEmpty())
        return queued->takeFirst();
    const auto perEndpoint = m_endpointReplies.constFind(request.endpoint);
    if (perEndpoint != m_endpointReplies.constEnd())
        return *perEndpoint;
    return simulate(request);
}

Fake17TrackServer::Reply Fake17TrackServer::simulate(const Request &request)
{
    if (!request.path.startsWith(QLatin1String(basePath)))
        return Reply::httpStatus(404);
    if (request.method != "POST")
        return Reply::httpStatus(405);
    if (!m_expectedToken.isEmpty() && request.header("17token") != m_expectedToken)
        return Reply::httpStatus(401);

    if (request.endpoint == QLatin1String("getquota")) {
        // Every registered number uses one unit of a free plan's 100.
        const qint64 used = m_registered.size();
        return Reply::json(QJsonObject {{QStringLiteral("code"), 0},
                                        {QStringLiteral("data"),
                                         QJsonObject {{QStringLiteral("quota_total"), 100},
                                                      {QStringLiteral("quota_used"), used},
                                                      {QStringLiteral("quota_remain"), 100 - used},
                                                      {QStringLiteral("today_used"), used},
                                                      {QStringLiteral("max_track_daily"), 0}}}});
    }

    QJsonArray accepted;
    QJsonArray rejected;
    const auto carrierValue
        = [](std::optional<qint64> carrier) { return carrier ? QJsonValue(*carrier) : QJsonValue(QJsonValue::Null); };
    for (qsizetype i = 0; i < request.numbers.size(); ++i) {
        const QString &number = request.numbers.at(i);
        const std::optional<qint64> requested = request.carriers.value(i);
        if (request.endpoint == QLatin1String("register")) {
            if (m_registered.contains(number)) {
                QJsonObject error {
                    {QStringLiteral("code"), -18019901},
                    {QStringLiteral("message"), QStringLiteral("The tracking number is already registered.")}};
                if (const auto carrier = m_registered.value(number))
                    error.insert(QStringLiteral("carrier"), *carrier);
                rejected.append(QJsonObject {{QStringLiteral("number"), number}, {QStringLiteral("error"), error}});
                continue;
            }
            std::optional<qint64> carrier = requested;
            if (m_assignedCarrier.contains(number))
                carrier = m_assignedCarrier.value(number);
            else if (!carrier && m_dataCarrier.contains(number))
                carrier = m_dataCarrier.value(number);
            m_registered.insert(number, carrier);
            QJsonObject item {{QStringLiteral("number"), number}};
            if (carrier)
                item.insert(QStringLiteral("carrier"), *carrier);
            accepted.append(item);
        } else if (request.endpoint == QLatin1String("gettrackinfo")) {
            if (!m_registered.contains(number)) {
                rejected.append(rejection(number, -18019902, QStringLiteral("The tracking number is not registered.")));
                continue;
            }
            const QJsonObject info = m_trackInfo.value(number, trackInfo(0));
            QJsonObject data {{QStringLiteral("number"), number}, {QStringLiteral("track_info"), info}};
            const std::optional<qint64> carrier = m_registered.value(number);
            if (carrier)
                data.insert(QStringLiteral("carrier"), carrierValue(carrier));
            accepted.append(data);
        } else if (request.endpoint == QLatin1String("getrealtimetrackinfo")) {
            if (!m_realTimeEnabled || !m_trackInfo.contains(number)) {
                rejected.append(rejection(number, -18019909, QStringLiteral("No tracking information at this time.")));
                continue;
            }
            std::optional<qint64> carrier = requested;
            if (!carrier && m_dataCarrier.contains(number))
                carrier = m_dataCarrier.value(number);
            accepted.append(trackData(number, carrier, m_trackInfo.value(number)));
        } else if (request.endpoint == QLatin1String("getcarrier")) {
            if (!m_carrierMatches.contains(number)) {
                rejected.append(QJsonObject {{QStringLiteral("number"), number}});
                continue;
            }
            QJsonArray carriers;
            for (const auto &[key, name] : m_carrierMatches.value(number)) {
                QJsonObject carrier {{QStringLiteral("key"), key}};
                if (!name.isEmpty())
                    carrier.insert(QStringLiteral("name"), name);
                carriers.append(carrier);
            }
            accepted.append(QJsonObject {{QStringLiteral("number"), number}, {QStringLiteral("carriers"), carriers}});
        } else if (request.endpoint == QLatin1String("deletetrack")) {
            if (m_registered.remove(number) > 0)
                accepted.append(QJsonObject {{QStringLiteral("number"), number}});
            else
                rejected.append(rejection(number, -18019902, QStringLiteral("The tracking number is not registered.")));
        } else {
            return Reply::httpStatus(404);
        }
    }
    return Reply::json(envelope(accepted, rejected));
}
