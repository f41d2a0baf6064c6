// The connection protocol with the box, run by the link agent's worker after the user pressed
// "Connect with Panel" and reset the box, and the configuration record that "Send Config to Panel"
// sends once the box is connected. The bytes themselves are described in link_frames.h.
//
// One connection, as the worker runs it:
//   1. The box's boot code sends the sync byte 0xA5; the agent answers 0x60 at once (from deliver).
//   2. download_client sends the client image (header and "velmora.bin") in one send. A missing file
//      is reported with "Failed to open zipped file!" and the path in the output window, a file too
//      large for the box's buffer with its own message; either way nothing is sent, and the
//      handshake that follows fails.
//   3. After three waits of LinkTiming::client_start_wait the handshake sends command 80 with
//      "KORVATE P2P UPG" and expects the box to echo the 15 characters.
//   4. upload_all writes the LED font into the owner's block and sends all 1564 bytes: command 81,
//      then the block as data blocks of at most 2048 bytes, each in three sends (header, data, CRC)
//      block_piece_gap apart, each acknowledged by one byte within block_ack. No acknowledgement
//      asks the user "Connection error! retry or not?"; a 1 or any other byte sends the piece again;
//      ten attempts per piece, then "\nUpgrade fail, Please start again!".
//
// Every command goes through send_command: up to three attempts, each flushing the queue, sending
// the frame, then reading a receipt reply within receipt_reply and a result reply within the
// command's own limit. A missing receipt prints "Failed to get CMD response!\n"; a result of 1 prints
// "Slave report Error\n" and fails at once; anything else not 0 tries again, silently.
//
// Every read ends early when the link goes idle (going offline, a closed port, destruction), and
// then no message box is shown: the user has already walked away from this connection.
//
// Callers may rely on: the object only borrows the session; every step may run on any of the agent's
// threads, never two at once on one agent.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>

#include "link/agent/link_frames.h"
#include "link/agent/link_session.h"

namespace velmora {

class LinkProtocol {
public:
    explicit LinkProtocol(const LinkSession& session) : session_(session) {}

    // Sends the client file at `path`. The number of bytes sent: the 12-byte header and the file, or
    // 0 when nothing was sent.
    std::uint32_t download_client(const std::filesystem::path& path);
    bool send_command(LinkCommand code, std::span<const std::uint8_t> payload,
                      std::chrono::milliseconds result_limit);
    bool handshake();
    bool upload_all();
    // The send configuration thread's body.
    void send_config();

private:
    // Header, data and CRC of `block`, block_piece_gap apart; false when a send failed.
    bool send_block(const DataBlock& block);

    LinkSession session_;
};

}  // namespace velmora
