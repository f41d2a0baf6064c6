#include "link/agent/link_protocol.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "config/config_block.h"
#include "link/led_font.h"
#include "link/agent/link_agent.h"

namespace velmora {

namespace {

// The status line's total while the client goes out.
constexpr std::int32_t k_syncing_total = 100;

constexpr int k_command_attempts = 3;
constexpr int k_block_attempts = 10;

// The box's acknowledgement values.
constexpr std::uint8_t k_ack_taken = 0;
constexpr std::uint8_t k_ack_error = 1;

bool idle(const link_agent& agent) {
    return agent.link_state() == static_cast<std::int32_t>(LinkState::idle);
}

}  // namespace

std::uint32_t LinkProtocol::download_client() {
    link_owner& owner = agent_.owner();
    owner.SetUpgInfo(UpgStatus::syncing, 0, k_syncing_total);
    const std::filesystem::path path = agent_.client_path();

    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file(path, error)) {
        file.open(path, std::ios::binary);
    }
    if (!file.is_open()) {
        agent_.output_text("Client file not found: " + path.string() + "\n");
        if (!idle(agent_)) {
            owner.message_box("Failed to open zipped file!", LinkBoxButtons::ok);
        }
        return 0;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > k_max_client_size) {
        const std::string text = "The client file " + path.string() + " is " + std::to_string(size) +
                                 " bytes, more than the box's buffer takes (" +
                                 std::to_string(k_max_client_size) + " bytes). Nothing was sent.";
        agent_.output_text(text + "\n");
        if (!idle(agent_)) {
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
    if (!agent_.send_raw(image) && !idle(agent_) && !agent_.stopping()) {
        // Neither cancelled nor a lost port: the box stopped taking bytes. Said now, before the
        // handshake that follows fails for it.
        agent_.output_text("\nThe client download stalled at byte " +
                           std::to_string(agent_.reported_count()) + " of " + std::to_string(image.size()) +
                           ": the box stopped taking bytes.\n");
    }
    return static_cast<std::uint32_t>(image.size());
}

bool LinkProtocol::send_command(LinkCommand code, std::span<const std::uint8_t> payload,
                                std::chrono::milliseconds result_limit) {
    const std::vector<std::uint8_t> frame = command_frame(code, payload);
    std::array<std::uint8_t, k_reply_size> reply{};
    for (int attempt = 0; attempt < k_command_attempts && !agent_.stopping(); ++attempt) {
        agent_.flush_rx();
        if (!agent_.send_raw(frame)) {
            return false;
        }
        if (!agent_.read_rx(reply.data(), reply.size(), agent_.timing().receipt_reply)) {
            agent_.output_text("Failed to get CMD response!\n");
            continue;
        }
        if (reply[0] != k_ack_taken) {
            continue;
        }
        if (!agent_.read_rx(reply.data(), reply.size(), result_limit)) {
            continue;
        }
        if (reply[0] == k_ack_taken) {
            return true;
        }
        if (reply[0] == k_ack_error) {
            agent_.output_text("Slave report Error\n");
            return false;
        }
    }
    return false;
}

bool LinkProtocol::handshake() {
    agent_.output_text("Start to check serial...\n");
    const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(k_handshake_text.data()),
                                             k_handshake_text.size());
    if (!send_command(LinkCommand::handshake, text, agent_.timing().command_result)) {
        agent_.output_text("\n!!TEST CMD fail-1!");
        return false;
    }
    std::array<std::uint8_t, k_handshake_text.size()> echo{};
    if (!agent_.read_rx(echo.data(), echo.size(), agent_.timing().command_result)) {
        agent_.output_text("\n!!TEST CMD fail-2!");
        return false;
    }
    if (!std::equal(echo.begin(), echo.end(), text.begin())) {
        agent_.output_text("\n!!TEST CMD fail-3!\n");
        return false;
    }
    return true;
}

bool LinkProtocol::send_block(const DataBlock& block) {
    return agent_.send_raw(block.header) && agent_.pause(agent_.timing().block_piece_gap) &&
           agent_.send_raw(block.data) && agent_.pause(agent_.timing().block_piece_gap) &&
           agent_.send_raw(block.crc);
}

bool LinkProtocol::upload_all() {
    link_owner& owner = agent_.owner();
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
    agent_.output_text("Start to send all configuration data...\n");
    if (!send_command(LinkCommand::announce_block, k_announce_block_payload,
                      agent_.timing().announce_result)) {
        return false;
    }
    agent_.flush_rx();

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
            if (!agent_.read_rx(&ack, k_block_ack_size, agent_.timing().block_ack)) {
                if (idle(agent_) || agent_.stopping()) {
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
                agent_.output_text("\nSlave error, retransfer...!");
                agent_.flush_rx();
            }
        }
        if (!taken) {
            agent_.output_text("\nUpgrade fail, Please start again!");
            return false;
        }
        agent_.flush_rx();
        position += length;
        owner.SetUpgInfo(UpgStatus::transferring, static_cast<std::int32_t>(position),
                         static_cast<std::int32_t>(block.bytes.size()));
    }
    agent_.output_text("\nEnd downloading!");
    return true;
}

void LinkProtocol::send_config() {
    link_owner& owner = agent_.owner();
    if (!owner.panel_connected()) {
        agent_.output_text("\nPlease connect with panel connectly!\n");
        return;
    }
    agent_.output_text("\nStart to send configuration...\n");
    if (!send_command(LinkCommand::announce_record, k_announce_record_payload,
                      agent_.timing().announce_result)) {
        agent_.output_failure("send configuration fail!!!");
        return;
    }
    agent_.flush_rx();
    ConfigBlock block;
    owner.with_config([&block](ConfigBlock& config) { block = config; });
    const DataBlock record = data_block(std::span(block.bytes).first(k_main_record.length));

    for (int attempt = 0; attempt < k_block_attempts; ++attempt) {
        if (!owner.IsLinkOnline() || agent_.stopping()) {
            return;
        }
        if (agent_.link_thread_cancelled()) {
            // The port closed under it: no attempt can go out any more.
            if (agent_.port_closed()) {
                agent_.output_failure("\nUpgrade fail, Please start again!");
            }
            return;
        }
        if (!send_block(record)) {
            continue;
        }
        std::array<std::uint8_t, k_reply_size> reply{};
        if (!agent_.read_rx(reply.data(), reply.size(), agent_.timing().record_reply)) {
            continue;
        }
        if (reply[0] == k_ack_taken) {
            agent_.flush_rx();
            agent_.output_text("send configuration success!!!");
            return;
        }
        if (reply[0] == k_ack_error) {
            agent_.output_text("\nSlave error, retransfer...!\n");
            char text[64];
            std::snprintf(text, sizeof text, "Slave error:state:%u, code:%u\n",
                          static_cast<unsigned>(reply[1]), static_cast<unsigned>(reply[2]));
            agent_.output_text(text);
            agent_.flush_rx();
        }
    }
    agent_.output_failure("\nUpgrade fail, Please start again!");
}

}  // namespace velmora
