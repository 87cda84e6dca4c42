// A raw TCP client of the virtual printer on loopback.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace eplview::test {

class Client {
   public:
    explicit Client(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
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
    bool send_all(std::string_view bytes) {
        for (ssize_t n = 0; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(n)))
            if ((n = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) return false;
        return true;
    }
    void close_now() {
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
    }

   private:
    int socket_;
};

}  // namespace eplview::test
