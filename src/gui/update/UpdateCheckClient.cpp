#include "gui/update/UpdateCheckClient.h"

#include <QAuthenticator>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <memory>
#include <utility>

namespace drivlet::gui {

UpdateCheckClient::UpdateCheckClient(std::string serverAddress, int timeoutMs, QObject* parent)
    : QObject(parent), serverAddress_(std::move(serverAddress)), timeoutMs_(timeoutMs) {
    // The credentials are offered once per reply; a server that asks again has refused them.
    connect(&network_, &QNetworkAccessManager::authenticationRequired, this,
            [](QNetworkReply* reply, QAuthenticator* authenticator) {
                if (reply->property("offered").toBool()) return;
                reply->setProperty("offered", true);
                const UpdateRequest request = BuildUpdateRequest();
                authenticator->setUser(QString::fromStdString(request.userName));
                authenticator->setPassword(QString::fromStdString(request.password));
            });
}

void UpdateCheckClient::Check(std::function<void(std::optional<std::string> body)> done) {
    if (checking_) return;
    checking_ = true;
    const UpdateRequest request = BuildUpdateRequest(serverAddress_);
    QNetworkRequest post(QUrl(QString::fromStdString(request.url)));
    post.setHeader(QNetworkRequest::ContentTypeHeader, QString::fromStdString(request.contentType));
    post.setTransferTimeout(timeoutMs_);
    QNetworkReply* reply = network_.post(post, QByteArray::fromStdString(request.body));
    connect(reply, &QNetworkReply::finished, this, [this, reply, done = std::move(done)] {
        reply->deleteLater();
        checking_ = false;
        std::optional<std::string> body;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300)
            body = reply->readAll().toStdString();
        if (done) done(std::move(body));
    });
}

} // namespace drivlet::gui
