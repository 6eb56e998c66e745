// The update check against a local HTTP server started by the test on 127.0.0.1: the POST with
// its multipart field, the replies that are the own version, a newer one or another spelling, an
// error status, a refused connection, a server that never answers (a short timeout here), and a
// server that asks for credentials, once or always. The check never blocks its caller.
#include "gui/update/UpdateCheckClient.h"

#include "support/GuiTestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <optional>

using namespace drivlet;
using namespace drivlet::gui;
using drivlet::test::WaitUntil;

namespace {

// Answers every request as `respond` says from the request's head and body; an empty answer
// leaves the connection open and silent.
class LocalServer : public QObject {
public:
    std::function<QByteArray(const QByteArray& head, const QByteArray& body)> respond;
    QList<QByteArray> requests; // head + body of each
    QList<QTcpSocket*> silent;

    LocalServer() {
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        });
    }
    std::string Address() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()); }
    void Close() { server_.close(); }

private:
    void Read(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
        if (buffer.size() < end + 4 + length) return;
        const QByteArray body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        requests << head + "\r\n\r\n" + body;
        const QByteArray answer = respond(head, body);
        if (answer.isEmpty()) {
            silent << socket;
            return;
        }
        socket->write(answer);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
};

QByteArray Reply(int status, const QByteArray& body, const QByteArray& extra = {}) {
    return "HTTP/1.1 " + QByteArray::number(status) +
           " X\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
           extra + "\r\n" + body;
}

struct Result {
    bool done = false;
    std::optional<std::string> body;
};

} // namespace

class UpdateCheckClientTest : public QObject {
    Q_OBJECT

    static std::shared_ptr<Result> Check(UpdateCheckClient& client) {
        auto result = std::make_shared<Result>();
        client.Check([result](std::optional<std::string> body) {
            result->done = true;
            result->body = std::move(body);
        });
        return result;
    }

private slots:
    void theRepliesBodyDecidesAndTheRequestCarriesItsField() {
        LocalServer server;
        QByteArray version = "V 4.0.1";
        server.respond = [&](const QByteArray&, const QByteArray&) { return Reply(200, version); };
        UpdateCheckClient client(server.Address());
        for (const QByteArray& v : {QByteArray("V 4.0.1"), QByteArray("V 4.0.2"), QByteArray("v 4.0.1")}) {
            version = v;
            auto result = Check(client);
            QVERIFY(WaitUntil([&] { return result->done; }));
            QVERIFY(result->body.has_value());
            QCOMPARE(QByteArray::fromStdString(*result->body), v);
        }
        QVERIFY(UpdateMessageFor(std::string("V 4.0.1"), true).form == UpdateMessage::Form::Notice);
        QVERIFY(UpdateMessageFor(std::string("V 4.0.1"), false).form == UpdateMessage::Form::None);
        QVERIFY(UpdateMessageFor(std::string("v 4.0.1"), false).form == UpdateMessage::Form::Question);
        const QByteArray request = server.requests.front();
        QVERIFY(request.startsWith("POST /appPHP/checkupgrade.php HTTP/1.1"));
        QVERIFY(request.contains("multipart/form-data; boundary="));
        QVERIFY(request.contains("name=\"FROMAPP\"\r\n\r\nCheckUpdate"));
    }

    void anErrorStatusARefusedConnectionAndSilenceAreFailures() {
        LocalServer server;
        server.respond = [](const QByteArray&, const QByteArray&) { return Reply(500, "V 9.9.9"); };
        UpdateCheckClient client(server.Address());
        auto failed = Check(client);
        QVERIFY(WaitUntil([&] { return failed->done; }));
        QVERIFY(!failed->body);
        QVERIFY(UpdateMessageFor(failed->body, true).kind == MessageKind::Error);

        // No answer: the caller goes on at once, and the check fails when its time is up.
        server.respond = [](const QByteArray&, const QByteArray&) { return QByteArray(); };
        UpdateCheckClient impatient(server.Address(), 300);
        auto silent = Check(impatient);
        QVERIFY(!silent->done);
        QVERIFY(impatient.Checking());
        QVERIFY(WaitUntil([&] { return silent->done; }));
        QVERIFY(!silent->body);
        QVERIFY(!impatient.Checking());

        const std::string address = server.Address();
        server.Close();
        UpdateCheckClient refused(address);
        auto none = Check(refused);
        QVERIFY(WaitUntil([&] { return none->done; }));
        QVERIFY(!none->body);
    }

    void credentialsAreOfferedWhenAskedAndARefusalFails() {
        LocalServer server;
        const UpdateRequest request = BuildUpdateRequest();
        const QByteArray expected =
            "Basic " + QByteArray::fromStdString(request.userName + ":" + request.password).toBase64();
        bool alwaysRefuse = false;
        server.respond = [&](const QByteArray& head, const QByteArray&) {
            if (!alwaysRefuse && head.contains("Authorization: " + expected)) return Reply(200, "V 4.0.2");
            return Reply(401, "no", "WWW-Authenticate: Basic realm=\"updates\"\r\n");
        };
        UpdateCheckClient client(server.Address());
        auto result = Check(client);
        QVERIFY(WaitUntil([&] { return result->done; }));
        QVERIFY(result->body.has_value());
        QCOMPARE(*result->body, std::string("V 4.0.2"));

        alwaysRefuse = true;
        UpdateCheckClient refused(server.Address());
        auto refusal = Check(refused);
        QVERIFY(WaitUntil([&] { return refusal->done; }));
        QVERIFY(!refusal->body);
    }
};

QTEST_MAIN(UpdateCheckClientTest)
#include "UpdateCheckClientTest.moc"
