// The progress bar beside the link status line: how much of a long send (the client download, up to
// 2 MiB and minutes at 115200 baud, or the block) has gone out, and how long the rest will take.
//
// Callers may rely on: report() may be called from any thread (the connector's broadcasting thread
// reports each completion count) and returns at once; the bar changes on its own thread. A send
// shorter than k_min_bytes shows nothing; the bar appears when a longer one starts, shows
// "<done>/<total> KiB, m:ss left" and hides when it is complete or idle() is called.
#pragma once

#include <QElapsedTimer>
#include <QProgressBar>
#include <cstdint>

namespace velmora {

class TransferProgress : public QProgressBar {
public:
    static constexpr std::uint32_t k_min_bytes = 1024;

    explicit TransferProgress(QWidget* parent);

    // `done` of `total` bytes of the current send have gone out.
    void report(std::uint32_t done, std::uint32_t total);
    // The link went idle: the bar hides.
    void idle();

    // The text shown for `done` of `total` bytes after `elapsed_ms`, e.g. "812/2048 KiB, 1:23 left".
    static QString text_for(std::uint32_t done, std::uint32_t total, qint64 elapsed_ms);

private:
    void show_progress(std::uint32_t done, std::uint32_t total);

    QElapsedTimer clock_;
    std::uint32_t total_ = 0;
};

}  // namespace velmora
