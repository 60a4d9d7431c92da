#include "server/ServerLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace vex::sim {

namespace {

constexpr int kTickMs = 100;

}  // namespace

void ServerLoop::ServePty(PtyPort* pty) {
  auto session = instrument_.OpenSession();
  session->SetLineProbe([pty] { return pty->LineSettings(); });
  pty_connection_ = std::make_unique<StreamConnection>(
      pty->master_fd(), StreamConnection::Kind::kPty, std::move(session));
}

void ServerLoop::Run(const volatile std::sig_atomic_t& stop) {
  std::vector<pollfd> fds;
  std::vector<StreamConnection*> owners;
  while (stop == 0) {
    const auto now = StreamConnection::Clock::now();
    fds.clear();
    owners.clear();
    int timeout = kTickMs;
    auto add = [&](StreamConnection* c) {
      fds.push_back({c->fd(), c->Events(now), 0});
      owners.push_back(c);
      if (const int due = c->MillisUntilDue(now); due >= 0) timeout = std::min(timeout, due);
    };
    if (listener_ != nullptr) {
      fds.push_back({listener_->fd(), POLLIN, 0});
      owners.push_back(nullptr);
    }
    if (pty_connection_) add(pty_connection_.get());
    for (auto& c : connections_) add(c.get());
    const std::size_t served = fds.size();
    std::vector<std::size_t> starts;
    for (PollClient* client : clients_) {
      starts.push_back(fds.size());
      client->AppendPollFds(fds);
      if (const int due = client->MillisUntilDue(now); due >= 0) timeout = std::min(timeout, due);
    }
    starts.push_back(fds.size());

    const int ready = poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) break;
    const auto after = StreamConnection::Clock::now();
    if (ready <= 0) {
      for (std::size_t i = served; i < fds.size(); ++i) fds[i].revents = 0;
    }
    for (std::size_t k = 0; k < clients_.size(); ++k) {
      clients_[k]->OnPolled(
          std::span<const pollfd>(fds).subspan(starts[k], starts[k + 1] - starts[k]));
    }
    for (std::size_t i = 0; i < served; ++i) {
      StreamConnection* c = owners[i];
      const short got = ready > 0 ? fds[i].revents : 0;
      if (c == nullptr) {
        if ((got & POLLIN) != 0) {
          for (int fd = listener_->Accept(); fd >= 0; fd = listener_->Accept()) {
            connections_.push_back(std::make_unique<StreamConnection>(
                fd, StreamConnection::Kind::kSocket, instrument_.OpenSession()));
          }
        }
        continue;
      }
      if ((got & (POLLIN | POLLHUP | POLLERR)) != 0) c->OnReadable();
      c->Flush(after);
    }
    std::erase_if(connections_, [](const auto& c) { return c->closed(); });
  }
}

}  // namespace vex::sim
