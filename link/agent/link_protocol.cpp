#include "link/agent/link_protocol.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "config/config_block.h"
#include "link/led_font.h"

namespace velmora {

namespace {

// The status line's total while the client goes out.
constexpr std::int32_t k_syncing_total = 100;

constexpr int k_command_attempts = 3;
constexpr int k_block_attempts = 10;

// The box's acknowledgement values.
constexpr std::uint8_t k_ack_taken = 0;
constexpr std::uint8_t k_ack_error = 1;

}  // namespace

std::uint32_t LinkProtocol::download_client(const std::filesystem::path& path) {
    link_owner& owner = session_.owner;
    owner.SetUpgInfo(UpgStatus::syncing, 0, k_syncing_total);

    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file(path, error)) {
        file.open(path, std::ios::binary);
    }
    if (!file.is_open()) {
        session_.output.output_text("Client file not found: " + path.string() + "\n");
        if (!session_.line.idle()) {
            owner.message_box("Failed to open zipped file!", LinkBoxButtons::ok);
        }
        return 0;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > k_max_client_size) {
        const std::string text = "The client file " + path.string() + " is " + std::to_string(size) +
                                 " bytes, more than the box's buffer takes (" +
                                 std::to_string(k_max_client_size) + " bytes). Nothing was sent.";
        session_.output.output_text(text + "\n");
        if (!session_.line.idle()) {
            owner.message_box(text, LinkBoxButtons::ok);
        }
        return 0;
    }

    std::vector<std::uint8_t> image(k_client_header_size + size);
    file.read(reinterpret_cast<char*>(image.data() + k_client_header_size),
              static_cast<std::streamsize>(size));
    // A file that shrank while we read it goes out as far as it was read.
    const auto length = static_cast<std::uint32_t>(file.gcount());
    image.resize(k_client_header_size + length);
    const auto header = client_header(length);
    std::copy(header.begin(), header.end(), image.begin());
    if (!session_.line.send_raw(image) && !session_.line.idle() && !session_.events.stopping()) {
        // Neither cancelled nor a lost port: the box stopped taking bytes. Said now, before the
        // handshake that follows fails for it.
        session_.output.output_text("\nThe client download stalled at byte " +
                                    std::to_string(session_.line.reported_count()) + " of " +
                                    std::to_string(image.size()) + ": the box stopped taking bytes.\n");
    }
    return static_cast<std::uint32_t>(image.size());
}

bool LinkProtocol::send_command(LinkCommand code, std::span<const std::uint8_t> payload,
                                std::chrono::milliseconds result_limit) {
    const std::vector<std::uint8_t> frame = command_frame(code, payload);
    std::array<std::uint8_t, k_reply_size> reply{};
    for (int attempt = 0; attempt < k_command_attempts && !session_.events.stopping(); ++attempt) {
        session_.line.flush_rx();
        if (!session_.line.send_raw(frame)) {
            return false;
        }
        if (!session_.line.read_rx(reply.data(), reply.size(), session_.timing.receipt_reply)) {
            session_.output.output_text("Failed to get CMD response!\n");
            continue;
        }
        if (reply[0] != k_ack_taken) {
            continue;
        }
        if (!session_.line.read_rx(reply.data(), reply.size(), result_limit)) {
            continue;
        }
        if (reply[0] == k_ack_taken) {
            return true;
        }
        if (reply[0] == k_ack_error) {
            session_.output.output_text("Slave report Error\n");
            return false;
        }
    }
    return false;
}

bool LinkProtocol::handshake() {
    session_.output.output_text("Start to check serial...\n");
    const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(k_handshake_text.data()),
                                             k_handshake_text.size());
    if (!send_command(LinkCommand::handshake, text, session_.timing.command_result)) {
        session_.output.output_text("\n!!TEST CMD fail-1!");
        return false;
    }
    std::array<std::uint8_t, k_handshake_text.size()> echo{};
    if (!session_.line.read_rx(echo.data(), echo.size(), session_.timing.command_result)) {
        session_.output.output_text("\n!!TEST CMD fail-2!");
        return false;
    }
    if (!std::equal(echo.begin(), echo.end(), text.begin())) {
        session_.output.output_text("\n!!TEST CMD fail-3!\n");
        return false;
    }
    return true;
}

bool LinkProtocol::send_block(const DataBlock& block) {
    return session_.line.send_raw(block.header) && session_.events.pause(session_.timing.block_piece_gap) &&
           session_.line.send_raw(block.data) && session_.events.pause(session_.timing.block_piece_gap) &&
           session_.line.send_raw(block.crc);
}

bool LinkProtocol::upload_all() {
    link_owner& owner = session_.owner;
    ConfigBlock block;
    owner.with_config([&block](ConfigBlock& config) {
        // The box draws its display from this font, whatever the LED map page held.
        for (std::size_t i = 0; i < led_font.size(); ++i) {
            config.bytes[k_led_map.offset + 2 * i] = led_font[i].character;
            config.bytes[k_led_map.offset + 2 * i + 1] = led_font[i].segments;
        }
        config.set_u16(k_led_font_count_offset, static_cast<std::uint16_t>(led_font.size()));
        block = config;
    });
    session_.output.output_text("Start to send all configuration data...\n");
    if (!send_command(LinkCommand::announce_block, k_announce_block_payload,
                      session_.timing.announce_result)) {
        return false;
    }
    session_.line.flush_rx();

    std::size_t position = 0;
    while (position < block.bytes.size()) {
        const std::size_t length = std::min(k_upload_piece_size, block.bytes.size() - position);
        const DataBlock piece = data_block(std::span(block.bytes).subspan(position, length));
        bool taken = false;
        for (int attempt = 0; attempt < k_block_attempts && !taken; ++attempt) {
            if (!owner.IsLinkOnline() || !send_block(piece)) {
                return false;
            }
            std::uint8_t ack = 0;
            if (!session_.line.read_rx(&ack, k_block_ack_size, session_.timing.block_ack)) {
                if (session_.line.idle() || session_.events.stopping()) {
                    return false;
                }
                if (owner.message_box("Connection error! retry or not?", LinkBoxButtons::retry_cancel) ==
                    LinkBoxAnswer::cancel) {
                    return false;
                }
                continue;
            }
            if (ack == k_ack_taken) {
                taken = true;
            } else if (ack == k_ack_error) {
                session_.output.output_text("\nSlave error, retransfer...!");
                session_.line.flush_rx();
            }
        }
        if (!taken) {
            session_.output.output_text("\nUpgrade fail, Please start again!");
            return false;
        }
        session_.line.flush_rx();
        position += length;
        owner.SetUpgInfo(UpgStatus::transferring, static_cast<std::int32_t>(position),
                         static_cast<std::int32_t>(block.bytes.size()));
    }
    session_.output.output_text("\nEnd downloading!");
    return true;
}

void LinkProtocol::send_config() {
    link_owner& owner = session_.owner;
    if (!owner.panel_connected()) {
        session_.output.output_text("\nPlease connect with panel connectly!\n");
        return;
    }
    session_.output.output_text("\nStart to send configuration...\n");
    if (!send_command(LinkCommand::announce_record, k_announce_record_payload,
                      session_.timing.announce_result)) {
        session_.output.output_failure("send configuration fail!!!");
        return;
    }
    session_.line.flush_rx();
    ConfigBlock block;
    owner.with_config([&block](ConfigBlock& config) { block = config; });
    const DataBlock record = data_block(std::span(block.bytes).first(k_main_record.length));

    for (int attempt = 0; attempt < k_block_attempts; ++attempt) {
        if (!owner.IsLinkOnline() || session_.events.stopping()) {
            return;
        }
        if (session_.events.thread_cancelled()) {
            // The port closed under it: no attempt can go out any more.
            if (session_.line.port_closed()) {
                session_.output.output_failure("\nUpgrade fail, Please start again!");
            }
            return;
        }
        if (!send_block(record)) {
            continue;
        }
        std::array<std::uint8_t, k_reply_size> reply{};
        if (!session_.line.read_rx(reply.data(), reply.size(), session_.timing.record_reply)) {
            continue;
        }
        if (reply[0] == k_ack_taken) {
            session_.line.flush_rx();
            session_.output.output_text("send configuration success!!!");
            return;
        }
        if (reply[0] == k_ack_error) {
            session_.output.output_text("\nSlave error, retransfer...!\n");
            char text[64];
            std::snprintf(text, sizeof text, "Slave error:state:%u, code:%u\n",
                          static_cast<unsigned>(reply[1]), static_cast<unsigned>(reply[2]));
            session_.output.output_text(text);
            session_.line.flush_rx();
        }
    }
    session_.output.output_failure("\nUpgrade fail, Please start again!");
}

}  // namespace velmora
