// The connection, as the link agent's worker runs it once the box's sync byte has been answered:
// download the client, wait for the box to start it, handshake, upload the block (link_protocol.h
// has the bytes of each step). The line's state says which step is next; each step moves it on only
// from the state it ran in, so going offline, a closed port or a new sync byte meanwhile sticks.
//
// Callers may rely on:
// - The worker sleeps (LinkEvents::park) until a sync byte wakes it, and between connections.
// - Every connection ends with SetUpgInfo(UpgStatus::idle, 0, 0), failed or not, so "Connect with
//   Panel" works again; the owner hears of each end (link_owner::link_changed). A failed handshake
//   shows "Handshake failed!Please check port and reset the STB!" unless the user has already left
//   the connection (the line went idle); a failed upload prints " transfer error ....".
// - stop() and join() end the worker whatever it was doing.
#pragma once

#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include "link/agent/line_holder.h"
#include "link/agent/link_session.h"

namespace velmora {

class LinkConnection {
public:
    using ClientPath = std::function<std::filesystem::path()>;

    LinkConnection(const LinkSession& session, LineHolder& holder, ClientPath client_path)
        : session_(session), holder_(holder), client_path_(std::move(client_path)) {}

    // Starts the worker; call once, when everything the session names exists.
    void start();
    // Joins the worker. Call after the agent stopped.
    void join();

private:
    void run();
    void pass();
    // Waits the box's start of the client; false when the connection ended meanwhile.
    bool wait_client_start();
    void handshake_and_upload();
    void upload();
    // Ends the connection; nothing when a new sync byte has begun another.
    void end(bool connected);

    LinkSession session_;
    LineHolder& holder_;
    ClientPath client_path_;
    std::thread worker_;
};

}  // namespace velmora
