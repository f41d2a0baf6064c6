// The waits of the link: how long the agent gives the box to answer, how far apart it sends the
// pieces of a block, and how often its loops look again. The defaults are the ones the box is built
// for; a test or a tool may pass shorter ones, and nothing else in the link spells a wait.
//
// Callers may rely on: every member is used as given (a zero wait polls once), and a link agent
// copies the struct at construction.
#pragma once

#include <chrono>

namespace velmora {

struct LinkTiming {
    using Milliseconds = std::chrono::milliseconds;

    // The worker's pause at the start of each pass.
    Milliseconds worker_pass_pause{10};
    // The box needs three of these after the client download before it runs the client.
    Milliseconds client_start_wait{1000};
    // A command's receipt reply.
    Milliseconds receipt_reply{1000};
    // The result reply of a test command, and the handshake's echo.
    Milliseconds command_result{1000};
    // The result reply of a block or record announcement.
    Milliseconds announce_result{3000};
    // Between the header, the data and the CRC of a data block, so the box can set up its receive.
    Milliseconds block_piece_gap{200};
    // The box's one-byte acknowledgement of an uploaded block.
    Milliseconds block_ack{2000};
    // The box's acknowledgement of the configuration record, and each part of the LED map it sends.
    Milliseconds record_reply{4000};
    // A test command's answer (lamp positions, LED map steps) and one key event.
    Milliseconds test_reply{1000};
    // Added to the time a send needs on the line before a missing completion report fails it.
    Milliseconds send_margin{2000};
};

}  // namespace velmora
