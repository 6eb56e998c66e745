#pragma once
// The update check's transport: the request of core's UpdateRequest posted with Qt's network
// access, the credentials offered once when the server asks, and the reply body handed to a
// callback on this thread; no answer within 15 seconds is a failure. Nothing waits for it.
#include "core/app/UpdateCheck.h"

#include <QNetworkAccessManager>
#include <QObject>

#include <functional>
#include <optional>
#include <string>

namespace drivlet::gui {

class UpdateCheckClient final : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 15000;

    explicit UpdateCheckClient(std::string serverAddress, int timeoutMs = kTimeoutMs,
                               QObject* parent = nullptr);

    // The body of a successful reply, or nothing (no network, an error status, refused
    // credentials, no answer in time). A check already under way is not started twice: the
    // callback of the first is kept.
    void Check(std::function<void(std::optional<std::string> body)> done);
    bool Checking() const { return checking_; }
    const std::string& ServerAddress() const { return serverAddress_; }

private:
    std::string serverAddress_;
    int timeoutMs_;
    QNetworkAccessManager network_;
    bool checking_ = false;
};

} // namespace drivlet::gui
