#include "plugin/transfer_progress.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>

namespace velmora {

namespace {

constexpr std::uint32_t k_kib = 1024;
constexpr qint64 k_ms_per_second = 1000;
constexpr int k_seconds_per_minute = 60;

}  // namespace

TransferProgress::TransferProgress(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(true);
    setAccessibleName(QStringLiteral("Transfer progress"));
    hide();
}

void TransferProgress::report(std::uint32_t done, std::uint32_t total) {
    if (total < k_min_bytes) {
        return;
    }
    QPointer<TransferProgress> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, done, total] {
            if (self != nullptr) {
                self->show_progress(done, total);
            }
        },
        Qt::QueuedConnection);
}

void TransferProgress::idle() {
    total_ = 0;
    hide();
}

void TransferProgress::show_progress(std::uint32_t done, std::uint32_t total) {
    if (total != total_ || done == 0 || !clock_.isValid()) {
        // A new send: its clock starts now.
        total_ = total;
        clock_.start();
    }
    if (done >= total) {
        idle();
        return;
    }
    setRange(0, static_cast<int>(total));
    setValue(static_cast<int>(done));
    setFormat(text_for(done, total, clock_.elapsed()));
    show();
}

QString TransferProgress::text_for(std::uint32_t done, std::uint32_t total, qint64 elapsed_ms) {
    QString text = QStringLiteral("%1/%2 KiB").arg(done / k_kib).arg((total + k_kib - 1) / k_kib);
    if (done == 0 || elapsed_ms <= 0) {
        return text;
    }
    // The rest at the pace so far.
    const qint64 left_ms = elapsed_ms * static_cast<qint64>(total - std::min(done, total)) / done;
    const qint64 seconds = (left_ms + k_ms_per_second - 1) / k_ms_per_second;
    return text + QStringLiteral(", %1:%2 left")
                      .arg(seconds / k_seconds_per_minute)
                      .arg(seconds % k_seconds_per_minute, 2, 10, QLatin1Char('0'));
}

}  // namespace velmora
