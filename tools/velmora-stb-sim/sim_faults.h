// The faults the simulated box can be told to make, one table of name and effect, and the set of
// faults one run asks for.
//
// Callers may rely on: k_faults lists every fault once, in the order --help shows them; a name parses
// to its fault or is refused with a message naming the known ones; "silent-after" alone takes a count
// ("silent-after=N"). Every fault but silent-after acts once, on the first occasion it names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::stb_sim {

enum class Fault {
    no_receipt,
    resend_receipt,
    result_1,
    bad_block_ack,
    led_crc,
    silent_after,
    garbage_before_sync,
};

struct FaultInfo {
    Fault fault;
    std::string_view name;
    bool takes_count;  // written "name=N"
    std::string_view effect;
};

// Frames whose receipt asks for the frame again under resend-receipt: as many as the host tries.
inline constexpr int k_resend_receipt_frames = 3;
// Receipt byte 0 under resend-receipt: any value but 0 asks for the frame again.
inline constexpr std::uint8_t k_resend_receipt_code = 5;
// Bytes sent before the sync byte under garbage-before-sync.
inline constexpr std::size_t k_garbage_bytes = 16;

inline constexpr std::array<FaultInfo, 7> k_faults{{
    {Fault::no_receipt, "no-receipt", false, "the next command frame gets no reply at all"},
    {Fault::resend_receipt, "resend-receipt", false,
     "the next 3 command frames get the receipt 5 (send again) and are not acted on"},
    {Fault::result_1, "result-1", false, "the next command's result is {1,0,0} (the box reports an error)"},
    {Fault::bad_block_ack, "bad-block-ack", false,
     "the first data block is answered as a CRC error (1, or {1,2,7} for a record), the next ones as taken"},
    {Fault::led_crc, "led-crc", false, "the first LED map sent carries a wrong CRC"},
    {Fault::silent_after, "silent-after", true, "nothing more is sent once N bytes have been sent in all"},
    {Fault::garbage_before_sync, "garbage-before-sync", false,
     "16 random bytes, none of them 0xA5, go out before each sync byte"},
}};

class FaultSet {
public:
    bool has(Fault fault) const { return (bits_ & bit(fault)) != 0; }
    void add(Fault fault) { bits_ |= bit(fault); }
    std::size_t silent_after() const { return silent_after_; }
    void set_silent_after(std::size_t bytes) {
        add(Fault::silent_after);
        silent_after_ = bytes;
    }

    // Adds the fault that `text` names ("led-crc", "silent-after=100"); the message on refusal.
    std::optional<std::string> add_named(std::string_view text);

private:
    static unsigned bit(Fault fault) { return 1u << static_cast<unsigned>(fault); }
    unsigned bits_ = 0;
    std::size_t silent_after_ = 0;
};

}  // namespace velmora::stb_sim
