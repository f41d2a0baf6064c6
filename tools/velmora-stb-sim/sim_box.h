// The box side of the serial protocol: a state machine that takes the bytes the host sends and the
// moments time passes, and answers as the set-top box does, with the faults it is told to make.
//
// The bytes are link_frames.h's. After a reset the box sends the sync byte and waits
// k_sync_answer_wait for the answer; then it takes the client image (header, then the client), and
// then serves command frames until the next reset: a receipt and a result for each, then what the
// command asks for (the handshake echo, a data block, LED map steps and the map, lamp positions).
//
// Callers may rely on: the box never waits or sleeps; every call returns at once, and what the box
// sends collects in an output queue that take_output() empties, in order. Time enters only through
// the `now` arguments, so a test can drive every deadline with made-up times. next_deadline() says
// when tick() has something to do. One thread uses a SimBox at a time.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "link/agent/link_frames.h"
#include "tools/velmora-stb-sim/sim_faults.h"
#include "tools/velmora-stb-sim/sim_frame_reader.h"

namespace velmora::stb_sim {

class SimRecorder;

inline constexpr int k_lamp_positions = 64;
// Receipt byte 0 for a frame whose CRC is wrong: send it again.
inline constexpr std::uint8_t k_receipt_resend = 2;
// Record acknowledgement bytes 1 and 2 for a record refused: the box's state and its error code.
inline constexpr std::uint8_t k_record_error_state = 2;
inline constexpr std::uint8_t k_record_crc_error = 7;

// The boot code gives up on a host that does not answer the sync within this time.
inline constexpr std::chrono::milliseconds k_sync_answer_wait{3000};
// A client whose bytes stop for this long is given up.
inline constexpr std::chrono::milliseconds k_client_gap{5000};
// A frame whose bytes stop for this long is dropped; the host pauses 200 ms inside a data block.
inline constexpr std::chrono::milliseconds k_frame_gap{2000};
// After the tenth step's answer the box's client prepares its map for a moment before it sends it;
// a host that clears its queue after that answer still gets the map. 0 sends it with the answer.
inline constexpr std::chrono::milliseconds k_led_map_delay{200};
// The LED map goes out again when the host has not taken it within this time; the host reads each
// attempt for 4000 ms after clearing what came before.
inline constexpr std::chrono::milliseconds k_map_resend_wait{1000};
// A pause of at least this long while a frame or data block is half received is logged with its
// length: the pauses the host makes inside a data block are what the box needs to set up its receive.
inline constexpr std::chrono::milliseconds k_logged_pause{20};

enum class BoxState { off, awaiting_sync_answer, receiving_client, serving };

using LedMap = std::array<std::uint8_t, k_led_map_size>;
// The box's font as pairs of character and segment byte, then zeros.
LedMap font_led_map();

struct SimBoxSettings {
    FaultSet faults;
    LedMap led_map = font_led_map();
    std::size_t client_limit = k_max_client_size;
    std::chrono::milliseconds led_map_delay = k_led_map_delay;
    std::uint32_t seed = 1;                       // for the garbage-before-sync bytes
    SimRecorder* recorder = nullptr;              // keeps what arrives when set
    std::function<void(const std::string&)> log;  // one line per event, without a line end
};

class SimBox {
public:
    using Clock = std::chrono::steady_clock;

    explicit SimBox(SimBoxSettings settings);

    void reset(Clock::time_point now);
    void receive(std::span<const std::uint8_t> bytes, Clock::time_point now);
    void tick(Clock::time_point now);
    std::optional<Clock::time_point> next_deadline() const;
    // Sends a key event while keys are captured (after command 89); false, and a log line, otherwise.
    bool send_key(std::uint16_t user_code, std::uint8_t key);

    std::vector<std::uint8_t> take_output() { return std::exchange(output_, {}); }

    BoxState state() const { return state_; }
    std::size_t bytes_sent() const { return sent_; }
    const std::vector<std::uint8_t>& client() const { return client_; }
    const std::vector<std::uint8_t>& block() const { return block_; }
    const std::vector<std::vector<std::uint8_t>>& configs() const { return configs_; }
    bool capturing_keys() const { return capturing_keys_; }
    bool lamp_test_running() const { return lamp_test_; }
    int lamp_position() const { return lamp_position_; }
    bool leds_dimmed() const { return leds_dimmed_; }

private:
    enum class Expecting { nothing, whole_block, config_record };

    void receive_byte(std::uint8_t byte, Clock::time_point now);
    void receive_client_byte(std::uint8_t byte);
    void on_command(const SimFrame& frame, Clock::time_point now);
    bool act(const SimFrame& frame, Clock::time_point now);
    void on_block(const SimFrame& frame);
    void send_led_map(Clock::time_point now);
    void finish_client();
    void go_off(const std::string& why);
    void serve();

    void send(std::span<const std::uint8_t> bytes);
    void reply(std::uint8_t byte0, std::uint8_t byte1 = 0, std::uint8_t byte2 = 0);
    void log(const std::string& line) const;

    SimBoxSettings settings_;
    std::mt19937 random_;
    std::vector<std::uint8_t> output_;
    std::size_t sent_ = 0;
    bool silenced_ = false;

    BoxState state_ = BoxState::off;
    Clock::time_point sync_deadline_{};
    Clock::time_point last_byte_{};

    std::vector<std::uint8_t> client_header_;
    std::size_t client_length_ = 0;
    std::vector<std::uint8_t> client_;

    SimFrameReader reader_;
    Expecting expecting_ = Expecting::nothing;
    std::vector<std::uint8_t> block_;
    std::vector<std::vector<std::uint8_t>> configs_;

    bool led_map_capture_ = false;
    int led_map_acks_ = 0;
    bool awaiting_map_taken_ = false;
    int map_sends_ = 0;
    Clock::time_point map_deadline_{};
    bool lamp_test_ = false;
    int lamp_position_ = 0;
    bool capturing_keys_ = false;
    bool leds_dimmed_ = false;

    // One-shot faults still to make.
    bool no_receipt_pending_ = false;
    int resend_receipts_left_ = 0;
    bool result_error_pending_ = false;
    bool bad_block_ack_pending_ = false;
    bool led_crc_pending_ = false;
};

}  // namespace velmora::stb_sim
