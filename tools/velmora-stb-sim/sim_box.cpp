#include "tools/velmora-stb-sim/sim_box.h"

#include <fmt/format.h>

#include <algorithm>

#include "config/config_block.h"
#include "link/led_font.h"
#include "link/link_values.h"
#include "tools/velmora-stb-sim/sim_recorder.h"

namespace velmora::stb_sim {

namespace {

bool payload_is(const SimFrame& frame, std::span<const std::uint8_t> expected) {
    return std::ranges::equal(frame.data, expected);
}

}  // namespace

LedMap font_led_map() {
    LedMap map{};
    std::size_t at = 0;
    for (const LedFontEntry& entry : led_font) {
        map[at++] = entry.character;
        map[at++] = entry.segments;
    }
    return map;
}

SimBox::SimBox(SimBoxSettings settings)
    : settings_(std::move(settings)),
      random_(settings_.seed),
      no_receipt_pending_(settings_.faults.has(Fault::no_receipt)),
      resend_receipts_left_(settings_.faults.has(Fault::resend_receipt) ? k_resend_receipt_frames : 0),
      result_error_pending_(settings_.faults.has(Fault::result_1)),
      bad_block_ack_pending_(settings_.faults.has(Fault::bad_block_ack)),
      led_crc_pending_(settings_.faults.has(Fault::led_crc)) {}

void SimBox::reset(Clock::time_point now) {
    log("sim: reset");
    client_header_.clear();
    client_.clear();
    client_length_ = 0;
    reader_ = SimFrameReader{};
    expecting_ = Expecting::nothing;
    led_map_capture_ = false;
    awaiting_map_taken_ = false;
    lamp_test_ = false;
    capturing_keys_ = false;
    if (settings_.faults.has(Fault::garbage_before_sync)) {
        std::vector<std::uint8_t> garbage;
        std::uniform_int_distribution<int> any_byte(0, 255);
        while (garbage.size() < k_garbage_bytes) {
            if (const int byte = any_byte(random_); byte != k_sync_byte) {
                garbage.push_back(static_cast<std::uint8_t>(byte));
            }
        }
        send(garbage);
        log(fmt::format("sim: {} garbage bytes sent", garbage.size()));
    }
    const std::uint8_t sync = k_sync_byte;
    send({&sync, 1});
    log("sim: sync sent");
    state_ = BoxState::awaiting_sync_answer;
    sync_deadline_ = now + k_sync_answer_wait;
}

void SimBox::receive(std::span<const std::uint8_t> bytes, Clock::time_point now) {
    tick(now);  // a frame that went stale before these bytes must not swallow them
    if (!bytes.empty() && state_ == BoxState::serving && reader_.in_frame() &&
        now - last_byte_ >= k_logged_pause) {
        log(fmt::format("sim: {} ms pause inside a frame",
                        std::chrono::duration_cast<std::chrono::milliseconds>(now - last_byte_).count()));
    }
    for (const std::uint8_t byte : bytes) {
        receive_byte(byte, now);
    }
    if (!bytes.empty()) {
        last_byte_ = now;
    }
}

void SimBox::receive_byte(std::uint8_t byte, Clock::time_point now) {
    switch (state_) {
        case BoxState::off:
            return;
        case BoxState::awaiting_sync_answer:
            if (byte == k_sync_answer) {
                log("sim: sync answered");
                state_ = BoxState::receiving_client;
            }
            return;
        case BoxState::receiving_client:
            receive_client_byte(byte);
            return;
        case BoxState::serving:
            break;
    }
    if (awaiting_map_taken_ && map_sends_ > 0 && !reader_.in_frame() && byte == k_led_map_received) {
        log("sim: LED map taken");
        awaiting_map_taken_ = false;
        return;
    }
    std::optional<SimFrame> frame = reader_.feed(byte);
    if (!frame) {
        return;
    }
    if (const std::size_t stray = reader_.take_stray(); stray != 0) {
        log(fmt::format("sim: {} stray bytes skipped", stray));
    }
    if (frame->kind == SimFrame::Kind::data_block) {
        on_block(*frame);
    } else {
        on_command(*frame, now);
    }
}

void SimBox::receive_client_byte(std::uint8_t byte) {
    if (client_header_.size() < k_client_header_size) {
        client_header_.push_back(byte);
        if (client_header_.size() < k_client_header_size) {
            return;
        }
        client_length_ = get_u32_le(client_header_.data());
        if (client_length_ > settings_.client_limit) {
            go_off(fmt::format("sim: client of {} bytes refused (limit {})", client_length_,
                               settings_.client_limit));
            return;
        }
        client_.reserve(client_length_);
    } else {
        client_.push_back(byte);
    }
    if (client_.size() == client_length_) {
        finish_client();
    }
}

void SimBox::finish_client() {
    log(fmt::format("sim: client {} bytes", client_.size()));
    if (settings_.recorder != nullptr && settings_.recorder->record_client(client_).empty()) {
        log("sim: cannot record the client");
    }
    serve();
}

void SimBox::serve() {
    state_ = BoxState::serving;
    reader_ = SimFrameReader{};
    expecting_ = Expecting::nothing;
}

void SimBox::go_off(const std::string& why) {
    log(why);
    state_ = BoxState::off;
}

void SimBox::tick(Clock::time_point now) {
    switch (state_) {
        case BoxState::off:
            return;
        case BoxState::awaiting_sync_answer:
            if (now >= sync_deadline_) {
                go_off("sim: no sync answer");
            }
            return;
        case BoxState::receiving_client:
            if (now >= last_byte_ + k_client_gap) {
                go_off(fmt::format("sim: client incomplete, {} of {} bytes", client_.size(), client_length_));
            }
            return;
        case BoxState::serving:
            break;
    }
    if (reader_.in_frame() && now >= last_byte_ + k_frame_gap) {
        reader_.drop_partial();
        log("sim: partial frame dropped");
    }
    if (awaiting_map_taken_ && now >= map_deadline_) {
        if (map_sends_ < k_led_map_attempts) {
            send_led_map(now);
        } else {
            awaiting_map_taken_ = false;
            log("sim: LED map not taken");
        }
    }
}

std::optional<SimBox::Clock::time_point> SimBox::next_deadline() const {
    switch (state_) {
        case BoxState::off:
            return std::nullopt;
        case BoxState::awaiting_sync_answer:
            return sync_deadline_;
        case BoxState::receiving_client:
            return last_byte_ + k_client_gap;
        case BoxState::serving:
            break;
    }
    std::optional<Clock::time_point> next;
    if (reader_.in_frame()) {
        next = last_byte_ + k_frame_gap;
    }
    if (awaiting_map_taken_ && (!next || map_deadline_ < *next)) {
        next = map_deadline_;
    }
    return next;
}

void SimBox::on_command(const SimFrame& frame, Clock::time_point now) {
    if (awaiting_map_taken_) {
        awaiting_map_taken_ = false;
        log("sim: LED map not taken");
    }
    if (no_receipt_pending_) {
        no_receipt_pending_ = false;
        log(fmt::format("sim: command {} unanswered (fault no-receipt)", frame.code));
        return;
    }
    if (resend_receipts_left_ > 0) {
        --resend_receipts_left_;
        reply(k_resend_receipt_code);
        log(fmt::format("sim: command {} asked again (fault resend-receipt)", frame.code));
        return;
    }
    if (!frame.crc_ok) {
        reply(k_receipt_resend);
        log(fmt::format("sim: command {} crc error, asked again", frame.code));
        return;
    }
    reply(0);
    if (result_error_pending_) {
        result_error_pending_ = false;
        reply(1);
        log(fmt::format("sim: command {} error (fault result-1)", frame.code));
        return;
    }
    if (!act(frame, now)) {
        log(fmt::format("sim: command {} error", frame.code));
    }
}

// Sends the result and what follows it; false when the box reports an error.
bool SimBox::act(const SimFrame& frame, Clock::time_point now) {
    const auto refuse = [this] {
        reply(1);
        return false;
    };
    const auto done = [this, &frame](const std::string& what) {
        reply(0);
        log(fmt::format("sim: command {} ok{}", frame.code, what.empty() ? "" : " (" + what + ")"));
    };
    switch (static_cast<LinkCommand>(frame.code)) {
        case LinkCommand::handshake:
            done("handshake");
            send(frame.data);
            return true;
        case LinkCommand::announce_block:
        case LinkCommand::announce_record: {
            const bool whole = frame.code == static_cast<std::uint8_t>(LinkCommand::announce_block);
            if (!payload_is(frame, whole ? std::span(k_announce_block_payload)
                                         : std::span(k_announce_record_payload))) {
                return refuse();
            }
            expecting_ = whole ? Expecting::whole_block : Expecting::config_record;
            reader_.expect_block(whole ? k_config_block_size : k_main_record.length);
            done(whole ? "block announced" : "record announced");
            return true;
        }
        case LinkCommand::led_map_start:
            led_map_capture_ = true;
            led_map_acks_ = 0;
            done("LED map start");
            return true;
        case LinkCommand::led_map_step: {
            if (!led_map_capture_ || frame.data.size() != 1 ||
                frame.data[0] > static_cast<std::uint8_t>(LedPick::last_segment)) {
                return refuse();
            }
            done(fmt::format("LED map item {}", frame.data[0]));
            reply(0);
            if (++led_map_acks_ == k_led_map_steps) {
                led_map_capture_ = false;
                map_sends_ = 0;
                awaiting_map_taken_ = true;
                map_deadline_ = now + settings_.led_map_delay;
                if (settings_.led_map_delay <= std::chrono::milliseconds::zero()) {
                    send_led_map(now);
                }
            }
            return true;
        }
        case LinkCommand::lamp_test:
            lamp_test_ = true;
            lamp_position_ = 0;
            done("lamp test start");
            return true;
        case LinkCommand::get_key:
            capturing_keys_ = true;
            done("key capture start");
            return true;
        case LinkCommand::lamp_previous:
        case LinkCommand::lamp_next:
        case LinkCommand::lamp_confirm:
            if (!lamp_test_) {
                return refuse();
            }
            if (frame.code == static_cast<std::uint8_t>(LinkCommand::lamp_previous)) {
                lamp_position_ = std::max(0, lamp_position_ - 1);
            } else if (frame.code == static_cast<std::uint8_t>(LinkCommand::lamp_next)) {
                lamp_position_ = std::min(k_lamp_positions - 1, lamp_position_ + 1);
            } else {
                lamp_test_ = false;
            }
            done(fmt::format("lamp position {}", lamp_position_));
            reply(0, static_cast<std::uint8_t>(lamp_position_));
            return true;
        case LinkCommand::light_dim:
            if (frame.data.size() != 1 || frame.data[0] > 1) {
                return refuse();
            }
            leds_dimmed_ = frame.data[0] == 1;
            done(leds_dimmed_ ? "dim" : "light");
            return true;
        default:
            refuse();
            log(fmt::format("sim: command {} unknown", frame.code));
            return true;
    }
}

void SimBox::on_block(const SimFrame& frame) {
    const bool whole = expecting_ == Expecting::whole_block;
    const bool refused = !frame.crc_ok || bad_block_ack_pending_;
    if (refused) {
        if (frame.crc_ok) {
            bad_block_ack_pending_ = false;
        }
        if (whole) {
            const std::uint8_t error = 1;
            send({&error, 1});
        } else {
            reply(1, k_record_error_state, k_record_crc_error);
        }
        log(fmt::format("sim: {} {} bytes {}", whole ? "block" : "config", frame.data.size(),
                        frame.crc_ok ? "refused (fault bad-block-ack)" : "crc error"));
        return;
    }
    std::string recorded;
    if (whole) {
        block_ = frame.data;
        const std::uint8_t taken = 0;
        send({&taken, 1});
        if (settings_.recorder != nullptr) {
            recorded = settings_.recorder->record_block(block_);
        }
    } else {
        configs_.push_back(frame.data);
        reply(0);
        if (settings_.recorder != nullptr) {
            recorded = settings_.recorder->record_config(frame.data);
        }
    }
    expecting_ = Expecting::nothing;
    reader_.expect_block(0);
    log(fmt::format("sim: {} {} bytes crc ok", whole ? "block" : "config", frame.data.size()));
    if (settings_.recorder != nullptr && recorded.empty()) {
        log("sim: cannot record it");
    }
}

void SimBox::send_led_map(Clock::time_point now) {
    DataBlock block = data_block(settings_.led_map);
    const bool spoiled = std::exchange(led_crc_pending_, false);
    if (spoiled) {
        for (std::uint8_t& byte : block.crc) {
            byte = static_cast<std::uint8_t>(~byte);
        }
    }
    send(block.header);
    send(block.data);
    send(block.crc);
    ++map_sends_;
    awaiting_map_taken_ = true;
    map_deadline_ = now + k_map_resend_wait;
    log(fmt::format("sim: LED map sent{}", spoiled ? " with a wrong crc (fault led-crc)" : ""));
}

bool SimBox::send_key(std::uint16_t user_code, std::uint8_t key) {
    if (state_ != BoxState::serving || !capturing_keys_) {
        log("sim: keys are not captured (command 89 starts it); key dropped");
        return false;
    }
    const std::array<std::uint8_t, k_key_event_size> event{static_cast<std::uint8_t>(user_code),
                                                           static_cast<std::uint8_t>(user_code >> 8), key, 0};
    send(event);
    log(fmt::format("sim: key usercode {:x} key {}", user_code, key));
    return true;
}

void SimBox::send(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        if (settings_.faults.has(Fault::silent_after) && sent_ >= settings_.faults.silent_after()) {
            if (!silenced_) {
                silenced_ = true;
                log(fmt::format("sim: silent after {} bytes (fault silent-after)", sent_));
            }
            return;
        }
        output_.push_back(byte);
        ++sent_;
    }
}

void SimBox::reply(std::uint8_t byte0, std::uint8_t byte1, std::uint8_t byte2) {
    const std::array<std::uint8_t, k_reply_size> bytes{byte0, byte1, byte2};
    send(bytes);
}

void SimBox::log(const std::string& line) const {
    if (settings_.log) {
        settings_.log(line);
    }
}

}  // namespace velmora::stb_sim
