#pragma once
// The "come to the front" request between copies of the program: an abstract local socket that the
// admitted copy listens on and a turned-away copy connects to.
#include <functional>
#include <string>
#include <thread>

namespace drivlet {

class FrontRequestListener {
public:
    // Listens on the abstract socket `name`; onRequest runs on the listener's thread for every
    // request from a process of the same user.
    FrontRequestListener(const std::string& name, std::function<void()> onRequest);
    ~FrontRequestListener();
    FrontRequestListener(const FrontRequestListener&) = delete;
    FrontRequestListener& operator=(const FrontRequestListener&) = delete;

    bool Listening() const { return socket_ >= 0; }

private:
    void Run();
    void Serve(int client);

    std::function<void()> onRequest_;
    int socket_ = -1;
    int stop_ = -1; // an eventfd that ends the thread
    std::thread thread_;
};

// Sends the request to the copy listening on `name`; false when nobody listens there.
bool SendFrontRequest(const std::string& name);

} // namespace drivlet
