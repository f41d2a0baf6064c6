#include "link/agent/link_connection.h"

#include "link/agent/link_protocol.h"

namespace velmora {

namespace {

// The box needs this many LinkTiming::client_start_wait after the client download before it answers.
constexpr int k_client_start_waits = 3;

}  // namespace

void LinkConnection::start() {
    worker_ = std::thread([this] { run(); });
}

void LinkConnection::join() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void LinkConnection::run() {
    LinkEvents& events = session_.events;
    // The worker first runs when a sync byte wakes it.
    events.park();
    while (!events.stopping()) {
        pass();
    }
}

void LinkConnection::pass() {
    LinkLine& line = session_.line;
    if (!session_.events.pause(session_.timing.worker_pass_pause)) {
        return;
    }
    if (!holder_.connecting()) {
        // The connection has ended: the worker reads no state a test may have set since.
        line.advance(LinkState::uploaded, LinkState::idle);
        if (line.connector_query()) {
            line.connector_switch(0);
        }
        session_.events.park();
        return;
    }
    if (!session_.owner.IsLinkOnline()) {
        line.set_link_state(LinkState::idle);
    }
    switch (line.link_state()) {
        case LinkState::idle:
            // Failed or cancelled on the way.
            end(false);
            return;
        case LinkState::synced:
            if (line.connector_query()) {
                line.connector_switch(1);
            }
            session_.output.output_text("Got sync byte!\nStart sending client...\n");
            LinkProtocol(session_).download_client(client_path_());
            line.advance(LinkState::synced, LinkState::listening);
            return;
        case LinkState::listening:
            handshake_and_upload();
            return;
        case LinkState::uploading:
            upload();
            return;
        case LinkState::uploaded:
            line.set_link_state(LinkState::idle);
            return;
    }
}

bool LinkConnection::wait_client_start() {
    for (int wait = 0; wait < k_client_start_waits; ++wait) {
        if (session_.line.idle() || !session_.events.pause(session_.timing.client_start_wait)) {
            return false;
        }
    }
    return !session_.line.idle();
}

void LinkConnection::handshake_and_upload() {
    LinkLine& line = session_.line;
    if (!wait_client_start()) {
        return;
    }
    if (!LinkProtocol(session_).handshake()) {
        if (!line.idle()) {
            session_.owner.message_box("Handshake failed!Please check port and reset the STB!",
                                       LinkBoxButtons::ok);
        }
        line.set_link_state(LinkState::idle);
        end(false);
        return;
    }
    if (line.advance(LinkState::listening, LinkState::uploading)) {
        upload();
    }
}

void LinkConnection::upload() {
    if (LinkProtocol(session_).upload_all()) {
        session_.line.advance(LinkState::uploading, LinkState::uploaded);
        session_.owner.set_panel_connected(true);
        end(true);
        return;
    }
    session_.output.output_text("\n transfer error ....\n");
    session_.line.set_link_state(LinkState::idle);
    session_.owner.set_panel_connected(false);
    end(false);
}

void LinkConnection::end(bool connected) {
    if (!holder_.end_connection()) {
        return;
    }
    if (!connected) {
        session_.output.output_if_port_closed();
    }
    // Failed or not, the user can connect again.
    session_.owner.SetUpgInfo(UpgStatus::idle, 0, 0);
    session_.owner.link_changed();
}

}  // namespace velmora
