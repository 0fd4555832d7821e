#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class Clock;
class QTcpServer;
class QTcpSocket;

/**
 * A stand-in for the 17TRACK API v2.2: a real HTTP/1.1 server on 127.0.0.1 (port chosen by
 * the system) that answers the six POST endpoints and records every request.
 *
 * Typical use:
 * @code
 *   Fake17TrackServer server(&virtualClock);
 *   QVERIFY(server.listen());
 *   options.baseURL = server.baseUrl();                     // http://127.0.0.1:PORT/track/v2.2
 *   server.setTrackInfo("1Z999", Fake17TrackServer::trackInfo(10, {Fake17TrackServer::event(...)}), 100002);
 *   server.enqueue("gettrackinfo", Fake17TrackServer::Reply::httpStatus(429).withHeader("Retry-After", "30"));
 *   ... run the code under test ...
 *   QCOMPARE(server.requests("register").size(), 1);
 * @endcode
 *
 * How an answer is chosen, first match wins:
 *  1. the handler of setHandler(), when it returns a reply;
 *  2. the next reply enqueued for the endpoint with enqueue() (used once);
 *  3. a reply set with setReply() for the endpoint;
 *  4. the built-in simulation of the service:
 *     - "register": a new number is registered and accepted with its carrier (the one given with
 *       setAssignedCarrier(), else the request's, else the one of setTrackInfo()); a registered
 *       number is rejected with code -18019901 and its carrier;
 *     - "gettrackinfo": a registered number is accepted with its data from setTrackInfo(), or
 *       with an empty pending record while it has none; an unregistered one is rejected with -18019902;
 *     - "getrealtimetrackinfo": a number with data is accepted (unless setRealTimeEnabled(false)),
 *       any other is rejected with -18019909;
 *     - "getcarrier": numbers given to setCarrierMatches() are accepted with those carriers,
 *       others are rejected;
 *     - "deletetrack": removes the registration;
 *     - "getquota": a plan of 100 of which each registered number uses one.
 * With setExpectedToken() every request whose "17token" header differs gets HTTP 401.
 * Requests to other paths get 404, other methods 405.
 */
class Fake17TrackServer : public QObject
{
    Q_OBJECT
public:
    /** How the server answers one request. */
    struct Reply {
        enum class Kind {
            answer, // status line, headers, body
            neverAnswer, // reads the request and stays silent, keeping the connection open
            resetConnection, // drops the connection with a TCP reset, without a byte of answer
            truncateBody, // announces the whole body but sends half of it, then closes
            trickle, // announces the body, then sends one byte of it every 50 ms of real time
        };
        Kind kind = Kind::answer;
        int status = 200;
        QByteArray reasonPhrase; // empty: "OK" for 2xx, a made-up phrase otherwise
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        std::chrono::milliseconds delay {0}; // real time to wait before answering

        /** 200 with a JSON body. */
        static Reply json(const QJsonObject &object, int status = 200);
        /** Any bytes as body, as application/json. */
        static Reply raw(const QByteArray &body, int status = 200);
        /** A status with an empty JSON object as body. */
        static Reply httpStatus(int status);
        static Reply neverAnswer();
        static Reply resetConnection();
        static Reply truncated(const QByteArray &fullBody);
        static Reply trickle(const QByteArray &fullBody);

        Reply &withHeader(const QByteArray &name, const QByteArray &value);
        Reply &withDelay(std::chrono::milliseconds wait);
    };

    /** One request as it arrived. */
    struct Request {
        QByteArray method;
        QString path; // "/track/v2.2/register"
        QString endpoint; // "register"
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        QJsonArray items; // the body when it is a JSON array, else empty
        QStringList numbers; // "number" of each item
        QList<std::optional<qint64>> carriers; // "carrier" of each item, none where the key is missing
        QDateTime clockTime; // the injected clock's time at arrival; invalid without a clock

        [[nodiscard]] QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };

    /** The clock, when given, stamps each request with its time (Request::clockTime). Not owned. */
    explicit Fake17TrackServer(Clock *clock = nullptr, QObject *parent = nullptr);
    ~Fake17TrackServer() override;

    /** Starts listening on 127.0.0.1 with a free port. */
    [[nodiscard]] bool listen();
    /** "http://127.0.0.1:PORT/track/v2.2" */
    [[nodiscard]] QString baseUrl() const;
    [[nodiscard]] quint16 port() const;
    /** Stops listening and drops every open connection. */
    void close();

    // Simulation state
    /** Data the service has for a number ("track_info" object) and, optionally, its carrier. */
    void setTrackInfo(const QString &number, const QJsonObject &trackInfo, std::optional<qint64> carrier = {});
    /** The carrier the service picks when the number is registered, whatever the request says. */
    void setAssignedCarrier(const QString &number, qint64 carrier);
    /** Marks a number as registered already, under a carrier or none. */
    void setRegistered(const QString &number, std::optional<qint64> carrier = {});
    [[nodiscard]] bool isRegistered(const QString &number) const;
    /** Whether real-time look-ups answer with data (default true). */
    void setRealTimeEnabled(bool enabled);
    /** The carriers "getcarrier" names for a number, as (key, name); an empty name leaves "name" out. */
    void setCarrierMatches(const QString &number, const QList<QPair<qint64, QString>> &carriers);
    /** Requests whose "17token" differs get HTTP 401; an empty token turns the check off. */
    void setExpectedToken(const QByteArray &token);

    // Scripting
    void enqueue(const QString &endpoint, const Reply &reply);
    void setReply(const QString &endpoint, const Reply &reply);
    void setHandler(std::function<std::optional<Reply>(const Request &)> handler);

    // Request log
    [[nodiscard]] QList<Request> requests() const { return m_requests; }
    [[nodiscard]] QList<Request> requests(const QString &endpoint) const;
    /** Endpoint names of all requests in arrival order ("getrealtimetrackinfo", "register", ...). */
    [[nodiscard]] QStringList endpointLog() const;
    void clearRequests() { m_requests.clear(); }
    /** Spins the event loop until at least `count` requests arrived; false on time-out. */
    bool waitForRequests(qsizetype count, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Builders for answers
    /** {"code": code, "data": {"accepted": [...], "rejected": [...]}} plus "message" when given. */
    static QJsonObject envelope(const QJsonArray &accepted, const QJsonArray &rejected = {}, qint64 code = 0,
                                const std::optional<QString> &message = {});
    /** A "track_info" object with a latest status, one provider with these events, and optional extras. */
    static QJsonObject trackInfo(std::optional<qint64> latestStatus, const QJsonArray &events = {},
                                 const std::optional<QString> &subStatus = {});
    /** One event; fields left out when empty or none. */
    static QJsonObject event(const QString &timeIso, const QString &description, std::optional<qint64> status,
                             const QString &location = {});
    /** An accepted track record. */
    static QJsonObject trackData(const QString &number, std::optional<qint64> carrier, const QJsonObject &trackInfo);
    /** A rejected record {"number", "error": {"code", "message"}}. */
    static QJsonObject rejection(const QString &number, qint64 code, const QString &message = {});

Q_SIGNALS:
    void requestReceived();

private:
    void onNewConnection();
    void processBuffer(QTcpSocket *socket);
    Reply answer(const Request &request);
    Reply simulate(const Request &request);
    void send(QTcpSocket *socket, const Reply &reply);

    Clock *m_clock;
    QTcpServer *m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QTcpSocket *, bool> m_busy;
    QList<Request> m_requests;

    QHash<QString, QJsonObject> m_trackInfo;
    QHash<QString, qint64> m_dataCarrier;
    QHash<QString, qint64> m_assignedCarrier;
    QHash<QString, std::optional<qint64>> m_registered;
    QHash<QString, QList<QPair<qint64, QString>>> m_carrierMatches;
    bool m_realTimeEnabled = true;
    QByteArray m_expectedToken;

    QHash<QString, QList<Reply>> m_queued;
    QHash<QString, Reply> m_endpointReplies;
    std::function<std::optional<Reply>(const Request &)> m_handler;
};
