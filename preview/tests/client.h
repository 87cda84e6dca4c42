// A raw TCP client for the virtual printer tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace eplview::test {

class Client {
   public:
    explicit Client(int port) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            close_now();
    }
    ~Client() { close_now(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return socket_ >= 0; }
    bool send_all(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            auto n = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    void close_now() {
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
    }

   private:
    int socket_ = -1;
};

}  // namespace eplview::test
